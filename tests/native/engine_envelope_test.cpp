// Instrument envelopes, key-off and fadeout, and the instrument's auto-vibrato.
#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

#include "player/replay/replay.h"
#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

constexpr uint8_t kC4 = 49;
constexpr uint8_t kKeyOff = 97;

struct EnvelopeFields {
    EnvelopePoint* points;
    uint8_t &count, &type, &sustain, &loopStart, &loopEnd;
};

EnvelopeFields VolumeFields(Instrument& ins) {
    return {ins.volumeEnvelope, ins.volumePointCount, ins.volumeType,
            ins.volumeSustain,  ins.volumeLoopStart,  ins.volumeLoopEnd};
}

EnvelopeFields PanningFields(Instrument& ins) {
    return {ins.panningEnvelope, ins.panningPointCount, ins.panningType,
            ins.panningSustain,  ins.panningLoopStart,  ins.panningLoopEnd};
}

void SetEnvelope(EnvelopeFields e, std::initializer_list<std::pair<int, int>> points, uint8_t type,
                 int sustain = 0, int loopStart = 0, int loopEnd = 0) {
    int i = 0;
    for (const auto& [tick, value] : points) {
        e.points[i++] = {static_cast<uint16_t>(tick), static_cast<uint16_t>(value)};
    }
    e.count = static_cast<uint8_t>(points.size());
    e.type = type;
    e.sustain = static_cast<uint8_t>(sustain);
    e.loopStart = static_cast<uint8_t>(loopStart);
    e.loopEnd = static_cast<uint8_t>(loopEnd);
}

void SetVolumeEnvelope(Instrument& ins, std::initializer_list<std::pair<int, int>> points,
                       uint8_t type, int sustain = 0, int loopStart = 0, int loopEnd = 0) {
    SetEnvelope(VolumeFields(ins), points, type, sustain, loopStart, loopEnd);
}

// A one-channel song whose first row plays C-4 with instrument 1; `rows` rows at speed 1, so
// that every tick is a row start and cells can be placed per tick.
struct EnvelopeSong {
    SongBuilder song;
    explicit EnvelopeSong(int rows = 64) {
        song.AddPattern(rows);
        song.AddSample(1, 100000);
        song.SetSpeed(1);
        song.At(0, 0, 0) = Cell{kC4, 1, 0, 0, 0};
    }
    std::vector<int32_t> Outputs(int ticks) {
        std::vector<int32_t> out;
        for (int i = 0; i < ticks; ++i) {
            RunOneTick(song.module());
            out.push_back(song.channel(0).volumeEnvelopeOutput);
        }
        return out;
    }
};

TEST(Envelope, HoldsAtTheSustainPointUntilKeyOffThenMovesOnWhileFading) {
    EnvelopeSong s;
    Instrument& ins = s.song.instrument(0);
    SetVolumeEnvelope(ins, {{0, 64}, {4, 32}, {8, 0}}, kEnvelopeOn | kEnvelopeSustain, 1);
    ins.fadeout = 4096;
    s.song.At(0, 7, 0).note = kKeyOff;
    const std::vector<int32_t> expected = {64, 56, 48, 40, 32, 32, 32,  // held
                                           32, 24, 16, 8,  0,  0,  0};  // released
    EXPECT_EQ(s.Outputs(14), expected);
    EXPECT_EQ(s.song.channel(0).volumeEnvelopeFinished, 1);
    // The fadeout counts from the key-off row on: 7 ticks so far.
    EXPECT_EQ(s.song.channel(0).fadeVolume, 65536 - 7 * 4096);
    for (int i = 0; i < 20; ++i) RunOneTick(s.song.module());
    EXPECT_EQ(s.song.channel(0).fadeVolume, 0) << "not below 0";
}

TEST(Envelope, LoopEndOnTheSustainPointLoopsWithoutHolding) {
    EnvelopeSong s;
    SetVolumeEnvelope(s.song.instrument(0), {{0, 0}, {2, 20}, {4, 40}, {6, 60}},
                      kEnvelopeOn | kEnvelopeSustain | kEnvelopeLoop, /*sustain=*/3,
                      /*loopStart=*/1, /*loopEnd=*/3);
    const std::vector<int32_t> expected = {0, 10, 20, 30, 40, 50, 20, 30, 40, 50, 20, 30};
    EXPECT_EQ(s.Outputs(12), expected);
}

