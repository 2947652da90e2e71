#include "player/mixer.h"

#include <algorithm>
#include <cstring>

#include "player/mixer_frames.h"
#include "player/mixer_options.h"
#include "player/mixer_simd.h"

namespace xm {

namespace {

using mixer::JoinPosition;

bool fastPaths = true;

constexpr uint32_t kRampFrames = 128;
// A step whose top 32 bits of 37 are zero plays at about 40 Hz instead of standing still.
constexpr uint32_t kFloorStepFraction = 3579136;
// Steps of 32 points per frame or more are held just below that, so that the step shifted right
// by 5 keeps within 32 bits; such voices play above 1.5 MHz and are noise either way.
constexpr uint64_t kMaxStep_fp32_32 = (uint64_t{32} << 32) - 1;

int64_t LoopEnd(const Sample& s) {
    return int64_t{s.loopStart} + s.loopLength;
}

// The loader keeps loops inside the sample and samples below 2^22 points; a record that breaks
// this is not played rather than read out of bounds.
bool IsConsistent(const Sample& s) {
    return s.data != nullptr && s.length < (uint32_t{1} << 22) && s.loopStart >= 0 &&
           s.loopLength >= 0 && LoopEnd(s) <= int64_t{s.length};
}

// Whole points between two places, held to +-2^30 so that the 32.32 distance cannot overflow
// (a boundary that far away lies beyond any span at any step).
int64_t WholeDistance(int64_t from, int64_t to) {
    constexpr int64_t kFar = int64_t{1} << 30;
    return std::clamp(to - from, -kFar, kFar);
}

// Distance to the next boundary in 32.32 points; negative when the voice lies beyond it.
int64_t DistanceToBoundary(const Voice& voice) {
    const Sample& s = *voice.sample;
    const int64_t position = voice.position;
    if (voice.direction == 0) {
        const int64_t boundary = position < LoopEnd(s) ? LoopEnd(s) : int64_t{s.length};
        return WholeDistance(position, boundary) * (int64_t{1} << 32) - voice.positionFraction;
    }
    return WholeDistance(s.loopStart, position) * (int64_t{1} << 32) + voice.positionFraction;
}

// The voice's step, limited and with the 40 Hz floor applied (which the voice keeps).
uint64_t EffectiveStep(Voice& voice) {
    uint64_t step = uint64_t{voice.stepInteger} << 32 | voice.stepFraction;
    step = std::min(step, kMaxStep_fp32_32);
    if ((step >> 5) == 0) {
        voice.stepFraction = kFloorStepFraction;
        step = kFloorStepFraction;
    }
    return step;
}

// The step shifted right by 5; kept while a voice's step stays the same.
struct ShiftedStep {
    uint64_t step = 0;

