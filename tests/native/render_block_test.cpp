// MixBlock: the block frame around the tick scheduler and the mixer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "player/render/render.h"
#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

// A one-channel song whose pattern plays a looped square wave at C-4 from its first row.
struct SquareSong {
    SongBuilder song{1, 1};
    RenderState state;
    std::vector<int16_t> buffer = std::vector<int16_t>(kBufferBytes / 2, 0x5A5A);

    explicit SquareSong(int rows = 64) {
        Sample& s = song.AddSample(1, 64);
        for (uint32_t i = 0; i < 64; ++i) s.data[i] = i < 32 ? 20000 : -20000;
        s.data[64] = s.data[0];
        s.loopType = 1;
        song.AddPattern(rows);
        song.At(0, 0, 0).note = 49;  // C-4
        song.At(0, 0, 0).instrument = 1;
        state.module = &song.module();
        state.masterVolume = 32768;
    }
    const int16_t* Block(uint32_t index) const { return buffer.data() + index * kBlockFrames * 2; }
    BlockOutcome Render() { return MixBlock(state, buffer.data()); }
};

TEST(MixBlock, PlayTimeCountsWholeMillisecondsPerSpan) {
    SquareSong s;
    // 125 BPM: ticks of 960 frames. Block 1: spans 960 + 64 (20 + 1 ms); block 2: 896 + 128
    // (18 + 2 ms), one less than 2048 frames would give.
    s.Render();
    EXPECT_EQ(s.state.playTimeMs.load(), 21u);
    s.Render();
    EXPECT_EQ(s.state.playTimeMs.load(), 41u);
}

TEST(MixBlock, WritesTheBlockAtTheFillIndexAndReportsPositionAndLevels) {
    SquareSong s;
    for (uint32_t block = 0; block < kBlockCount + 2; ++block) {
        const uint32_t index = block % kBlockCount;
        ASSERT_EQ(s.state.fillIndex, index);
        ASSERT_EQ(s.Render(), BlockOutcome::Rendered);
        if (block == 0) {
            EXPECT_EQ(s.Block(0)[0], 0);  // the first note fades in from silence
        }
        ASSERT_EQ(s.state.fillIndex, (index + 1) % kBlockCount);
        // Speed 6 at 960 frames per tick: a row every 5760 frames.
        const uint32_t frames = (block + 1) * kBlockFrames;
        const uint32_t row = (frames - 1) / 5760;
        EXPECT_EQ(s.state.statusRing[index].position.load(), row) << block;
        const uint32_t levels = s.state.statusRing[s.state.fillIndex].levels.load();
        // A square of 20000 at targets 63 (volume 127 centred): 20000 x 64 x 63 / 16320 = 4941
        // on the flats, less on the interpolated edges and while fading in.
        EXPECT_GT(levels >> 16, 4500u) << block;
        EXPECT_LE(levels >> 16, 4941u) << block;
        EXPECT_EQ(levels >> 16, levels & 0xFFFF) << block;
    }
    // Once faded in, the output swings between +-4941.
    const int16_t* later = s.Block(5);
    const auto [low, high] = std::minmax_element(later, later + 2 * kBlockFrames);
    EXPECT_EQ(*low, -4941);
    EXPECT_EQ(*high, 4941);
}

TEST(MixBlock, PausedBlocksAreSilentAndTheSongStandsStill) {
    SquareSong s;
    s.Render();
    const uint32_t time = s.state.playTimeMs.load();
    const uint32_t position = s.state.statusRing[0].position.load();
    s.state.statusRing[1].position = 0x00030004;
    s.state.paused = 1;
    ASSERT_EQ(s.Render(), BlockOutcome::Rendered);
    EXPECT_EQ(s.state.playTimeMs.load(), time);
    EXPECT_EQ(s.state.statusRing[1].position.load(), 0x00030004u);  // kept as it was
    EXPECT_EQ(s.state.statusRing[2].levels.load(), 0u);
    for (uint32_t i = 0; i < 2 * kBlockFrames; ++i) ASSERT_EQ(s.Block(1)[i], 0) << i;
    s.state.paused = 0;
    s.Render();
    EXPECT_EQ(s.state.playTimeMs.load(), 2 * time - 1);  // 896 + 128 frames: 20 ms
    EXPECT_EQ(position, 0u);
}

TEST(MixBlock, MasterVolumeScalesTheOutput) {
    SquareSong loud, quiet;
    quiet.state.masterVolume = MasterVolumeForStep(15);  // -20 dB
    for (int i = 0; i < 3; ++i) {
        loud.Render();
        quiet.Render();
    }
    const int16_t a = loud.Block(2)[0], b = quiet.Block(2)[0];
    // The magnitude is scaled, so negative samples round toward zero like positive ones.
    EXPECT_EQ(b, (a < 0 ? -1 : 1) * ((std::abs(a) * 3277) >> 15)) << a;
    EXPECT_NE(a, 0);
}

TEST(MixBlock, SongEndWithoutLoopAbandonsTheBlock) {
    SquareSong s(2);  // two rows: ends when the last row starts, inside the first block's span
    s.state.noLoop = 1;
    s.song.SetSpeed(1);
    ASSERT_EQ(s.Render(), BlockOutcome::SongEnded);
    EXPECT_EQ(s.state.fillIndex, 0u);
    EXPECT_EQ(s.Block(0)[0], 0x5A5A);  // nothing converted
    EXPECT_EQ(s.state.statusRing[1].levels.load(), 0u);
}

}  // namespace
}  // namespace xm::test
