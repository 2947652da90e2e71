#include <gtest/gtest.h>

#include <vector>

#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

// Loads a song whose only instrument holds `samples`; the loaded instrument is returned.
class SampleLoad {
  public:
    explicit SampleLoad(std::vector<XmSample> samples) {
        XmSong song = PlainSong();
        song.instruments[0] = InstrumentWith(std::move(samples));
        loaded_ = LoadXm(BuildXm(song));
    }
    bool ok() const { return loaded_->ok; }
    const xm::Sample& operator[](int i) const { return *loaded_->module.instruments[0].samples[i]; }
    bool ReadToTheEnd() const { return loaded_->reader.Position() == loaded_->bytes.size(); }

  private:
    std::unique_ptr<LoadedXm> loaded_;
};

std::vector<int16_t> Points(const xm::Sample& s, uint32_t count) {
    return std::vector<int16_t>(s.data, s.data + count);
}

TEST(SampleDecoding, EightBitDeltasAreSummedIntoTheHighByte) {
    XmSample s;
    s.data = {0x01, 0x01, 0xFE};
    SampleLoad load({s});
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(Points(load[0], 3), (std::vector<int16_t>{256, 512, 0}));
    EXPECT_EQ(load[0].is16Bit, 0);
}

TEST(SampleDecoding, SixteenBitDeltasAreSummed) {
    XmSample s;
    s.type = 0x10;
    s.data = {0xE8, 0x03, 0x0C, 0xFE};  // 1000, -500
    SampleLoad load({s});
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load[0].length, 2u);
    EXPECT_EQ(Points(load[0], 2), (std::vector<int16_t>{1000, 500}));
    EXPECT_EQ(load[0].is16Bit, 1);
}

TEST(SampleDecoding, LongSamplesOfBothWidthsRoundTripAndWrapLikeTheTracker) {
    std::vector<int8_t> wave8;
    std::vector<int16_t> wave16;
    for (int i = 0; i < 10000; ++i) {  // longer than one read chunk
        wave8.push_back(static_cast<int8_t>((i * 37) % 256 - 128));
        wave16.push_back(static_cast<int16_t>((i * 7919) % 65536 - 32768));
    }
    SampleLoad load({Sample8(wave8), Sample16(wave16)});
    ASSERT_TRUE(load.ok());
    for (size_t i = 0; i < wave8.size(); ++i) {
        ASSERT_EQ(load[0].data[i], wave8[i] * 256) << i;
        ASSERT_EQ(load[1].data[i], wave16[i]) << i;
    }
    EXPECT_TRUE(load.ReadToTheEnd());
}

TEST(SampleDecoding, FourBitCompressedDataIndexesTheDeltaTable) {
    XmSample s;
    s.reserved = 0xAD;
    s.type = 0x10;       // has no effect on compressed data beyond halving the stored length
    s.lengthBytes = 10;  // 5 points
    // Table of deltas: index i adds i, except index 15 adds -3.
    for (int i = 0; i < 15; ++i) s.data.push_back(static_cast<uint8_t>(i));
    s.data.push_back(static_cast<uint8_t>(-3));
    s.data.push_back(0x21);  // +1, +2
    s.data.push_back(0xF4);  // +4, -3
    s.data.push_back(0x5F);  // -3, then +5 into the point past the last
    SampleLoad load({s});
    ASSERT_TRUE(load.ok());
    ASSERT_EQ(load[0].length, 5u);
    EXPECT_EQ(Points(load[0], 6), (std::vector<int16_t>{256, 768, 1792, 1024, 256, 1536}));
    EXPECT_TRUE(load.ReadToTheEnd());  // 16 table bytes + ceil(5 / 2) bytes
}

TEST(SampleDecoding, CompressedRunningValueWrapsAsASignedByte) {
    XmSample s;
    s.reserved = 0xAD;
    s.lengthBytes = 3;
    s.data.assign(16, 0);
    s.data[1] = 100;
    s.data.push_back(0x11);  // +100, +100: 100, then 200 = -56
    s.data.push_back(0x01);  // +100: 44
    SampleLoad load({s});
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(Points(load[0], 4), (std::vector<int16_t>{100 * 256, -56 * 256, 44 * 256, 44 * 256}));
}

TEST(SampleDecoding, TheDataOfAllSamplesFollowsAllTheirHeaders) {
    SampleLoad load({Sample8({1, 2}), Sample16({-300, 300, 3}), Sample8({9})});
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(Points(load[0], 2), (std::vector<int16_t>{256, 512}));
    EXPECT_EQ(Points(load[1], 3), (std::vector<int16_t>{-300, 300, 3}));
    EXPECT_EQ(Points(load[2], 1), (std::vector<int16_t>{9 * 256}));
}

std::vector<int8_t> Ramp(int length) {
    std::vector<int8_t> v;
    for (int i = 0; i < length; ++i) v.push_back(static_cast<int8_t>(i + 1));
    return v;
}

