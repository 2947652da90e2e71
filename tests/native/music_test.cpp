// The program's own module, as tools/make_music made it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/native/support/xm_builder.h"

namespace {

class Music : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string file = __FILE__;
        std::ifstream in(file.substr(0, file.rfind("tests/native/")) + "res/music.xm",
                         std::ios::binary);
        loaded = xmtest::LoadXm(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
        ASSERT_TRUE(loaded->ok);
    }
    uint32_t U32At(size_t at) const {
        const std::vector<uint8_t>& b = loaded->bytes;
        return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
    }
    std::unique_ptr<xmtest::LoadedXm> loaded;
};

TEST_F(Music, LoadsToItsLastByteWithTheShapeThePlayerIsBuiltFor) {
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
    EXPECT_STREQ(loaded->title, "Veldraskon Skies");
    const xm::Module& m = loaded->module;
    EXPECT_EQ(m.channelCount, 4);
    EXPECT_EQ(m.songLength, 17);
    EXPECT_EQ(m.restartPosition, 0);
    EXPECT_EQ(*std::max_element(m.orders, m.orders + m.songLength), 12);
    ASSERT_EQ(m.patternSlotCount, 13);  // all 13 stored, none added
    for (int p = 0; p < 13; ++p) {
        EXPECT_EQ(m.patterns[p].rows, 64) << p;
        EXPECT_NE(m.patterns[p].cells, nullptr) << p;
    }
    EXPECT_EQ(m.flags, xm::kLinearFrequencyTable);
    EXPECT_EQ(m.defaultTempo, 4);
    EXPECT_EQ(m.framesPerTick, 960u);  // 125 BPM
    ASSERT_EQ(m.instrumentCount, 5);
    size_t at = 336;  // instrument headers follow the last pattern
    for (int p = 0; p < 13; ++p) at += 9 + m.patterns[p].packedSize;
    for (int i = 0; i < 5; ++i) {
        const xm::Sample* s = m.instruments[i].samples[0];
        ASSERT_NE(s, nullptr) << i;
        EXPECT_EQ(m.instruments[i].samples[1], nullptr) << i;
        EXPECT_EQ(s->is16Bit, 0) << i;
        EXPECT_EQ(s->loopType, i < 2 ? 1 : 0) << i;
        EXPECT_EQ(U32At(at), 263u) << i;
        at += 263 + 40 + s->length;
    }
    EXPECT_EQ(at, loaded->bytes.size());
}

// The effects the replay engine has to get right for this module, and no others.
TEST_F(Music, UsesOnlyItsSmallSetOfEffectsAndTheVolumeColumnOnlyToSetVolumes) {
    const xm::Module& m = loaded->module;
    int jumps = 0;
    for (int p = 0; p < 13; ++p) {
        for (int i = 0; i < 64 * 4; ++i) {
            const xm::Cell& c = m.patterns[p].cells[i];
            const std::string at = std::to_string(p) + ":" + std::to_string(i / 4);
            EXPECT_TRUE(c.volume == 0 || (c.volume >= 0x10 && c.volume <= 0x50)) << at;
            EXPECT_LE(c.note, 96) << at;
            switch (c.effect) {
                case 0x0:
                case 0x3:
                case 0x4:
                case 0x6:
                    break;
                case 0xA:
                    EXPECT_EQ(c.param & 0xF0, 0) << at;
                    break;  // downward only
                case 0xF:
                    EXPECT_EQ(c.param, 4) << at;
                    break;
                case 0xB:
                    EXPECT_EQ(c.param, 6) << at;
                    EXPECT_EQ(p, m.orders[m.songLength - 1]) << at;
                    EXPECT_EQ(i / 4, 63) << at;
                    ++jumps;
                    break;
                default:
                    ADD_FAILURE() << at << " effect " << int{c.effect};
            }
        }
    }
    EXPECT_EQ(jumps, 1);
}

}  // namespace
