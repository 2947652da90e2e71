#include <gtest/gtest.h>

#include <string>

#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

// The next instrument starts at the stored header size: 29 bytes without samples (the loader
// has read 33 and moves back 4), more than the 241 read with samples (the rest is skipped).
TEST(Instruments, EachStartsWhereThePreviousHeaderSaysItEnds) {
    XmSong song = PlainSong();
    XmInstrument padded = InstrumentWith({Sample8({1, 2, 3, 4, 5})});
    padded.headerSize = 300;
    XmInstrument exact = InstrumentWith({Sample8({5, -5, 100})});
    exact.headerSize = 241;
    song.instruments = {XmInstrument{}, padded, XmInstrument{}, exact};
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Instrument* in = loaded->module.instruments;
    EXPECT_EQ(in[0].samples[0], nullptr);
    EXPECT_EQ(in[1].samples[0]->data[4], 5 * 256);
    EXPECT_EQ(in[2].samples[0], nullptr);
    EXPECT_EQ(in[3].samples[0]->data[2], 100 * 256);
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
}

TEST(Instruments, HeaderFieldsAreTakenAsStoredWithTheFadeoutDoubled) {
    XmSong song = PlainSong();
    XmInstrument& in = song.instruments[0];
    in.samples.push_back(Sample8({7}));
    in.sampleForNote[0] = 1;
    in.sampleForNote[95] = 40;  // not checked against the sample count
    in.volume.points[11] = {110, 53};
    in.panning.points[4] = {12, 4};
    in.volume = {in.volume.points, 6, 2, 1, 4, 7};
    in.panning = {in.panning.points, 3, 0, 0, 2, 5};
    in.vibratoType = 2;
    in.vibratoSweep = 3;
    in.vibratoDepth = 4;
    in.vibratoRate = 5;
    in.fadeout = 0x9001;  // wraps at 16 bits
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Instrument& got = loaded->module.instruments[0];
    EXPECT_EQ(got.sampleForNote[0], 1);
    EXPECT_EQ(got.sampleForNote[95], 40);
    EXPECT_EQ(got.volumeEnvelope[11].tick, 110);
    EXPECT_EQ(got.volumeEnvelope[11].value, 53);
    EXPECT_EQ(got.panningEnvelope[4].tick, 12);
    EXPECT_EQ(got.panningEnvelope[4].value, 4);
    EXPECT_EQ(got.volumePointCount, 6);
    EXPECT_EQ(got.volumeSustain, 2);
    EXPECT_EQ(got.volumeLoopStart, 1);
    EXPECT_EQ(got.volumeLoopEnd, 4);
    EXPECT_EQ(got.volumeType, 7);
    EXPECT_EQ(got.panningPointCount, 3);
    EXPECT_EQ(got.panningLoopEnd, 2);
    EXPECT_EQ(got.panningType, 5);
    EXPECT_EQ(got.vibratoType, 2);
    EXPECT_EQ(got.vibratoSweep, 3);
    EXPECT_EQ(got.vibratoDepth, 4);
    EXPECT_EQ(got.vibratoRate, 5);
    EXPECT_EQ(got.fadeout, 0x2002);
    EXPECT_NE(got.samples[1], nullptr);
    EXPECT_EQ(got.samples[2], nullptr);
}

