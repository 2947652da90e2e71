// Whole songs render bit-identically with and without the mixer's shortcuts.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "player/render/render.h"
#include "tests/native/support/mixer_widths.h"
#include "tests/native/support/song_builder.h"

namespace xm::test {
namespace {

// A busy song: every channel plays looped samples (forward, ping-pong, one-shot) and replaces
// its note every few rows, so most voices end up running silently behind newer notes.
void BuildBusySong(SongBuilder& song, uint32_t seed, int channels) {
    std::mt19937 rng(seed);
    auto pick = [&](uint32_t n) { return static_cast<int>(rng() % n); };
    for (int ins = 1; ins <= 3; ++ins) {
        const uint32_t length = 100 + static_cast<uint32_t>(pick(3000));
        Sample& s = song.AddSample(ins, length, static_cast<uint8_t>(20 + pick(44)),
                                   static_cast<uint8_t>(pick(256)));
        for (uint32_t i = 0; i < length; ++i) s.data[i] = static_cast<int16_t>(pick(65536) - 32768);
        s.loopType = static_cast<uint8_t>(ins - 1 == 0 ? 1 : ins - 1 == 1 ? 2 : 0);
        if (s.loopType != 0) {
            s.loopStart = pick(length / 2);
            s.loopLength = 1 + pick(length - s.loopStart - 1);
            const int32_t end = s.loopStart + s.loopLength;
            s.data[end] = s.loopType == 1 ? s.data[s.loopStart] : s.data[end - 1];
        }
    }
    song.AddPattern(64);
    for (int row = 0; row < 64; ++row) {
        for (int ch = 0; ch < channels; ++ch) {
            if (pick(3) != 0) continue;
            Cell& cell = song.At(0, row, ch);
            cell.note = static_cast<uint8_t>(1 + pick(96));
            cell.instrument = static_cast<uint8_t>(1 + pick(3));
            if (pick(4) == 0) cell.volume = static_cast<uint8_t>(0x10 + pick(65));
            if (pick(6) == 0) {
                cell.effect = 0x0A;  // volume slide down to silence some notes
                cell.param = 0x0F;
            }
        }
    }
    song.SetSpeed(2 + pick(4));
    song.SetBpm(80 + pick(120));
}

// The output, followed by where every voice stands at the end (position, fraction, direction,
// idle): the shortcuts must leave silent voices exactly where mixing would.
std::vector<int16_t> Render(uint32_t seed, int channels, int blocks, const MixerOptions& options) {
    SongBuilder song(channels, 3);
    BuildBusySong(song, seed, channels);
    RenderState state;
    state.module = &song.module();
    state.masterVolume = 32768;
    state.mixer = options;
    std::vector<int16_t> buffer(kBufferBytes / 2);
    std::vector<int16_t> out;
    for (int i = 0; i < blocks; ++i) {
        const uint32_t index = state.fillIndex;
        MixBlock(state, buffer.data());
        const int16_t* block = buffer.data() + index * kBlockFrames * 2;
        out.insert(out.end(), block, block + kBlockFrames * 2);
    }
    for (int i = 0; i < 2 * channels; ++i) {
        const Voice& v = song.module().voices[i];
        for (uint32_t word : {static_cast<uint32_t>(v.position), v.positionFraction,
                              uint32_t{v.direction}, uint32_t{v.sample == nullptr}}) {
            out.push_back(static_cast<int16_t>(word));
            out.push_back(static_cast<int16_t>(word >> 16));
        }
    }
    return out;
}

// Busy songs rendered with `options` and with the plain loops alone.
void ExpectBusySongsRenderAsThePlainLoops(const MixerOptions& options) {
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        const int channels = 4 * static_cast<int>(seed);
        const auto slow = Render(seed, channels, 150, {false, 0});
        const auto fast = Render(seed, channels, 150, options);
        ASSERT_EQ(fast.size(), slow.size());
        size_t firstDifference = 0;
        while (firstDifference < fast.size() && fast[firstDifference] == slow[firstDifference]) {
            ++firstDifference;
        }
        EXPECT_EQ(firstDifference, fast.size())
            << "seed " << seed << ", vectors of " << options.vectorBits;
        // The song makes sound, so the comparison means something.
        int loud = 0;
        for (int16_t x : slow) loud += x > 1000 || x < -1000;
        EXPECT_GT(loud, 1000) << "seed " << seed;
    }
}

TEST(FastPathSongs, BusySongsRenderBitIdenticallyWithShortcutsAlone) {
    ExpectBusySongsRenderAsThePlainLoops({true, 0});
}

class FastPathSongWidths : public testing::TestWithParam<MixerWidth> {};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(FastPathSongWidths);
INSTANTIATE_TEST_SUITE_P(Built, FastPathSongWidths, testing::ValuesIn(BuiltMixerWidths()),
                         MixerWidthName);

TEST_P(FastPathSongWidths, BusySongsRenderBitIdenticallyToThePlainLoops) {
    XM_SKIP_WIDTH_NOT_HERE(GetParam());
    ExpectBusySongsRenderAsThePlainLoops({true, GetParam().bits()});
}

}  // namespace
}  // namespace xm::test
