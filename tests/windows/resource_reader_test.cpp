// The program's music, read from its own resources as the player reads it.
#include <gtest/gtest.h>

#include <windows.h>

#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"
#include "player/output/win/resource_finder.h"

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
    EXPECT_STREQ(title, "Veldraskon Skies");
    EXPECT_GT(reader.Size(), 10000u);
    EXPECT_EQ(reader.Position(), reader.Size());
    EXPECT_EQ(module.channelCount, 4);
    EXPECT_EQ(module.songLength, 17);
    EXPECT_EQ(module.instrumentCount, 5);
    ASSERT_NE(module.instruments[0].samples[0], nullptr);
    EXPECT_EQ(module.instruments[0].samples[0]->loopType, 1);
    reader.Close();
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
