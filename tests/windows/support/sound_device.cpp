#include "tests/windows/support/sound_device.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <cstdlib>
#include <string>

#include "player/output/player.h"

namespace testing_support {

bool SoundDeviceAvailable() {
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 48000, 192000, 4, 16, 0};
    HWAVEOUT device = nullptr;
    if (waveOutOpen(&device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        return false;
    }
    waveOutClose(device);
    return true;
}

bool SoundExpected() {
    const char* expect = std::getenv("LS_EXPECT_SOUND");
    return expect != nullptr && std::string(expect) == "1";
}

void ExpectPlayerReportsNothing() {
    EXPECT_EQ(GetLevels(), 0u);
    EXPECT_EQ(GetPosition(), 0u);
    EXPECT_EQ(GetPlayTime(), 0u);
    EXPECT_STREQ(GetSongTitle(), "");
}

}  // namespace testing_support
