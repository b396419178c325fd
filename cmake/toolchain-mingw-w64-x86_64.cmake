# 64-bit Windows (x64), cross-compiled with Debian's mingw-w64 (package g++-mingw-w64-x86-64).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUENMOOR_MINGW_PREFIX x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake")
