#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "player/mixer/block_conversion.h"
#include "player/render/render.h"

namespace {

constexpr uint32_t kUnity = 32768;

struct ConversionCase {
    int32_t sum;
    uint32_t masterVolume;
    int16_t out;
};

TEST(BlockConversion, RoundsClampsAndScalesSymmetrically) {
    constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const ConversionCase cases[] = {
        {0, kUnity, 0},
        {8159, kUnity, 0},
        {-8159, kUnity, 0},
        {8160, kUnity, 1},
        {-8160, kUnity, -1},
        {16320 + 8159, kUnity, 1},
        {-(16320 + 8160), kUnity, -2},
        {534749279, kUnity, 32766},  // 32766 x 16320 + 8159
        {534749280, kUnity, 32767},
        {-534749280, kUnity, -32767},
        {kMax, kUnity, 32767},
        {kMin, kUnity, -32767},  // never -32768
        {kMin + 1, kUnity, -32767},
        {534749280, 130, 129},
        {-534749280, 130, -129},  // step 1
        {534749280, 1, 0},
        {-534749280, 1, 0},  // step 0 silences
        {16320 * 1000, 16384, 500},
        {-16320 * 1001, 16384, -500},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(xm::ConvertSample(c.sum, c.masterVolume), c.out)
            << c.sum << " at volume " << c.masterVolume;
    }
}

TEST(BlockConversion, BlockKeepsChannelOrderAndAveragesMagnitudesPerSide) {
    std::vector<int32_t> sums(2 * xm::kBlockFrames);
    for (uint32_t i = 0; i < xm::kBlockFrames; ++i) {
        sums[2 * i] = (i % 2 ? 1 : -1) * 16320 * 300;  // alternating +-300: average magnitude 300
        sums[2 * i + 1] = static_cast<int32_t>(i) * 16320;  // 0..1023: average 511.5
    }
    std::vector<int16_t> out(2 * xm::kBlockFrames, 12345);
    const uint32_t levels = xm::ConvertBlock(sums.data(), out.data(), xm::kBlockFrames, kUnity, {});
    EXPECT_EQ(levels, (300u << 16) | 511u);
    EXPECT_EQ(out[0], -300);
    EXPECT_EQ(out[1], 0);
    EXPECT_EQ(out[2], 300);
    EXPECT_EQ(out[2 * 1023 + 1], 1023);

    // Levels follow the master volume: they measure what is played.
    EXPECT_EQ(xm::ConvertBlock(sums.data(), out.data(), xm::kBlockFrames, 16384, {}),
              (150u << 16) | 255u);
    EXPECT_EQ(out[2 * 1023 + 1], 511);
}

// Every path writes and measures its frames and nothing after them, with block lengths the
// vector loops take and one they leave to the plain loop.
TEST(BlockConversion, OnlyTheBlocksFramesAreWrittenAndMeasured) {
    for (const uint32_t frames : {xm::kBlockFrames, 7u}) {
        for (const uint32_t bits : {0u, 128u, 256u, 512u}) {
            std::vector<int32_t> sums(2 * frames, 16320 * 300);
            sums.insert(sums.end(), {16320 * 30000, 16320 * 30000});
            std::vector<int16_t> out(2 * frames + 2, 12345);
            const uint32_t levels =
                xm::ConvertBlock(sums.data(), out.data(), frames, kUnity, {true, bits});
            const uint32_t level = 300 * frames / 1024;
            EXPECT_EQ(levels, level << 16 | level) << frames << " frames, " << bits << " bits";
            EXPECT_EQ(out[2 * frames - 1], 300);
            EXPECT_EQ(out[2 * frames], 12345) << frames << " frames, " << bits << " bits";
            EXPECT_EQ(out[2 * frames + 1], 12345);
        }
    }
}

TEST(BlockConversion, ShortcutsConvertBitIdentically) {
    std::mt19937 rng(7);
    std::vector<int32_t> sums(2 * xm::kBlockFrames);
    const int32_t edges[] = {0,
                             1,
                             -1,
                             8159,
                             8160,
                             -8160,
                             16319,
                             16320,
                             534749279,
                             534749280,
                             std::numeric_limits<int32_t>::max(),
                             std::numeric_limits<int32_t>::min()};
    for (int round = 0; round < 20; ++round) {
        for (size_t i = 0; i < sums.size(); ++i) {
            const uint32_t r = static_cast<uint32_t>(rng());
            // Near an edge (wrapping past the ends of the range), or anywhere.
            const uint32_t nearEdge = static_cast<uint32_t>(edges[r % 12]) + r % 5 - 2;
            sums[i] = static_cast<int32_t>(i % 3 == 0 ? nearEdge : r) >> (i % 3 == 0 ? 0 : r % 20);
        }
        const uint32_t volume = round == 0 ? kUnity : 1 + static_cast<uint32_t>(rng()) % kUnity;
        std::vector<int16_t> fast(sums.size()), slow(sums.size());
        const uint32_t slowLevels =
            xm::ConvertBlock(sums.data(), slow.data(), xm::kBlockFrames, volume, {false, 0});
        for (const uint32_t bits : {128u, 256u}) {  // each vector width the processor offers
            if (bits > xm::WidestMixerVectors()) continue;
            const uint32_t fastLevels =
                xm::ConvertBlock(sums.data(), fast.data(), xm::kBlockFrames, volume, {true, bits});
            ASSERT_EQ(fastLevels, slowLevels) << round << ", vectors of " << bits;
            ASSERT_TRUE(fast == slow) << round << ", vectors of " << bits;
        }
        for (size_t i = 0; i < sums.size(); ++i) {
            ASSERT_EQ(slow[i], xm::ConvertSample(sums[i], volume)) << sums[i];
        }
    }
}

// Step 0 is 1, not silence; steps 1 to 25 are round(32768 x 10^((step - 25) / 10)); steps above
// 25 are 25.
TEST(MasterVolume, EveryStepFollowsTheTableAndStepsAbove25AreUnity) {
    EXPECT_EQ(xm::MasterVolumeForStep(0), 1u);
    for (uint32_t step = 1; step <= 25; ++step) {
        const double volume = 32768.0 * std::pow(10.0, (static_cast<double>(step) - 25.0) / 10.0);
        EXPECT_EQ(xm::MasterVolumeForStep(step), static_cast<uint32_t>(std::lround(volume)))
            << step;
    }
    // A few entries as printed in the table, against a slip in the formula above.
    EXPECT_EQ(xm::MasterVolumeForStep(1), 130u);
    EXPECT_EQ(xm::MasterVolumeForStep(13), 2068u);
    EXPECT_EQ(xm::MasterVolumeForStep(24), 26029u);
    for (uint32_t step : {26u, 40u, 0xFFFFFFFFu}) {
        EXPECT_EQ(xm::MasterVolumeForStep(step), 32768u) << step;
    }
}

}  // namespace
