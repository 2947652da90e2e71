// The player's entry points, start and stop sequences and output worker, run against a stand-in
// device whose play position the tests move.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "player/output/player.h"
#include "player/output/player_state.h"
#include "tests/native/support/standin_device.h"
#include "player_test_song.h"

namespace {

using namespace std::chrono_literals;
using playertest::BuildToneSong;
using playertest::RenderDirectly;
using playertest::ToneSong;

constexpr uint32_t kBlock = xm::kBlockBytes;
constexpr uint32_t kSamplesPerBlock = xm::kBlockFrames * 2;

class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        xm::SetOutputPlatform(&platform_);
        SetVolume(25);
    }
    void TearDown() override {
        PlaySong(nullptr, 0, 0);
        xm::SetOutputPlatform(nullptr);
    }

    void* Play(const std::vector<uint8_t>& xm, uint32_t flags = 0) {
        return PlaySong(xm.data(), static_cast<uint32_t>(xm.size()), flags | xm::PlayFromMemory);
    }

    // The worker asks for the position before and after each round of rendering: two more
    // questions mean it has rendered all it will until the position moves again.
    void CatchUp() { ASSERT_TRUE(device_.WaitForQueries(2, 5s)) << "the worker stopped asking"; }

    // Moves the play position on by `bytes`, in steps the worker can keep up with.
    void Listen(uint32_t bytes, uint32_t step = 15 * kBlock) {
        while (bytes > 0) {
            const uint32_t now = std::min(bytes, step);
            device_.Advance(now);
            bytes -= now;
            CatchUp();
        }
    }

    static xm::PlayerState& State() { return xm::Player(); }
    static uint32_t FillIndex() { return State().render.fillIndex; }
    static uint32_t StatusIndex() { return State().render.statusIndex; }
    static bool ArenaHoldsSong() {
        std::lock_guard guard(State().lock);
        return State().arenaInUse || State().arena.BytesInUse() != 0;
    }

    void ExpectIdle() {
        EXPECT_FALSE(device_.IsOpen());
        EXPECT_FALSE(ArenaHoldsSong());
        EXPECT_EQ(GetLevels(), 0u);
        EXPECT_EQ(GetPosition(), 0u);
        EXPECT_EQ(GetPlayTime(), 0u);
        EXPECT_STREQ(GetSongTitle(), "");
    }

    xm::StandInDevice device_;
    xm::OutputPlatform platform_{&device_, &xm::StandardThreads()};
};

TEST_F(PlayerTest, WorkerRendersBehindThePlayPositionAndWhatIsHeardIsTheSong) {
    const auto song = BuildToneSong({.orders = 2, .rows = 32, .speed = 3});
    const auto direct = RenderDirectly(song, 80, 32768, false);
    ASSERT_EQ(direct.playTimeMs.size(), 80u);

    ASSERT_EQ(Play(song), &State().device);
    EXPECT_NE(State().device.load(), nullptr);
    EXPECT_STREQ(GetSongTitle(), "Stand-in tone");
    CatchUp();
    // The pre-fill rendered 16 blocks; the device plays block 0, so nothing more is rendered.
    EXPECT_EQ(FillIndex(), 0u);
    EXPECT_EQ(StatusIndex(), 0u);
    EXPECT_EQ(GetPlayTime(), direct.playTimeMs[15]);
    device_.Advance(kBlock - 4);
    CatchUp();
    EXPECT_EQ(FillIndex(), 0u);
    EXPECT_EQ(GetPlayTime(), direct.playTimeMs[15]);

    // Block 1 playing: block 0 is rendered anew, now 15 blocks ahead of the listener.
    device_.Advance(4);
    CatchUp();
    EXPECT_EQ(FillIndex(), 1u);
    EXPECT_EQ(StatusIndex(), 1u);
    EXPECT_EQ(GetPlayTime(), direct.playTimeMs[16]);
    EXPECT_EQ(GetPosition(), direct.position[1]);
    EXPECT_EQ(GetLevels(), direct.levels[16]);

    // Steps of every size, across the end of the buffer and through a whole lap at once.
    uint32_t heardBlocks = 1;
    for (uint32_t step : {7u, 15u, 1u, 9u, 15u, 15u}) {
        Listen(step * kBlock);
        heardBlocks += step;
        EXPECT_EQ(FillIndex(), heardBlocks % 16);
        EXPECT_EQ(StatusIndex(), heardBlocks % 16);
        EXPECT_EQ(GetPlayTime(), direct.playTimeMs[heardBlocks + 15]) << heardBlocks;
        EXPECT_EQ(GetPosition(), direct.position[heardBlocks]) << heardBlocks;
        EXPECT_EQ(GetLevels(), direct.levels[heardBlocks + 15]) << heardBlocks;
    }
    Listen(3000, 3000);  // a position between blocks

    const auto heard = device_.Heard();
    ASSERT_EQ(heard.size(), (heardBlocks * kBlock + 3000) / 2);
    const std::vector<int16_t> expected(direct.samples.begin(),
                                        direct.samples.begin() + heard.size());
    EXPECT_EQ(heard, expected);
    EXPECT_NE(GetLevels(), 0u);
}

