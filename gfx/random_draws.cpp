#include "gfx/random_draws.h"

#include "framework/random.h"

namespace gfx {

float ProgramDraws::Draw() {
    return fw::ProgramRandom().Next();
}

void ProgramDraws::Reseed() {
    fw::ProgramRandom().ReseedFromClock();
}

}  // namespace gfx