// A loop start beyond the points in use but within the 12 is jumped to: its point, as stored,
// is the output from then on (the walk ends there, past the last point in use).
TEST(Envelope, LoopStartBeyondThePointsPlaysThatPoint) {
    EnvelopeSong s;
    Instrument& ins = s.song.instrument(0);
    SetVolumeEnvelope(ins, {{0, 64}, {2, 32}, {4, 48}}, kEnvelopeOn | kEnvelopeLoop, 0,
                      /*loopStart=*/5, /*loopEnd=*/2);
    ins.volumeEnvelope[5] = {10, 16};
    ins.volumeEnvelope[11] = {30, 8};
    EXPECT_EQ(s.Outputs(8), (std::vector<int32_t>{64, 48, 32, 40, 16, 16, 16, 16}));

    // Only a loop start past the 12 points needs a choice: the last of them.
    EnvelopeSong far;
    Instrument& farIns = far.song.instrument(0);
    SetVolumeEnvelope(farIns, {{0, 64}, {2, 32}, {4, 48}}, kEnvelopeOn | kEnvelopeLoop, 0, 200, 2);
    farIns.volumeEnvelope[11] = {30, 8};
    EXPECT_EQ(far.Outputs(6), (std::vector<int32_t>{64, 48, 32, 40, 8, 8}));
}

// The panning envelope walks like the volume envelope; its output moves the final panning by
// (output - 32) x ((128 - |panning - 128|) >> 5), within 0..255.
TEST(Envelope, PanningEnvelopeMovesTheFinalPanningAroundTheChannelPanning) {
    EnvelopeSong s;
    SetEnvelope(PanningFields(s.song.instrument(0)), {{0, 32}, {4, 64}, {12, 0}}, kEnvelopeOn);
    std::vector<int32_t> outputs, finalPanning;
    for (int i = 0; i < 12; ++i) {
        RunOneTick(s.song.module());
        outputs.push_back(s.song.channel(0).panningEnvelopeOutput);
        finalPanning.push_back(s.song.channel(0).voice->finalPanning);
    }
    EXPECT_EQ(outputs, (std::vector<int32_t>{32, 40, 48, 56, 64, 56, 48, 40, 32, 24, 16, 8}));
    // Sample panning 128: the room is 4 on either side.
    EXPECT_EQ(finalPanning,
              (std::vector<int32_t>{128, 160, 192, 224, 255, 224, 192, 160, 128, 96, 64, 32}));
    // The targets follow the final panning: volume 64 gives final volume 127.
    const Voice& voice = *s.song.channel(0).voice;
    EXPECT_EQ(voice.rightTarget, 127 * 32 / 255);
    EXPECT_EQ(voice.leftTarget, 127 * (255 - 32) / 255);
}

// Lxx acts only when the volume envelope is on, and only on the volume envelope.
TEST(Envelope, SetEnvelopePositionNeedsTheVolumeEnvelopeOn) {
    for (bool volumeOn : {false, true}) {
        EnvelopeSong s;
        Instrument& ins = s.song.instrument(0);
        SetVolumeEnvelope(ins, {{0, 64}, {10, 0}}, volumeOn ? kEnvelopeOn : 0);
        SetEnvelope(PanningFields(ins), {{0, 32}, {10, 64}}, kEnvelopeOn);
        s.song.At(0, 0, 0) = Cell{kC4, 1, 0, 0x15, 5};  // L05
        s.song.At(0, 1, 0) = Cell{0, 0, 0, 0x15, 8};    // L08
        RunOneTick(s.song.module());
        const Channel& c = s.song.channel(0);
        EXPECT_EQ(c.panningEnvelopeTick, 1) << volumeOn;
        EXPECT_EQ(c.panningEnvelopeOutput, 32) << volumeOn;
        if (volumeOn) {
            EXPECT_EQ(c.volumeEnvelopeTick, 5);
            EXPECT_EQ(c.volumeEnvelopeOutput, 32);  // 64 - 5 x 6.4
            EXPECT_EQ(c.voice->finalVolume, 63);
        } else {
            EXPECT_EQ(c.volumeEnvelopeTick, 0);
            EXPECT_EQ(c.volumeEnvelopeNext, 0);
            EXPECT_EQ(c.volumeEnvelopeValue, 0);
            EXPECT_EQ(c.volumeEnvelopeOutput, 64);  // as the instrument number left it
        }
        RunOneTick(s.song.module());
        EXPECT_EQ(c.volumeEnvelopeOutput, volumeOn ? 12 : 64) << volumeOn;  // 64 - 8 x 6.4
        EXPECT_EQ(c.voice->finalVolume, volumeOn ? 23 : 127) << volumeOn;
    }
}

