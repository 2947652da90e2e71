#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

std::unique_ptr<LoadedXm> LoadFirst(const std::vector<uint8_t>& bytes, size_t size) {
    return LoadXm(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size)));
}

// Memory past the source is never read (the sanitizer build checks every byte); missing fields
// read as zero, so a module cut before its pattern count fails and one with it loads.
TEST(Sources, AModuleCutInsideItsSongHeaderReadsZeroForWhatIsMissing) {
    const std::vector<uint8_t> bytes = BuildXm(LongSong());
    for (size_t size = 0; size < 336; ++size) {
        auto loaded = LoadFirst(bytes, size);
        if (size < 71) {
            EXPECT_FALSE(loaded->ok) << size;
            continue;
        }
        // The header size (276) points past the source, so the patterns are read at 336, past
        // the end: both have no cells.
        ASSERT_TRUE(loaded->ok) << size;
        const xm::Module& m = loaded->module;
        EXPECT_EQ(m.songLength, 3) << size;
        EXPECT_EQ(m.channelCount, 4) << size;
        EXPECT_EQ(m.patternSlotCount, 2) << size;
        for (int p = 0; p < 2; ++p) {
            EXPECT_EQ(m.patterns[p].cells, nullptr) << size;
            EXPECT_EQ(m.patterns[p].rows, 0) << size;
        }
        // Each field holds its stored value once its low byte lies inside the source.
        const int instruments = size > 72 ? 3 : 0;
        EXPECT_EQ(m.instrumentCount, instruments) << size;
        EXPECT_EQ(m.flags, size > 74 ? 1 : 0) << size;
        EXPECT_EQ(m.speed, size > 76 ? 6 : 0) << size;
        EXPECT_EQ(m.framesPerTick, size > 78 ? 960u : 120000u) << size;
        EXPECT_EQ(m.orders[1], size > 81 ? 1 : 0) << size;
        for (int i = 0; i < std::max(instruments, 1); ++i) {
            EXPECT_EQ(m.instruments[i].samples[0], nullptr) << size;
        }
        // Reads at or past the end leave the position alone. The first instrument header (read
        // at 336, all zero: header size 0) seeks back 33 bytes to 303 when the source reaches
        // it; from there each header reads 33 bytes of zero order entries and seeks back again.
        // A source of exactly 303 bytes reads nothing at 303 and goes back to 270 instead.
        uint32_t end = 336;
        if (instruments != 0 && size > 303) end = 303;
        if (instruments != 0 && size == 303) end = 270;
        EXPECT_EQ(loaded->reader.Position(), end) << size;
    }
}

bool IsEmpty(const xm::Cell& c) {
    return c.note == 0 && c.instrument == 0 && c.volume == 0 && c.effect == 0 && c.param == 0;
}

bool SameCell(const xm::Cell& a, const xm::Cell& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// Cut inside the first pattern: the cells decoded before the cut are the stored ones, the cell
// the cut falls in keeps the fields read before it, and every later cell is empty. (Whether the
// load then succeeds depends on what the instrument headers read back from the source's last
// bytes, since a header read at the end seeks back into it.)
TEST(Sources, AModuleCutInsideAPatternKeepsTheCellsBeforeTheCut) {
    const std::vector<uint8_t> bytes = BuildXm(LongSong());
    auto whole = LoadXm(bytes);
    ASSERT_TRUE(whole->ok);
    const xm::Cell* stored = whole->module.patterns[0].cells;
    const size_t cells = 64 * 4;
    const size_t patternEnd = 345 + (bytes[343] | bytes[344] << 8);
    size_t decodedBefore = 0;
    for (size_t size = 336; size <= patternEnd; ++size) {
        auto loaded = LoadFirst(bytes, size);
        const xm::Module& m = loaded->module;
        ASSERT_EQ(m.songLength, 3) << size;
        ASSERT_EQ(m.patternSlotCount, 2) << size;
        const xm::Pattern& pattern = m.patterns[0];
        if (size < 344) {  // the packed size is not in the source: a pattern without cells
            EXPECT_EQ(pattern.cells, nullptr) << size;
            continue;
        }
        ASSERT_NE(pattern.cells, nullptr) << size;
        ASSERT_EQ(pattern.rows, 64) << size;
        size_t same = 0;
        while (same < cells && SameCell(pattern.cells[same], stored[same])) ++same;
        for (size_t i = same + 1; i < cells; ++i) ASSERT_TRUE(IsEmpty(pattern.cells[i])) << size;
        EXPECT_GE(same, decodedBefore) << size;
        decodedBefore = same;
        EXPECT_EQ(m.patterns[1].cells, nullptr) << size;  // its header lies past the end
    }
    EXPECT_EQ(decodedBefore, cells);
}

// A module whose instrument count promises more than it holds: the header read at the end of
// the source reads nothing and leaves the position there, so seeking back by the 33 bytes read
// lands inside the source, and the next instrument header is read from the last 33 bytes.
TEST(Sources, AnInstrumentHeaderAtTheEndSeeksBackIntoTheSource) {
    XmSong song = PlainSong();
    // The first instrument's sample data ends with what reads as an instrument header: size 241,
    // one sample, sample headers of 0 bytes.
    std::vector<uint8_t> data(40, 0);
    const size_t header = data.size() - 33;
    data[header] = 241;
    data[header + 27] = 1;
    XmSample sample;
    sample.data = data;
    song.instruments = {InstrumentWith({sample})};
    song.instrumentCount = 3;
    const std::vector<uint8_t> bytes = BuildXm(song);
    ASSERT_EQ(std::vector<uint8_t>(bytes.end() - 33, bytes.end()),
              std::vector<uint8_t>(data.begin() + header, data.end()));
    auto loaded = LoadXm(bytes);
    ASSERT_TRUE(loaded->ok);
    const xm::Instrument* instruments = loaded->module.instruments;
    EXPECT_EQ(instruments[0].samples[0]->length, 40u);
    EXPECT_EQ(instruments[1].samples[0], nullptr);
    ASSERT_NE(instruments[2].samples[0], nullptr) << "the third header was read from the source";
    EXPECT_EQ(instruments[2].samples[0]->length, 0u);
    EXPECT_EQ(instruments[2].samples[1], nullptr);
    EXPECT_EQ(loaded->reader.Position(), bytes.size());
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
    // The byte after the 20 name bytes (0x1A in a tracker's file) is not part of the name.
    XmSong song = PlainSong();
    song.name = "Twenty chars exactly";
    std::vector<uint8_t> bytes = BuildXm(song);
    bytes[37] = 'X';
    EXPECT_EQ(std::string(LoadXm(bytes)->title), "Twenty chars exactly");
}

}  // namespace
