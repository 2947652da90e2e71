#include <gtest/gtest.h>

#include "player/records.h"
#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

TEST(SetTempo, FramesPerTickIs120000DivBpm) {
    const struct {
        uint32_t bpm, frames;
    } cases[] = {{125, 960}, {32, 3750}, {255, 470}, {0, 120000}, {1, 120000}, {65535, 1}};
    xm::Module module{};
    for (const auto& c : cases) {
        xm::SetTempo(module, c.bpm);
        EXPECT_EQ(module.framesPerTick, c.frames) << c.bpm;
    }
}

TEST(Records, EachChannelOwnsTwoVoicesAndStartsOnTheFirst) {
    for (const uint16_t channels : {uint16_t{1}, uint16_t{4}, uint16_t{64}}) {
        XmSong song = PlainSong();
        song.channels = channels;
        song.patterns = {EmptyPattern(2, channels)};
        auto loaded = LoadXm(BuildXm(song));
        ASSERT_TRUE(loaded->ok) << channels;
        const xm::Module& m = loaded->module;
        ASSERT_EQ(m.channelCount, channels);
        for (int i = 0; i < channels; ++i) {
            const xm::Channel& c = m.channels[i];
            EXPECT_EQ(c.voice, &m.voices[2 * i]);
            EXPECT_EQ(m.voices[2 * i].stepInteger, 1u);
            EXPECT_EQ(m.voices[2 * i + 1].stepInteger, 0u);
            for (const xm::Voice* v : {&m.voices[2 * i], &m.voices[2 * i + 1]}) {
                EXPECT_EQ(v->sample, nullptr);
                EXPECT_EQ(v->stepFraction, 0u);
                EXPECT_EQ(v->finalVolume, 0);
            }
            EXPECT_EQ(c.period, 0);
            EXPECT_EQ(c.volume, 0);
        }
    }
}

TEST(Records, VoicesSixAndSevenBelongToChannelThree) {
    auto loaded = LoadXm(BuildXm(PlainSong()));
    ASSERT_TRUE(loaded->ok);
    const xm::Module& m = loaded->module;
    EXPECT_EQ(m.channels[3].voice, &m.voices[6]);
    EXPECT_EQ(m.channels[3].voice + 1, &m.voices[7]);
    // The channel array follows the voice array without overlapping it.
    EXPECT_GE(reinterpret_cast<const char*>(m.channels),
              reinterpret_cast<const char*>(&m.voices[8]));
}

}  // namespace
