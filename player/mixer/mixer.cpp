#include "player/mixer/mixer.h"

#include <algorithm>

#include "player/mixer/mixer_frames.h"
#include "player/mixer/mixer_kernels.h"
#include "player/mixer/mixer_options.h"
#include "player/mixer/mixer_shortcuts.h"
#include "player/mixer/mixer_planner.h"
#include "player/mixer/mixer_span.h"

namespace xm {

namespace {

using namespace mixer;

// Mixes one chunk (no boundary inside) with the chosen kernels where the volumes allow, else the
// plain loops, or, with shortcuts, no reads at all for a silent voice.
void MixChunk(Voice& voice, int64_t& position, int64_t step, bool ramping, int32_t* accumulator,
              uint32_t frames, const MixerOptions& options, const MixerKernels& chosen) {
    const int16_t* data = voice.sample->data;
    const MixerKernels* kernels = &chosen;
    if (!FitsVectorLoops(voice.leftVolume, ramping ? voice.leftIncrement : 0, frames) ||
        !FitsVectorLoops(voice.rightVolume, ramping ? voice.rightIncrement : 0, frames)) {
        kernels = &PlainKernels();
    }
    if (!ramping && options.shortcuts && voice.leftVolume == 0 && voice.rightVolume == 0) {
        position += step * frames;  // silent: only the position moves
        return;
    }
    const uint32_t points = voice.sample->length + 3;
    position = ramping ? kernels->mixRamping(data, points, position, step, voice.leftVolume,
                                             voice.rightVolume, voice.leftIncrement,
                                             voice.rightIncrement, accumulator, frames)
                       : kernels->mixSteady(data, points, position, step, voice.leftVolume,
                                            voice.rightVolume, accumulator, frames);
}

// Mixes one voice for `frames` frames, chunk by chunk between loop boundaries and ramp ends.
void MixVoice(Voice& voice, int32_t* accumulator, uint32_t frames, const MixerOptions& options,
              const MixerKernels& kernels) {
    if (voice.sample == nullptr || !IsConsistent(*voice.sample)) return;
    if (options.shortcuts && voice.sample->loopType == 1 && voice.sample->loopLength > 0 &&
        voice.direction == 0) {
        if (IsSilentAndSettled(voice)) {
            AdvanceSilentForwardLoop(voice, frames);
            return;
        }
        if (kernels.unrollsShortLoops &&
            MixUnrolledForwardLoop(voice, accumulator, frames, kernels)) {
            return;
        }
    }
    uint64_t near = 0;
    while (frames > 0 && voice.sample != nullptr) {
        const int64_t start = JoinPosition(voice.position, voice.positionFraction);
        const ChunkPlan plan = PlanChunk(voice, start, voice.direction != 0, frames, near);
        if (plan.kind == ChunkPlan::kStill) return;
        if (plan.kind == ChunkPlan::kBoundaryNow) {
            HandleBoundary(voice);
            continue;
        }
        uint32_t chunk = plan.frames;
        SetUpRamp(voice);
        const bool ramping = voice.rampFramesLeft != 0;
        const bool cutByRamp = ramping && voice.rampFramesLeft < chunk;
        if (cutByRamp) chunk = voice.rampFramesLeft;

        const auto step = static_cast<int64_t>(plan.step_fp32_32);
        int64_t position = start;
        MixChunk(voice, position, voice.direction == 0 ? step : -step, ramping, accumulator, chunk,
                 options, kernels);
        StorePosition(voice, position);
        accumulator += 2 * chunk;
        frames -= chunk;

        if (ramping) {
            voice.rampFramesLeft = static_cast<uint16_t>(voice.rampFramesLeft - chunk);
            if (voice.rampFramesLeft == 0) voice.leftIncrement = voice.rightIncrement = 0;
            if (cutByRamp) continue;
        }
        if (!plan.reachesBoundary) return;
        HandleBoundary(voice);
    }
}

}  // namespace

void MixVoices(Module& module, int32_t* accumulator, uint32_t frames, const MixerOptions& options) {
    const MixerKernels& kernels = ChooseKernels(options);
    Voice* voices = module.voices;
    const int32_t count = 2 * module.channelCount;
    for (int32_t i = 0; i < count; ++i) MixVoice(voices[i], accumulator, frames, options, kernels);
}

}  // namespace xm
