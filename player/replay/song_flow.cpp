// The effects that move through the song: position jump, pattern break and pattern loop.
#include "player/replay/replay.h"

namespace xm {

void PositionJump(ChannelTick& t) {
    Module& module = t.module;
    const int order = t.cell.param < module.songLength ? t.cell.param : 0;
    module.pendingRow.store(0, std::memory_order_release);
    module.pendingOrder.store(order, std::memory_order_release);
    if (t.flow != nullptr) t.flow->jumped = true;
}

void PatternBreak(ChannelTick& t) {
    Module& module = t.module;
    // The parameter reads as two decimal digits. A row beyond the target pattern is dealt with
    // when the row starts, once the pattern is known.
    const int row = 10 * (t.cell.param >> 4) + (t.cell.param & 0x0F);
    module.pendingRow.store(row, std::memory_order_release);
    if (t.flow != nullptr && t.flow->jumped) return;
    // Even a song that does not loop wraps here: the break names a row, not an end.
    const int next = module.order + 1 < module.songLength ? module.order + 1 : 0;
    module.pendingOrder.store(next, std::memory_order_release);
}

void PatternLoop(ChannelTick& t) {
    Module& module = t.module;
    Channel& channel = t.channel;
    const uint8_t y = t.cell.param & 0x0F;
    if (y == 0) {
        channel.patternLoopStartRow = module.row;
        return;
    }
    if (channel.patternLoopCounter == 0) {
        channel.patternLoopCounter = y;
    } else {
        --channel.patternLoopCounter;
    }
    if (channel.patternLoopCounter != 0) {
        module.pendingRow.store(channel.patternLoopStartRow, std::memory_order_release);
    }
}

}  // namespace xm
