// The engine on songs as the loader leaves them, from module files built in memory.
#include <gtest/gtest.h>

#include "player/replay/engine.h"
#include "tests/native/support/song_builder.h"
#include "tests/native/support/xm_builder.h"

namespace {

using xm::test::RunOneTick;

TEST(LoadedSong, FirstRowStartsTheNoteOnTheLoadedSample) {
    xmtest::XmSong song = xmtest::PlainSong();
    song.patterns[0].cells[1] = {49, 1, 0x30, 0x0B, 0x00};  // channel 1: C-4, volume 32, B00
    const auto loaded = xmtest::LoadXm(xmtest::BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    xm::Module& m = loaded->module;
    RunOneTick(m);
    const xm::Voice& voice = *m.channels[1].voice;
    EXPECT_EQ(voice.sample, m.instruments[0].samples[0]);
    EXPECT_EQ(voice.stepFraction, 748308572u);  // 8363 Hz
    EXPECT_EQ(voice.finalVolume, 63);
    EXPECT_EQ(m.voices[0].sample, nullptr) << "channel 0 has no note";
    for (int i = 0; i < 6; ++i) RunOneTick(m);
    EXPECT_EQ(m.row, 0) << "B00 jumps back to the start";
}

TEST(LoadedSong, SongWithoutInstrumentsPlaysSilence) {
    xmtest::XmSong song = xmtest::PlainSong();
    song.instruments.clear();
    song.patterns[0].cells[0] = {49, 1, 0, 0, 0};  // the instrument number becomes 0
    const auto loaded = xmtest::LoadXm(xmtest::BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    RunOneTick(loaded->module);
    EXPECT_EQ(loaded->module.channels[0].voice->sample, &xm::NullSample);
}

TEST(LoadedSong, EnvelopeIndicesFromTheFileStayInRange) {
    xmtest::XmSong song = xmtest::PlainSong();
    xmtest::XmEnvelope& env = song.instruments[0].volume;
    for (int i = 0; i < 12; ++i) env.points[i] = {static_cast<uint16_t>(2 * i), 64};
    env.count = 200;
    env.loopStart = 200;
    env.loopEnd = 11;
    env.sustain = 250;
    env.type = xm::kEnvelopeOn | xm::kEnvelopeLoop | xm::kEnvelopeSustain;
    song.patterns[0].cells[0] = {49, 1, 0, 0, 0};
    const auto loaded = xmtest::LoadXm(xmtest::BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    for (int i = 0; i < 200; ++i) {
        RunOneTick(loaded->module);
        ASSERT_LE(loaded->module.channels[0].volumeEnvelopeNext, 11);
        ASSERT_EQ(loaded->module.channels[0].volumeEnvelopeOutput, 64);
    }
}

}  // namespace
