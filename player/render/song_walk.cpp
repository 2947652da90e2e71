#include "player/render/song_walk.h"

#include <unordered_set>

#include "player/replay/engine.h"

namespace xm {

namespace {

// Beyond this many rows the walk gives up even within its frame limit, keeping its memory to tens
// of megabytes: at speed 1 and BPM 255 (about 100 rows a second) this is over 2.5 hours of music.
constexpr uint64_t kMaxRows = 1'000'000;

// Everything that decides where the song goes after the row just started: its position, the jump
// that row asked for, and the pattern loop counters and start rows of every channel. Folded into
// 64 bits (FNV-1a); two different states meeting by chance is not a practical concern.
uint64_t FlowFingerprint(const Module& module) {
    uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](int64_t value) {
        for (int i = 0; i < 8; ++i) {
            hash ^= static_cast<uint64_t>(value >> (8 * i)) & 0xFF;
            hash *= 1099511628211ull;
        }
    };
    mix(module.order);
    mix(module.row);
    mix(module.pendingOrder.load(std::memory_order_relaxed));
    mix(module.pendingRow.load(std::memory_order_relaxed));
    for (int i = 0; i < module.channelCount; ++i) {
        mix(module.channels[i].patternLoopCounter);
        mix(module.channels[i].patternLoopStartRow);
    }
    return hash;
}

}  // namespace

SongWalk WalkSong(Module& module, uint64_t frameLimit) {
    SongWalk walk;
    std::unordered_set<uint64_t> seen;
    uint64_t frames = 0, rows = 0;
    int32_t lastOrder = 0, lastRow = 0;
    bool ending = false;
    while (frames < frameLimit && rows < kMaxRows) {
        const bool atRowStart = module.tick == 0;
        if (atRowStart && ending) {
            walk.ending = SongWalk::Ending::OrderListEnd;
            walk.frames = frames;
            return walk;
        }
        const SkippedTick tick = SkipTick(module);
        if (tick.rowStart) {
            ++rows;
            if (!seen.insert(FlowFingerprint(module)).second) {
                walk.ending = SongWalk::Ending::JumpsBack;
                walk.frames = walk.framesToLastRow = frames;
                walk.fromOrder = lastOrder;
                walk.fromRow = lastRow;
                walk.toOrder = module.order;
                walk.toRow = module.row;
                return walk;
            }
            lastOrder = module.order;
            lastRow = module.row;
            if (tick.lastRow) {
                ending = true;
                walk.framesToLastRow = frames;
            }
        }
        frames += tick.frames;
    }
    walk.frames = frames;
    return walk;
}

}  // namespace xm
