#include <gtest/gtest.h>

#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

TEST(Instruments, AShortHeaderWithoutSamplesMovesBackToItsTrueEnd) {
    XmSong song = PlainSong();
    XmInstrument empty;  // 29-byte header: the loader reads 33 and seeks back 4
    ASSERT_FALSE(empty.headerSize.has_value());
    XmInstrument second = InstrumentWith({Sample8({5, -5, 100})});
    second.fadeout = 7;
    song.instruments = {empty, second, empty};
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Instrument* in = loaded->module.instruments;
    EXPECT_EQ(in[0].samples[0], nullptr);
    ASSERT_NE(in[1].samples[0], nullptr);
    EXPECT_EQ(in[1].fadeout, 14);
    EXPECT_EQ(in[1].samples[0]->length, 3u);
    EXPECT_EQ(in[1].samples[0]->data[2], 100 * 256);
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
}

TEST(Instruments, ExtraHeaderBytesAreSkipped) {
    XmSong song = PlainSong();
    song.instruments[0].headerSize = 300;
    song.instruments.push_back(InstrumentWith({Sample8({1, 2, 3, 4, 5})}));
    song.instruments[1].headerSize = 241;  // exactly what is read
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_EQ(loaded->module.instruments[0].samples[0]->data[1], 40 * 256);
    EXPECT_EQ(loaded->module.instruments[1].samples[0]->data[4], 5 * 256);
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
}

TEST(Instruments, HeaderFieldsAreTakenAsStored) {
    XmSong song = PlainSong();
    XmInstrument& in = song.instruments[0];
    in.samples.push_back(Sample8({7}));
    for (int n = 0; n < 96; ++n)
        in.sampleForNote[static_cast<size_t>(n)] = static_cast<uint8_t>(n % 3 == 0 ? 1 : n);
    for (int i = 0; i < 12; ++i) {
        in.volume.points[static_cast<size_t>(i)] = {static_cast<uint16_t>(i * 10),
                                                    static_cast<uint16_t>(64 - i)};
        in.panning.points[static_cast<size_t>(i)] = {static_cast<uint16_t>(i * 3),
                                                     static_cast<uint16_t>(i)};
    }
    in.volume = {in.volume.points, 6, 2, 1, 4, 7};
    in.panning = {in.panning.points, 3, 0, 0, 2, 5};
    in.vibratoType = 2;
    in.vibratoSweep = 3;
    in.vibratoDepth = 4;
    in.vibratoRate = 5;
    in.fadeout = 0x9001;  // doubled, wrapping at 16 bits
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Instrument& got = loaded->module.instruments[0];
    EXPECT_EQ(got.sampleForNote[0], 1);
    EXPECT_EQ(got.sampleForNote[95], 95);  // not checked against the sample count
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
    ASSERT_NE(got.samples[1], nullptr);
    EXPECT_EQ(got.samples[2], nullptr);
}

TEST(Instruments, EnvelopesOfFewerThanTwoPointsAreSwitchedOff) {
    XmSong song = PlainSong();
    song.instruments[0].volume.count = 1;
    song.instruments[0].volume.type = 7;
    song.instruments[0].panning.count = 2;
    song.instruments[0].panning.type = 1;
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_EQ(loaded->module.instruments[0].volumeType, 0);
    EXPECT_EQ(loaded->module.instruments[0].panningType, 1);
}

struct EnvelopeCase {
    XmEnvelope in;
    uint8_t count, sustain, loopStart, loopEnd, type;
};

