#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "player/arena.h"

namespace {

using xm::SongArena;

bool AllZero(const void* p, size_t bytes) {
    const auto* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < bytes; ++i) {
        if (b[i] != 0) return false;
    }
    return true;
}

TEST(SongArena, BlocksAreZeroFilledAlignedAndDistinct) {
    SongArena arena;
    void* a = arena.Allocate(100);
    void* b = arena.Allocate(1);
    void* c = arena.Allocate(0);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(a, b);
    EXPECT_TRUE(AllZero(a, 100));
    EXPECT_TRUE(AllZero(b, 1));
    for (void* p : {a, b, c})
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(std::max_align_t), 0u);
    // Writing the whole of one block leaves its neighbour alone.
    std::memset(a, 0xFF, 100);
    EXPECT_TRUE(AllZero(b, 1));
}

TEST(SongArena, TheCapRefusesWhatWouldPassItAndKeepsWhatFits) {
    SongArena arena(1024);
    EXPECT_EQ(arena.Allocate(1025), nullptr);
    EXPECT_EQ(arena.BytesInUse(), 0u);
    ASSERT_NE(arena.Allocate(1000), nullptr);
    EXPECT_EQ(arena.Allocate(100), nullptr);  // 1000 rounds up; 100 more would pass 1024
    EXPECT_NE(arena.Allocate(16), nullptr);
    EXPECT_LE(arena.BytesInUse(), 1024u);
    EXPECT_EQ(arena.Allocate(SIZE_MAX), nullptr);
}

TEST(SongArena, DefaultCapIs256MiB) {
    SongArena arena;
    EXPECT_EQ(SongArena::kDefaultCapBytes, size_t{256} * 1024 * 1024);
    EXPECT_EQ(arena.Allocate(SongArena::kDefaultCapBytes + 1), nullptr);
    void* big = arena.Allocate(SongArena::kDefaultCapBytes - 64);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(arena.Allocate(128), nullptr);
}

TEST(SongArena, ReleaseFreesEverythingAndTheArenaServesAgain) {
    SongArena arena(4096);
    ASSERT_NE(arena.Allocate(4096), nullptr);
    EXPECT_EQ(arena.Allocate(1), nullptr);
    arena.Release();
    EXPECT_EQ(arena.BytesInUse(), 0u);
    void* again = arena.Allocate(4096);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(AllZero(again, 4096));
}

}  // namespace
