// Effects that move through the song (jumps, breaks, loops) or time a note (delay, cut).
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

constexpr uint8_t kC4 = 49;

void SetEffect(Cell& cell, uint8_t effect, uint8_t param) {
    cell.effect = effect;
    cell.param = param;
}

// Two channels, seven order positions over two 64-row patterns, speed 1.
struct FlowSong {
    SongBuilder song{2};
    FlowSong() {
        song.AddPattern(64);
        song.AddPattern(64);
        song.SetOrders({0, 1, 1, 1, 1, 1, 1});
        song.SetSpeed(1);
    }
    std::pair<int, int> PositionAfterRows(int rows) {
        for (int i = 0; i < rows; ++i) RunOneTick(song.module());
        return {song.module().order, song.module().row};
    }
    // Order position and row after each of `ticks` ticks.
    std::vector<std::pair<int, int>> Visited(int ticks) {
        std::vector<std::pair<int, int>> out;
        for (int i = 0; i < ticks; ++i) {
            RunOneTick(song.module());
            out.emplace_back(song.module().order, song.module().row);
        }
        return out;
    }
};

// Order position and row repeated for `ticks` ticks.
std::vector<std::pair<int, int>> Stay(int order, int row, int ticks) {
    return std::vector<std::pair<int, int>>(static_cast<size_t>(ticks), {order, row});
}

std::vector<std::pair<int, int>> Then(std::vector<std::pair<int, int>> a,
                                      const std::vector<std::pair<int, int>>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(SongFlow, PatternBreakGoesToItsDecimalRowOfTheNextOrder) {
    FlowSong s;
    SetEffect(s.song.At(0, 0, 1), 0x0D, 0x32);  // D32
    EXPECT_EQ(s.PositionAfterRows(2), std::make_pair(1, 32));
}

TEST(SongFlow, JumpAndBreakCombineByChannelOrder) {
    {
        FlowSong s;
        SetEffect(s.song.At(0, 0, 0), 0x0B, 0x05);  // B05, then D10 in a later channel
        SetEffect(s.song.At(0, 0, 1), 0x0D, 0x10);
        EXPECT_EQ(s.PositionAfterRows(2), std::make_pair(5, 10));
    }
    {
        FlowSong s;
        SetEffect(s.song.At(0, 0, 0), 0x0D, 0x10);  // D10, then B05 in a later channel
        SetEffect(s.song.At(0, 0, 1), 0x0B, 0x05);
        EXPECT_EQ(s.PositionAfterRows(2), std::make_pair(5, 0));
    }
    {
        FlowSong s;
        SetEffect(s.song.At(0, 3, 0), 0x0B, 0x07);  // beyond the song: its start
        EXPECT_EQ(s.PositionAfterRows(5), std::make_pair(0, 0));
    }
}

TEST(SongFlow, BreakBeyondTheTargetPatternStartsItAtItsFirstRow) {
    SongBuilder song;
    song.AddPattern(8);
    song.AddPattern(16);
    song.SetOrders({0, 1});
    song.SetSpeed(1);
    SetEffect(song.At(0, 0, 0), 0x0D, 0x16);  // row 16 of the 16-row pattern 1
    SetEffect(song.At(1, 0, 0), 0x0D, 0x99);  // row 99 of the 8-row pattern 0
    SetEffect(song.At(0, 1, 0), 0x0D, 0x15);  // the last row of pattern 1 is still reachable
    std::vector<std::pair<int, int>> positions;
    for (int i = 0; i < 5; ++i) {
        RunOneTick(song.module());
        positions.emplace_back(song.module().order, song.module().row);
    }
    const std::vector<std::pair<int, int>> expected = {{0, 0}, {1, 0}, {0, 0}, {1, 0}, {0, 0}};
    EXPECT_EQ(positions, expected);
    SetEffect(song.At(0, 0, 0), 0, 0);  // next time round, pattern 0 goes on to its row 1
    for (int i = 0; i < 4; ++i) RunOneTick(song.module());
    EXPECT_EQ(song.module().order, 1);
    EXPECT_EQ(song.module().row, 15);
}

TEST(SongFlow, PatternLoopPlaysTheLoopedRowsThreeTimesWithE62) {
    SongBuilder song;
    song.AddPattern(8);
    song.SetSpeed(1);
    SetEffect(song.At(0, 1, 0), 0x0E, 0x60);  // loop start on row 1
    SetEffect(song.At(0, 3, 0), 0x0E, 0x62);  // back twice from row 3
    std::vector<int> rows;
    for (int i = 0; i < 12; ++i) {
        RunOneTick(song.module());
        rows.push_back(song.module().row);
    }
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2, 3, 1, 2, 3, 1, 2, 3, 4, 5}));
    EXPECT_EQ(song.channel(0).patternLoopCounter, 0);
}

