// The player when memory runs out while it starts a song: each allocation on the way fails in
// turn, and each time the call reports the failure through its result and leaves the player
// idle, with nothing thrown at the caller. This program replaces the global allocation
// functions so that the test can make one allocation fail.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "player/output/player.h"
#include "player/output/player_state.h"
#include "tests/native/support/standin_device.h"
#include "player_test_song.h"
#ifdef _WIN32
#include "player/output/win/win_threads.h"
#endif

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define LS_SANITIZED_ALLOCATOR 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define LS_SANITIZED_ALLOCATOR 1
#endif

namespace {

// Counts down the allocations of the test's thread; the one that reaches zero fails.
thread_local int allocationsUntilFailure = 0;
thread_local bool allocationFailed = false;

void FailAllocation(int nth) {
    allocationFailed = false;
    allocationsUntilFailure = nth;
}

// True when the armed allocation was reached; disarms.
bool Disarm() {
    allocationsUntilFailure = 0;
    return allocationFailed;
}

}  // namespace

#ifndef LS_SANITIZED_ALLOCATOR
// Not inlined: the compiler would otherwise see free() meet a block from operator new.
[[gnu::noinline]] void* operator new(std::size_t bytes) {
    if (allocationsUntilFailure > 0 && --allocationsUntilFailure == 0) {
        allocationFailed = true;
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(bytes ? bytes : 1)) return block;
    throw std::bad_alloc();
}
[[gnu::noinline]] void* operator new[](std::size_t bytes) {
    return ::operator new(bytes);
}
[[gnu::noinline]] void operator delete(void* block) noexcept {
    std::free(block);
}
[[gnu::noinline]] void operator delete[](void* block) noexcept {
    std::free(block);
}
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
[[gnu::noinline]] void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
#endif

namespace {

#ifdef LS_SANITIZED_ALLOCATOR
#define SKIP_WITHOUT_OWN_ALLOCATOR() \
    GTEST_SKIP() << "the sanitizer's allocator cannot be replaced to make an allocation fail"
#else
#define SKIP_WITHOUT_OWN_ALLOCATOR() (void)0
#endif

TEST(PlayerMemoryTest, EveryAllocationThatFailsWhileStartingASongMakesPlaySongReturnNull) {
    SKIP_WITHOUT_OWN_ALLOCATOR();
    xm::StandInDevice device;
    const xm::OutputPlatform platform{&device, &xm::StandardThreads()};
    xm::SetOutputPlatform(&platform);
    const std::vector<uint8_t> song = playertest::BuildToneSong({});

    int failures = 0;
    for (int nth = 1; nth < 100; ++nth) {
        FailAllocation(nth);
        void* handle =
            PlaySong(song.data(), static_cast<uint32_t>(song.size()), xm::PlayFromMemory);
        if (!Disarm()) {
            EXPECT_NE(handle, nullptr) << "with every allocation granted";
            break;
        }
        ++failures;
        EXPECT_EQ(handle, nullptr) << "allocation " << nth << " failed";
        EXPECT_STREQ(GetSongTitle(), "");
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(xm::Player().worker, nullptr);
    }
    // The worker's start needs memory (its handle, its end record, the thread's own state).
    EXPECT_GE(failures, 1);
    EXPECT_NE(GetSongTitle()[0], '\0') << "the song plays once memory is there";
    PlaySong(nullptr, 0, 0);
    EXPECT_FALSE(device.IsOpen());
    xm::SetOutputPlatform(nullptr);
}

#ifdef _WIN32
void DoNothing() {}

TEST(PlayerMemoryTest, WindowsWorkerWithoutMemoryForItsProcedureIsNotStarted) {
    SKIP_WITHOUT_OWN_ALLOCATOR();
    xm::ThreadService& threads = xm::WindowsThreads();
    FailAllocation(1);
    xm::WorkerThread* worker = threads.Start(DoNothing);
    EXPECT_TRUE(Disarm());
    EXPECT_EQ(worker, nullptr);

    worker = threads.Start(DoNothing);
    ASSERT_NE(worker, nullptr);
    EXPECT_TRUE(threads.WaitForEnd(worker, 5000));
    threads.Release(worker);
}
#endif

}  // namespace