TEST(Envelope, KeyOffWithoutVolumeEnvelopeSilencesAtOnce) {
    SongBuilder song;
    song.AddPattern(8);
    song.AddSample(1, 100000);
    song.instrument(0).fadeout = 0;
    song.At(0, 0, 0) = Cell{kC4, 1, 0, 0, 0};
    song.At(0, 1, 0) = Cell{0, 0, 0, 0x14, 0x33};  // K with a parameter, which is ignored
    Module& m = song.module();
    for (int i = 0; i < 6; ++i) RunOneTick(m);
    EXPECT_EQ(song.channel(0).voice->finalVolume, 127);
    RunOneTick(m);
    EXPECT_EQ(song.channel(0).keyOff, 1);
    EXPECT_EQ(song.channel(0).voice->finalVolume, 0);
    // An instrument number restarts the instrument and lifts the key-off.
    song.At(0, 2, 0) = Cell{0, 1, 0, 0, 0};
    for (int i = 0; i < 6; ++i) RunOneTick(m);
    EXPECT_EQ(song.channel(0).keyOff, 0);
    EXPECT_EQ(song.channel(0).voice->finalVolume, 127);
}

TEST(Envelope, KeyOffWithEnvelopeButNoSustainOnlyFades) {
    EnvelopeSong s;
    SetVolumeEnvelope(s.song.instrument(0), {{0, 64}, {100, 64}}, kEnvelopeOn);
    s.song.instrument(0).fadeout = 32768;
    s.song.At(0, 2, 0).note = kKeyOff;
    const std::vector<int32_t> outputs = s.Outputs(5);
    EXPECT_EQ(outputs, (std::vector<int32_t>{64, 64, 64, 64, 64}));
    EXPECT_EQ(s.song.channel(0).fadeVolume, 0);
    EXPECT_EQ(s.song.channel(0).voice->finalVolume, 0);
}

TEST(Envelope, BrokenEnvelopesStayWithinPointsAndRange) {
    // Point count and loop indices beyond the 12 points, values above 64, ticks that fall.
    for (int variant = 0; variant < 3; ++variant) {
        EnvelopeSong s(4);
        Instrument& ins = s.song.instrument(0);
        for (int i = 0; i < kEnvelopePoints; ++i) {
            ins.volumeEnvelope[i] = {static_cast<uint16_t>(variant == 2 ? 50 - 4 * i : 3 * i),
                                     static_cast<uint16_t>(i % 2 ? 65535 : 0)};
        }
        ins.volumePointCount = 200;
        ins.volumeType = kEnvelopeOn | kEnvelopeLoop | kEnvelopeSustain;
        ins.volumeSustain = 250;
        ins.volumeLoopStart = variant == 0 ? 240 : 11;
        ins.volumeLoopEnd = variant == 1 ? 11 : 5;
        ins.panningEnvelope[0] = {0, 60000};
        ins.panningPointCount = 40;
        ins.panningType = kEnvelopeOn | kEnvelopeLoop;
        ins.panningLoopStart = 255;
        ins.panningLoopEnd = 0;
        for (int32_t out : s.Outputs(3000)) {
            ASSERT_GE(out, 0);
            ASSERT_LE(out, 64);
        }
        EXPECT_LE(s.song.channel(0).panningEnvelopeOutput, 64);
        EXPECT_LE(s.song.channel(0).voice->finalVolume, 127);
        EXPECT_LE(s.song.channel(0).voice->finalPanning, 255);
    }
}

TEST(Envelope, SetEnvelopePositionMovesIntoTheEnvelope) {
    EnvelopeSong s;
    SetVolumeEnvelope(s.song.instrument(0), {{0, 0}, {10, 64}, {20, 0}}, kEnvelopeOn);
    s.song.At(0, 0, 0).effect = 0x15;  // L05
    s.song.At(0, 0, 0).param = 5;
    s.song.At(0, 2, 0) = Cell{0, 0, 0, 0x15, 25};  // L25: past the last point
    RunOneTick(s.song.module());
    const Channel& c = s.song.channel(0);
    EXPECT_EQ(c.volumeEnvelopeOutput, 31);  // 5 ticks of 6.4
    EXPECT_EQ(c.volumeEnvelopeTick, 5);
    EXPECT_EQ(c.volumeEnvelopeNext, 1);
    EXPECT_EQ(c.volumeEnvelopeFinished, 0);
    RunOneTick(s.song.module());
    EXPECT_EQ(c.volumeEnvelopeOutput, 38);
    RunOneTick(s.song.module());
    EXPECT_EQ(c.volumeEnvelopeFinished, 1);
    EXPECT_EQ(c.volumeEnvelopeOutput, 0);
    // L10, on point 1's tick: the search stops before that point, which is reached next tick.
    s.song.At(0, 3, 0) = Cell{0, 0, 0, 0x15, 10};
    RunOneTick(s.song.module());
    EXPECT_EQ(c.volumeEnvelopeOutput, 63);  // 10 ticks of the truncated 6.4
    EXPECT_EQ(c.volumeEnvelopeNext, 1);
    EXPECT_EQ(c.volumeEnvelopeFinished, 0);
    RunOneTick(s.song.module());
    EXPECT_EQ(c.volumeEnvelopeOutput, 64);
}

