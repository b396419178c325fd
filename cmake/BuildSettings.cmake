# Settings fixed at build time. The program itself reads no configuration: whoever builds it
# decides where its links point and, on POSIX, where "C:\" lives.

set(QUENMOOR_FAQ_HOST "www.ostrel.example"
    CACHE STRING "Host name of the maker's public web site (the FAQ link is https://HOST/faq/)")
set(QUENMOOR_PORTAL_HOST "portal.ostrel.example"
    CACHE STRING "Host name of the maker's billing portal (https://HOST/?h=%hash%&u=%user%)")
# Who the Windows programs and packages name as their maker: the version record's CompanyName and
# LegalCopyright, and the publisher that Add/Remove Programs shows.
set(QUENMOOR_PUBLISHER "Ostrel"
    CACHE STRING "Publisher named in the Windows programs' version record and the packages")
set(QUENMOOR_COPYRIGHT "Copyright (C) 2026 ${QUENMOOR_PUBLISHER}"
    CACHE STRING "Copyright notice of the Windows programs' version record")
set(QUENMOOR_DRIVE_ROOT "/"
    CACHE PATH "POSIX builds only: the directory that stands for the drive root C:\\")

# A plain DNS host name: dot-separated labels of letters, digits and inner hyphens, each label
# 1 to 63 characters, 253 characters in all. Anything else (a scheme, a port, a path, user
# information, blanks) could redirect the links, so configuration stops here.
function(quenmoor_require_host_name variable)
    set(host "${${variable}}")
    string(LENGTH "${host}" length)
    set(label "[A-Za-z0-9]([-A-Za-z0-9]*[A-Za-z0-9])?")
    if(length EQUAL 0 OR length GREATER 253 OR NOT host MATCHES "^${label}(\\.${label})*$")
        message(FATAL_ERROR "${variable} must be a plain host name such as www.example.com "
                            "(letters, digits, hyphens and dots only), not '${host}'.")
    endif()
    string(REPLACE "." ";" labels "${host}")
    foreach(part IN LISTS labels)
        string(LENGTH "${part}" part_length)
        if(part_length GREATER 63)
            message(FATAL_ERROR "${variable}: the label '${part}' is longer than 63 characters.")
        endif()
    endforeach()
endfunction()

quenmoor_require_host_name(QUENMOOR_FAQ_HOST)
quenmoor_require_host_name(QUENMOOR_PORTAL_HOST)

# The publisher and copyright go into resource scripts and package sources as they are: printable
# ASCII without quotes, backslashes or markup characters, so they need no escaping anywhere.
foreach(variable QUENMOOR_PUBLISHER QUENMOOR_COPYRIGHT)
    if(NOT "${${variable}}" MATCHES "^[ -~]+$" OR "${${variable}}" MATCHES "[\"\\\\<>&]")
        message(FATAL_ERROR "${variable} must be printable ASCII without quotes, backslashes, "
                            "<, > or &, not '${${variable}}'.")
    endif()
endforeach()

if(NOT WIN32)
    if(NOT IS_ABSOLUTE "${QUENMOOR_DRIVE_ROOT}" OR QUENMOOR_DRIVE_ROOT MATCHES "[\"\\\\]")
        message(FATAL_ERROR "QUENMOOR_DRIVE_ROOT must be an absolute directory path without "
                            "quotes or backslashes, not '${QUENMOOR_DRIVE_ROOT}'.")
    endif()
    # One trailing slash, so "C:\a" maps to ROOT + "a".
    string(REGEX REPLACE "/+$" "" QUENMOOR_DRIVE_ROOT_NORMALISED "${QUENMOOR_DRIVE_ROOT}")
    set(QUENMOOR_DRIVE_ROOT_NORMALISED "${QUENMOOR_DRIVE_ROOT_NORMALISED}/")
endif()

# Headers generated from these settings go here; each folder configures its own.
set(QUENMOOR_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
