// The program's music, read from its own resources as the player reads it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "player/arena.h"
#include "player/loader.h"
#include "player/reader.h"
#include "player/win/resource_finder.h"

namespace {

TEST(ResourceReader, LoadsTheProgramsMusicToItsLastByte) {
    xm::InstallResourceFinder();
    xm::Reader reader;
    reader.SelectResource(nullptr, MAKEINTRESOURCEA(1));
    xm::SongArena arena;
    xm::Module module{};
    char title[xm::kTitleBytes];
    ASSERT_TRUE(xm::LoadModule(reader, arena, module, title));
    EXPECT_EQ(reader.kind(), xm::Reader::Kind::Resource);
    EXPECT_GT(reader.Size(), 336u);
    EXPECT_EQ(reader.Position(), reader.Size());
    EXPECT_EQ(module.channelCount, 4);
    EXPECT_EQ(module.songLength, 17);
    EXPECT_EQ(module.instrumentCount, 5);
    ASSERT_NE(module.instruments[0].samples[0], nullptr);
    EXPECT_EQ(module.instruments[0].samples[0]->loopType, 1);
    reader.Close();
}

TEST(ResourceReader, TheSameBytesAsTheResourceApiGives) {
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(10));
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, found)));
    const DWORD size = SizeofResource(nullptr, found);
    xm::InstallResourceFinder();
    xm::Reader reader;
    reader.SelectResource(nullptr, MAKEINTRESOURCEA(1));
    ASSERT_TRUE(reader.Open());
    ASSERT_EQ(reader.Size(), size);
    std::vector<uint8_t> copy(size);
    reader.Read(copy.data(), static_cast<int32_t>(size));
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), bytes));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 17), "Extended Module: ");
}

TEST(ResourceReader, AMissingResourceCannotBeOpened) {
    xm::InstallResourceFinder();
    xm::Reader reader;
    reader.SelectResource(nullptr, MAKEINTRESOURCEA(999));
    EXPECT_FALSE(reader.Open());
    reader.SelectResource(nullptr, "NO_SUCH_MUSIC");
    EXPECT_FALSE(reader.Open());
    xm::SongArena arena;
    xm::Module module{};
    char title[xm::kTitleBytes];
    EXPECT_FALSE(xm::LoadModule(reader, arena, module, title));
}

}  // namespace