TEST_F(PlayerTest, SuspendedSongRendersSilenceAndStandsStillUntilResumed) {
    const auto song = BuildToneSong({.rows = 64, .speed = 2});
    const auto direct = RenderDirectly(song, 40, 32768, false);

    ASSERT_NE(Play(song, xm::PlaySuspended), nullptr);
    Listen(20 * kBlock, 5 * kBlock);
    EXPECT_EQ(GetPlayTime(), 0u);
    EXPECT_EQ(GetPosition(), 0u);
    EXPECT_EQ(GetLevels(), 0u);
    EXPECT_EQ(StatusIndex(), 0u);  // stands still while paused
    auto heard = device_.Heard();
    EXPECT_EQ(heard, std::vector<int16_t>(heard.size(), 0));

    // Resumed: the blocks rendered from now on are the song from its start.
    ResumeSong();
    Listen(20 * kBlock, 5 * kBlock);
    EXPECT_GT(GetPlayTime(), 0u);
    heard = device_.Heard();
    const size_t silent = 36 * kSamplesPerBlock;  // 20 heard and 16 rendered ahead while paused
    ASSERT_EQ(heard.size(), 40 * kSamplesPerBlock);
    EXPECT_EQ(std::vector<int16_t>(heard.begin(), heard.begin() + silent),
              std::vector<int16_t>(silent, 0));
    EXPECT_EQ(std::vector<int16_t>(heard.begin() + silent, heard.end()),
              std::vector<int16_t>(direct.samples.begin(),
                                   direct.samples.begin() + (heard.size() - silent)));

    // Paused again mid-song: silence and a play time that stops.
    PauseSong();
    Listen(16 * kBlock, 4 * kBlock);
    const uint32_t stopped = GetPlayTime();
    Listen(8 * kBlock, 4 * kBlock);
    EXPECT_EQ(GetPlayTime(), stopped);
    heard = device_.Heard();
    EXPECT_EQ(std::vector<int16_t>(heard.end() - 8 * kSamplesPerBlock, heard.end()),
              std::vector<int16_t>(8 * kSamplesPerBlock, 0));
}

TEST_F(PlayerTest, JumpToOrderPastTheEndGoesToOrderZero) {
    // Four orders of 117 blocks each: a position changes order only by jumping here.
    const auto song = BuildToneSong({.orders = 4, .rows = 256, .speed = 1, .bpm = 255});
    ASSERT_NE(Play(song), nullptr);
    auto orderHeard = [&](uint32_t order) {
        JumpToOrder(order);
        Listen(32 * kBlock);  // the block now heard was rendered after the jump
        return GetPosition() >> 16;
    };
    EXPECT_EQ(orderHeard(2), 2u);
    EXPECT_EQ(orderHeard(4), 0u);  // the song length
    EXPECT_EQ(orderHeard(3), 3u);
    EXPECT_EQ(orderHeard(0x7FFF), 0u);
    EXPECT_EQ(orderHeard(0x10001), 1u);  // only the low 16 bits count
}

