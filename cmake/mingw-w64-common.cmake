# The Windows build, shared by both architectures: Debian's mingw-w64 cross compiler, with the
# test programs run through Wine. The architecture's toolchain file sets CMAKE_SYSTEM_PROCESSOR
# and QUENMOOR_MINGW_PREFIX, then includes this one.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: GoogleTest needs std::mutex, which the win32 model of this GCC lacks.
# Linked statically (below), it adds no DLL to the binaries.
set(CMAKE_C_COMPILER ${QUENMOOR_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUENMOOR_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUENMOOR_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUENMOOR_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the .exe needs no DLL that a bare Windows installation lacks.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# The shipped release carries no symbols; debug builds keep them for gdb under Wine.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# Wine is started through tests/windows/bin/wine, which picks the loader for the prefix.
find_program(QUENMOOR_WINE NAMES wine)
if(QUENMOOR_WINE)
    cmake_path(SET CMAKE_CROSSCOMPILING_EMULATOR NORMALIZE
               "${CMAKE_CURRENT_LIST_DIR}/../tests/windows/bin/wine")
endif()