// EE stretches the row it is on; a jump or break on that row waits for the stretched row's end.
TEST(SongFlow, PatternDelayHoldsAJumpOrBreakUntilTheRowEnds) {
    {
        FlowSong s;
        s.song.SetSpeed(2);
        SetEffect(s.song.At(0, 0, 0), 0x0E, 0xE1);  // 2 + 1 x 2 ticks
        SetEffect(s.song.At(0, 0, 1), 0x0D, 0x05);
        EXPECT_EQ(s.Visited(6), Then(Stay(0, 0, 4), Stay(1, 5, 2)));
    }
    {
        FlowSong s;
        s.song.SetSpeed(2);
        SetEffect(s.song.At(0, 0, 0), 0x0B, 0x03);
        SetEffect(s.song.At(0, 0, 1), 0x0E, 0xE2);  // 2 + 2 x 2 ticks
        EXPECT_EQ(s.Visited(8), Then(Stay(0, 0, 6), Stay(3, 0, 2)));
    }
}

// A pattern loop's row is stretched each time it is played; the loop counts plays, not ticks.
TEST(SongFlow, PatternDelayOnALoopedRowStretchesEveryPass) {
    FlowSong s;
    s.song.SetSpeed(2);
    SetEffect(s.song.At(0, 1, 0), 0x0E, 0x60);
    SetEffect(s.song.At(0, 2, 0), 0x0E, 0x61);  // once more from row 1
    SetEffect(s.song.At(0, 2, 1), 0x0E, 0xE1);
    const auto expected = Then(Then(Then(Stay(0, 0, 2), Stay(0, 1, 2)), Stay(0, 2, 4)),
                               Then(Then(Stay(0, 1, 2), Stay(0, 2, 4)), Stay(0, 3, 2)));
    EXPECT_EQ(s.Visited(16), expected);
}

// E6y sets only the pending row; B and D in the same row combine with it by channel order.
TEST(SongFlow, PatternLoopCombinesWithJumpAndBreakByChannelOrder) {
    struct Case {
        int loopChannel;
        uint8_t effect, param;
        std::pair<int, int> next;
    };
    const Case cases[] = {
        {0, 0x0B, 0x04, {4, 0}},  // the later B sets the row back to 0
        {1, 0x0B, 0x04, {4, 1}},  // the later loop keeps B's order and sets its row
        {0, 0x0D, 0x05, {1, 5}},  // the later D sets its row and the next order
        {1, 0x0D, 0x05, {1, 1}},  // the later loop keeps D's order and sets its row
    };
    for (const Case& c : cases) {
        FlowSong s;
        SetEffect(s.song.At(0, 1, c.loopChannel), 0x0E, 0x60);
        SetEffect(s.song.At(0, 3, c.loopChannel), 0x0E, 0x62);
        SetEffect(s.song.At(0, 3, 1 - c.loopChannel), c.effect, c.param);
        EXPECT_EQ(s.PositionAfterRows(5), c.next)
            << "loop in channel " << c.loopChannel << ", effect " << int{c.effect};
    }
}

// Volume of the channel's voice and whether a note started, tick by tick over one row.
struct NoteTimeline {
    std::vector<int32_t> finalVolume;
    std::vector<bool> started;
};

NoteTimeline PlayRow(SongBuilder& song, int ticks) {
    NoteTimeline t;
    Module& m = song.module();
    for (int i = 0; i < ticks; ++i) {
        // A start rewinds the voice it plays on; mark the position to see it.
        Voice* before = song.channel(0).voice;
        const Sample* sampleBefore = before->sample;
        const int32_t positionMark = -12345;
        before->position = positionMark;
        RunOneTick(m);
        const Voice* after = song.channel(0).voice;
        t.started.push_back(after != before || after->sample != sampleBefore ||
                            after->position != positionMark);
        t.finalVolume.push_back(after->finalVolume);
    }
    return t;
}

TEST(NoteDelay, ED3StartsTheNoteOnTick3WithTheSampleVolume) {
    SongBuilder song;
    song.AddPattern(4);
    song.AddSample(1, 100000, /*volume=*/40);
    song.At(0, 0, 0) = Cell{kC4, 1, 0, 0x0C, 10};  // an earlier note at volume 10
    song.At(0, 1, 0) = Cell{static_cast<uint8_t>(kC4 + 2), 1, 0, 0x0E, 0xD3};
    PlayRow(song, 6);
    const int32_t periodBefore = song.channel(0).period;
    const NoteTimeline t = PlayRow(song, 6);
    EXPECT_EQ(t.started, (std::vector<bool>{false, false, false, true, false, false}));
    EXPECT_EQ(t.finalVolume[0], 19) << "volume 10 holds until the delayed note";
    EXPECT_EQ(t.finalVolume[2], 19);
    EXPECT_EQ(t.finalVolume[3], 79);  // volume 40
    EXPECT_NE(song.channel(0).period, periodBefore);
    EXPECT_EQ(song.channel(0).period, 4608 - 2 * 64);
}