TEST_F(PlayerTest, NullSourceStopsTheSongAndTheGettersReportNothing) {
    const auto song = BuildToneSong({});
    ASSERT_NE(Play(song), nullptr);
    Listen(20 * kBlock);
    ASSERT_NE(GetPlayTime(), 0u);
    ASSERT_NE(GetLevels(), 0u);

    EXPECT_EQ(PlaySong(nullptr, 0, 0), nullptr);
    ExpectIdle();
    EXPECT_EQ(State().device.load(), nullptr);
    EXPECT_EQ(device_.CloseCount(), 1);
    EXPECT_EQ(FillIndex(), 0u);

    // Idle: the other entry points change nothing that lasts, and stopping again is harmless.
    PauseSong();
    JumpToOrder(3);
    EXPECT_EQ(PlaySong(nullptr, 0, 0), nullptr);
    ExpectIdle();
    EXPECT_EQ(device_.CloseCount(), 1);
    ASSERT_NE(Play(song), nullptr);
    Listen(kBlock);
    EXPECT_NE(GetPlayTime(), 0u);  // PlaySong cleared the pause
    EXPECT_EQ(GetPosition() >> 16, 0u);
}

TEST_F(PlayerTest, VolumeStepsAndTheirEffect) {
    const std::pair<uint32_t, uint32_t> steps[] = {{0, 1}, {1, 130}, {25, 32768}, {40, 32768}};
    for (auto [step, volume] : steps) {
        SetVolume(step);
        EXPECT_EQ(State().render.masterVolume, volume) << step;
    }

    // Never set: full volume at the next song. Once set, it lasts from song to song.
    State().render.masterVolume = 0;
    const auto song = BuildToneSong({});
    ASSERT_NE(Play(song), nullptr);
    EXPECT_EQ(State().render.masterVolume, 32768u);
    SetVolume(0);
    ASSERT_NE(Play(song), nullptr);
    EXPECT_EQ(State().render.masterVolume, 1u);
    Listen(8 * kBlock);
    const auto heard = device_.Heard();
    EXPECT_EQ(heard, std::vector<int16_t>(heard.size(), 0));
    EXPECT_EQ(GetLevels(), 0u);
    EXPECT_NE(GetPlayTime(), 0u);
}

// A volume set while a song plays is heard from the next block rendered on: the blocks already
// rendered ahead of the listener keep the volume they were rendered with.
TEST_F(PlayerTest, VolumeSetDuringPlaybackIsHeardFromTheNextBlockRendered) {
    const auto song = BuildToneSong({.rows = 64, .speed = 3});
    const auto unity = RenderDirectly(song, 24, 32768, false);
    const auto step15 = RenderDirectly(song, 24, 3277, false);
    ASSERT_NE(Play(song), nullptr);
    Listen(4 * kBlock);  // blocks 0..19 of the song are rendered
    SetVolume(15);
    EXPECT_EQ(State().render.masterVolume, 3277u);
    Listen(20 * kBlock);
    const auto heard = device_.Heard();
    ASSERT_EQ(heard.size(), 24 * kSamplesPerBlock);
    const auto split = static_cast<long>(20 * kSamplesPerBlock);
    EXPECT_EQ(std::vector<int16_t>(heard.begin(), heard.begin() + split),
              std::vector<int16_t>(unity.samples.begin(), unity.samples.begin() + split));
    EXPECT_EQ(std::vector<int16_t>(heard.begin() + split, heard.end()),
              std::vector<int16_t>(step15.samples.begin() + split, step15.samples.end()));
    EXPECT_NE(std::vector<int16_t>(unity.samples.begin() + split, unity.samples.end()),
              std::vector<int16_t>(step15.samples.begin() + split, step15.samples.end()));
}

// Bit 0 chooses the memory source whatever bit 1 says.
TEST_F(PlayerTest, FlagsWithBothSourceBitsSetPlayFromMemory) {
    const auto song = BuildToneSong({.rows = 64, .speed = 3});
    const auto direct = RenderDirectly(song, 4, 32768, false);
    ASSERT_NE(PlaySong(song.data(), static_cast<uint32_t>(song.size()),
                       xm::PlayFromMemory | xm::PlayFromFile),
              nullptr);
    EXPECT_STREQ(GetSongTitle(), "Stand-in tone");
    Listen(4 * kBlock);
    EXPECT_EQ(device_.Heard(), direct.samples);
}

