// The effects on pitch: arpeggio, vibrato, portamentos, and the sample effects 9xx and E5x.
#include <gtest/gtest.h>

#include <vector>

#include "player/replay/replay.h"
#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

constexpr uint8_t kC4 = 49;

struct PitchSong {
    SongBuilder song;
    explicit PitchSong(int speed = 6, bool amiga = false) {
        if (amiga) song.SetAmiga();
        song.AddPattern(64);
        song.AddSample(1, 100000);
        song.SetSpeed(speed);
        song.At(0, 0, 0) = Cell{kC4, 1, 0, 0, 0};
    }
    Channel& channel() { return song.channel(0); }
    Cell& Row(int row) { return song.At(0, row, 0); }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) RunOneTick(song.module());
    }
    // Period delta and voice frequency (Hz, from the step) after each of `n` ticks.
    void Record(int n, std::vector<int32_t>& deltas, std::vector<uint32_t>& hz) {
        for (int i = 0; i < n; ++i) {
            RunOneTick(song.module());
            deltas.push_back(channel().periodDelta);
            const Voice& v = *channel().voice;
            hz.push_back(
                v.stepInteger * 48000 +
                static_cast<uint32_t>((uint64_t{v.stepFraction} * 48000 + (1u << 31)) >> 32));
        }
    }
};

TEST(Arpeggio, Linear037PlaysNoteThirdAndFifthOverSixTicks) {
    PitchSong s;
    s.Row(0).param = 0x37;
    std::vector<int32_t> deltas;
    std::vector<uint32_t> hz;
    s.Record(6, deltas, hz);
    EXPECT_EQ(deltas, (std::vector<int32_t>{0, 192, 448, 0, 192, 448}));
    EXPECT_EQ(hz, (std::vector<uint32_t>{8363, 9945, 12530, 8363, 9945, 12530}));
}

TEST(Arpeggio, AmigaAlsoRises) {
    PitchSong s(6, /*amiga=*/true);
    s.Row(0).param = 0x37;
    std::vector<int32_t> deltas;
    std::vector<uint32_t> hz;
    s.Record(3, deltas, hz);
    // Periods of C-4, D#4 and G-4: 1712, 1440, 1143.
    EXPECT_EQ(deltas, (std::vector<int32_t>{0, 1440 - 1712, 1143 - 1712}));
    EXPECT_LT(hz[0], hz[1]);
    EXPECT_LT(hz[1], hz[2]);
    EXPECT_EQ(hz[2], 14317456u / 1143u);
}

TEST(Vibrato, Sine481GivesDeltasRoundedDown) {
    PitchSong s(8);
    s.Row(0).effect = 0x04;
    s.Row(0).param = 0x81;
    std::vector<int32_t> deltas;
    std::vector<uint32_t> hz;
    s.Record(8, deltas, hz);
    EXPECT_EQ(deltas, (std::vector<int32_t>{0, 1, 1, 1, 0, -2, -2, -2}));
    EXPECT_GT(hz[1], hz[0]) << "linear table: a positive delta raises the pitch";
    // 4xx with zero nibbles keeps speed and depth; the position runs on.
    s.Row(1).effect = 0x04;
    deltas.clear();
    s.Record(2, deltas, hz);
    EXPECT_EQ(deltas, (std::vector<int32_t>{0, 1}));
}

// In the Amiga table the frequency is 14317456 div (period + delta): the same deltas lower the
// pitch where the linear table raises it.
TEST(Vibrato, AmigaRunsInTheOppositePhase) {
    PitchSong s(8, /*amiga=*/true);
    s.Row(0).effect = 0x04;
    s.Row(0).param = 0x81;
    std::vector<int32_t> deltas;
    std::vector<uint32_t> hz;
    s.Record(8, deltas, hz);
    EXPECT_EQ(deltas, (std::vector<int32_t>{0, 1, 1, 1, 0, -2, -2, -2}));
    const uint32_t c4 = 14317456 / 1712, up = 14317456 / 1713, down = 14317456 / 1710;
    EXPECT_EQ(hz, (std::vector<uint32_t>{c4, up, up, up, c4, down, down, down}));
    EXPECT_LT(up, c4);
}

