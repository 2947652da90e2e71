// The volume column and the effects on volume, global volume and panning.
#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

constexpr uint8_t kC4 = 49;

// One channel playing C-4 with instrument 1 (sample volume 32, panning 128) on row 0; rows of
// `speed` ticks. Cells of later rows are set by the tests.
struct VolumeSong {
    SongBuilder song;
    explicit VolumeSong(int speed = 6, int rows = 64) {
        song.AddPattern(rows);
        song.AddSample(1, 1000000, 32, 128);
        song.SetSpeed(speed);
        song.At(0, 0, 0) = Cell{kC4, 1, 0, 0, 0};
    }
    Channel& channel() { return song.channel(0); }
    Cell& Row(int row) { return song.At(0, row, 0); }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) RunOneTick(song.module());
    }
    // Final volume of the channel's voice after each of `n` ticks.
    std::vector<int32_t> Heard(int n) {
        std::vector<int32_t> out;
        for (int i = 0; i < n; ++i) {
            RunOneTick(song.module());
            out.push_back(song.channel(0).voice->finalVolume);
        }
        return out;
    }
};

TEST(VolumeColumn, RowAndTickForms) {
    struct Case {
        uint8_t byte;
        int32_t volumeAfterFirstTick, volumeAfterRow, panningAfterRow;
    };
    const Case cases[] = {
        {0x10, 0, 0, 128},   {0x50, 64, 64, 128}, {0x55, 32, 32, 128},  // 0x51.. nothing
        {0x62, 30, 20, 128}, {0x72, 34, 44, 128},                       // slides, all ticks
        {0x82, 30, 30, 128}, {0x92, 34, 34, 128},                       // fine: first only
        {0xC4, 32, 32, 64},  {0xD3, 32, 32, 110}, {0xE3, 32, 32, 146}, {0x0F, 32, 32, 128},
    };
    for (const Case& c : cases) {
        VolumeSong s;
        s.Row(1).volume = c.byte;
        s.Ticks(7);
        EXPECT_EQ(s.channel().volume, c.volumeAfterFirstTick) << std::hex << int{c.byte};
        s.Ticks(5);
        EXPECT_EQ(s.channel().volume, c.volumeAfterRow) << std::hex << int{c.byte};
        EXPECT_EQ(s.channel().panning, c.panningAfterRow) << std::hex << int{c.byte};
        if (c.byte >= 0xC0) {
            EXPECT_EQ(s.channel().voice->finalPanning, c.panningAfterRow);
        }
    }
}

TEST(VolumeColumn, PanningSlidesAreNotLimitedButTheVoiceIs) {
    VolumeSong s(31);
    s.Row(1).volume = 0xEF;  // +15 on each tick
    s.Ticks(62);
    EXPECT_EQ(s.channel().panning, 128 + 31 * 15);  // the first tick slides too
    EXPECT_EQ(s.channel().voice->finalPanning, 255);
    EXPECT_EQ(s.channel().voice->leftTarget, 0);
}

TEST(VolumeColumn, VibratoAndTonePortamentoCodes) {
    VolumeSong s;
    s.Row(1) = Cell{static_cast<uint8_t>(kC4 + 12), 0, 0xF8, 0, 0};  // slide up an octave
    s.Row(2).volume = 0xA4;                                          // vibrato speed 4
    s.Row(3).volume = 0xB8;                                          // depth 8, vibrato
    s.Ticks(6);
    Voice* voice = s.channel().voice;
    voice->position = 999;
    s.Ticks(1);
    // Without effect 3 or 5 the note still sets the pitch, but the sample does not restart.
    EXPECT_EQ(s.channel().period, 4608 - 768);
    EXPECT_EQ(s.channel().voice, voice);
    EXPECT_EQ(voice->position, 999);
    EXPECT_EQ(s.channel().portamentoTarget, 4608 - 768);
    EXPECT_EQ(s.channel().tonePortamentoSpeed, 128);
    s.channel().period = 4608;  // later ticks slide toward the target
    s.Ticks(1);
    EXPECT_EQ(s.channel().period, 4608 - 512);
    s.Ticks(4);
    EXPECT_EQ(s.channel().period, 4608 - 768);
    s.Ticks(7);
    EXPECT_EQ(s.channel().vibratoSpeed, 4);
    EXPECT_EQ(s.channel().vibratoPosition, 0) << "no vibrato from the speed code";
    s.Ticks(6);
    EXPECT_EQ(s.channel().vibratoDepth, 8);
    EXPECT_EQ(s.channel().vibratoPosition, 20);  // five later ticks at speed 4
}

