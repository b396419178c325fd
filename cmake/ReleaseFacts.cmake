# The release's facts, named once. Configuration writes them to quenmoor-facts.json in the build
# folder, and every release script and test reads them from there instead of repeating them.

set(QUENMOOR_PRODUCT_NAME "Quenmoor Update")
# The links the update program writes, from the hosts that configuration was given.
set(QUENMOOR_FAQ_LINK "https://${QUENMOOR_FAQ_HOST}/faq/")
set(QUENMOOR_PORTAL_LINK "https://${QUENMOOR_PORTAL_HOST}/?h=%hash%&u=%user%")
# A link host in a domain reserved for examples and tests (RFC 2606, RFC 6761) resolves nowhere:
# such a build is unconfigured, and its check never calls a machine current.
set(QUENMOOR_UNCONFIGURED false)
foreach(host IN ITEMS "${QUENMOOR_FAQ_HOST}" "${QUENMOOR_PORTAL_HOST}")
    string(TOLOWER "${host}" host)
    if(host MATCHES "(^|[.])(example|invalid|test|localhost)$")
        set(QUENMOOR_UNCONFIGURED true)
    endif()
endforeach()
# The programs built beside the test suite are test builds, never deployed; the release presets
# build without it.
if(QUENMOOR_BUILD_TESTS)
    set(QUENMOOR_TEST_BUILD true)
else()
    set(QUENMOOR_TEST_BUILD false)
endif()
# The scheduled task, in a Task Scheduler folder of its own.
set(QUENMOOR_TASK_NAME [[\Quenmoor\Quenmoor update]])
# Fixed for ever: Windows Installer finds the installed product to upgrade by them.
set(QUENMOOR_UPGRADE_CODE_x86 "7C4D2E61-3B0A-4F8E-9D15-6A2C8B3E0F41")
set(QUENMOOR_UPGRADE_CODE_x64 "2E9B5A73-C61D-4A07-8F3E-B4D0C9152A68")
# The namespace of the packages' name-based product and package codes.
set(QUENMOOR_CODE_NAMESPACE "5B1F0C2A-8E47-4D93-A6C1-3F9E7D20B854")

# Each shipped program adds itself here (quenmoor_add_program in app/), in the order it ships.
define_property(GLOBAL PROPERTY QUENMOOR_SHIPPED_PROGRAMS
                BRIEF_DOCS "name|description of every program that ships")

# Called once every program is known: writes the facts file.
function(quenmoor_write_release_facts)
    get_property(programs GLOBAL PROPERTY QUENMOOR_SHIPPED_PROGRAMS)
    set(entries "")
    foreach(program IN LISTS programs)
        string(REPLACE "|" ";" fields "${program}")
        list(GET fields 0 name)
        list(GET fields 1 description)
        list(APPEND entries "{\"name\": \"${name}\", \"description\": \"${description}\"}")
    endforeach()
    list(JOIN entries ",\n    " QUENMOOR_FACTS_PROGRAMS)
    # The task name's backslashes, escaped for JSON.
    string(REPLACE [[\]] [[\\]] QUENMOOR_FACTS_TASK_NAME "${QUENMOOR_TASK_NAME}")
    configure_file("${PROJECT_SOURCE_DIR}/cmake/quenmoor-facts.json.in"
                   "${CMAKE_BINARY_DIR}/quenmoor-facts.json" @ONLY)
endfunction()
