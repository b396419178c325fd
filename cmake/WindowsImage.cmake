# How every Windows binary of the project is compiled and linked, beyond the toolchain: the same
# bytes from every build of a commit, the loader's exploit mitigations, and the oldest Windows the
# program is made for. tests/windows/check_pe_headers.cmake checks the result in the PE headers.

# The architecture's name in the package and the header check.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QUENMOOR_WINDOWS_ARCH x64)
else()
    set(QUENMOOR_WINDOWS_ARCH x86)
endif()

# Windows 7 (NT 6.1): the oldest Windows still found on shop machines. The headers then offer no
# call that Windows 7 lacks, and the PE header names 6.1 as the oldest Windows that may load it.
# docs/DEPLOYMENT.md states the same version; the header check holds the two together.
set(QUENMOOR_WINDOWS_OLDEST_MAJOR 6)
set(QUENMOOR_WINDOWS_OLDEST_MINOR 1)
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)
add_link_options(
    "LINKER:--major-subsystem-version=${QUENMOOR_WINDOWS_OLDEST_MAJOR}"
    "LINKER:--minor-subsystem-version=${QUENMOOR_WINDOWS_OLDEST_MINOR}"
    "LINKER:--major-os-version=${QUENMOOR_WINDOWS_OLDEST_MAJOR}"
    "LINKER:--minor-os-version=${QUENMOOR_WINDOWS_OLDEST_MINOR}")

# Reproducible: no link time stamp in the PE header, and no path of the build machine in the
# binary (the folders a build happens to run in are mapped to fixed names).
add_link_options("LINKER:--no-insert-timestamp")
add_compile_options("-ffile-prefix-map=${CMAKE_SOURCE_DIR}=source"
                    "-ffile-prefix-map=${CMAKE_BINARY_DIR}=build")

# Hardened: address space layout randomisation (with the 64-bit address space on x64) and data
# execution prevention, asked for explicitly rather than left to the linker's defaults.
add_link_options("LINKER:--dynamicbase" "LINKER:--nxcompat")
if(QUENMOOR_WINDOWS_ARCH STREQUAL "x64")
    add_link_options("LINKER:--high-entropy-va")
endif()

# Every Windows program of the project carries the same manifest (app/program.manifest: run as
# the invoker, made for Windows 7 to 11) and a version record naming the program:
#   quenmoor_add_program_resources(TARGET "What the program is, in a few words")
# The program's file name is the target's name.
if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(QUENMOOR_VERSION_FILE_FLAGS VS_FF_DEBUG)
else()
    set(QUENMOOR_VERSION_FILE_FLAGS 0)
endif()
function(quenmoor_add_program_resources target description)
    enable_language(RC)
    set(QUENMOOR_PROGRAM_NAME "${target}")
    set(QUENMOOR_PROGRAM_DESCRIPTION "${description}")
    set(QUENMOOR_MANIFEST "${PROJECT_SOURCE_DIR}/app/program.manifest")
    set(script "${QUENMOOR_GENERATED_DIR}/app/${target}.rc")
    configure_file("${PROJECT_SOURCE_DIR}/app/program_resources.rc.in" "${script}" @ONLY)
    # windres reads the manifest, which CMake's dependency scan of the script does not see.
    set_source_files_properties("${script}" PROPERTIES OBJECT_DEPENDS "${QUENMOOR_MANIFEST}")
    target_sources(${target} PRIVATE "${script}")
endfunction()
