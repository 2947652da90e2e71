#include "player/mixer/mixer_shortcuts.h"

#include <algorithm>
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

namespace {

// A voice's ramp and volumes, on which a shortcut runs the chunk loop's ramps ahead of mixing.
struct RampState {
    int32_t rightTarget, leftTarget;
    uint32_t rampTargets;
    int32_t rightIncrement, leftIncrement;
    int32_t rightVolume, leftVolume;
    uint16_t rampFramesLeft;

    explicit RampState(const Voice& v)
        : rightTarget(v.rightTarget),
          leftTarget(v.leftTarget),
          rampTargets(v.rampTargets),
          rightIncrement(v.rightIncrement),
          leftIncrement(v.leftIncrement),
          rightVolume(v.rightVolume),
          leftVolume(v.leftVolume),
          rampFramesLeft(v.rampFramesLeft) {}
    void StoreInto(Voice& v) const {
        v.rampTargets = rampTargets;
        v.rightIncrement = rightIncrement;
        v.leftIncrement = leftIncrement;
        v.rightVolume = rightVolume;
        v.leftVolume = leftVolume;
        v.rampFramesLeft = rampFramesLeft;
    }
};

// What the chunk loop does to a voice's volumes over a span, in pieces that each ramp by fixed
// increments or hold still: the ramps' ends cut chunks, but the volumes move frame by frame the
// same wherever the chunks are cut, so each piece is mixed in one go.
struct VolumePieces {
    struct Piece {
        uint32_t frames;
        int32_t leftIncrement, rightIncrement;  // both 0: steady
    };
    // A span of 1024 frames holds at most its first ramp's rest, 8 whole ramps and a steady piece.
    static constexpr int kMax = 1024 / kRampFrames + 2;
    Piece pieces[kMax];
    int count = 0;

    // False when a span longer than the mixer's blocks would need more pieces than there are.
    bool Add(uint32_t frames, int32_t leftIncrement, int32_t rightIncrement) {
        if (count > 0) {
            Piece& last = pieces[count - 1];
            if (last.leftIncrement == leftIncrement && last.rightIncrement == rightIncrement) {
                last.frames += frames;
                return true;
            }
        }
        if (count == kMax) return false;
        pieces[count++] = {frames, leftIncrement, rightIncrement};
        return true;
    }
};

// Mixes the pieces from `data` (`points` readable) as the chunk loop's MixChunk would, each with
// `kernels` where its volumes fit them, else with the plain loops.
void MixPieces(const VolumePieces& pieces, const int16_t* data, uint32_t points, int64_t position,
               int64_t step, int32_t leftVolume, int32_t rightVolume, int32_t* accumulator,
               const MixerKernels& kernels) {
    for (int i = 0; i < pieces.count; ++i) {
        const VolumePieces::Piece& piece = pieces.pieces[i];
        const bool ramping = piece.leftIncrement != 0 || piece.rightIncrement != 0;
        const MixerKernels& k =
            FitsVectorLoops(leftVolume, piece.leftIncrement, piece.frames) &&
                    FitsVectorLoops(rightVolume, piece.rightIncrement, piece.frames)
                ? kernels
                : PlainKernels();
        if (ramping) {
            k.mixRamping(data, points, position, step, leftVolume, rightVolume, piece.leftIncrement,
                         piece.rightIncrement, accumulator, piece.frames);
        } else if (leftVolume != 0 || rightVolume != 0) {
            k.mixSteady(data, points, position, step, leftVolume, rightVolume, accumulator,
                        piece.frames);
        }
        position += step * piece.frames;
        accumulator += 2 * piece.frames;
    }
}

}  // namespace

// A heard voice on a short forward loop wraps many times per span, and each wrap would start a
// new chunk. Where every wrap of the span moves the position back by exactly one loop length and
// no frame reads past the loop end, the frames read the same points as a position that never
// wraps would in the loop repeated end to end: the span is then mixed from such a copy, in one
// chunk per piece of its volumes (VolumePieces). The walk below takes the chunks the chunk loop
// would take, ramp ends included: a chunk cut by a ramp's end makes the planner count the next
// one from inside the loop, which can move a wrap by a frame. Returns false, with nothing changed,
// where that does not hold.
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
    const int64_t count = last + 2 - first;  // the last frame reads the point after `last`
    if (count > kMaxPoints) return false;

    // The chunks the span would take, as the planner gives them to the chunk loop, and the ramps
    // as the chunk loop runs them on `after` (a ramp is set up at the first chunk and again at
    // the first chunk after one has run out; in between the set-up changes nothing).
    const int64_t end_fp32_32 = loopEnd << 32;
    RampState after(voice);
    VolumePieces pieces;
    int64_t p = start;
    int wraps = 0;
    uint64_t near = 0;
    bool settled = false;  // no ramp after a set-up: none starts again in this span
    SetUpRamp(after);
    for (uint32_t left = frames; left > 0;) {
        if (after.rampFramesLeft == 0 && !settled) SetUpRamp(after);
        settled = after.rampFramesLeft == 0;
        const bool ramping = !settled;
        // Whole passes through the loop that end before the ramp does.
        uint32_t chunk = ramping ? std::min<uint32_t>(left, after.rampFramesLeft) : left;
        const uint32_t budget = chunk;
        wraps += static_cast<int>(OrdinaryForwardWraps(p, chunk, step, loopEnd, loopLength));
        chunk = budget - chunk;
        bool reachesBoundary = false;
        if (chunk == 0) {
            const ChunkPlan plan = PlanChunk(voice, p, false, left, near);
            if (plan.kind != ChunkPlan::kChunk) return false;
            chunk = plan.frames;
            reachesBoundary = plan.reachesBoundary;
            if (ramping && after.rampFramesLeft < chunk) {
                chunk = after.rampFramesLeft;  // the ramp's end cuts the chunk
                reachesBoundary = false;
            }
            if (p + static_cast<int64_t>(step * (chunk - 1)) >= end_fp32_32) {
                return false;  // a frame would read at the loop end
            }
            p += static_cast<int64_t>(step * chunk);
        }
        const int32_t leftIncrement = ramping ? after.leftIncrement : 0;
        const int32_t rightIncrement = ramping ? after.rightIncrement : 0;
        if (!pieces.Add(chunk, leftIncrement, rightIncrement)) return false;
        left -= chunk;
        if (ramping) {
            after.leftVolume = AdvanceVolume(after.leftVolume, leftIncrement, chunk);
            after.rightVolume = AdvanceVolume(after.rightVolume, rightIncrement, chunk);
            after.rampFramesLeft = static_cast<uint16_t>(after.rampFramesLeft - chunk);
            if (after.rampFramesLeft == 0) after.leftIncrement = after.rightIncrement = 0;
        }
        if (!reachesBoundary) continue;
        // Only a wrap back by exactly one loop length keeps the frames on the unrolled copy.
        if (p < end_fp32_32 || p - end_fp32_32 >= (loopLength << 32)) return false;
        p -= loopLength << 32;
        ++wraps;
    }
    if (wraps == 0) return false;

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
    MixPieces(pieces, unrolled, static_cast<uint32_t>(count), start - (first << 32),
              static_cast<int64_t>(step), voice.leftVolume, voice.rightVolume, accumulator,
              kernels);
    after.StoreInto(voice);
    StorePosition(voice, p);
    return true;
}

}  // namespace xm::mixer
