# x86_64 Windows: the same sources for x86_64, run under wine64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LS_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh --prefix=${CMAKE_BINARY_DIR}/wineprefix)
