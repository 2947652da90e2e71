// The tick scheduler: tick and row lengths in frames, tempo and speed changes, pattern delay.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

// Frames mixed while each (order, row) was current, in the order they were played.
struct RowTimeline {
    std::vector<std::pair<std::pair<int, int>, uint32_t>> rows;

    void Attach(SpanRecorder& recorder) {
        recorder.onSpan = [this](Module& m, const Span& span) {
            const std::pair<int, int> at{m.order, m.row};
            if (rows.empty() || rows.back().first != at) rows.push_back({at, 0});
            rows.back().second += span.frames;
        };
    }
};

TEST(TickScheduler, RowsLast5760FramesAtSpeed6And125Bpm) {
    SongBuilder song;
    song.AddPattern(4);
    SpanRecorder recorder;
    RowTimeline timeline;
    timeline.Attach(recorder);
    for (int block = 0; block < 20; ++block) {
        ASSERT_EQ(recorder.Run(song.module(), 1024), TickOutcome::BlockDone);
    }
    // 20 blocks = 20480 frames: rows 0..2 whole, row 3 partly.
    ASSERT_GE(timeline.rows.size(), 4u);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(timeline.rows[r].first, std::make_pair(0, r));
        EXPECT_EQ(timeline.rows[r].second, 5760u) << "row " << r;
    }
    EXPECT_EQ(timeline.rows[3].second, 20480u - 3 * 5760u);
    // Spans never cross a tick boundary (every 960 frames) nor a block end.
    uint32_t frame = 0;
    for (const Span& s : recorder.spans) {
        EXPECT_EQ(s.offset, frame % 1024);
        EXPECT_LE(frame % 960 + s.frames, 960u);
        EXPECT_LE(s.offset + s.frames, 1024u);
        frame += s.frames;
    }
    EXPECT_EQ(frame, 20480u);
}

TEST(TickScheduler, FramesLeftInTickCarryOverBetweenBlocks) {
    SongBuilder song;
    song.AddPattern(64);
    SpanRecorder recorder;
    recorder.Run(song.module(), 1000);
    EXPECT_EQ(song.module().framesLeftInTick, 920u);  // ticks of 960: 960 + 40
    ASSERT_EQ(recorder.spans.size(), 2u);
    EXPECT_EQ(recorder.spans[1].offset, 960u);
    EXPECT_EQ(recorder.spans[1].frames, 40u);
    recorder.spans.clear();
    recorder.Run(song.module(), 100);
    ASSERT_EQ(recorder.spans.size(), 1u);  // no new tick inside this block
    EXPECT_EQ(song.module().framesLeftInTick, 820u);
    EXPECT_EQ(song.module().tick, 2);
}

TEST(TickScheduler, TempoEffectAppliesToTheTickThatSetsIt) {
    SongBuilder song;
    song.AddPattern(8);
    song.At(0, 0, 0).effect = 0x0F;
    song.At(0, 0, 0).param = 0x20;  // 32 BPM
    SpanRecorder recorder;
    recorder.Run(song.module(), 3750 * 3);
    ASSERT_EQ(recorder.spans.size(), 3u);
    for (const Span& s : recorder.spans) EXPECT_EQ(s.frames, 3750u);
    EXPECT_EQ(song.module().framesPerTick, 3750u);
}

TEST(TickScheduler, SpeedZeroMakesEveryTickARow) {
    SongBuilder song;
    song.AddPattern(8);
    song.At(0, 0, 0).effect = 0x0F;  // F00
    for (int tick = 0; tick < 5; ++tick) {
        RunOneTick(song.module());
        EXPECT_EQ(song.module().row, tick);
        EXPECT_EQ(song.module().tick, 0);
    }
}

TEST(TickScheduler, PatternDelayStretchesTheRowAndTheTickCounterKeepsCounting) {
    SongBuilder song;
    song.AddPattern(8);
    song.At(0, 0, 0).effect = 0x0E;
    song.At(0, 0, 0).param = 0xE2;  // EE2 at speed 6: 18 ticks
    std::vector<int> ticksSeen;
    for (int i = 0; i < 19; ++i) {
        ticksSeen.push_back(song.module().tick);
        RunOneTick(song.module());
        if (i < 18) {
            EXPECT_EQ(song.module().row, 0) << "tick " << i;
        }
    }
    EXPECT_EQ(song.module().row, 1);
    for (int i = 0; i < 18; ++i) EXPECT_EQ(ticksSeen[i], i);
    EXPECT_EQ(song.module().patternDelay, 0);
}

TEST(TickScheduler, PatternWithoutCellsStillTakesItsRows) {
    SongBuilder song;
    song.AddPattern(2, /*withCells=*/false);
    song.AddPattern(4);
    song.SetOrders({0, 1});
    song.channel(0).volume = 33;
    for (int i = 0; i < 12; ++i) RunOneTick(song.module());
    EXPECT_EQ(song.module().order, 0);
    EXPECT_EQ(song.channel(0).flags, 0) << "no channel work on a pattern without notes";
    RunOneTick(song.module());
    EXPECT_EQ(song.module().order, 1);
    EXPECT_EQ(song.module().row, 0);
    EXPECT_NE(song.channel(0).flags, 0);
}

TEST(TickScheduler, PendingJumpFromOutsideTakesEffectAtTheNextRow) {
    SongBuilder song;
    song.AddPattern(64);
    song.AddPattern(64);
    song.SetOrders({0, 0, 1});
    RunOneTick(song.module());
    song.module().pendingOrder.store(2);
    song.module().pendingRow.store(0);
    for (int i = 0; i < 5; ++i) RunOneTick(song.module());
    EXPECT_EQ(song.module().order, 0) << "the row in progress finishes first";
    RunOneTick(song.module());
    EXPECT_EQ(song.module().order, 2);
    EXPECT_EQ(song.module().row, 0);
}

}  // namespace
}  // namespace xm::test
