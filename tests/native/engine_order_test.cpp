// The end of the order list: restart position, looping to the start, stopping without loop.
#include <gtest/gtest.h>

#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

// Plays until the last order position has been left; returns the order position that follows,
// or -1 (and a failure) when the song does not get there within a bound of ticks.
int OrderAfterTheEnd(SongBuilder& song) {
    constexpr int kTickBound = 10000;
    Module& m = song.module();
    const int last = m.songLength - 1;
    int ticks = 0;
    do {
        RunOneTick(m);
    } while (m.order != last && ++ticks < kTickBound);
    while (m.order == last && ++ticks < kTickBound) RunOneTick(m);
    if (ticks >= kTickBound) {
        ADD_FAILURE() << "still at order " << m.order << " after " << kTickBound << " ticks";
        return -1;
    }
    return m.order;
}

TEST(OrderList, EndGoesToTheRestartPosition) {
    SongBuilder song;
    song.AddPattern(2);
    song.SetOrders({0, 0, 0}, /*restart=*/1);
    EXPECT_EQ(OrderAfterTheEnd(song), 1);
    EXPECT_EQ(song.module().row, 0);

    // The longest order list: its last position, 255, is played, and restarts itself.
    SongBuilder longest;
    longest.AddPattern(1);
    longest.SetSpeed(1);  // a row per tick
    longest.SetOrders(std::vector<uint8_t>(256, 0), /*restart=*/255);
    Module& m = longest.module();
    for (int row = 0; row < 256; ++row) RunOneTick(m);
    EXPECT_EQ(m.order, 255);
    RunOneTick(m);
    EXPECT_EQ(m.order, 255);
}

TEST(OrderList, RestartPositionAtOrBeyondTheLengthLoopsToTheStart) {
    for (int restart : {1, 7, 255}) {
        SongBuilder song;
        song.AddPattern(2);
        song.SetOrders({0}, restart);
        // Song length 1: the only order position plays again and again from row 0.
        for (int i = 0; i < 13; ++i) RunOneTick(song.module());  // two rows and a row start
        EXPECT_EQ(song.module().order, 0) << restart;
        EXPECT_EQ(song.module().row, 0) << restart;
        EXPECT_EQ(song.module().tick, 1);
    }
    SongBuilder song;
    song.AddPattern(1);
    song.SetOrders({0, 0, 0}, 3);
    EXPECT_EQ(OrderAfterTheEnd(song), 0);
}

TEST(OrderList, WithoutLoopTheLastRowIsProcessedButNotMixed) {
    SongBuilder song;
    song.AddPattern(2);
    song.AddPattern(2);
    song.SetOrders({0, 1});
    song.At(1, 1, 0).effect = 0x0C;  // set volume 50 on the very last row
    song.At(1, 1, 0).param = 50;
    SpanRecorder recorder;
    TickOutcome outcome = TickOutcome::BlockDone;
    int blocks = 0;
    while (outcome == TickOutcome::BlockDone && blocks < 100) {
        outcome = recorder.Run(song.module(), 1024, /*noLoop=*/true);
        ++blocks;
    }
    ASSERT_EQ(outcome, TickOutcome::SongEnded);
    // Three rows of 5760 frames were mixed, nothing of the fourth.
    EXPECT_EQ(recorder.TotalFrames(), 3u * 5760u);
    EXPECT_EQ(song.module().order, 1);
    EXPECT_EQ(song.module().row, 1);
    EXPECT_EQ(song.channel(0).volume, 50) << "the last row was processed";
}

TEST(OrderList, WithoutLoopABreakFromTheLastOrderStillWrapsToTheStart) {
    SongBuilder song;
    song.AddPattern(4);
    song.At(0, 1, 0).effect = 0x0D;  // D02 on row 1 of the only order position
    song.At(0, 1, 0).param = 0x02;
    for (int i = 0; i < 13; ++i) {
        ASSERT_EQ(RunOneTick(song.module(), true), TickOutcome::BlockDone);
    }
    EXPECT_EQ(song.module().order, 0);
    EXPECT_EQ(song.module().row, 2);
}

}  // namespace
}  // namespace xm::test