TEST(Vibrato, WaveformsStayWithinTheirRange) {
    for (int waveform = 0; waveform < 4; ++waveform) {
        for (int p = 0; p < 64; ++p) {
            const int32_t value = OscillatorWave(waveform, p);
            EXPECT_GE(value, -127) << waveform << " " << p;
            EXPECT_LE(value, 127) << waveform << " " << p;
        }
    }
    // The ramp: straight, 4 per position, through 0 at the start.
    EXPECT_EQ(OscillatorWave(1, 0), 0);
    EXPECT_EQ(OscillatorWave(1, 31), -124);
    EXPECT_EQ(OscillatorWave(1, 32), 127);
    EXPECT_EQ(OscillatorWave(1, 63), 3);
    for (int p = 1; p < 64; ++p) {
        if (p != 32) {
            EXPECT_EQ(OscillatorWave(1, p) - OscillatorWave(1, p - 1), -4) << p;
        }
    }
    EXPECT_EQ(OscillatorWave(2, 31), 127);
    EXPECT_EQ(OscillatorWave(3, 32), -127);
    EXPECT_EQ(OscillatorWave(0, 16), 127);
    EXPECT_EQ(OscillatorWave(0, 48), -127);
    // The sine's second half mirrors its first, through 0 at positions 0 and 32.
    for (int p = 0; p < 32; ++p) {
        EXPECT_EQ(OscillatorWave(0, p + 32), -OscillatorWave(0, p)) << p;
    }
}

TEST(Vibrato, WaveformControlKeepsOrResetsThePositionOnInstrument) {
    for (uint8_t control : {uint8_t{0x00}, uint8_t{0x04}}) {
        PitchSong s(4);
        s.Row(0) = Cell{kC4, 1, 0, 0x0E, static_cast<uint8_t>(0x40 | control)};
        s.Row(1) = Cell{0, 0, 0, 0x04, 0x8F};
        s.Row(2) = Cell{kC4, 1, 0, 0, 0};
        s.Ticks(9);
        EXPECT_EQ(s.channel().vibratoPosition, control ? 32 : 0) << int{control};
    }
}

TEST(Portamento, UpStopsAtPeriodOneAndDownHasNoLimitButSaturates) {
    PitchSong s(31);
    s.Row(1) = Cell{0, 0, 0, 0x01, 0xFF};  // -1020 per tick
    s.Ticks(62);
    EXPECT_EQ(s.channel().period, 1);
    s.Row(2) = Cell{0, 0, 0, 0x02, 0x00};  // same memory, downward
    s.Row(3) = Cell{0, 0, 0, 0x02, 0x00};
    s.Ticks(31);
    EXPECT_EQ(s.channel().period, 1 + 30 * 1020);
    s.channel().period = 2147483000;
    s.Ticks(31);
    EXPECT_EQ(s.channel().period, 2147483647);
    EXPECT_EQ(s.channel().voice->stepInteger, 0u);
    EXPECT_EQ(s.channel().voice->stepFraction, 0u);
}

TEST(Portamento, FineAndExtraFineMoveOnceWithTheirOwnMemories) {
    PitchSong s(3);
    s.Row(1) = Cell{0, 0, 0, 0x0E, 0x12};  // E12: -8
    s.Row(2) = Cell{0, 0, 0, 0x0E, 0x10};  // again
    s.Row(3) = Cell{0, 0, 0, 0x0E, 0x23};  // E23: +12
    s.Row(4) = Cell{0, 0, 0, 0x21, 0x15};  // X15: -5
    s.Row(5) = Cell{0, 0, 0, 0x21, 0x10};  // again
    s.Row(6) = Cell{0, 0, 0, 0x21, 0x27};  // X27: +7
    s.Row(7) = Cell{0, 0, 0, 0x21, 0x20};  // again
    std::vector<int32_t> periods;
    s.Ticks(3);
    for (int row = 1; row <= 7; ++row) {
        s.Ticks(3);
        periods.push_back(s.channel().period);
    }
    EXPECT_EQ(periods, (std::vector<int32_t>{4600, 4592, 4604, 4599, 4594, 4601, 4608}));
}

