# Reads the PE headers and import table of a Windows program and fails unless it is a console
# program with the Unicode start-up that imports only DLLs every Windows installation has, so it
# runs on a machine where nothing was installed beside it.
# Usage: cmake -D OBJDUMP=<mingw objdump> -D PROGRAM=<file.exe> -P check_imports.cmake
cmake_minimum_required(VERSION 3.25)

# DLLs of Windows itself. A DLL goes here only when a bare Windows installation ships it; the
# compiler's runtime DLLs (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll) never do.
set(system_dlls kernel32.dll msvcrt.dll)

foreach(variable OBJDUMP PROGRAM)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "check_imports.cmake needs -D ${variable}=...")
    endif()
endforeach()
if(NOT EXISTS "${PROGRAM}")
    message(FATAL_ERROR "${PROGRAM} does not exist")
endif()

execute_process(COMMAND "${OBJDUMP}" -p "${PROGRAM}"
                OUTPUT_VARIABLE headers ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed (${status}): ${errors}")
endif()

set(problems "")

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

list(JOIN imported ", " imported_text)
if(problems)
    list(JOIN problems "\n  " problem_text)
    message(FATAL_ERROR "${PROGRAM} imports ${imported_text}:\n  ${problem_text}")
endif()
message(STATUS "${PROGRAM}: console program with wmain, imports only ${imported_text}")