    void Update(uint64_t step_fp32_32) { step = step_fp32_32 >> 5; }
};

// Frames until the boundary is reached or passed, computed on the values shifted right by 5, or
// frames + 1 when the boundary lies beyond the span. The quotient is only taken when it is at most
// `frames`, so it always fits 32 bits (a tiny step on a long sample would need far more).
uint64_t FramesToBoundary(int64_t distance_fp32_32, const ShiftedStep& shifted, uint32_t frames) {
    const uint64_t distance = static_cast<uint64_t>(distance_fp32_32) >> 5;
    const uint64_t step = shifted.step;
    if (distance > step * frames) return uint64_t{frames} + 1;
    const uint64_t n = distance / step;
    return n * step < distance ? n + 1 : n;
}

// Sets up a ramp when the last one ran out or the targets changed since it was set up.
void SetUpRamp(Voice& voice) {
    const uint32_t targets = (static_cast<uint32_t>(voice.leftTarget) << 16) |
                             (static_cast<uint32_t>(voice.rightTarget) & 0xFFFF);
    if (voice.rampFramesLeft != 0 && targets == voice.rampTargets) return;
    voice.rampTargets = targets;
    voice.rightIncrement =
        static_cast<int32_t>((int64_t{voice.rightTarget} * 128 - voice.rightVolume) >> 7);
    voice.leftIncrement =
        static_cast<int32_t>((int64_t{voice.leftTarget} * 128 - voice.leftVolume) >> 7);
    voice.rampFramesLeft =
        (voice.rightIncrement != 0 || voice.leftIncrement != 0) ? kRampFrames : 0;
}

void StopVoice(Voice& voice) {
    voice.position = 0;
    voice.positionFraction = 0;
    voice.sample = nullptr;
}

void StorePosition(Voice& voice, int64_t position_fp32_32) {
    voice.position = static_cast<int32_t>(position_fp32_32 >> 32);
    voice.positionFraction = static_cast<uint32_t>(position_fp32_32);
}

// Reflects the position into the loop, reversing the direction at every mirror.
void TurnPingPong(Voice& voice, int64_t loopStart, int64_t loopEnd) {
    const int64_t low = loopStart << 32, high = loopEnd << 32, period = 2 * (high - low);
    int64_t p = JoinPosition(voice.position, voice.positionFraction);
    bool backward = voice.direction == 0;  // the first mirror is about the boundary just passed
    p = backward ? 2 * high - p : 2 * low - p;
    // Two mirrors, one about each end, move the position by a whole period: skip those at once.
    if (p > high + period) p -= (p - high - 1) / period * period;
    if (p < low - period) p += (low - p - 1) / period * period;
    while (p < low || p > high) {
        backward = p > high;
        p = backward ? 2 * high - p : 2 * low - p;
    }
    voice.direction = backward ? 1 : 0;
    StorePosition(voice, p);
}

// What happens when the voice reaches the boundary the distance was measured to.
void HandleBoundary(Voice& voice) {
    const Sample& s = *voice.sample;
    const int64_t loopLength = s.loopLength;
    if ((s.loopType != 1 && s.loopType != 2) || loopLength <= 0) {
        StopVoice(voice);
        return;
    }
    const int64_t loopEnd = LoopEnd(s);
    if (s.loopType == 2) {
        TurnPingPong(voice, s.loopStart, loopEnd);
        return;
    }
    const int64_t position = voice.position;
    int64_t wrapped;
    if (position > loopEnd) {
        wrapped = s.loopStart + (position - loopEnd) % loopLength;
    } else {
        wrapped = std::max<int64_t>(position - loopLength, 0);
    }
    voice.position = static_cast<int32_t>(wrapped);
}

// At most `frames` frames of a backward chunk such that all read at or after the sample's first
// point. The rounded frame count may take a backward pass a hair past a loop starting at 0.
uint64_t FramesBeforeFirstPoint(int64_t position_fp32_32, uint64_t step_fp32_32, uint64_t frames) {
    if (position_fp32_32 < 0) return 0;
    if (position_fp32_32 >= static_cast<int64_t>((frames - 1) * step_fp32_32)) return frames;
    return static_cast<uint64_t>(position_fp32_32) / step_fp32_32 + 1;
}

// The vector loops are exact while every volume of the chunk stays within 0..32767 (a volume
// left a little below 0 by an interrupted ramp takes the plain loops).
bool FitsVectorLoops(int64_t volume, int64_t increment, uint32_t frames) {
    const int64_t last = volume + increment * (frames - 1);
    return volume >= 0 && volume <= 32767 && last >= 0 && last <= 32767;
}

// How a chunk's frames are mixed: the scalar loops, or vectors of 256 or 512 bits.
uint32_t vectorLimit = 512;

uint32_t WidestVectors() {
    static const uint32_t widest = mixer::Avx512Available() ? 512
                                   : mixer::Avx2Available() ? 256
                                                            : 0;
    return widest;
}

void MixChunk(Voice& voice, int64_t& position, int64_t step, bool ramping, int32_t* accumulator,
              uint32_t frames, uint32_t vectorBits, mixer::PaddedSample& padded) {
    const int16_t* data = voice.sample->data;
    uint32_t points = voice.sample->length + 3;
    if (vectorBits != 0 &&
        (!FitsVectorLoops(voice.leftVolume, ramping ? voice.leftIncrement : 0, frames) ||
         !FitsVectorLoops(voice.rightVolume, ramping ? voice.rightIncrement : 0, frames))) {
        vectorBits = 0;
    }
    if (vectorBits != 0 &&
        !(fastPaths && voice.leftVolume == 0 && voice.rightVolume == 0 && !ramping)) {
        if (padded.data == nullptr) padded.Prepare(data, points);
        data = padded.data;
        points = padded.points;
    }
    if (ramping) {
        auto* mix = vectorBits == 512   ? mixer::MixRamping512
                    : vectorBits == 256 ? mixer::MixRamping256
                                        : nullptr;
        position =
            mix != nullptr
                ? mix(data, points, position, step, voice.leftVolume, voice.rightVolume,
                      voice.leftIncrement, voice.rightIncrement, accumulator, frames)
                : mixer::MixRamping(data, position, step, voice.leftVolume, voice.rightVolume,
                                    voice.leftIncrement, voice.rightIncrement, accumulator, frames);
    } else if (fastPaths && voice.leftVolume == 0 && voice.rightVolume == 0) {
        position += step * frames;  // silent: only the position moves
    } else {
        auto* mix = vectorBits == 512   ? mixer::MixSteady512
                    : vectorBits == 256 ? mixer::MixSteady256
                                        : nullptr;
        position = mix != nullptr ? mix(data, points, position, step, voice.leftVolume,
                                        voice.rightVolume, accumulator, frames)
                                  : mixer::MixSteady(data, position, step, voice.leftVolume,
                                                     voice.rightVolume, accumulator, frames);
    }
}

// Mixes one voice for `frames` frames, chunk by chunk between loop boundaries and ramp ends.
// A faded-out voice on a forward loop, as the chunk loop below would move it, but without its
// other cases: only the position moves, wrapping at the loop end. Most replaced notes end here.
void AdvanceSilentForwardLoop(Voice& voice, uint32_t frames) {
    const Sample& s = *voice.sample;
    const int64_t loopEnd = LoopEnd(s), loopLength = s.loopLength;
    const uint64_t step = EffectiveStep(voice);
    ShiftedStep shifted;
    shifted.Update(step);
    int64_t p = JoinPosition(voice.position, voice.positionFraction);
    bool rampChecked = false;
    while (frames > 0) {
        const int64_t whole = p >> 32;
        if (whole < 0) break;
        const int64_t boundary = whole < loopEnd ? loopEnd : int64_t{s.length};
        const int64_t distance =
            WholeDistance(whole, boundary) * (int64_t{1} << 32) - static_cast<uint32_t>(p);
        if (distance < 0) break;
        const uint64_t toBoundary = FramesToBoundary(distance, shifted, frames);
        if (toBoundary > frames) {
            if (!rampChecked) SetUpRamp(voice);
            p += static_cast<int64_t>(step * frames);
            break;
        }
        if (toBoundary > 0) {
            if (!rampChecked) SetUpRamp(voice);
            rampChecked = true;
            p += static_cast<int64_t>(step * toBoundary);
            frames -= static_cast<uint32_t>(toBoundary);
        }
        const int64_t reached = p >> 32;
        const int64_t wrapped = reached > loopEnd ? s.loopStart + (reached - loopEnd) % loopLength
                                                  : std::max<int64_t>(reached - loopLength, 0);
        p = JoinPosition(static_cast<int32_t>(wrapped), static_cast<uint32_t>(p));
    }
    StorePosition(voice, p);
}

bool IsSilentAndSettled(const Voice& voice) {
    return voice.leftVolume == 0 && voice.rightVolume == 0 && voice.leftTarget == 0 &&
           voice.rightTarget == 0 && voice.rampFramesLeft == 0;
}

// A heard voice on a short forward loop wraps many times per span, and each wrap would start a
// new chunk. Where every wrap of the span moves the position back by exactly one loop length and
// no frame reads past the loop end, the frames read the same points as a position that never
// wraps would in the loop repeated end to end: the span is then mixed in one chunk from such a
// copy. Returns false, with nothing changed, where that does not hold.
bool MixUnrolledForwardLoop(Voice& voice, int32_t* accumulator, uint32_t frames,
                            uint32_t vectorBits) {
    constexpr int64_t kMaxPoints = 2048;
    const Sample& s = *voice.sample;
    const int64_t loopStart = s.loopStart, loopEnd = LoopEnd(s), loopLength = s.loopLength;
    if (voice.position < 0 || voice.position >= loopEnd || s.data[loopEnd] != s.data[loopStart]) {
        return false;
    }
    const uint64_t step = EffectiveStep(voice);
    const int64_t start = JoinPosition(voice.position, voice.positionFraction);
    const int64_t first = voice.position;
    const int64_t last = (start + static_cast<int64_t>(step * (frames - 1))) >> 32;
    if (last + 1 - first + mixer::PaddedSample::kRoom > kMaxPoints) return false;

    // The chunks the span would take, position by position.
    ShiftedStep shifted;
    shifted.Update(step);
    const int64_t end_fp32_32 = loopEnd << 32;
    int64_t p = start;
    int wraps = 0;
    for (uint32_t left = frames; left > 0;) {
        const int64_t distance = end_fp32_32 - p;
        const uint64_t toBoundary = FramesToBoundary(distance, shifted, left);
        const uint64_t chunk = std::min<uint64_t>(toBoundary, left);
        if (chunk > 0 && p + static_cast<int64_t>(step * (chunk - 1)) >= end_fp32_32) {
            return false;  // a frame would read at the loop end
        }
        p += static_cast<int64_t>(step * chunk);
        left -= static_cast<uint32_t>(chunk);
        if (toBoundary > chunk) break;
        if (p < end_fp32_32 || p - end_fp32_32 >= (loopLength << 32)) return false;
        p -= loopLength << 32;
        ++wraps;
    }
    if (wraps == 0) return false;

    SetUpRamp(voice);
    if (voice.rampFramesLeft != 0 || voice.leftVolume < 0 || voice.leftVolume > 32767 ||
        voice.rightVolume < 0 || voice.rightVolume > 32767) {
        return false;  // (the ramp set-up is what the chunk loop does first as well)
    }
    int16_t unrolled[kMaxPoints];
    const int64_t count = last + 1 - first + mixer::PaddedSample::kRoom;
    // The points up to the loop end as they are, then the loop from its second point on, again
    // and again (the loop end holds a copy of the loop start).
    int64_t i = std::min(count, loopEnd - first + 1);
    std::memcpy(unrolled, s.data + first, static_cast<size_t>(i) * sizeof(int16_t));
    for (int64_t offset = (first + i - loopEnd) % loopLength; i < count; offset = 0) {
        const int64_t n = std::min(loopLength - offset, count - i);
        std::memcpy(unrolled + i, s.data + loopStart + offset,
                    static_cast<size_t>(n) * sizeof(int16_t));
        i += n;
    }
    const int64_t relative = start - (first << 32);
    auto* mix = vectorBits == 512 ? mixer::MixSteady512 : mixer::MixSteady256;
    mix(unrolled, static_cast<uint32_t>(count), relative, static_cast<int64_t>(step),
        voice.leftVolume, voice.rightVolume, accumulator, frames);
    StorePosition(voice, p);
    return true;
}

void MixVoice(Voice& voice, int32_t* accumulator, uint32_t frames, uint32_t vectorBits) {
    if (voice.sample == nullptr || !IsConsistent(*voice.sample)) return;
    if (fastPaths && voice.sample->loopType == 1 && voice.sample->loopLength > 0 &&
        voice.direction == 0) {
        if (IsSilentAndSettled(voice)) {
            AdvanceSilentForwardLoop(voice, frames);
            return;
        }
        if (vectorBits != 0 && MixUnrolledForwardLoop(voice, accumulator, frames, vectorBits)) {
            return;
        }
    }
    ShiftedStep shifted;
    mixer::PaddedSample padded;  // prepared once the voice is heard
    while (frames > 0 && voice.sample != nullptr) {
        // A forward voice never starts a chunk before the first point; if it did, skip it.
        if (voice.direction == 0 && voice.position < 0) return;
        const int64_t distance = DistanceToBoundary(voice);
        if (distance < 0) return;
        const uint64_t step = EffectiveStep(voice);
        shifted.Update(step);
        uint64_t toBoundary = FramesToBoundary(distance, shifted, frames);
        if (toBoundary == 0) {
            HandleBoundary(voice);
            continue;
        }
        int64_t position = JoinPosition(voice.position, voice.positionFraction);
        if (voice.direction != 0) {
            toBoundary = FramesBeforeFirstPoint(position, step, toBoundary);
            if (toBoundary == 0) {
                HandleBoundary(voice);
                continue;
            }
        }
        const bool beyondSpan = toBoundary > frames;
        uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(toBoundary, frames));
        SetUpRamp(voice);
        const bool ramping = voice.rampFramesLeft != 0;
        const bool cutByRamp = ramping && voice.rampFramesLeft < chunk;
        if (cutByRamp) chunk = voice.rampFramesLeft;

        const int64_t signedStep =
            voice.direction == 0 ? static_cast<int64_t>(step) : -static_cast<int64_t>(step);
        MixChunk(voice, position, signedStep, ramping, accumulator, chunk, vectorBits, padded);
        StorePosition(voice, position);
        accumulator += 2 * chunk;
        frames -= chunk;

        if (ramping) {
            voice.rampFramesLeft = static_cast<uint16_t>(voice.rampFramesLeft - chunk);
            if (voice.rampFramesLeft == 0) voice.leftIncrement = voice.rightIncrement = 0;
            if (cutByRamp) continue;
        }
        if (beyondSpan) return;
        HandleBoundary(voice);
    }
}

}  // namespace

void mixer::PaddedSample::Prepare(const int16_t* sampleData, uint32_t samplePoints) {
    data = sampleData;
    points = samplePoints;
    if (samplePoints > kMaxPoints) return;
    std::memcpy(copy, sampleData, samplePoints * sizeof(int16_t));
    std::memset(copy + samplePoints, 0, kRoom * sizeof(int16_t));
    data = copy;
    points = samplePoints + kRoom;
}

void SetMixerFastPaths(bool enabled) {
    fastPaths = enabled;
}
uint32_t SetMixerVectorLimit(uint32_t bits) {
    vectorLimit = bits;
    return std::min(vectorLimit, WidestVectors());
}

bool MixerFastPaths() {
    return fastPaths;
}

void MixVoices(Module& module, int32_t* accumulator, uint32_t frames) {
    Voice* voices = module.voices;
    const int32_t count = 2 * module.channelCount;
    const uint32_t vectorBits = fastPaths ? std::min(vectorLimit, WidestVectors()) : 0;
    for (int32_t i = 0; i < count; ++i) MixVoice(voices[i], accumulator, frames, vectorBits);
}

}  // namespace xm
