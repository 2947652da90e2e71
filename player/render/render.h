// Block rendering: turns the loaded song into 16-bit stereo blocks of the looping wave buffer.
// Shared by the output worker (Windows waveOut, or a stand-in device in tests) and xmrender.
#pragma once

#include <atomic>
#include <cstdint>

#include "player/mixer/mixer_options.h"
#include "player/song/records.h"

namespace xm {

inline constexpr uint32_t kBlockFrames = 1024;
inline constexpr uint32_t kBlockCount = 16;
inline constexpr uint32_t kBlockBytes = kBlockFrames * 4;            // 4,096
inline constexpr uint32_t kBufferBytes = kBlockBytes * kBlockCount;  // 65,536

// One entry of the status ring: what the getters report for a block.
struct StatusEntry {
    std::atomic<uint32_t> levels{0};    // left average << 16 | right average
    std::atomic<uint32_t> position{0};  // order << 16 | row
};

// Everything one playing song needs besides the song records. Values marked "caller" are written
// by the entry points on the caller's thread and read by the worker; "worker" the other way.
struct RenderState {
    Module* module = nullptr;
    MixerOptions mixer;                     // set before rendering; the player keeps the defaults
    std::atomic<uint8_t> paused{0};         // caller
    std::atomic<uint8_t> noLoop{0};         // caller (set before the worker starts)
    std::atomic<uint32_t> masterVolume{0};  // caller: 1..32768, 32768 unity; 0 never set
    std::atomic<uint32_t> statusIndex{0};   // worker
    std::atomic<uint32_t> playTimeMs{0};    // worker
    StatusEntry statusRing[kBlockCount];    // worker
    uint32_t fillIndex = 0;                 // worker: next block to render, 0..15
    alignas(64) int32_t accumulator[2 * kBlockFrames] = {};  // left, right interleaved
};

enum class BlockOutcome {
    Rendered,   // the block at the old fill index was written and the fill index advanced
    SongEnded,  // a no-loop song reached the end of its order list: the block was abandoned
};

// Renders the block at state.fillIndex into `waveBuffer` (kBufferBytes bytes, 16-bit stereo):
// clear, run the tick scheduler and mixer unless paused, convert with the master volume, store
// position and levels in the status ring, advance the fill index. Worker thread (or any single
// thread that owns the song).
BlockOutcome MixBlock(RenderState& state, int16_t* waveBuffer);

// Master volume for a SetVolume step: steps above 25 count as 25; step 0 gives 1.
uint32_t MasterVolumeForStep(uint32_t step);

}  // namespace xm
