#include "player/song/records.h"

namespace xm {

namespace {
int16_t nullSamplePoints[4] = {};
}

Sample NullSample = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullSamplePoints};

uint32_t FramesPerTick(uint32_t bpm) {
    return bpm == 0 ? 120000u : 120000u / bpm;
}

}  // namespace xm
