#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "player/song/arena.h"

namespace {

using xm::SongArena;

bool AllZero(const void* p, size_t bytes) {
    const auto* b = static_cast<const uint8_t*>(p);
    return std::all_of(b, b + bytes, [](uint8_t v) { return v == 0; });
}

TEST(SongArena, BlocksAreZeroFilledAlignedAndApart) {
    SongArena arena;
    void* a = arena.Allocate(100);
    void* b = arena.Allocate(1);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(arena.Allocate(0), nullptr);
    EXPECT_TRUE(AllZero(a, 100));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % alignof(std::max_align_t), 0u);
    std::memset(a, 0xFF, 100);
    EXPECT_TRUE(AllZero(b, 1));
}

TEST(SongArena, TheCapRefusesWhatWouldPassItUntilReleased) {
    SongArena arena(1024);
    EXPECT_EQ(arena.Allocate(1025), nullptr);
    EXPECT_EQ(arena.Allocate(SIZE_MAX), nullptr);
    ASSERT_NE(arena.Allocate(1000), nullptr);
    EXPECT_EQ(arena.Allocate(100), nullptr);
    EXPECT_NE(arena.Allocate(16), nullptr);
    EXPECT_LE(arena.BytesInUse(), 1024u);
    arena.Release();
    EXPECT_EQ(arena.BytesInUse(), 0u);
    void* again = arena.Allocate(1024);
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(AllZero(again, 1024));
}

TEST(SongArena, SizesWhoseRoundingWouldWrapAroundAreRefusedUnderAnyCap) {
    SongArena arena(SIZE_MAX);
    for (size_t bytes : {SIZE_MAX, SIZE_MAX - 1, SIZE_MAX - alignof(std::max_align_t) / 2}) {
        EXPECT_EQ(arena.Allocate(bytes), nullptr) << bytes;
    }
    EXPECT_EQ(arena.BytesInUse(), 0u);
}

TEST(SongArena, OneSongTakesAtMost256MiB) {
    SongArena arena;
    EXPECT_EQ(arena.Allocate((size_t{256} << 20) + 1), nullptr);
    ASSERT_NE(arena.Allocate((size_t{256} << 20) - 64), nullptr);
    EXPECT_EQ(arena.Allocate(128), nullptr);
}

}  // namespace
