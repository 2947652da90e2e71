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

bool fastPaths = true;

// The vector loops are exact while every volume of the chunk stays within 0..32767 (a volume
// left a little below 0 by an interrupted ramp takes the plain loops).
bool FitsVectorLoops(int64_t volume, int64_t increment, uint32_t frames) {
    const int64_t last = volume + increment * (frames - 1);
    return volume >= 0 && volume <= 32767 && last >= 0 && last <= 32767;
}

// The widest vector loops allowed (tests lower it to compare each width with the plain loops).
uint32_t vectorLimit = 512;

uint32_t WidestVectors() {
    static const uint32_t widest = mixer::Avx512Available() ? 512
                                   : mixer::Avx2Available() ? 256
                                                            : 0;
    return widest;
}

// Mixes one chunk (no boundary inside) with the plain loops, the vector loops of `vectorBits`
// bits where the volumes allow, or no reads at all for a silent voice.
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
    mixer::PaddedSample padded;  // prepared once the voice is heard
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
