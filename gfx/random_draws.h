// Where the starfield's random values come from: the program's generator, or a script in tests.
#pragma once

namespace gfx {

class RandomDraws {
  public:
    virtual ~RandomDraws() = default;
    // One draw: a single-precision value in [0, 1), never 1.
    virtual float Draw() = 0;
    // Seeds the sequence again from the system clock.
    virtual void Reseed() = 0;
};

// The program's own generator (fw::ProgramRandom), which never draws 0: a star seeded at radius 0
// would never leave the centre. Window thread only.
class ProgramDraws final : public RandomDraws {
  public:
    float Draw() override;
    void Reseed() override;
};

}  // namespace gfx
