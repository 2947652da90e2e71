#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

// Several cache blocks long: a long looped 8-bit sample, then a 16-bit one, an instrument
// without samples and a last small one.
XmSong LongSong() {
    XmSong song = PlainSong();
    song.name = "Long song";
    song.orders = {0, 1, 0};
    song.patterns = {EmptyPattern(64, 4), EmptyPattern(32, 4)};
    for (size_t i = 0; i < 64 * 4; i += 3) song.patterns[0].cells[i] = {49, 1, 0x40, 0, 0};
    std::vector<int8_t> wave;
    for (int i = 0; i < 20000; ++i) wave.push_back(static_cast<int8_t>(i % 50 - 25));
    XmSample looped = Sample8(wave);
    looped.type = 1;
    looped.loopStartBytes = 100;
    looped.loopLengthBytes = 8000;
    song.instruments = {InstrumentWith({looped, Sample16({1, -2, 3, -4, 5})}), XmInstrument{},
                        InstrumentWith({Sample8({4, 3, 2, 1})})};
    return song;
}
// What follows the long sample's data: 16-bit data, a 29-byte header, a header, sample header
// and data.
constexpr size_t kAfterLongSample = 10 + 29 + 263 + 40 + 4;

TEST(Sources, AFileLoadsLikeMemoryAndOneThatEndsEarlyReadsZeroBytesForTheRest) {
    std::vector<uint8_t> bytes = BuildXm(LongSong());
    auto memory = LoadXm(bytes);
    auto file = LoadXmFromFile(bytes);
    ASSERT_TRUE(memory->ok);
    ASSERT_TRUE(file->ok);
    EXPECT_EQ(file->reader.Position(), bytes.size());
    EXPECT_STREQ(file->title, "Long song");
    EXPECT_EQ(0, std::memcmp(file->module.patterns[0].cells, memory->module.patterns[0].cells,
                             64 * 4 * sizeof(xm::Cell)));
    const int16_t* original = memory->module.instruments[0].samples[0]->data;
    const int16_t* whole = file->module.instruments[0].samples[0]->data;
    EXPECT_EQ(0, std::memcmp(whole, original, 20003 * sizeof(int16_t)));
    EXPECT_EQ(file->module.instruments[2].samples[0]->data[3], 256);

    bytes.resize(bytes.size() - 4000);  // inside the long sample's data
    auto cut = LoadXmFromFile(bytes);
    ASSERT_TRUE(cut->ok);
    const int16_t* s = cut->module.instruments[0].samples[0]->data;
    const uint32_t present = 20000 - static_cast<uint32_t>(4000 - kAfterLongSample);
    EXPECT_EQ(0, std::memcmp(s, original, present * sizeof(int16_t)));
    // Zero deltas hold the last value; the 16-bit sample is silent; the last header is all zero.
    EXPECT_NE(original[present], s[present - 1]);
    for (uint32_t i = present; i < 20000; ++i) ASSERT_EQ(s[i], s[present - 1]) << i;
    for (uint32_t i = 0; i < 5; ++i) EXPECT_EQ(cut->module.instruments[0].samples[1]->data[i], 0);
    EXPECT_EQ(cut->module.instruments[2].samples[0], nullptr);
}

// Memory past the source is never read (the sanitizer build checks every byte); missing fields
// read as zero, so a module cut before its pattern count fails and one with all its header loads.
TEST(Sources, AModuleCutShortInMemoryReadsZeroForWhatIsMissing) {
    const std::vector<uint8_t> bytes = BuildXm(LongSong());
    for (size_t size = 0; size < 800; ++size) {
        auto loaded =
            LoadXm(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size)));
        if (size < 71 || size >= 336) {
            EXPECT_EQ(loaded->ok, size >= 336) << size;
        }
    }
}

TEST(Sources, ASourceThatCannotBeOpenedFailsTheLoad) {
    xm::SongArena arena;
    xm::Module module{};
    char title[xm::kTitleBytes];
    std::memset(title, 'x', sizeof title);
    xm::Reader reader;
    reader.SelectFile("/nonexistent/music.xm");
    EXPECT_FALSE(xm::LoadModule(reader, arena, module, title));
    EXPECT_STREQ(title, "");
    xm::SetResourceFinder(nullptr);
    reader.SelectResource(nullptr, reinterpret_cast<const void*>(uintptr_t{1}));
    EXPECT_FALSE(xm::LoadModule(reader, arena, module, title));
    EXPECT_EQ(arena.BytesInUse(), 0u);
}

TEST(Title, KeepsTheBytesFrom0x20To0x7FOfTheNameEvenWhenTheLoadFails) {
    const struct {
        std::string name, title;
    } cases[] = {
        {"Twenty chars exactly", "Twenty chars exactly"},
        {std::string("a\tb\x01"
                     "c\x80\xff"
                     "d\x7f"
                     "e ~",
                     12),
         "abcd\x7f"
         "e ~"},
        {std::string("ab\0cd", 5), "abcd"},
        {"", ""},
        {"only twenty of these twenty-four", "only twenty of these"},
    };
    for (const auto& c : cases) {
        XmSong song = PlainSong();
        song.name = c.name;
        song.channels = 0;  // fails after the title is set
        auto loaded = LoadXm(BuildXm(song));
        EXPECT_FALSE(loaded->ok);
        EXPECT_EQ(std::string(loaded->title), c.title);
        for (size_t i = c.title.size(); i < xm::kTitleBytes; ++i) EXPECT_EQ(loaded->title[i], 0);
    }
}

}  // namespace
