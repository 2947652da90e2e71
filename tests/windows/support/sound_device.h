// The sound device as the player tests see it: whether the wave-out mapper opens at the player's
// format, and what the player reports when it plays nothing.
#pragma once

namespace testing_support {

// True when a wave-out device opens at 48,000 Hz, 16-bit stereo (it is closed again at once).
bool SoundDeviceAvailable();

// True when the test was started with a sound device it must find (LS_EXPECT_SOUND=1).
bool SoundExpected();

// Levels, position, play time and title all report nothing.
void ExpectPlayerReportsNothing();

}  // namespace testing_support
