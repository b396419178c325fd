# Reads the PE headers and import table of a Windows program and fails unless it is what ships:
# - a console program with the Unicode start-up, for the expected architecture;
# - importing only DLLs that every Windows installation has, so it runs where nothing was
#   installed beside it;
# - reproducible: no link time stamp in the file header;
# - hardened: ASLR (DYNAMIC_BASE with relocations, HIGH_ENTROPY_VA on x64) and DEP (NX_COMPAT);
# - made for the oldest Windows that the deployment note states (the subsystem version).
# Usage: cmake -D OBJDUMP=<mingw objdump> -D PROGRAM=<file.exe> -D ARCH=x86|x64
#              -D NOTE=<docs/DEPLOYMENT.md> -P check_pe_headers.cmake
cmake_minimum_required(VERSION 3.25)

# DLLs of Windows itself. A DLL goes here only when a bare Windows installation ships it; the
# compiler's runtime DLLs (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll) never do.
set(system_dlls kernel32.dll msvcrt.dll)

foreach(variable OBJDUMP PROGRAM ARCH NOTE)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "check_pe_headers.cmake needs -D ${variable}=...")
    endif()
endforeach()
foreach(file IN ITEMS "${PROGRAM}" "${NOTE}")
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "${file} does not exist")
    endif()
endforeach()

execute_process(COMMAND "${OBJDUMP}" -p "${PROGRAM}"
                OUTPUT_VARIABLE headers ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed (${status}): ${errors}")
endif()

set(problems "")

if(ARCH STREQUAL "x64")
    set(format "pei-x86-64")
elseif(ARCH STREQUAL "x86")
    set(format "pei-i386")
else()
    message(FATAL_ERROR "ARCH must be x86 or x64, not '${ARCH}'")
endif()
if(NOT headers MATCHES "file format ${format}[\r\n]")
    list(APPEND problems "not an ${ARCH} program (expected the format ${format})")
endif()

if(NOT headers MATCHES "Subsystem[ \t]+0*3[ \t]+\\(Windows CUI\\)")
    list(APPEND problems "not a console (CUI) program")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" dll_lines "${headers}")
if(NOT dll_lines)
    list(APPEND problems "no imported DLL found: the import table could not be read")
endif()
set(imported "")
foreach(line IN LISTS dll_lines)
    string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
    string(STRIP "${dll}" dll)
    list(APPEND imported "${dll}")
    string(TOLOWER "${dll}" dll_lower)
    if(NOT dll_lower IN_LIST system_dlls)
        list(APPEND problems "imports ${dll}, which is not part of Windows")
    endif()
endforeach()

# mingw-w64's wide start-up code fetches the command line with __wgetmainargs before calling
# wmain; the narrow one uses __getmainargs.
if(NOT headers MATCHES "[ \t]__wgetmainargs[\r\n]" OR headers MATCHES "[ \t]__getmainargs[\r\n]")
    list(APPEND problems "not linked with the Unicode entry point wmain (-municode)")
endif()

# The COFF file header's TimeDateStamp, read from the file itself rather than from objdump's
# rendering of it in the local time zone: e_lfanew at 0x3C points at "PE\0\0", followed by
# Machine (2 bytes), NumberOfSections (2) and TimeDateStamp (4), all little-endian.
function(read_le32 offset result)
    file(READ "${PROGRAM}" bytes OFFSET ${offset} LIMIT 4 HEX)
    string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" big_endian "${bytes}")
    math(EXPR value "0x${big_endian}")
    set(${result} ${value} PARENT_SCOPE)
endfunction()
read_le32(60 pe_header)
math(EXPR stamp_offset "${pe_header} + 8")
read_le32(${stamp_offset} stamp)
if(NOT stamp EQUAL 0)
    list(APPEND problems "the file header carries a link time stamp (${stamp}): two builds of "
                         "the same commit would differ")
endif()

set(mitigations DYNAMIC_BASE NX_COMPAT)
if(ARCH STREQUAL "x64")
    list(APPEND mitigations HIGH_ENTROPY_VA)
endif()
string(REGEX MATCH "DllCharacteristics[^\n]*\n([ \t]+[A-Z_]+[^\n]*\n)*" characteristics
       "${headers}")
foreach(flag IN LISTS mitigations)
    if(NOT characteristics MATCHES "[ \t]${flag}[\r\n]")
        list(APPEND problems "DllCharacteristics lack ${flag}")
    endif()
endforeach()
# Without relocations the loader cannot move the image, whatever DYNAMIC_BASE says.
if(NOT headers MATCHES "Entry 5 [0-9a-fA-F]+ 0*[1-9a-fA-F][0-9a-fA-F]* Base Relocation Directory")
    list(APPEND problems "no base relocations: the image cannot be placed at a random address")
endif()

# The deployment note names the oldest Windows as "Oldest supported Windows: NAME (NT M.N)".
file(READ "${NOTE}" note)
if(NOT note MATCHES "Oldest supported Windows: [^\n(]*\\(NT ([0-9]+)\\.([0-9]+)\\)")
    list(APPEND problems "${NOTE} does not state the oldest supported Windows")
else()
    set(stated "${CMAKE_MATCH_1}.${CMAKE_MATCH_2}")
    string(REGEX MATCH "MajorSubsystemVersion[ \t]+([0-9]+)" _ "${headers}")
    set(major "${CMAKE_MATCH_1}")
    string(REGEX MATCH "MinorSubsystemVersion[ \t]+([0-9]+)" _ "${headers}")
    set(header_version "${major}.${CMAKE_MATCH_1}")
    if(NOT header_version STREQUAL stated)
        list(APPEND problems "the subsystem version is ${header_version}, but the deployment "
                             "note states NT ${stated} as the oldest supported Windows")
    endif()
endif()

list(JOIN imported ", " imported_text)
list(JOIN mitigations ", " mitigation_text)
if(problems)
    list(JOIN problems "\n  " problem_text)
    message(FATAL_ERROR "${PROGRAM} (imports ${imported_text}):\n  ${problem_text}")
endif()
message(STATUS "${PROGRAM}: ${ARCH} console program with wmain, imports only ${imported_text}, "
               "no time stamp, ${mitigation_text}, for Windows NT ${stated} and later")
