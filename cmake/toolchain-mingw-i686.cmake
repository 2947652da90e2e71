# 32-bit Windows: the program as shipped. It cannot run on these machines (no 32-bit Wine).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LS_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
