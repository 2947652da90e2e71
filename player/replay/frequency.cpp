// Note periods in the linear and Amiga tables, and the playback frequency and step they give.
#include <cmath>
#include <cstdint>

#include "player/replay/replay.h"

namespace xm {

namespace {

// The single-precision constants the tables are defined with.
constexpr float kTwelfth = 1.0f / 12.0f;
constexpr float kInverse768 = 1.0f / 768.0f;
constexpr double kAmigaBase = 13.375;
constexpr double kLinearC4Hz = 8363.0;
constexpr int32_t kLinearC4Period = 4608;
constexpr uint32_t kAmigaClock = 14317456;
constexpr uint32_t kLowestFrequencyHz = 40;  // for a period at or below 0

// Plain Amiga period of real note k, before the finetune.
int64_t PlainAmigaPeriod(int k) {
    return static_cast<int64_t>(
        std::nearbyint(kAmigaBase * std::exp2((132 - k) * static_cast<double>(kTwelfth))));
}

// Every period the effects reach gives a linear-table frequency below about 5 MHz (the period
// delta stays within +-1300), far inside 32 bits; pinning keeps the conversion defined for any
// input. The mixer, not this, limits how fast a voice steps through its sample.
uint32_t RoundFrequency(double hz) {
    constexpr double kTop = 4294967295.0;
    if (!(hz >= 0.0)) return 0;
    if (hz >= kTop) return UINT32_MAX;
    return static_cast<uint32_t>(std::nearbyint(hz));
}

}  // namespace

int32_t AmigaPeriod(int realNote, const Sample& sample) {
    const int64_t period = PlainAmigaPeriod(realNote);
    const int finetune = sample.finetune;
    // A positive finetune leans toward the next higher note, a negative one toward the lower.
    const int64_t difference = finetune >= 0 ? PlainAmigaPeriod(realNote + 1) - period
                                             : period - PlainAmigaPeriod(realNote - 1);
    return static_cast<int32_t>(period + finetune * difference / 128);
}

int32_t NotePeriod(const Module& module, int realNote, const Sample& sample) {
    if (module.flags & kLinearFrequencyTable) {
        return 7680 - 64 * realNote - sample.finetune / 2;
    }
    return AmigaPeriod(realNote, sample);
}

uint32_t FrequencyHz(const Module& module, int32_t period, int32_t periodDelta) {
    const int64_t total = int64_t{period} + periodDelta;
    if (total <= 0) return kLowestFrequencyHz;
    if (module.flags & kLinearFrequencyTable) {
        // A positive delta raises the pitch here, where it lowers it in the Amiga table.
        const int64_t distance = kLinearC4Period - int64_t{period} + periodDelta;
        const double octaves = static_cast<double>(distance) * static_cast<double>(kInverse768);
        return RoundFrequency(kLinearC4Hz * std::exp2(octaves));
    }
    // Up to 14,317,456 Hz at period 1: a step of 298 points per frame, which the mixer holds
    // below 32.
    return static_cast<uint32_t>(kAmigaClock / total);
}

void SetVoiceStep(Voice& voice, uint32_t frequencyHz) {
    voice.stepInteger = frequencyHz / kOutputRate;
    voice.stepFraction =
        static_cast<uint32_t>((uint64_t{frequencyHz % kOutputRate} << 32) / kOutputRate);
}

}  // namespace xm