TEST_F(PlayerTest, NoLoopSongEndsByItselfAndReleasesEverything) {
    const auto song = BuildToneSong({.rows = 64, .speed = 1});  // ends in its 60th block
    const auto direct = RenderDirectly(song, 100, 32768, true);
    ASSERT_TRUE(direct.ended);

    ASSERT_NE(Play(song, xm::PlayNoLoop), nullptr);
    for (int i = 0; i < 20 && device_.IsOpen(); ++i) {
        device_.Advance(4 * kBlock);
        ASSERT_TRUE(device_.WaitForQueriesOrClose(2, 5s)) << "the worker stopped asking";
    }
    ASSERT_FALSE(device_.IsOpen()) << "the song played 80 blocks on";
    EXPECT_EQ(device_.CloseCount(), 1);
    {
        std::lock_guard guard(State().lock);
        EXPECT_EQ(State().worker, nullptr);  // its handle is released, nobody waits on it
        EXPECT_EQ(State().stopSignal, xm::kStopSongEnded);
    }
    ExpectIdle();
    EXPECT_EQ(State().device.load(), nullptr);
    const auto heard = device_.Heard();
    ASSERT_LE(heard.size(), direct.samples.size());
    EXPECT_EQ(heard,
              std::vector<int16_t>(direct.samples.begin(), direct.samples.begin() + heard.size()));

    // The player is idle again: stopping does nothing more, and the next song plays.
    EXPECT_EQ(PlaySong(nullptr, 0, 0), nullptr);
    EXPECT_EQ(device_.CloseCount(), 1);
    ASSERT_NE(Play(song), nullptr);
    Listen(kBlock);
    EXPECT_TRUE(device_.IsLooping());
    EXPECT_STREQ(GetSongTitle(), "Stand-in tone");
}

// A caller that sees the title go empty when a song ends by itself reads nothing of the song in
// the other getters. Each round races a reader against the worker's release.
TEST_F(PlayerTest, OnceTheTitleIsEmptyTheGettersReportNothing) {
    // Ends about 14 blocks after the pre-fill.
    const auto song = BuildToneSong({.rows = 32, .speed = 1});
    for (int round = 0; round < 10; ++round) {
        ASSERT_NE(Play(song, xm::PlayNoLoop), nullptr);
        ASSERT_NE(GetLevels(), 0u);
        std::atomic<bool> done{false};
        uint32_t seen[3] = {};
        std::thread reader([&] {
            while (GetSongTitle()[0] != '\0') {
            }
            seen[0] = GetLevels();
            seen[1] = GetPosition();
            seen[2] = GetPlayTime();
            done = true;
        });
        bool asking = true;
        for (int i = 0; i < 40 && asking && !done && device_.IsOpen(); ++i) {
            device_.Advance(4 * kBlock);
            asking = device_.WaitForQueriesOrClose(2, 5s);
        }
        const bool ended = !device_.IsOpen();
        if (!ended) PlaySong(nullptr, 0, 0);  // lets the reader see an empty title
        reader.join();
        ASSERT_TRUE(asking) << "the worker stopped asking, round " << round;
        ASSERT_TRUE(ended) << "the song played 160 blocks on, round " << round;
        ASSERT_EQ(seen[0], 0u) << "levels, round " << round;
        ASSERT_EQ(seen[1], 0u) << "position, round " << round;
        ASSERT_EQ(seen[2], 0u) << "play time, round " << round;
    }
}

TEST_F(PlayerTest, NoLoopSongThatEndsDuringThePreFillDoesNotPlay) {
    const auto song = BuildToneSong({.rows = 4, .speed = 1});  // ends in its 3rd block
    EXPECT_EQ(Play(song, xm::PlayNoLoop), nullptr);
    EXPECT_EQ(device_.OpenCount(), 1);
    EXPECT_EQ(device_.CloseCount(), 1);
    ExpectIdle();
    // Looping, the same song plays.
    EXPECT_NE(Play(song), nullptr);
}

class FailingThreads final : public xm::ThreadService {
  public:
    xm::WorkerThread* Start(Procedure) override { return nullptr; }
    void RaisePriority(xm::WorkerThread*) override {}
    bool WaitForEnd(xm::WorkerThread*, uint32_t) override { return true; }
    void Release(xm::WorkerThread*) override {}
    void Sleep(uint32_t) override {}
};

