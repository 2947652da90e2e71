// The player on a machine without sound: no sound server can be reached (the ctest entry points
// PulseAudio at nothing), so the wave-out device does not open. Nothing plays, nothing is
// reported, and no call breaks.
#include <gtest/gtest.h>

#include <cstdint>

#include "player/output/player.h"
#include "tests/windows/support/sound_device.h"

namespace {

TEST(WaveOutPlayer, WithoutASoundDeviceNothingPlaysAndNothingBreaks) {
    if (testing_support::SoundDeviceAvailable()) GTEST_SKIP() << "a sound device is present";
    ASSERT_FALSE(testing_support::SoundExpected()) << "no sound device although one was expected";
    SetVolume(40);
    EXPECT_EQ(PlaySong(reinterpret_cast<const void*>(uintptr_t{1}), 0, 0), nullptr);
    testing_support::ExpectPlayerReportsNothing();
    PauseSong();
    ResumeSong();
    JumpToOrder(2);
    EXPECT_EQ(PlaySong(nullptr, 0, 0), nullptr);
    testing_support::ExpectPlayerReportsNothing();
}

}  // namespace