TEST(VolumeSlide, A0FTakes10ToMinus65AndTheChannelStaysSilentUntilAboveZero) {
    VolumeSong s;
    s.Row(0).volume = 0x1A;  // volume 10
    s.Row(0).effect = 0x0A;
    s.Row(0).param = 0x0F;
    for (int row = 1; row < 16; ++row) s.Row(row) = Cell{0, 0, 0, 0x0A, 0x10};
    s.Ticks(6);
    EXPECT_EQ(s.channel().volume, -65);
    // A10: +1 on each later tick; 65 ticks bring it back to 0.
    for (int row = 1; row <= 13; ++row) {
        for (int32_t heard : s.Heard(6)) ASSERT_EQ(heard, 0) << "row " << row;
    }
    EXPECT_EQ(s.channel().volume, 0);
    const std::vector<int32_t> heard = s.Heard(6);
    EXPECT_EQ(heard[0], 0);
    EXPECT_GT(heard[1], 0);
    EXPECT_EQ(s.channel().volume, 5);
}

TEST(VolumeSlide, MemoryIsSharedByA5And6) {
    VolumeSong s;
    s.Row(1) = Cell{0, 0, 0, 0x0A, 0x02};
    s.Row(2) = Cell{0, 0, 0, 0x06, 0x00};  // vibrato + slide with the remembered 02
    s.Row(3) = Cell{0, 0, 0, 0x05, 0x00};
    s.Ticks(12);
    EXPECT_EQ(s.channel().volume, 22);
    s.Ticks(6);
    EXPECT_EQ(s.channel().volume, 12);
    s.Ticks(6);
    EXPECT_EQ(s.channel().volume, 2);
}

TEST(VolumeSlide, FineSlidesShareOneMemoryInTheDirectionLastGiven) {
    VolumeSong s(1);
    s.Row(1) = Cell{0, 0, 0, 0x0E, 0xA3};  // +3
    s.Row(2) = Cell{0, 0, 0, 0x0E, 0xA0};  // +3 again
    s.Row(3) = Cell{0, 0, 0, 0x0E, 0xB2};  // -2
    s.Row(4) = Cell{0, 0, 0, 0x0E, 0xA0};  // repeats -2
    std::vector<int32_t> volumes;
    for (int i = 0; i < 5; ++i) {
        s.Ticks(1);
        volumes.push_back(s.channel().volume);
    }
    EXPECT_EQ(volumes, (std::vector<int32_t>{32, 35, 38, 36, 34}));
}

TEST(VolumeSlide, UnlimitedValuesSaturateInsteadOfOverflowing) {
    VolumeSong s(31, 4);
    s.Row(0).effect = 0x1B;  // RF1: double the volume on every tick
    s.Row(0).param = 0xF1;
    s.Row(1) = Cell{0, 0, 0, 0x1B, 0x00};
    s.Row(2) = Cell{0, 0, 0, 0x11, 0xF0};  // global volume up 15 per tick
    s.Ticks(62);
    EXPECT_EQ(s.channel().volume, INT32_MAX);
    EXPECT_EQ(s.channel().voice->finalVolume, 127);
    s.song.module().globalVolume = INT32_MAX - 20;
    s.Ticks(31);
    EXPECT_EQ(s.song.module().globalVolume, INT32_MAX);
}

TEST(GlobalVolume, SetAndSlideWithSharedMemory) {
    VolumeSong s(2);
    s.Row(1) = Cell{0, 0, 0, 0x10, 0x20};  // G20
    s.Row(2) = Cell{0, 0, 0, 0x11, 0x04};  // H04: down 4 per later tick
    s.Row(3) = Cell{0, 0, 0, 0x11, 0x00};  // repeats
    s.Ticks(3);
    EXPECT_EQ(s.song.module().globalVolume, 32);
    EXPECT_EQ(s.channel().voice->finalVolume, 31);  // volume 32 at half global volume
    s.Ticks(5);
    EXPECT_EQ(s.song.module().globalVolume, 24);
    EXPECT_EQ(s.song.module().globalVolumeSlideMemory, 0x04);
}