// The engine indexes the 12 points with the count, the loop start and the point after it.
TEST(Instruments, EnvelopeIndicesStayInsideTheTwelvePoints) {
    const EnvelopeCase cases[] = {
        // Inside the points: kept exactly.
        {{{}, 12, 11, 3, 11, 7}, 12, 11, 3, 11, 7},
        {{{}, 4, 2, 0, 3, 7}, 4, 2, 0, 3, 7},
        // Counts above 12 are 12.
        {{{}, 40, 1, 0, 5, 5}, 12, 1, 0, 5, 5},
        // A sustain point past the points never holds, and stays past them (or on the last).
        {{{}, 5, 200, 0, 4, 3}, 5, 11, 0, 4, 3},
        {{{}, 12, 12, 0, 4, 3}, 12, 11, 0, 4, 3},
        // A loop end past the points is never reached: the loop is off.
        {{{}, 6, 0, 1, 6, 5}, 6, 0, 1, 6, 1},
        {{{}, 12, 0, 1, 250, 7}, 12, 0, 1, 11, 3},
        // A loop start past the points jumps to the last point.
        {{{}, 6, 0, 9, 5, 5}, 6, 0, 5, 5, 5},
        {{{}, 3, 0, 255, 2, 5}, 3, 0, 2, 2, 5},
    };
    for (const EnvelopeCase& c : cases) {
        XmSong song = PlainSong();
        song.instruments[0].volume = c.in;
        song.instruments[0].panning = c.in;
        auto loaded = LoadXm(BuildXm(song));
        ASSERT_TRUE(loaded->ok);
        const xm::Instrument& got = loaded->module.instruments[0];
        const std::string at = "count " + std::to_string(c.in.count) + " sustain " +
                               std::to_string(c.in.sustain) + " loop " +
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
    song.patterns[0].cells[0] = {49, 1, 0, 0, 0};
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_EQ(loaded->module.instrumentCount, 0);
    ASSERT_NE(loaded->module.instruments, nullptr);
    for (const xm::Sample* s : loaded->module.instruments[0].samples) EXPECT_EQ(s, nullptr);
    EXPECT_EQ(loaded->module.instruments[0].volumeType, 0);
    EXPECT_EQ(loaded->module.patterns[0].cells[0].instrument, 0);
}

TEST(Instruments, OnlyTheLowByteOfTheInstrumentCountIsUsed) {
    XmSong song = PlainSong();
    song.instrumentCount = 0x0101;
    song.patterns[0].cells[0] = {49, 1, 0, 0, 0};
    song.patterns[0].cells[1] = {49, 2, 0, 0, 0};
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_EQ(loaded->module.instrumentCount, 0x0101);
    EXPECT_EQ(loaded->module.patterns[0].cells[0].instrument, 1);
    EXPECT_EQ(loaded->module.patterns[0].cells[1].instrument, 0);
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
}

TEST(Instruments, ShortSampleHeadersLeaveTheirMissingFieldsZero) {
    XmSong song = PlainSong();
    XmSample full = Sample8({1, 2, 3, 4});
    full.panning = 200;
    full.relativeNote = 12;
    XmSample compressed = full;
    compressed.reserved = 0xAD;  // would mark compressed data if it leaked into a later header
    compressed.data.assign(16, 0);
    compressed.data[1] = 1;
    compressed.data.insert(compressed.data.end(), {0x11, 0x11});
    compressed.lengthBytes = 4;
    song.instruments[0] = InstrumentWith({compressed});
    XmInstrument cut = InstrumentWith({full, full});
    cut.sampleHeaderSize = 14;  // length, loop, volume, finetune, type
    song.instruments.push_back(cut);
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Sample* first = loaded->module.instruments[0].samples[0];
    EXPECT_EQ(first->panning, 200);
    EXPECT_EQ(first->compression, 0xAD);
    EXPECT_EQ(first->data[3], 4 * 256);
    for (const xm::Sample* s :
         {loaded->module.instruments[1].samples[0], loaded->module.instruments[1].samples[1]}) {
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->length, 4u);
        EXPECT_EQ(s->volume, 64);
        EXPECT_EQ(s->panning, 0);
        EXPECT_EQ(s->relativeNote, 0);
        EXPECT_EQ(s->compression, 0);
        EXPECT_EQ(s->data[3], 4 * 256);  // 8-bit delta data, not 4-bit compressed
    }
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
}

}  // namespace