TEST(TonePortamento, SlidesToTheNoteWithoutRestartingIt) {
    PitchSong s(6);
    s.Row(1) = Cell{static_cast<uint8_t>(kC4 + 1), 1, 0, 0x03, 0x05};  // 20 per tick
    s.Row(2) = Cell{0, 0, 0, 0x03, 0x00};
    s.Row(3) = Cell{static_cast<uint8_t>(kC4 - 1), 0, 0, 0x05, 0x00};  // back down, slide 0
    s.Ticks(6);
    Voice* voice = s.channel().voice;
    s.Ticks(1);
    EXPECT_EQ(s.channel().period, 4608);
    EXPECT_EQ(s.channel().portamentoTarget, 4544);
    EXPECT_EQ(s.channel().note, kC4 - 1) << "the note is not taken on a tone portamento row";
    EXPECT_EQ(s.channel().voice, voice);
    s.Ticks(3);
    EXPECT_EQ(s.channel().period, 4608 - 60);
    s.Ticks(2);
    EXPECT_EQ(s.channel().period, 4544) << "stops exactly at the target";
    s.Ticks(6);
    EXPECT_EQ(s.channel().period, 4544);
    s.Ticks(6);
    EXPECT_EQ(s.channel().portamentoTarget, 4672);
    EXPECT_EQ(s.channel().period, 4544 + 100);
}

TEST(SampleOffset, StartsInsideTheSampleOrRewindsBeyondTheLoopEnd) {
    PitchSong s(2);
    Sample& sample = *s.song.instrument(0).samples[0];
    sample.length = 2000;
    sample.loopStart = 124;
    sample.loopLength = 900;                 // loop end 1024
    s.Row(1) = Cell{kC4, 0, 0, 0x09, 0x03};  // 768: starts there
    s.Row(2) = Cell{kC4, 0, 0, 0x09, 0x04};  // 1024: at the loop end, the first that does not
    s.Row(3) = Cell{kC4, 0, 0, 0x09, 0x00};  // remembered 1024 again
    s.Ticks(2);
    Voice* first = s.channel().voice;
    s.Ticks(1);
    Voice* second = s.channel().voice;
    ASSERT_NE(first, second);
    EXPECT_EQ(second->position, 768);
    EXPECT_EQ(s.channel().sampleOffset, 768);
    second->position = 1500;
    second->positionFraction = 77;
    s.Ticks(2);
    EXPECT_EQ(s.channel().voice, second) << "no note start";
    EXPECT_EQ(second->position, 0);
    EXPECT_EQ(second->positionFraction, 0u);
    EXPECT_EQ(second->startOffset, 0u);
    s.Ticks(2);
    EXPECT_EQ(s.channel().voice, second);
    EXPECT_EQ(s.channel().sampleOffset, 1024);
}

TEST(SetFinetune, ChangesTheSampleButNeverTheSilentOne) {
    PitchSong s(1);
    s.Row(1) = Cell{0, 0, 0, 0x0E, 0x56};
    s.Row(2) = Cell{kC4, 0, 0, 0, 0};
    s.Ticks(3);
    EXPECT_EQ(s.song.instrument(0).samples[0]->finetune, 6);
    EXPECT_EQ(s.channel().period, 4608 - 3);

    SongBuilder silent(1, 0);
    silent.AddPattern(2);
    silent.At(0, 0, 0) = Cell{kC4, 0, 0, 0x0E, 0x5F};
    RunOneTick(silent.module());
    EXPECT_EQ(silent.channel(0).voice->sample, &NullSample);
    EXPECT_EQ(NullSample.finetune, 0);
}

}  // namespace
}  // namespace xm::test