// The engine reads envelope points by the count, the point reached after a loop jump and the
// point after it; these stay inside the 12 points, and envelopes inside them play as stored.
TEST(Instruments, EnvelopeIndicesStayInsideTheTwelvePoints) {
    struct Case {
        XmEnvelope in;
        uint8_t count, sustain, loopStart, loopEnd, type;
    };
    const Case cases[] = {
        {{{}, 12, 11, 3, 11, 7}, 12, 11, 3, 11, 7},  // inside: as stored
        {{{}, 4, 2, 0, 3, 7}, 4, 2, 0, 3, 7},
        {{{}, 2, 1, 0, 1, 7}, 2, 1, 0, 1, 7},     // 2 points: the fewest that play
        {{{}, 1, 0, 0, 0, 7}, 1, 0, 0, 0, 0},     // fewer than 2 points: off
        {{{}, 40, 1, 0, 5, 5}, 12, 1, 0, 5, 5},   // counts above 12 are 12
        {{{}, 5, 200, 0, 4, 3}, 5, 11, 0, 4, 3},  // a sustain past the points never holds
        {{{}, 6, 0, 1, 6, 5}, 6, 0, 1, 6, 1},     // a loop end past the points: no loop
        {{{}, 12, 0, 1, 250, 7}, 12, 0, 1, 11, 3},
        {{{}, 6, 0, 9, 5, 5}, 6, 0, 9, 5, 5},    // a loop start past the points: as stored
        {{{}, 6, 0, 12, 5, 5}, 6, 0, 11, 5, 5},  // past the 12 points: the last of them
        {{{}, 6, 0, 200, 5, 5}, 6, 0, 11, 5, 5},
    };
    for (const Case& c : cases) {
        XmSong song = PlainSong();
        song.instruments[0].volume = c.in;
        song.instruments[0].panning = c.in;
        auto loaded = LoadXm(BuildXm(song));
        ASSERT_TRUE(loaded->ok);
        const xm::Instrument& got = loaded->module.instruments[0];
        const std::string at = std::to_string(c.in.count) + " points, sustain " +
                               std::to_string(c.in.sustain) + ", loop " +
                               std::to_string(c.in.loopStart) + ".." + std::to_string(c.in.loopEnd);
        EXPECT_EQ(got.volumePointCount, c.count) << at;
        EXPECT_EQ(got.volumeSustain, c.sustain) << at;
        EXPECT_EQ(got.volumeLoopStart, c.loopStart) << at;
        EXPECT_EQ(got.volumeLoopEnd, c.loopEnd) << at;
        EXPECT_EQ(got.volumeType, c.type) << at;
        EXPECT_EQ(got.panningPointCount, c.count) << at;
        EXPECT_EQ(got.panningSustain, c.sustain) << at;
        EXPECT_EQ(got.panningLoopStart, c.loopStart) << at;
        EXPECT_EQ(got.panningLoopEnd, c.loopEnd) << at;
        EXPECT_EQ(got.panningType, c.type) << at;
    }
}

TEST(Instruments, AModuleWithoutInstrumentsGetsOneEmptyInstrument) {
    XmSong song = PlainSong();
    song.instruments.clear();
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    ASSERT_NE(loaded->module.instruments, nullptr);
    for (const xm::Sample* s : loaded->module.instruments[0].samples) EXPECT_EQ(s, nullptr);
}

// Fields past a short sample header are zero, not left over from an earlier header (here a
// compression marker that would make the later samples decode as 4-bit data).
TEST(Instruments, ShortSampleHeadersLeaveTheirMissingFieldsZero) {
    XmSong song = PlainSong();
    XmSample full = Sample8({1, 2, 3, 4});
    full.panning = 200;
    full.relativeNote = 12;
    XmSample compressed = full;
    compressed.reserved = 0xAD;
    compressed.lengthBytes = 4;
    compressed.data.assign(16, 0);
    compressed.data[1] = 1;
    compressed.data.insert(compressed.data.end(), {0x11, 0x11});
    XmInstrument cut = InstrumentWith({full, full});
    cut.sampleHeaderSize = 14;  // length, loop, volume, finetune, type
    song.instruments = {InstrumentWith({compressed}), cut};
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_EQ(loaded->module.instruments[0].samples[0]->panning, 200);
    EXPECT_EQ(loaded->module.instruments[0].samples[0]->data[3], 4 * 256);
    for (const xm::Sample* s :
         {loaded->module.instruments[1].samples[0], loaded->module.instruments[1].samples[1]}) {
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->length, 4u);
        EXPECT_EQ(s->volume, 64);
        EXPECT_EQ(s->panning, 0);
        EXPECT_EQ(s->relativeNote, 0);
        EXPECT_EQ(s->compression, 0);
        EXPECT_EQ(s->data[3], 4 * 256);
    }
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
}

}  // namespace
