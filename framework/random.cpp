#include "framework/random.h"

#include "framework/clock.h"

namespace fw {

float RandomGenerator::Next() {
    // xorshift32 followed by a multiplicative mix; the top 24 bits give the draw, so every value
    // is exact in single precision and the largest is 1 - 2^-24. A step whose top bits are all
    // zero is passed over: a star seeded with a draw of 0 would sit at the centre for good while
    // its speed grows until it overflows, about 16 hours on.
    for (;;) {
        uint32_t x = state_ ? state_ : 0x9E3779B9u;
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        state_ = x;
        const uint32_t top24 = (x * 0x2545F491u) >> 8;
        if (top24 != 0) return static_cast<float>(top24) * (1.0f / 16777216.0f);
    }
}

void RandomGenerator::ReseedFromClock() {
    const uint64_t ticks = MonotonicMicroseconds();
    state_ = static_cast<uint32_t>(ticks) ^ static_cast<uint32_t>(ticks >> 32) ^ 0xA5A5A5A5u;
}

RandomGenerator& ProgramRandom() {
    static RandomGenerator generator;
    return generator;
}

}  // namespace fw