// A delayed note with an instrument: on tick y the volume envelope output becomes 64 if it was
// 10 or more, else 0, and the row's volume column applies in its row form (after the tick form,
// which runs first on every later tick). On the other ticks of the row the channel sends only its
// frequency, so the voice keeps the volume of tick y.
TEST(NoteDelay, WithAnInstrumentTheEnvelopeOutputIs64Or0AndTheVolumeColumnAppliesOnTickY) {
    struct Case {
        uint16_t envelope;
        uint8_t volumeColumn;
        int32_t heardFromTick2, volumeAtRowEnd, heardNextRow;
    };
    const Case cases[] = {
        {10, 0x62, 75, 32, 9},  // 40 - 2 on tick 2 (volume 38, output 64), then 36, 34, 32
        {9, 0x62, 0, 32, 8},    // output 9 becomes 0
        {64, 0x30, 63, 32, 63},
    };
    for (const Case& c : cases) {
        SongBuilder song;
        song.AddPattern(4);
        song.AddSample(1, 100000, /*volume=*/40);
        Instrument& ins = song.instrument(0);
        ins.volumeEnvelope[0] = {0, c.envelope};
        ins.volumeEnvelope[1] = {100, c.envelope};
        ins.volumePointCount = 2;
        ins.volumeType = kEnvelopeOn;
        song.At(0, 0, 0) = Cell{kC4, 1, c.volumeColumn, 0x0E, 0xD2};
        const NoteTimeline t = PlayRow(song, 6);
        EXPECT_EQ(t.started, (std::vector<bool>{false, false, true, false, false, false}));
        const int32_t h = c.heardFromTick2;
        EXPECT_EQ(t.finalVolume, (std::vector<int32_t>{0, 0, h, h, h, h})) << c.envelope;
        EXPECT_EQ(song.channel(0).volume, c.volumeAtRowEnd) << c.envelope;
        const NoteTimeline next = PlayRow(song, 1);
        EXPECT_EQ(next.finalVolume[0], c.heardNextRow) << c.envelope;
    }
}

TEST(NoteDelay, DelayBeyondTheRowNeverStartsTheNote) {
    for (int param : {0xD7, 0xD0}) {
        SongBuilder song;
        song.AddPattern(4);
        song.AddSample(1, 100000);
        song.At(0, 0, 0) = Cell{kC4, 1, 0, 0x0E, static_cast<uint8_t>(param)};
        const NoteTimeline t = PlayRow(song, 12);
        for (int i = 0; i < 12; ++i) EXPECT_FALSE(t.started[i]) << "tick " << i;
        EXPECT_EQ(song.channel(0).voice->sample, nullptr);
    }
}

TEST(NoteDelay, WithoutNoteRestartsTheLastNote) {
    SongBuilder song;
    song.AddPattern(4);
    song.AddSample(1, 100000);
    song.At(0, 0, 0) = Cell{kC4, 1, 0, 0, 0};
    song.At(0, 1, 0) = Cell{0, 0, 0, 0x0E, 0xD2};
    PlayRow(song, 6);
    const NoteTimeline t = PlayRow(song, 6);
    EXPECT_EQ(t.started, (std::vector<bool>{false, false, true, false, false, false}));
    EXPECT_EQ(song.channel(0).period, 4608);
}

TEST(NoteCut, CutsOnItsTickOnly) {
    SongBuilder song;
    song.AddPattern(4);
    song.AddSample(1, 100000);
    song.At(0, 0, 0) = Cell{kC4, 1, 0, 0x0E, 0xC2};
    song.At(0, 1, 0) = Cell{0, 0, 0, 0x0E, 0xC0};     // EC0 never cuts
    song.At(0, 2, 0) = Cell{0, 0, 0x40, 0x0E, 0xC0};  // volume 48 again
    NoteTimeline t = PlayRow(song, 6);
    EXPECT_EQ(t.finalVolume, (std::vector<int32_t>{127, 127, 0, 0, 0, 0}));
    EXPECT_EQ(song.channel(0).volume, 0);
    t = PlayRow(song, 6);
    EXPECT_EQ(t.finalVolume[5], 0);
    t = PlayRow(song, 6);
    EXPECT_EQ(t.finalVolume, (std::vector<int32_t>(6, 95)));
}

}  // namespace
}  // namespace xm::test
