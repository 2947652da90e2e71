#include "player/mixer/mixer_shortcuts.h"

#include <cstring>

#include "player/mixer/mixer_kernels.h"
#include "player/mixer/mixer_planner.h"
#include "player/mixer/mixer_span.h"

namespace xm::mixer {

// A faded-out voice on a forward loop, as the chunk loop below would move it, but without its
// other cases: only the position moves, wrapping at the loop end. Most replaced notes end here.
void AdvanceSilentForwardLoop(Voice& voice, uint32_t frames) {
    const Sample& s = *voice.sample;
    const int64_t loopEnd = LoopEnd(s), loopLength = s.loopLength;
    int64_t p = JoinPosition(voice.position, voice.positionFraction);
    uint64_t step = 0, near = 0;
    bool rampChecked = false;  // the chunk loop sets the ramp up at its first chunk
    while (frames > 0) {
        if (rampChecked) OrdinaryForwardWraps(p, frames, step, loopEnd, loopLength);
        if (frames == 0) break;
        const ChunkPlan plan = PlanChunk(voice, p, false, frames, near);
        if (plan.kind == ChunkPlan::kStill) break;
        step = plan.step_fp32_32;
        if (plan.kind == ChunkPlan::kChunk) {
            if (!rampChecked) SetUpRamp(voice);
            rampChecked = true;
            p += static_cast<int64_t>(step * plan.frames);
            frames -= plan.frames;
            if (!plan.reachesBoundary) break;
        }
        p = WrapForward(p, s.loopStart, loopLength);
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
                            const MixerKernels& kernels) {
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
    // The last frame reads up to the point after `last`; beyond that, what the kernels read ahead.
    const int64_t count = last + 2 - first + kernels.readAhead;
    if (count > kMaxPoints) return false;

    // The chunks the span would take, as the planner gives them to the chunk loop.
    const int64_t end_fp32_32 = loopEnd << 32;
    int64_t p = start;
    int wraps = 0;
    uint64_t near = 0;
    for (uint32_t left = frames; left > 0;) {
        wraps += static_cast<int>(OrdinaryForwardWraps(p, left, step, loopEnd, loopLength));
        if (left == 0) break;
        const ChunkPlan plan = PlanChunk(voice, p, false, left, near);
        if (plan.kind != ChunkPlan::kChunk) return false;
        if (p + static_cast<int64_t>(step * (plan.frames - 1)) >= end_fp32_32) {
            return false;  // a frame would read at the loop end
        }
        p += static_cast<int64_t>(step * plan.frames);
        left -= plan.frames;
        if (!plan.reachesBoundary) break;
        // Only a wrap back by exactly one loop length keeps the frames on the unrolled copy.
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
    // The points up to the loop end as they are; beyond it each point repeats the one a loop length
    // before it (the loop end holds a copy of the loop start). Those come from the sample while
    // they lie before the copy's first point, then from the copy itself in runs that double: one
    // copy per loop pass costs more than the mixing for short loops.
    const auto copy = [&unrolled](int64_t to, const int16_t* from, int64_t n) {
        std::memcpy(unrolled + to, from, static_cast<size_t>(n) * sizeof(int16_t));
    };
    int64_t i = std::min(count, loopEnd - first + 1);
    copy(0, s.data + first, i);
    if (i < std::min(count, loopLength)) {
        copy(i, s.data + first + i - loopLength, std::min(count, loopLength) - i);
        i = std::min(count, loopLength);
    }
    for (int64_t run = loopLength; i < count; i += run, run *= 2) {
        copy(i, unrolled + i - run, std::min(run, count - i));
    }
    const int64_t relative = start - (first << 32);
    kernels.mixSteady(unrolled, static_cast<uint32_t>(count), relative, static_cast<int64_t>(step),
                      voice.leftVolume, voice.rightVolume, accumulator, frames);
    StorePosition(voice, p);
    return true;
}

}  // namespace xm::mixer
