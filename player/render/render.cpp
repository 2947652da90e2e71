#include "player/render/render.h"

#include <algorithm>

#include "player/mixer/block_conversion.h"
#include "player/replay/engine.h"
#include "player/mixer/mixer.h"

namespace xm {

namespace {

constexpr uint32_t kFramesPerMs = kOutputRate / 1000;

void MixSpan(Module& module, uint32_t offset, uint32_t frames, void* context) {
    auto& state = *static_cast<RenderState*>(context);
    MixVoices(module, state.accumulator + 2 * offset, frames, state.mixer);
    // Whole milliseconds per span, as the design counts them; only the worker writes this.
    state.playTimeMs.store(state.playTimeMs.load(std::memory_order_relaxed) + frames / kFramesPerMs,
                           std::memory_order_relaxed);
}

uint32_t PositionValue(const Module& module) {
    return static_cast<uint32_t>(module.order) << 16 | (static_cast<uint32_t>(module.row) & 0xFFFF);
}

}  // namespace

BlockOutcome MixBlock(RenderState& state, int16_t* waveBuffer) {
    std::fill(std::begin(state.accumulator), std::end(state.accumulator), 0);
    if (state.paused.load(std::memory_order_relaxed) == 0) {
        Module& module = *state.module;
        const bool noLoop = state.noLoop.load(std::memory_order_relaxed) != 0;
        if (RunTicks(module, kBlockFrames, noLoop, &MixSpan, &state) == TickOutcome::SongEnded) {
            return BlockOutcome::SongEnded;  // the block is abandoned unconverted
        }
        state.statusRing[state.fillIndex].position.store(PositionValue(module),
                                                         std::memory_order_relaxed);
    }
    int16_t* block = waveBuffer + state.fillIndex * kBlockFrames * 2;
    const uint32_t levels =
        ConvertBlock(state.accumulator, block, kBlockFrames,
                     state.masterVolume.load(std::memory_order_relaxed), state.mixer);
    // The levels of a block go with the next block's entry, as the getters expect.
    state.fillIndex = (state.fillIndex + 1) % kBlockCount;
    state.statusRing[state.fillIndex].levels.store(levels, std::memory_order_relaxed);
    return BlockOutcome::Rendered;
}

}  // namespace xm
