# Reads the PE headers and import table of a Windows program and fails unless it is what ships:
# - a console program with the Unicode start-up, for the expected architecture;
# - importing only DLLs that every Windows installation has, so it runs where nothing was
#   installed beside it;
# - reproducible: no link time stamp in the file header;
# - hardened: ASLR (DYNAMIC_BASE with relocations, HIGH_ENTROPY_VA on x64) and DEP (NX_COMPAT);
# - made for the oldest Windows that the deployment note states (the subsystem version);
# - with its application manifest (run as the invoker, never elevated; made for Windows 7 to 11)
#   and a version record that names the program, its product and its maker.
# Usage: cmake -D OBJDUMP=<mingw objdump> -D PROGRAM=<file.exe> -D ARCH=x86|x64
#              -D NOTE=<docs/DEPLOYMENT.md> -P check_pe_headers.cmake
cmake_minimum_required(VERSION 3.25)

# DLLs of Windows itself. A DLL goes here only when a bare Windows installation ships it; the
# compiler's runtime DLLs (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll) never do.
set(system_dlls kernel32.dll advapi32.dll msvcrt.dll)

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

# The resources, read with icoutils' wrestool: the manifest (type 24, ID 1) as text, and the
# version record (type 16) as bytes, one "xx " token per byte so that UTF-16 text matches only
# at byte boundaries.
find_program(WRESTOOL wrestool)
if(NOT WRESTOOL)
    message(FATAL_ERROR "wrestool (Debian package icoutils) is needed to read the resources")
endif()
execute_process(COMMAND "${WRESTOOL}" -x --raw --type=24 --name=1 "${PROGRAM}"
                OUTPUT_VARIABLE manifest ERROR_QUIET)
if(manifest STREQUAL "")
    list(APPEND problems "no application manifest (resource type 24, ID 1)")
else()
    if(NOT manifest MATCHES "<requestedExecutionLevel[^>]*level=\"asInvoker\""
       OR NOT manifest MATCHES "<requestedExecutionLevel[^>]*uiAccess=\"false\"")
        list(APPEND problems "the manifest does not ask to run as the invoker without UI access "
                             "(requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\")")
    endif()
    set(supported_os "Windows 7=35138b9a-5d96-4fbd-8e2d-a2440225f93a"
                     "Windows 8=4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38"
                     "Windows 8.1=1f676c76-80e1-4239-95bb-83d0f6d0da78"
                     "Windows 10 and 11=8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")
    foreach(entry IN LISTS supported_os)
        string(REGEX MATCH "^([^=]+)=(.+)$" _ "${entry}")
        set(windows "${CMAKE_MATCH_1}")
        if(NOT manifest MATCHES "<supportedOS Id=\"{${CMAKE_MATCH_2}}\"")
            list(APPEND problems "the manifest lacks the supportedOS entry of ${windows}")
        endif()
    endforeach()
endif()

# "Text" as the tokens of its UTF-16LE bytes.
function(utf16_tokens text result)
    string(HEX "${text}" hex)
    string(REGEX REPLACE "(..)" "\\1 00 " tokens "${hex}")
    set(${result} "${tokens}" PARENT_SCOPE)
endfunction()
set(version_file "${PROGRAM}.version-record")
execute_process(COMMAND "${WRESTOOL}" -x --raw --type=16 "${PROGRAM}" OUTPUT_FILE "${version_file}"
                ERROR_QUIET)
file(READ "${version_file}" record HEX)
file(REMOVE "${version_file}")
string(REGEX REPLACE "(..)" "\\1 " record "${record}")
get_filename_component(file_name "${PROGRAM}" NAME)
get_filename_component(program_name "${PROGRAM}" NAME_WE)
# A string's key, its terminating NUL, at most one unit of padding, then its value.
foreach(key CompanyName LegalCopyright ProductName FileDescription OriginalFilename InternalName)
    utf16_tokens("${key}" key_tokens)
    if(key STREQUAL "OriginalFilename")
        utf16_tokens("${file_name}" value_tokens)
        set(wanted "${file_name}")
    elseif(key STREQUAL "InternalName")
        utf16_tokens("${program_name}" value_tokens)
        set(wanted "${program_name}")
    else()
        set(value_tokens "([2-7][0-9a-f] 00 )+")
        set(wanted "a printable value")
    endif()
    if(NOT record MATCHES "${key_tokens}00 00 (00 00 )?${value_tokens}00 00 ")
        list(APPEND problems "the version record lacks ${key} with ${wanted}")
    endif()
endforeach()

list(JOIN imported ", " imported_text)
list(JOIN mitigations ", " mitigation_text)
if(problems)
    list(JOIN problems "\n  " problem_text)
    message(FATAL_ERROR "${PROGRAM} (imports ${imported_text}):\n  ${problem_text}")
endif()
message(STATUS "${PROGRAM}: ${ARCH} console program with wmain, imports only ${imported_text}, "
               "no time stamp, ${mitigation_text}, for Windows NT ${stated} and later, manifest "
               "asInvoker for Windows 7 to 11, version record complete")
