#include <gtest/gtest.h>

#include "player/song/records.h"
#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

TEST(SetTempo, FramesPerTickIs120000DivBpm) {
    const uint32_t cases[][2] = {{125, 960}, {32, 3750}, {255, 470}, {0, 120000}, {65535, 1}};
    xm::Module module{};
    for (const auto& c : cases) {
        xm::SetTempo(module, c[0]);
        EXPECT_EQ(module.framesPerTick, c[1]) << c[0];
    }
}

TEST(Records, EachChannelOwnsVoices2iAnd2iPlus1AndStartsOnTheFirst) {
    for (const uint16_t channels : {uint16_t{1}, uint16_t{4}, uint16_t{64}}) {
        XmSong song = PlainSong();
        song.channels = channels;
        song.patterns = {EmptyPattern(2, channels)};
        auto loaded = LoadXm(BuildXm(song));
        ASSERT_TRUE(loaded->ok) << channels;
        const xm::Module& m = loaded->module;
        ASSERT_EQ(m.channelCount, channels);
        for (int i = 0; i < channels; ++i) {
            EXPECT_EQ(m.channels[i].voice, &m.voices[2 * i]);
            EXPECT_EQ(m.voices[2 * i].stepInteger, 1u);
            EXPECT_EQ(m.voices[2 * i + 1].stepInteger, 0u);
            EXPECT_EQ(m.voices[2 * i].sample, nullptr);
        }
        // The channel array follows the voice array without overlapping it.
        EXPECT_GE(static_cast<const void*>(m.channels),
                  static_cast<const void*>(m.voices + 2 * channels));
    }
}

}  // namespace