// Only the loop end point itself jumps back: a position set past it plays on to the end.
TEST(Envelope, PositionSetPastTheLoopEndPlaysOnToTheEnd) {
    EnvelopeSong s;
    SetVolumeEnvelope(s.song.instrument(0), {{0, 0}, {4, 32}, {8, 64}, {12, 0}},
                      kEnvelopeOn | kEnvelopeLoop, 0, /*loopStart=*/0, /*loopEnd=*/1);
    s.song.At(0, 0, 0).effect = 0x15;  // L06: between points 1 and 2
    s.song.At(0, 0, 0).param = 6;
    const std::vector<int32_t> expected = {48, 56, 64, 64, 48, 32, 16, 0, 0, 0};
    EXPECT_EQ(s.Outputs(10), expected);
}

// Ticks that fall between two points give a slope of the opposite sign, as the division gives
// it; the value stays within 0..64.
TEST(Envelope, FallingTicksSlopeTheOtherWay) {
    EnvelopeSong s;
    SetVolumeEnvelope(s.song.instrument(0), {{0, 32}, {2, 32}, {1, 0}}, kEnvelopeOn);
    const std::vector<int32_t> expected = {32, 32, 32, 64, 64};
    EXPECT_EQ(s.Outputs(5), expected);
}

TEST(AutoVibrato, WaveShapes) {
    EXPECT_EQ(AutoVibratoWave(0, 64), 64);
    EXPECT_EQ(AutoVibratoWave(0, 0), 0);
    EXPECT_EQ(AutoVibratoWave(0, 32), 45);
    EXPECT_EQ(AutoVibratoWave(0, 96), 45);
    EXPECT_EQ(AutoVibratoWave(0, 192), -64);
    EXPECT_EQ(AutoVibratoWave(0, 160), -45);
    EXPECT_EQ(AutoVibratoWave(1, 127), 64);
    EXPECT_EQ(AutoVibratoWave(1, 128), -64);
    EXPECT_EQ(AutoVibratoWave(2, 0), 0);
    EXPECT_EQ(AutoVibratoWave(2, 127), -64);
    EXPECT_EQ(AutoVibratoWave(2, 128), 64);
    EXPECT_EQ(AutoVibratoWave(2, 255), 0);
    EXPECT_EQ(AutoVibratoWave(3, 1), 0);
    EXPECT_EQ(AutoVibratoWave(3, 127), 63);
    EXPECT_EQ(AutoVibratoWave(3, 128), 64);
    EXPECT_EQ(AutoVibratoWave(3, 129), -64);
    EXPECT_EQ(AutoVibratoWave(7, 255), -1);
}

TEST(AutoVibrato, AddsToThePeriodDeltaAndSweepsIn) {
    EnvelopeSong s;
    Instrument& ins = s.song.instrument(0);
    ins.vibratoType = 0;
    ins.vibratoDepth = 8;
    ins.vibratoRate = 64;  // a quarter cycle per tick
    std::vector<int32_t> deltas;
    for (int i = 0; i < 5; ++i) {
        RunOneTick(s.song.module());
        deltas.push_back(s.song.channel(0).periodDelta);
    }
    EXPECT_EQ(deltas, (std::vector<int32_t>{0, 8, 0, -8, 0}));

    EnvelopeSong swept;
    swept.song.instrument(0).vibratoType = 1;  // square: 64 for the first half cycle
    swept.song.instrument(0).vibratoDepth = 8;
    swept.song.instrument(0).vibratoSweep = 4;
    swept.song.instrument(0).vibratoRate = 1;
    deltas.clear();
    for (int i = 0; i < 6; ++i) {
        RunOneTick(swept.song.module());
        deltas.push_back(swept.song.channel(0).periodDelta);
    }
    EXPECT_EQ(deltas, (std::vector<int32_t>{0, 2, 4, 6, 8, 8}));
}

}  // namespace
}  // namespace xm::test
