// The performance counter, as the C++ library's steady clock reads it, without the POSIX threads
// runtime that the library's clock would bring into the program.
#include <windows.h>

#include "framework/clock.h"

namespace fw {

uint64_t MonotonicMicroseconds() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);  // never fails from Windows XP on
    QueryPerformanceCounter(&counter);
    const auto perSecond = static_cast<uint64_t>(frequency.QuadPart);
    const auto ticks = static_cast<uint64_t>(counter.QuadPart);
    return ticks / perSecond * 1000000 + ticks % perSecond * 1000000 / perSecond;
}

}  // namespace fw
