// Thousands of random entry-point calls from one thread while the worker renders and no-loop
// songs end by themselves. Meant for ThreadSanitizer (a race is reported there); every build
// checks the getters, the released resources and that every stop saw its worker end (a hang is
// left to the test's time-out; the longest stop is printed, never judged). The play position
// moves only when the test moves it, so what is counted does not depend on the machine's speed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "player/output/player.h"
#include "player/output/player_state.h"
#include "tests/native/support/standin_device.h"
#include "player_test_song.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using playertest::BuildToneSong;

// Standard threads whose worker asks for the position again at once instead of pausing, so that
// it renders as fast as the test moves the position.
class EagerThreads final : public xm::ThreadService {
  public:
    xm::WorkerThread* Start(Procedure procedure) override { return real_.Start(procedure); }
    void RaisePriority(xm::WorkerThread* thread) override { real_.RaisePriority(thread); }
    bool WaitForEnd(xm::WorkerThread* thread, uint32_t timeoutMs) override {
        return real_.WaitForEnd(thread, timeoutMs);
    }
    void Release(xm::WorkerThread* thread) override { real_.Release(thread); }
    void Sleep(uint32_t) override { std::this_thread::yield(); }

  private:
    xm::ThreadService& real_ = xm::StandardThreads();
};

TEST(PlayerStress, RandomCallsWhileTheWorkerRendersAndSongsEnd) {
    xm::StandInDevice device;
    EagerThreads threads;
    const xm::OutputPlatform platform{&device, &threads};
    xm::SetOutputPlatform(&platform);

    const std::vector<std::vector<uint8_t>> songs = {
        BuildToneSong({.orders = 3, .rows = 32, .speed = 2, .name = "Looping"}),
        BuildToneSong({.rows = 24, .speed = 1, .name = "Short"}),    // ends in block 21
        BuildToneSong({.rows = 19, .speed = 1, .name = "Shorter"}),  // ends in block 16
        BuildToneSong({.rows = 4, .speed = 1, .name = "Prefill"}),   // ends in the pre-fill
    };
    const std::vector<std::string> titles = {"", "Looping", "Short", "Shorter", "Prefill"};

    std::mt19937 random(20261207);
    auto pick = [&](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    Clock::duration longestStop{};
    int played = 0, failed = 0, endedByThemselves = 0, playedToTheEnd = 0;
    bool playing = false, noLoop = false;
    auto noteEnding = [&] {
        if (playing && xm::Player().stopSignal == xm::kStopSongEnded) ++endedByThemselves;
        playing = false;
    };

    for (int call = 0; call < 3000; ++call) {
        switch (pick(14)) {
            case 0:
            case 1: {
                const uint32_t which = pick(static_cast<uint32_t>(songs.size()));
                uint32_t flags = xm::PlayFromMemory;
                if (which != 0 || pick(2)) flags |= xm::PlayNoLoop;
                if (pick(4) == 0) flags |= xm::PlaySuspended;
                const auto& song = songs[which];
                noteEnding();
                void* result = PlaySong(song.data(), static_cast<uint32_t>(song.size()), flags);
                if (result != nullptr) {
                    EXPECT_EQ(result, &xm::Player().device);
                    ++played;
                    playing = true;
                    noLoop = (flags & xm::PlayNoLoop) != 0;
                } else {
                    ++failed;
                    EXPECT_EQ(which, 3u) << "only the song that ends in the pre-fill fails";
                }
                break;
            }
            case 2: {
                noteEnding();
                const auto start = Clock::now();
                EXPECT_EQ(PlaySong(nullptr, 0, 0), nullptr);
                longestStop = std::max(longestStop, Clock::now() - start);
                EXPECT_FALSE(device.IsOpen());
                {
                    // A worker that outlived the stop's wait would be left here.
                    std::lock_guard guard(xm::Player().lock);
                    EXPECT_EQ(xm::Player().stopping, nullptr);
                }
                EXPECT_EQ(GetPlayTime(), 0u);
                EXPECT_EQ(GetLevels(), 0u);
                EXPECT_EQ(GetPosition(), 0u);
                EXPECT_STREQ(GetSongTitle(), "");
                break;
            }
            case 3:
                PauseSong();
                break;
            case 4:
                ResumeSong();
                break;
            case 5:
                JumpToOrder(pick(6));
                break;
            case 6:
                SetVolume(pick(41));
                break;
            case 7: {
                const std::string title = GetSongTitle();
                EXPECT_NE(std::find(titles.begin(), titles.end(), title), titles.end()) << title;
                break;
            }
            case 8:
                (void)GetLevels();
                break;
            case 9:
                EXPECT_LT(GetPosition() >> 16, 3u);
                break;
            case 10:
                (void)GetPlayTime();
                break;
            case 11:
            case 12:
                device.Skip(4 * pick(4 * xm::kBlockFrames));  // up to four blocks on
                break;
            default: {
                // Played on until a no-loop song ends: it must end by itself.
                if (!playing || !noLoop) break;
                ResumeSong();
                for (int steps = 0; steps < 200 && device.IsOpen(); ++steps) {
                    device.Skip(4 * xm::kBlockBytes);
                    ASSERT_TRUE(device.WaitForQueriesOrClose(2, 10s))
                        << "the worker stopped asking";
                }
                ASSERT_FALSE(device.IsOpen()) << "a no-loop song played 800 blocks on";
                EXPECT_EQ(xm::Player().stopSignal, xm::kStopSongEnded);
                ++playedToTheEnd;
                noteEnding();
                break;
            }
        }
    }

    const auto start = Clock::now();
    PlaySong(nullptr, 0, 0);
    longestStop = std::max(longestStop, Clock::now() - start);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.OpenCount(), device.CloseCount());
    {
        std::lock_guard guard(xm::Player().lock);
        EXPECT_EQ(xm::Player().worker, nullptr);
        EXPECT_EQ(xm::Player().stopping, nullptr);
        EXPECT_EQ(xm::Player().arena.BytesInUse(), 0u);
    }
    xm::SetOutputPlatform(nullptr);

    const auto longestMs = std::chrono::duration<double, std::milli>(longestStop).count();
    std::printf(
        "songs played %d, failed %d, songs that ended by themselves %d (%d played on to their "
        "end), longest stop %.2f ms\n",
        played, failed, endedByThemselves, playedToTheEnd, longestMs);
    EXPECT_GT(played, 100);
    EXPECT_GT(playedToTheEnd, 20);
}

}  // namespace