// What a parameter of 0, or a nibble of 0, keeps of what an earlier non-zero one stored, read
// after the first tick of the row with the 0. Effect 0 stands for the volume column's F.
TEST(EffectMemory, ZeroKeepsWhatWasStored) {
    struct Case {
        const char* name;
        uint8_t effect, stored, zero;
        uint8_t Channel::*memory;
        int expected;
    };
    const Case cases[] = {
        {"100", 0x01, 0x05, 0x00, &Channel::portamentoMemory, 5},
        {"300", 0x03, 0x05, 0x00, &Channel::tonePortamentoSpeed, 5},
        {"volume F0", 0x00, 0xF2, 0xF0, &Channel::tonePortamentoSpeed, 32},
        {"40y", 0x04, 0x48, 0x08, &Channel::vibratoSpeed, 4},
        {"4x0", 0x04, 0x48, 0x40, &Channel::vibratoDepth, 8},
        {"70y", 0x07, 0x48, 0x08, &Channel::tremoloSpeed, 4},
        {"7x0", 0x07, 0x48, 0x40, &Channel::tremoloDepth, 8},
        {"A00", 0x0A, 0x02, 0x00, &Channel::volumeSlideMemory, 2},
        {"P00", 0x19, 0x0F, 0x00, &Channel::panningSlideMemory, 0x0F},
        {"R00 action", 0x1B, 0x52, 0x00, &Channel::retriggerAction, 5},
        {"R00 interval", 0x1B, 0x52, 0x00, &Channel::retriggerInterval, 2},
        {"T00 on", 0x1D, 0x21, 0x00, &Channel::tremorOnTime, 2},
        {"T00 off", 0x1D, 0x21, 0x00, &Channel::tremorOffTime, 1},
        {"X20", 0x21, 0x27, 0x20, &Channel::extraFinePortamentoDownMemory, 7},
        {"E20", 0x0E, 0x23, 0x20, &Channel::finePortamentoDownMemory, 3},
    };
    for (const Case& c : cases) {
        VolumeSong s;
        if (c.effect == 0) {
            s.Row(1).volume = c.stored;
            s.Row(2).volume = c.zero;
        } else {
            s.Row(1) = Cell{0, 0, 0, c.effect, c.stored};
            s.Row(2) = Cell{0, 0, 0, c.effect, c.zero};
        }
        s.Ticks(13);
        EXPECT_EQ(s.channel().*c.memory, c.expected) << c.name;
    }
}

TEST(Panning, SetAndSlideWithinTheRange) {
    VolumeSong s(4);
    s.Row(1) = Cell{0, 0, 0, 0x08, 0xF8};  // 8F8
    s.Row(2) = Cell{0, 0, 0, 0x19, 0xF0};  // right by 15, at most 255
    s.Row(3) = Cell{0, 0, 0, 0x0E, 0x82};  // E82: 32
    s.Row(4) = Cell{0, 0, 0, 0x19, 0x0F};  // left by 15, at least 0
    s.Row(5) = Cell{0, 0, 0, 0x19, 0x00};  // remembered
    s.Ticks(8);
    EXPECT_EQ(s.channel().panning, 248);
    s.Ticks(4);
    EXPECT_EQ(s.channel().panning, 255);
    s.Ticks(4);
    EXPECT_EQ(s.channel().panning, 32);
    s.Ticks(4);
    EXPECT_EQ(s.channel().panning, 0);
    EXPECT_EQ(s.channel().voice->finalPanning, 0);
    EXPECT_EQ(s.channel().panningSlideMemory, 0x0F);
}

TEST(Tremor, T21GivesThreeTicksOnAndTwoOffAcrossRowsAndNotes) {
    VolumeSong s(6);
    s.Row(0).effect = 0x1D;
    s.Row(0).param = 0x21;
    s.Row(1) = Cell{kC4, 1, 0, 0x1D, 0x00};  // a new note does not reset the counter
    std::vector<bool> audible;
    for (int32_t v : s.Heard(12)) audible.push_back(v > 0);
    const std::vector<bool> expected = {true, true, true,  false, false, true,
                                        true, true, false, false, true,  true};
    EXPECT_EQ(audible, expected);
    EXPECT_EQ(s.channel().volume, 32) << "tremor leaves the volume itself alone";
}

TEST(Tremolo, LastLevelStaysWhenTheTremoloEnds) {
    VolumeSong s(4);
    s.Row(0).effect = 0x07;
    s.Row(0).param = 0x8F;                 // speed 8, depth 15
    s.Row(1) = Cell{0, 0, 0, 0x07, 0x00};  // goes on: the level stays only once it ends
    s.Ticks(4);
    // Later ticks at positions 0, 8, 16: the last level is sine 127 * 15 >> 5 = 59.
    EXPECT_EQ(s.channel().volumeDelta, 59);
    EXPECT_EQ(s.channel().volume, 32);
    s.Ticks(4);
    // Positions 24, 32, 40: the last level is (-90 * 15) >> 5 = -43.
    EXPECT_EQ(s.channel().volumeDelta, -43);
    EXPECT_EQ(s.channel().volume, 32);
    s.Ticks(1);
    EXPECT_EQ(s.channel().volume, -11);
    EXPECT_EQ(s.channel().volumeDelta, 0);
}