XmSample Looped(uint8_t loopType, uint32_t start, uint32_t length, int points = 40) {
    XmSample s = Sample8(Ramp(points));
    s.type = loopType;
    s.loopStartBytes = start;
    s.loopLengthBytes = length;
    return s;
}

TEST(LoopContinuation, TheForwardLoopRepeatsItsStartAfterItsEnd) {
    SampleLoad load({Looped(1, 10, 20)});
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load[0].loopStart, 10);
    EXPECT_EQ(load[0].loopLength, 20);
    EXPECT_EQ(load[0].loopType, 1);
    EXPECT_EQ(load[0].data[30], load[0].data[10]);
    EXPECT_EQ(load[0].data[30], 11 * 256);
    EXPECT_EQ(load[0].data[31], 32 * 256);
}

TEST(LoopContinuation, ThePingPongLoopRepeatsItsLastPoint) {
    SampleLoad load({Looped(2, 10, 20)});
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load[0].loopType, 2);
    EXPECT_EQ(load[0].data[30], load[0].data[29]);
    EXPECT_EQ(load[0].data[30], 30 * 256);
}

TEST(LoopContinuation, ALoopToTheLastPointFillsTheSparePoint) {
    SampleLoad load({Looped(1, 0, 40), Looped(2, 30, 10), Looped(3, 30, 10), Looped(0, 30, 10)});
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load[0].data[40], 1 * 256);
    EXPECT_EQ(load[1].data[40], 40 * 256);
    // Both loop bits: passed on, but nothing is continued; no loop: the spare point is 0.
    EXPECT_EQ(load[2].loopType, 3);
    EXPECT_EQ(load[2].data[40], 0);
    EXPECT_EQ(load[3].data[40], 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(load[i].data[41], 0);
}

TEST(LoopContinuation, SixteenBitLoopsAreGivenInBytes) {
    std::vector<int16_t> wave;
    for (int i = 0; i < 40; ++i) wave.push_back(static_cast<int16_t>(i * 100));
    XmSample s = Sample16(wave);
    s.type = 0x11;
    s.loopStartBytes = 21;   // point 10, rounding down
    s.loopLengthBytes = 41;  // 20 points
    SampleLoad load({s});
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load[0].loopStart, 10);
    EXPECT_EQ(load[0].loopLength, 20);
    EXPECT_EQ(load[0].data[30], 1000);
}

struct ShapeCase {
    uint8_t type;
    uint32_t start, length;
    uint8_t wantType;
    int32_t wantStart, wantLength;
};

TEST(SampleHeaderNormalisation, LoopsAreBroughtInsideTheSample) {
    const ShapeCase cases[] = {
        {1, 10, 20, 1, 10, 20},         // fits
        {1, 10, 30, 1, 10, 30},         // ends exactly at the last point
        {1, 10, 31, 1, 10, 30},         // runs past the end: shortened
        {2, 35, 0xFFFFFFFF, 2, 35, 5},  // no overflow in start + length
        {1, 40, 5, 0, 0, 40},           // starts at the end: no loop
        {2, 0xFFFFFFFF, 5, 0, 0, 40},   // starts far past the end: no loop
        {1, 10, 0, 0, 0, 40},           // empty loop: no loop
        {0, 10, 20, 0, 0, 40},          // loop type 0 ignores the stored loop
        {0x20 | 3, 5, 5, 3, 5, 5},      // other type bits are not loop bits
    };
    for (const ShapeCase& c : cases) {
        SampleLoad load({Looped(c.type, c.start, c.length)});
        ASSERT_TRUE(load.ok());
        EXPECT_EQ(load[0].length, 40u);
        EXPECT_EQ(load[0].loopType, c.wantType) << c.start << "+" << c.length;
        EXPECT_EQ(load[0].loopStart, c.wantStart) << c.start << "+" << c.length;
        EXPECT_EQ(load[0].loopLength, c.wantLength) << c.start << "+" << c.length;
    }
}

TEST(SampleHeaderNormalisation, TheOtherFieldsAreTakenAsStored) {
    XmSample s = Sample8({1, 2, 3});
    s.volume = 70;
    s.finetune = -16;
    s.panning = 20;
    s.relativeNote = -12;
    SampleLoad load({s});
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load[0].volume, 70);
    EXPECT_EQ(load[0].finetune, -16);
    EXPECT_EQ(load[0].panning, 20);
    EXPECT_EQ(load[0].relativeNote, -12);
    EXPECT_EQ(load[0].compression, 0);
}

TEST(SampleHeaderNormalisation, AnEmptySampleLoadsWithoutData) {
    XmSample empty;
    empty.type = 1;
    empty.loopLengthBytes = 4;
    SampleLoad load({empty, Sample8({3})});
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load[0].length, 0u);
    EXPECT_EQ(load[0].loopType, 0);
    EXPECT_EQ(load[0].data[0], 0);
    EXPECT_EQ(load[1].data[0], 3 * 256);
}

}  // namespace
