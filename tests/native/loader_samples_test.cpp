#include <gtest/gtest.h>

#include <vector>

#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

// Loads a song whose only instrument holds `samples`.
class SampleLoad {
  public:
    explicit SampleLoad(std::vector<XmSample> samples) {
        XmSong song = PlainSong();
        song.instruments[0] = InstrumentWith(std::move(samples));
        loaded_ = LoadXm(BuildXm(song));
        EXPECT_TRUE(loaded_->ok);
        EXPECT_EQ(loaded_->reader.Position(), loaded_->bytes.size());
    }
    const xm::Sample& operator[](int i) const { return *loaded_->module.instruments[0].samples[i]; }
    std::vector<int16_t> Points(int i, uint32_t count) const {
        return std::vector<int16_t>((*this)[i].data, (*this)[i].data + count);
    }

  private:
    std::unique_ptr<LoadedXm> loaded_;
};

TEST(SampleDecoding, DeltasAreSummedAndEightBitPointsTakeTheHighByte) {
    XmSample eight;
    eight.data = {0x01, 0x01, 0xFE};
    XmSample sixteen;
    sixteen.type = 0x10;
    sixteen.data = {0xE8, 0x03, 0x0C, 0xFE};  // 1000, -500
    SampleLoad load({eight, sixteen});
    EXPECT_EQ(load.Points(0, 3), (std::vector<int16_t>{256, 512, 0}));
    EXPECT_EQ(load[1].length, 2u);
    EXPECT_EQ(load.Points(1, 2), (std::vector<int16_t>{1000, 500}));
    EXPECT_EQ(load[1].is16Bit, 1);
}

// Longer than the loader's read chunk, with every sample's data after all sample headers.
TEST(SampleDecoding, LongSamplesRoundTrip) {
    std::vector<int8_t> wave8;
    std::vector<int16_t> wave16;
    for (int i = 0; i < 10000; ++i) {
        wave8.push_back(static_cast<int8_t>((i * 37) % 256 - 128));
        wave16.push_back(static_cast<int16_t>((i * 7919) % 65536 - 32768));
    }
    SampleLoad load({Sample8(wave8), Sample16(wave16), Sample8({9})});
    for (size_t i = 0; i < wave8.size(); ++i) {
        ASSERT_EQ(load[0].data[i], wave8[i] * 256) << i;
        ASSERT_EQ(load[1].data[i], wave16[i]) << i;
    }
    EXPECT_EQ(load[2].data[0], 9 * 256);
}

TEST(SampleDecoding, FourBitCompressedDataIndexesTheDeltaTable) {
    XmSample s;
    s.reserved = 0xAD;
    s.type = 0x10;       // only halves the stored length: the data stays 4-bit
    s.lengthBytes = 10;  // 5 points, so one more lands in the spare points
    for (int i = 0; i < 15; ++i) s.data.push_back(static_cast<uint8_t>(i));  // index i adds i
    s.data.push_back(static_cast<uint8_t>(-3));                              // index 15 adds -3
    s.data.insert(s.data.end(), {0x21, 0xF4, 0x5F});
    XmSample wrap;
    wrap.reserved = 0xAD;
    wrap.lengthBytes = 3;
    wrap.data.assign(16, 0);
    wrap.data[1] = 100;
    wrap.data.insert(wrap.data.end(), {0x11, 0x01});  // 100, 200 = -56, 44
    SampleLoad load({s, wrap});
    ASSERT_EQ(load[0].length, 5u);
    // The two spare points after that one stay silent.
    EXPECT_EQ(load.Points(0, 8), (std::vector<int16_t>{256, 768, 1792, 1024, 256, 1536, 0, 0}));
    EXPECT_EQ(load.Points(1, 4), (std::vector<int16_t>{100 * 256, -56 * 256, 44 * 256, 44 * 256}));
}

XmSample Looped(uint8_t type, uint32_t start, uint32_t length) {
    std::vector<int8_t> ramp;
    for (int i = 1; i <= 40; ++i) ramp.push_back(static_cast<int8_t>(i));
    XmSample s = Sample8(ramp);
    s.type = type;
    s.loopStartBytes = start;
    s.loopLengthBytes = length;
    return s;
}

TEST(SampleHeaderNormalisation, LoopsAreBroughtInsideTheSample) {
    struct Case {
        uint8_t type;
        uint32_t start, length;
        uint8_t wantType;
        int32_t wantStart, wantLength;
    };
    const Case cases[] = {
        {1, 10, 20, 1, 10, 20},        {2, 10, 30, 2, 10, 30},        // fit, end at the last point
        {1, 10, 31, 1, 10, 30},                                       // past the end: shortened
        {2, 35, 0xFFFFFFFF, 2, 35, 5},                                // no overflow
        {1, 40, 5, 0, 0, 40},          {2, 0xFFFFFFFF, 5, 0, 0, 40},  // start at or past the end
        {1, 10, 0, 0, 0, 40},                                         // empty loop
        {0, 10, 20, 0, 0, 40},                                        // no loop type
        {0x20 | 3, 5, 5, 3, 5, 5},  // other type bits are not loop bits
        {0x11, 11, 21, 1, 5, 10},   // 16-bit: bytes to points, rounding down (40 bytes)
    };
    for (const Case& c : cases) {
        SampleLoad load({Looped(c.type, c.start, c.length)});
        const std::string at = std::to_string(c.start) + "+" + std::to_string(c.length);
        EXPECT_EQ(load[0].length, c.type & 0x10 ? 20u : 40u) << at;
        EXPECT_EQ(load[0].loopType, c.wantType) << at;
        EXPECT_EQ(load[0].loopStart, c.wantStart) << at;
        EXPECT_EQ(load[0].loopLength, c.wantLength) << at;
    }
}

TEST(SampleHeaderNormalisation, TheOtherFieldsAreTakenAsStoredAndEmptySamplesLoad) {
    XmSample s = Sample8({1, 2, 3});
    s.volume = 70;
    s.finetune = -16;
    s.panning = 20;
    s.relativeNote = -12;
    XmSample empty;
    empty.type = 1;
    empty.loopLengthBytes = 4;
    SampleLoad load({s, empty});
    EXPECT_EQ(load[0].volume, 70);
    EXPECT_EQ(load[0].finetune, -16);
    EXPECT_EQ(load[0].panning, 20);
    EXPECT_EQ(load[0].relativeNote, -12);
    EXPECT_EQ(load[1].length, 0u);
    EXPECT_EQ(load[1].loopType, 0);
    EXPECT_EQ(load[1].data[0], 0);
}

// The point at the loop end repeats where playback goes on: the loop start for a forward loop,
// the last loop point for a ping-pong loop; otherwise the spare point stays 0.
TEST(LoopContinuation, ThePointAfterTheLoopEndContinuesTheLoop) {
    SampleLoad load({Looped(1, 10, 20), Looped(2, 10, 20), Looped(1, 0, 40), Looped(2, 30, 10),
                     Looped(3, 30, 10), Looped(0, 30, 10)});
    EXPECT_EQ(load[0].data[30], 11 * 256);
    EXPECT_EQ(load[0].data[31], 32 * 256);  // the sample itself is untouched after it
    EXPECT_EQ(load[1].data[30], 30 * 256);
    EXPECT_EQ(load[2].data[40], 1 * 256);
    EXPECT_EQ(load[3].data[40], 40 * 256);
    EXPECT_EQ(load[4].loopType, 3);
    EXPECT_EQ(load[4].data[40], 0);
    EXPECT_EQ(load[5].data[40], 0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(load[i].data[41], 0);
}

}  // namespace