// E7x sets the high nibble of the waveform control; its bits 4..5 choose the tremolo shape.
TEST(Tremolo, WaveformFromE7x) {
    struct Case {
        uint8_t e7;
        std::vector<int32_t> deltas;  // at positions 0, 12, 24, 36 with depth 8
    };
    const std::vector<int32_t> sine = {0, 29, 22, -13};  // (127 sin(pi p / 32) x 8) >> 5
    const std::vector<int32_t> square = {31, 31, 31, -32};
    const Case cases[] = {{0x70, sine}, {0x72, square}, {0x73, square},
                          {0x74, sine}, {0x76, square}, {0x7F, square}};
    for (const Case& c : cases) {
        VolumeSong s(5);
        s.Row(0) = Cell{kC4, 1, 0, 0x0E, 0x42};  // the vibrato nibble stays as it is
        s.Row(1) = Cell{0, 0, 0, 0x0E, c.e7};
        s.Row(2) = Cell{0, 0, 0, 0x07, 0xC8};
        s.Ticks(11);
        EXPECT_EQ(s.channel().waveformControl, ((c.e7 & 0x0F) << 4) | 0x02) << std::hex << c.e7;
        std::vector<int32_t> deltas;
        for (int i = 0; i < 4; ++i) {
            s.Ticks(1);
            deltas.push_back(s.channel().volumeDelta);
        }
        EXPECT_EQ(deltas, c.deltas) << std::hex << int{c.e7};
    }
}

// An instrument number resets the tremolo position unless the waveform control byte, read as a
// signed byte, is 0x4F or more.
TEST(Tremolo, PositionStaysOnAnInstrumentFromWaveformControl0x4F) {
    const std::pair<uint8_t, bool> cases[] = {{0x00, false}, {0x4E, false}, {0x4F, true},
                                              {0x50, true},  {0x7F, true},  {0x80, false},
                                              {0xCF, false}, {0x0F, false}};
    for (const auto& [control, keeps] : cases) {
        VolumeSong s(4);
        s.Row(1) = Cell{0, 0, 0, 0x0E, static_cast<uint8_t>(0x70 | control >> 4)};
        s.Row(2) = Cell{0, 0, 0, 0x0E, static_cast<uint8_t>(0x40 | (control & 0x0F))};
        s.Row(3) = Cell{0, 0, 0, 0x07, 0x48};  // three later ticks at speed 4: position 12
        s.Row(4) = Cell{0, 1, 0, 0, 0};
        s.Ticks(16);
        ASSERT_EQ(s.channel().waveformControl, control);
        ASSERT_EQ(s.channel().tremoloPosition, 12);
        s.Ticks(1);
        EXPECT_EQ(s.channel().tremoloPosition, keeps ? 12 : 0) << std::hex << int{control};
    }
}

TEST(Retrigger, VolumeActions) {
    const int32_t fromPlus32[16] = {32, 31, 30, 28, 24, 16, 21, 16, 32, 33, 34, 36, 40, 48, 48, 64};
    const int32_t fromMinus5[16] = {-5, -6, -7, -9, -13, -21, -3, -3,
                                    -5, -4, -3, -1, 3,   11,  -8, -10};
    for (int action = 0; action < 16; ++action) {
        for (int32_t start : {32, -5}) {
            VolumeSong s(2);
            s.Row(1) = Cell{0, 0, 0, 0x1B, static_cast<uint8_t>(action << 4 | 1)};
            s.Ticks(3);
            s.channel().volume = start;
            Voice* before = s.channel().voice;
            s.Ticks(1);
            EXPECT_EQ(s.channel().volume, start == 32 ? fromPlus32[action] : fromMinus5[action])
                << "action " << action << " from " << start;
            EXPECT_NE(s.channel().voice, before) << "the note restarts";
        }
    }
}

TEST(Retrigger, IntervalCountsTicksOfTheRow) {
    for (uint8_t param : {uint8_t{0x03}, uint8_t{0x93}}) {
        VolumeSong s(7);
        s.Row(1) = Cell{0, 0, 0, 0x1B, param};
        s.Ticks(7);
        std::vector<int> starts;
        for (int tick = 0; tick < 7; ++tick) {
            Voice* before = s.channel().voice;
            s.Ticks(1);
            if (s.channel().voice != before) starts.push_back(tick);
        }
        EXPECT_EQ(starts, (std::vector<int>{3, 6}));
    }
    VolumeSong s(7);
    s.Row(1) = Cell{0, 0, 0, 0x0E, 0x92};  // E92
    s.Ticks(7);
    std::vector<int> starts;
    for (int tick = 0; tick < 7; ++tick) {
        Voice* before = s.channel().voice;
        s.Ticks(1);
        if (s.channel().voice != before) starts.push_back(tick);
    }
    EXPECT_EQ(starts, (std::vector<int>{2, 4, 6}));
}

}  // namespace
}  // namespace xm::test
