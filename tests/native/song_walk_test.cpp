// Walking a song without mixing: one pass's length through speed, tempo, break, delay and loop
// effects, worked out by hand, and where a song that never ends turns back.
#include <gtest/gtest.h>

#include "player/render/song_walk.h"
#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

// At speed 6 and BPM 125 (960 frames a tick) a row lasts 5,760 frames.
constexpr uint64_t kRow = 6 * 960;

XmSong SongOf(std::vector<XmPattern> patterns, std::vector<uint8_t> orders) {
    XmSong song = PlainSong();
    song.patterns = std::move(patterns);
    song.orders = std::move(orders);
    return song;
}

// Sets the effect of the cell at `row` of channel 0 (4 channels).
void Effect(XmPattern& pattern, int row, uint8_t effect, uint8_t param) {
    pattern.cells[static_cast<size_t>(row) * 4] = {0, 0, 0, effect, param};
}

xm::SongWalk Walk(const XmSong& song, uint64_t limit = 3600 * 48000) {
    auto loaded = LoadXm(BuildXm(song));
    EXPECT_TRUE(loaded->ok);
    return xm::WalkSong(loaded->module, limit);
}

TEST(SongWalk, APlainSongEndsAfterItsRowsAndANoLoopRenderAtItsLastRow) {
    const auto walk = Walk(SongOf({EmptyPattern(8, 4), EmptyPattern(4, 4)}, {0, 1, 0}));
    EXPECT_EQ(walk.ending, xm::SongWalk::Ending::OrderListEnd);
    EXPECT_EQ(walk.frames, 20 * kRow);
    EXPECT_EQ(walk.framesToLastRow, 19 * kRow);
}

TEST(SongWalk, SpeedAndTempoChangesCountFromTheTickThatMakesThem) {
    XmPattern p = EmptyPattern(8, 4);
    Effect(p, 2, 0x0F, 0x03);  // speed 3 from row 2
    Effect(p, 4, 0x0F, 150);   // BPM 150 (800 frames a tick) from row 4, tick 0 included
    const auto walk = Walk(SongOf({p}, {0}));
    EXPECT_EQ(walk.ending, xm::SongWalk::Ending::OrderListEnd);
    EXPECT_EQ(walk.frames, 2 * kRow + 2 * 3 * 960 + 4 * 3 * 800u);  // 26,880: 0.56 s
    EXPECT_EQ(walk.framesToLastRow, walk.frames - 3 * 800);
}

TEST(SongWalk, APatternBreakSkipsRowsAndAPatternDelayRepeatsOne) {
    XmPattern first = EmptyPattern(16, 4), second = EmptyPattern(8, 4);
    Effect(first, 3, 0x0D, 0x05);   // after row 3: order 1, row 5
    Effect(second, 6, 0x0E, 0xE2);  // row 6 lasts 3 rows
    const auto walk = Walk(SongOf({first, second}, {0, 1}));
    EXPECT_EQ(walk.ending, xm::SongWalk::Ending::OrderListEnd);
    // Rows 0..3, then 5, 6 (three times as long) and 7.
    EXPECT_EQ(walk.frames, 9 * kRow);
    EXPECT_EQ(walk.framesToLastRow, 8 * kRow);
}

TEST(SongWalk, APatternLoopPlaysItsRowsAgainAndStillEnds) {
    XmPattern p = EmptyPattern(4, 4);
    Effect(p, 0, 0x0E, 0x60);  // loop start
    Effect(p, 1, 0x0E, 0x62);  // rows 0 and 1 three times
    const auto walk = Walk(SongOf({p}, {0}));
    EXPECT_EQ(walk.ending, xm::SongWalk::Ending::OrderListEnd);
    EXPECT_EQ(walk.frames, 8 * kRow);
}

TEST(SongWalk, AJumpBackIsFoundWithTheRowsItLinks) {
    XmPattern last = EmptyPattern(4, 4);
    Effect(last, 3, 0x0B, 0x01);  // order 2 row 3 goes back to order 1
    const auto walk = Walk(SongOf({EmptyPattern(4, 4), EmptyPattern(4, 4), last}, {0, 1, 2}));
    EXPECT_EQ(walk.ending, xm::SongWalk::Ending::JumpsBack);
    EXPECT_EQ(walk.frames, 12 * kRow);
    EXPECT_EQ(walk.fromOrder, 2);
    EXPECT_EQ(walk.fromRow, 3);
    EXPECT_EQ(walk.toOrder, 1);
    EXPECT_EQ(walk.toRow, 0);
}

TEST(SongWalk, ABreakFromTheLastOrderWrapsToTheStartForEver) {
    XmPattern p = EmptyPattern(8, 4);
    Effect(p, 5, 0x0D, 0x02);  // from the only order to order 0, row 2
    const auto walk = Walk(SongOf({p}, {0}));
    EXPECT_EQ(walk.ending, xm::SongWalk::Ending::JumpsBack);
    EXPECT_EQ(walk.frames, 6 * kRow);
    EXPECT_EQ(walk.fromRow, 5);
    EXPECT_EQ(walk.toOrder, 0);
    EXPECT_EQ(walk.toRow, 2);
}

TEST(SongWalk, ASongLongerThanTheLimitIsReportedAsSuch) {
    const auto walk = Walk(SongOf({EmptyPattern(64, 4)}, {0}), 10 * kRow);
    EXPECT_EQ(walk.ending, xm::SongWalk::Ending::TooLong);
    EXPECT_EQ(walk.frames, 10 * kRow);
}

}  // namespace
