// The player on the real waveOut device and Windows threads, with a sound device: its ctest
// entry gives it a PulseAudio null sink of its own (with_sound_sink.sh) and LS_EXPECT_SOUND=1,
// so a missing device fails instead of skipping. player_silent_test.cpp has the path without one.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "player/output/player.h"
#include "player/output/player_state.h"
#include "tests/native/player_test_song.h"
#include "tests/windows/support/sound_device.h"

namespace {

using testing_support::ExpectPlayerReportsNothing;
using testing_support::SoundDeviceAvailable;
using testing_support::SoundExpected;

double ThreadCpuSeconds(HANDLE thread) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
    auto seconds = [](FILETIME t) {
        return static_cast<double>(uint64_t{t.dwHighDateTime} << 32 | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

// Polls every 20 ms until `done` holds; false when it has not held within `deadlineMs`. The
// deadline only keeps a broken player from hanging the test: a loaded machine just waits longer.
template <class Done>
bool WaitUntil(Done done, DWORD deadlineMs = 60000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > deadlineMs) return false;
        Sleep(20);
    }
    return true;
}

// Bytes the player's device has played since its song started.
uint32_t PlayedBytes(void* playerResult) {
    auto device = static_cast<HWAVEOUT>(static_cast<std::atomic<void*>*>(playerResult)->load());
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (waveOutGetPosition(device, &time, sizeof time) != MMSYSERR_NOERROR) return 0;
    return time.u.cb;
}

const void* Resource(uintptr_t id) {
    return reinterpret_cast<const void*>(id);
}

TEST(WaveOutPlayer, ResourceOnePlaysOnATimeCriticalWorkerAndReportsLevels) {
    if (!SoundDeviceAvailable()) {
        ASSERT_FALSE(SoundExpected()) << "no sound device although one was expected";
        GTEST_SKIP() << "no sound device";
    }
    SetVolume(40);
    void* result = PlaySong(Resource(1), 0, 0);
    ASSERT_NE(result, nullptr);
    EXPECT_NE(static_cast<std::atomic<void*>*>(result)->load(), nullptr) << "the device handle";
    EXPECT_STRNE(GetSongTitle(), "");

    // The player's own handle of its worker, duplicated so that it outlives the song.
    HANDLE worker = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(xm::Player().worker),
                                GetCurrentProcess(), &worker, 0, FALSE, DUPLICATE_SAME_ACCESS));
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(GetThreadPriority(worker), THREAD_PRIORITY_TIME_CRITICAL);

    // Two seconds of sound as the device counts them, with rows going by, levels and a play
    // time that moves on.
    const double cpuBefore = ThreadCpuSeconds(worker);
    const DWORD ticksBefore = GetTickCount();
    const uint32_t firstPlayTime = GetPlayTime();
    std::set<uint32_t> positions;
    bool loud = false;
    const bool heard = WaitUntil([&] {
        loud = loud || GetLevels() != 0;
        positions.insert(GetPosition());
        return PlayedBytes(result) >= 2 * 192000 && loud && positions.size() > 4 &&
               GetPlayTime() > firstPlayTime;
    });
    const double cpu = ThreadCpuSeconds(worker) - cpuBefore;
    const double wall = (GetTickCount() - ticksBefore) / 1000.0;
    std::printf("worker CPU %.3f s over %.2f s: %.2f%% of one core; play time %u -> %u ms\n", cpu,
                wall, 100 * cpu / wall, firstPlayTime, GetPlayTime());
    EXPECT_TRUE(heard) << "played " << PlayedBytes(result) << " bytes; levels seen " << loud
                       << ", positions " << positions.size();

    // Once the device has played the whole buffer on, every block rendered ahead before the
    // pause has been heard: the levels are 0, and the play time stands still from then on.
    PauseSong();
    const uint32_t pausedAt = PlayedBytes(result);
    const bool playedOut = WaitUntil([&] {
        return PlayedBytes(result) - pausedAt > xm::kBufferBytes + 2 * xm::kBlockBytes &&
               GetLevels() == 0;
    });
    EXPECT_TRUE(playedOut) << "levels " << GetLevels();
    const uint32_t stoodAt = GetPlayTime();
    const uint32_t lapFrom = PlayedBytes(result);
    EXPECT_TRUE(WaitUntil([&] { return PlayedBytes(result) - lapFrom > xm::kBufferBytes; }));
    EXPECT_EQ(GetLevels(), 0u);
    EXPECT_EQ(GetPlayTime(), stoodAt);
    ResumeSong();

    EXPECT_EQ(PlaySong(nullptr, 0, 0), nullptr);
    ExpectPlayerReportsNothing();
    CloseHandle(worker);
}

TEST(WaveOutPlayer, FileSourceAndANoLoopSongThatEndsByItself) {
    if (!SoundDeviceAvailable()) {
        ASSERT_FALSE(SoundExpected()) << "no sound device although one was expected";
        GTEST_SKIP() << "no sound device";
    }
    const char* source = std::getenv("LS_SOURCE_DIR");
    if (source != nullptr) {
        std::string path = std::string("Z:") + source + "/res/music.xm";
        for (char& c : path) c = c == '/' ? '\\' : c;
        ASSERT_NE(PlaySong(path.c_str(), 0, xm::PlayFromFile), nullptr) << path;
        EXPECT_TRUE(WaitUntil([] { return GetLevels() != 0; }));
    }

    // About 0.6 s of sound: the worker ends it, releases the device and its own handle.
    const auto song = playertest::BuildToneSong({.rows = 32, .speed = 1});
    ASSERT_NE(PlaySong(song.data(), static_cast<uint32_t>(song.size()),
                       xm::PlayFromMemory | xm::PlayNoLoop),
              nullptr);
    EXPECT_STREQ(GetSongTitle(), "Stand-in tone");
    EXPECT_TRUE(WaitUntil([] { return GetSongTitle()[0] == '\0'; }));
    ExpectPlayerReportsNothing();
    // The device was released: it opens again, and so does the next song.
    EXPECT_TRUE(SoundDeviceAvailable());
    EXPECT_NE(PlaySong(Resource(1), 0, 0), nullptr);
    EXPECT_EQ(PlaySong(nullptr, 0, 0), nullptr);
}

}  // namespace
