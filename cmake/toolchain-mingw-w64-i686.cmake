# 32-bit Windows (x86), cross-compiled with Debian's mingw-w64 (package g++-mingw-w64-i686). The
# program runs on 32-bit Windows, where a 64-bit one does not start, and on 64-bit Windows too.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUENMOOR_MINGW_PREFIX i686-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake")