TEST_F(PlayerTest, WhatCannotStartLeavesThePlayerIdle) {
    const auto song = BuildToneSong({});

    auto broken = song;
    broken[64] = 0;  // song length 0
    EXPECT_EQ(Play(broken), nullptr);
    EXPECT_EQ(device_.OpenCount(), device_.CloseCount());
    ExpectIdle();

    device_.SetOpenFails(true);  // no sound device
    EXPECT_EQ(Play(song), nullptr);
    ExpectIdle();
    device_.SetOpenFails(false);

    EXPECT_EQ(PlaySong("/nonexistent/song.xm", 0, xm::PlayFromFile), nullptr);
    ExpectIdle();
    EXPECT_EQ(PlaySong(reinterpret_cast<const void*>(uintptr_t{1}), 0, 0),
              nullptr);  // no resources
    ExpectIdle();

    FailingThreads threads;
    const xm::OutputPlatform noThreads{&device_, &threads};
    xm::SetOutputPlatform(&noThreads);
    EXPECT_EQ(Play(song), nullptr);
    ExpectIdle();
    EXPECT_EQ(device_.OpenCount(), device_.CloseCount());
    xm::SetOutputPlatform(&platform_);
}

// Standard threads whose waits can be made to give up, as if the worker were stuck.
class ImpatientThreads final : public xm::ThreadService {
  public:
    int timeoutsLeft = 0;
    xm::WorkerThread* Start(Procedure procedure) override { return real_.Start(procedure); }
    void RaisePriority(xm::WorkerThread* thread) override { real_.RaisePriority(thread); }
    bool WaitForEnd(xm::WorkerThread* thread, uint32_t timeoutMs) override {
        if (timeoutsLeft > 0) {
            --timeoutsLeft;
            return false;
        }
        return real_.WaitForEnd(thread, timeoutMs);
    }
    void Release(xm::WorkerThread* thread) override { real_.Release(thread); }
    void Sleep(uint32_t ms) override { real_.Sleep(ms); }

  private:
    xm::ThreadService& real_ = xm::StandardThreads();
};

TEST_F(PlayerTest, WorkerThatDoesNotEndInTimeKeepsItsSongUntilItHasEnded) {
    ImpatientThreads threads;
    const xm::OutputPlatform platform{&device_, &threads};
    xm::SetOutputPlatform(&platform);
    const auto song = BuildToneSong({});
    ASSERT_NE(Play(song), nullptr);
    Listen(4 * kBlock);

    // The wait gives up twice: the worker may still use the device and the arena, so both stay,
    // and no new song starts meanwhile.
    threads.timeoutsLeft = 2;
    EXPECT_EQ(PlaySong(nullptr, 0, 0), nullptr);
    EXPECT_TRUE(device_.IsOpen());
    EXPECT_TRUE(ArenaHoldsSong());
    EXPECT_EQ(Play(song), nullptr);
    EXPECT_EQ(device_.OpenCount(), 1);

    // The next wait sees the end: everything is released, and songs play again.
    EXPECT_EQ(PlaySong(nullptr, 0, 0), nullptr);
    ExpectIdle();
    EXPECT_EQ(State().stopping, nullptr);
    ASSERT_NE(Play(song), nullptr);
    Listen(kBlock);
    EXPECT_NE(GetPlayTime(), 0u);
    PlaySong(nullptr, 0, 0);
    xm::SetOutputPlatform(&platform_);
}

TEST_F(PlayerTest, PlayingAgainRestartsTheSongFromItsStart) {
    const auto song = BuildToneSong({.orders = 3, .rows = 16, .speed = 2});
    const auto direct = RenderDirectly(song, 40, 32768, false);
    ASSERT_NE(Play(song), nullptr);
    Listen(20 * kBlock);
    ASSERT_NE(Play(song), nullptr);
    EXPECT_EQ(device_.CloseCount(), 1);
    Listen(20 * kBlock);
    const auto heard = device_.Heard();  // the second stream only
    EXPECT_EQ(heard, std::vector<int16_t>(direct.samples.begin(),
                                          direct.samples.begin() + 20 * kSamplesPerBlock));
}

}  // namespace
