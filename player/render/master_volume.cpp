#include <algorithm>

#include "player/render/render.h"

namespace xm {

namespace {

// round(32768 x 10^((step - 25) / 10)): 2 dB per step below unity; step 0 is 1, not silence.
constexpr uint32_t kVolumeTable[] = {
    1,    130,  164,  207,  260,  328,  413,  519,   654,   823,   1036,  1305,  1642,
    2068, 2603, 3277, 4125, 5193, 6538, 8231, 10362, 13045, 16423, 20675, 26029, 32768,
};
constexpr uint32_t kTopStep = sizeof(kVolumeTable) / sizeof(kVolumeTable[0]) - 1;

}  // namespace

uint32_t MasterVolumeForStep(uint32_t step) {
    return kVolumeTable[std::min(step, kTopStep)];
}

}  // namespace xm
