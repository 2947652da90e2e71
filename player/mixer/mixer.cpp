#include "player/mixer/mixer.h"

#include <algorithm>

#include "player/mixer/mixer_frames.h"
#include "player/mixer/mixer_options.h"
#include "player/mixer/mixer_shortcuts.h"
#include "player/mixer/mixer_simd.h"
#include "player/mixer/mixer_span.h"

namespace xm {

namespace {

using namespace mixer;

// The vector loops are exact while every volume of the chunk stays within 0..32767 (a volume
// left a little below 0 by an interrupted ramp takes the plain loops).
bool FitsVectorLoops(int64_t volume, int64_t increment, uint32_t frames) {
    const int64_t last = volume + increment * (frames - 1);
    return volume >= 0 && volume <= 32767 && last >= 0 && last <= 32767;
}

// Mixes one chunk (no boundary inside) with the plain loops, the vector loops of `vectorBits`
// bits where the volumes allow, or, with shortcuts, no reads at all for a silent voice.
void MixChunk(Voice& voice, int64_t& position, int64_t step, bool ramping, int32_t* accumulator,
              uint32_t frames, const MixerOptions& options, PaddedSample& padded) {
    const int16_t* data = voice.sample->data;
    uint32_t vectorBits = options.vectorBits;
    if (!FitsVectorLoops(voice.leftVolume, ramping ? voice.leftIncrement : 0, frames) ||
        !FitsVectorLoops(voice.rightVolume, ramping ? voice.rightIncrement : 0, frames)) {
        vectorBits = 0;
    }
    if (!ramping && options.shortcuts && voice.leftVolume == 0 && voice.rightVolume == 0) {
        position += step * frames;  // silent: only the position moves
        return;
    }
    uint32_t points = voice.sample->length + 3;
    if (vectorBits == 512) {
        if (padded.data == nullptr) padded.Prepare(data, points);
        data = padded.data;
        points = padded.points;
    }
    position = ramping ? MixRampingVectors(vectorBits, data, points, position, step,
                                           voice.leftVolume, voice.rightVolume, voice.leftIncrement,
                                           voice.rightIncrement, accumulator, frames)
                       : MixSteadyVectors(vectorBits, data, points, position, step,
                                          voice.leftVolume, voice.rightVolume, accumulator, frames);
}

// Mixes one voice for `frames` frames, chunk by chunk between loop boundaries and ramp ends.
void MixVoice(Voice& voice, int32_t* accumulator, uint32_t frames, const MixerOptions& options) {
    if (voice.sample == nullptr || !IsConsistent(*voice.sample)) return;
    if (options.shortcuts && voice.sample->loopType == 1 && voice.sample->loopLength > 0 &&
        voice.direction == 0) {
        if (IsSilentAndSettled(voice)) {
            AdvanceSilentForwardLoop(voice, frames);
            return;
        }
        if (options.vectorBits != 0 &&
            MixUnrolledForwardLoop(voice, accumulator, frames, options.vectorBits)) {
            return;
        }
    }
    PaddedSample padded;  // prepared once the voice is heard
    while (frames > 0 && voice.sample != nullptr) {
        // A forward voice never starts a chunk before the first point; if it did, skip it.
        if (voice.direction == 0 && voice.position < 0) return;
        const int64_t distance = DistanceToBoundary(voice);
        if (distance < 0) return;
        const uint64_t step = EffectiveStep(voice);
        uint64_t toBoundary = FramesToBoundary(distance, step, frames);
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
        MixChunk(voice, position, signedStep, ramping, accumulator, chunk, options, padded);
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

namespace mixer {

int64_t MixSteadyVectors(uint32_t bits, const int16_t* data, uint32_t points,
                         int64_t position_fp32_32, int64_t step_fp32_32, int32_t leftVolume,
                         int32_t rightVolume, int32_t* accumulator, uint32_t frames) {
#ifdef XM_MIXER_WIDE
    if (bits == 512) {
        return MixSteady512(data, points, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                            accumulator, frames);
    }
    if (bits == 256) {
        return MixSteady256(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                            accumulator, frames);
    }
#endif
#ifdef XM_MIXER_SSE2
    if (bits == 128) {
        return MixSteady128(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                            accumulator, frames);
    }
#endif
    (void)bits;
    (void)points;
    return MixSteady(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, accumulator,
                     frames);
}

int64_t MixRampingVectors(uint32_t bits, const int16_t* data, uint32_t points,
                          int64_t position_fp32_32, int64_t step_fp32_32, int32_t& leftVolume,
                          int32_t& rightVolume, int32_t leftIncrement, int32_t rightIncrement,
                          int32_t* accumulator, uint32_t frames) {
#ifdef XM_MIXER_WIDE
    if (bits == 512) {
        return MixRamping512(data, points, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                             leftIncrement, rightIncrement, accumulator, frames);
    }
    if (bits == 256) {
        return MixRamping256(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                             leftIncrement, rightIncrement, accumulator, frames);
    }
#endif
#ifdef XM_MIXER_SSE2
    if (bits == 128) {
        return MixRamping128(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume,
                             leftIncrement, rightIncrement, accumulator, frames);
    }
#endif
    (void)bits;
    (void)points;
    return MixRamping(data, position_fp32_32, step_fp32_32, leftVolume, rightVolume, leftIncrement,
                      rightIncrement, accumulator, frames);
}

}  // namespace mixer

uint32_t WidestMixerVectors() {
#if defined(XM_MIXER_WIDE)
    static const uint32_t widest = Avx512Available() ? 512 : Avx2Available() ? 256 : 128;
    return widest;
#elif defined(XM_MIXER_SSE2)
    return 128;
#else
    return 0;
#endif
}

void MixVoices(Module& module, int32_t* accumulator, uint32_t frames, const MixerOptions& options) {
    MixerOptions chosen = options;
    const uint32_t bits =
        !options.shortcuts ? 0 : std::min(options.vectorBits, WidestMixerVectors());
    chosen.vectorBits = bits >= 512 ? 512 : bits >= 256 ? 256 : bits != 0 ? 128 : 0;
    Voice* voices = module.voices;
    const int32_t count = 2 * module.channelCount;
    for (int32_t i = 0; i < count; ++i) MixVoice(voices[i], accumulator, frames, chosen);
}

}  // namespace xm
