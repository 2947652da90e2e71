// The program's random generator: single-precision draws uniform in [0, 1), never 0 and never 1.
#pragma once

#include <cstdint>

namespace fw {

class RandomGenerator {
  public:
    explicit RandomGenerator(uint32_t seed = 0x50000u) : state_(seed) {}

    // Next draw: a multiple of 2^-24 from 2^-24 to 1 - 2^-24, exactly representable as a float.
    float Next();

    // Starts the sequence again from a given seed (tests) or from the system clock.
    void Reseed(uint32_t seed) { state_ = seed; }
    void ReseedFromClock();

  private:
    uint32_t state_;
};

// The single generator the window code draws from (window thread only).
RandomGenerator& ProgramRandom();

}  // namespace fw
