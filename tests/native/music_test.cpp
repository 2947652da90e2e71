// The program's own module, as the generator made it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/native/support/xm_builder.h"

namespace {

std::vector<uint8_t> ReadMusic() {
    std::string path = __FILE__;
    path = path.substr(0, path.rfind("tests/native/")) + "res/music.xm";
    std::vector<uint8_t> bytes;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

class Music : public ::testing::Test {
  protected:
    void SetUp() override {
        loaded = xmtest::LoadXm(ReadMusic());
        ASSERT_GT(loaded->bytes.size(), 10000u);
        ASSERT_TRUE(loaded->ok);
    }
    std::unique_ptr<xmtest::LoadedXm> loaded;
};

TEST_F(Music, LoadsExactlyToItsLastByte) {
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
    EXPECT_STREQ(loaded->title, "Veldraskon Skies");
}

TEST_F(Music, HasTheShapeThePlayerIsBuiltFor) {
    const xm::Module& m = loaded->module;
    EXPECT_EQ(m.channelCount, 4);
    EXPECT_EQ(m.songLength, 17);
    EXPECT_EQ(m.restartPosition, 0);
    EXPECT_EQ(m.patternSlotCount, 13);  // 13 stored patterns, highest order entry 12
    int highest = 0;
    for (int i = 0; i < m.songLength; ++i) highest = std::max<int>(highest, m.orders[i]);
    EXPECT_EQ(highest, 12);
    for (int p = 0; p < 13; ++p) {
        EXPECT_EQ(m.patterns[p].rows, 64) << p;
        EXPECT_NE(m.patterns[p].cells, nullptr) << p;
    }
    EXPECT_EQ(m.flags, xm::kLinearFrequencyTable);
    EXPECT_EQ(m.defaultTempo, 4);
    EXPECT_EQ(m.defaultBpm, 125);
    EXPECT_EQ(m.framesPerTick, 960u);
    ASSERT_EQ(m.instrumentCount, 5);
    for (int i = 0; i < 5; ++i) {
        const xm::Instrument& in = m.instruments[i];
        ASSERT_NE(in.samples[0], nullptr) << i;
        EXPECT_EQ(in.samples[1], nullptr) << i;
        EXPECT_EQ(in.samples[0]->is16Bit, 0) << i;
        EXPECT_EQ(in.samples[0]->loopType, i < 2 ? 1 : 0) << i;
        EXPECT_EQ(in.volumeType, 0) << i;
    }
}

TEST_F(Music, InstrumentHeadersAre263Bytes) {
    // The first instrument follows the last pattern; its header size field comes first.
    const std::vector<uint8_t>& b = loaded->bytes;
    size_t at = 336;
    for (int p = 0; p < 13; ++p) at += 9 + (b[at + 7] | b[at + 8] << 8);
    for (int i = 0; i < 5; ++i) {
        ASSERT_LT(at + 263 + 40, b.size());
        EXPECT_EQ(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | b[at + 3] << 24, 263) << i;
        const size_t sample = at + 263;
        at = sample + 40 + (b[sample] | b[sample + 1] << 8 | b[sample + 2] << 16);
    }
    EXPECT_EQ(at, b.size());
}

// The engine's playback of this module is proven on these effects only.
TEST_F(Music, UsesOnlyItsSmallSetOfEffectsAndSetsVolumesOnly) {
    const xm::Module& m = loaded->module;
    int jumps = 0;
    for (int p = 0; p < 13; ++p) {
        for (int i = 0; i < 64 * 4; ++i) {
            const xm::Cell& c = m.patterns[p].cells[i];
            EXPECT_TRUE(c.volume == 0 || (c.volume >= 0x10 && c.volume <= 0x50)) << p << ":" << i;
            EXPECT_LE(c.note, 96);
            switch (c.effect) {
                case 0x0:
                case 0x3:
                case 0x4:
                case 0x6:
                    break;
                case 0xA:
                    EXPECT_EQ(c.param & 0xF0, 0) << "slides down only";
                    break;
                case 0xB:
                    EXPECT_EQ(c.param, 6);
                    EXPECT_EQ(p, m.orders[m.songLength - 1]);
                    EXPECT_EQ(i / 4, 63);
                    ++jumps;
                    break;
                case 0xF:
                    EXPECT_EQ(c.param, 4);
                    break;
                default:
                    ADD_FAILURE() << "effect " << int(c.effect) << " in pattern " << p;
            }
        }
    }
    EXPECT_EQ(jumps, 1);
}

}  // namespace
