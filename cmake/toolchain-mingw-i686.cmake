# 32-bit Windows: the program as shipped. Its tests run under full 32-bit Wine (wine32).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LS_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh --prefix=${CMAKE_BINARY_DIR}/wineprefix)

# Every part of the program, its tests and GoogleTest (cmake/ProjectOptions.cmake adds them to
# every target, also in build trees configured before):
# - SSE2 for all floating-point arithmetic: the x87 unit would keep single-precision star
#   arithmetic and the player's frequencies in extended precision; SSE rounds every result as the
#   x86_64 build does.
# - Windows guarantees only 4-byte stack alignment where it calls thread procedures, window
#   procedures and callbacks: a function that keeps vectors on its stack aligns the stack itself
#   (GCC otherwise assumes 16 bytes wherever SSE is enabled by a function attribute rather than
#   the command line). tests/win32/check_stack_alignment.py checks the generated code.
set(LS_ARCH_FLAGS -msse2 -mfpmath=sse -mincoming-stack-boundary=2)
