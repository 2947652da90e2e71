#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

// A song that uses every part of the format: several patterns with packed cells, instruments
// with and without samples, 8-bit, 16-bit and compressed samples with loops.
XmSong RichSong() {
    XmSong song = PlainSong();
    song.name = "Rich song";
    song.orders = {0, 1, 2, 1};
    song.patterns = {EmptyPattern(64, 4), EmptyPattern(32, 4), EmptyPattern(16, 4)};
    for (int i = 0; i < 64 * 4; i += 3) {
        song.patterns[0].cells[static_cast<size_t>(i)] = {static_cast<uint8_t>(1 + i % 96), 1, 0x40,
                                                          0, 0};
    }
    song.patterns[1].cells[9] = {50, 2, 0, 0x0F, 3};
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

class TempModuleFile {
  public:
    explicit TempModuleFile(const std::vector<uint8_t>& bytes) {
        path_ = (std::filesystem::temp_directory_path() /
                 ("loader_sources_" + std::to_string(reinterpret_cast<uintptr_t>(this)) + ".xm"))
                    .string();
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        if (f != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TempModuleFile() { std::remove(path_.c_str()); }
    const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
};

struct FileLoad {
    xm::SongArena arena;
    xm::Module module{};
    char title[xm::kTitleBytes] = {};
    xm::Reader reader;
    bool ok = false;
};

std::unique_ptr<FileLoad> LoadFile(const char* path) {
    auto load = std::make_unique<FileLoad>();
    load->reader.SelectFile(path);
    load->ok = xm::LoadModule(load->reader, load->arena, load->module, load->title);
    load->reader.Close();
    return load;
}

void ExpectSameSong(const xm::Module& a, const xm::Module& b) {
    ASSERT_EQ(a.patternSlotCount, b.patternSlotCount);
    for (int p = 0; p < a.patternSlotCount; ++p) {
        ASSERT_EQ(a.patterns[p].rows, b.patterns[p].rows);
        ASSERT_EQ(a.patterns[p].cells == nullptr, b.patterns[p].cells == nullptr);
        if (a.patterns[p].cells != nullptr) {
            EXPECT_EQ(0, std::memcmp(a.patterns[p].cells, b.patterns[p].cells,
                                     a.patterns[p].rows * static_cast<size_t>(a.channelCount) *
                                         sizeof(xm::Cell)))
                << "pattern " << p;
        }
    }
    for (int i = 0; i < (a.instrumentCount & 0xFF); ++i) {
        for (int s = 0; s < xm::kSamplesPerInstrument; ++s) {
            const xm::Sample* x = a.instruments[i].samples[s];
            const xm::Sample* y = b.instruments[i].samples[s];
            ASSERT_EQ(x == nullptr, y == nullptr);
            if (x == nullptr) continue;
            ASSERT_EQ(x->length, y->length);
            EXPECT_EQ(x->loopStart, y->loopStart);
            EXPECT_EQ(x->loopLength, y->loopLength);
            EXPECT_EQ(0, std::memcmp(x->data, y->data, (x->length + 3) * sizeof(int16_t)))
                << "instrument " << i << " sample " << s;
        }
    }
}

TEST(Sources, AFileLoadsExactlyLikeTheSameBytesInMemory) {
    const std::vector<uint8_t> bytes = BuildXm(RichSong());
    ASSERT_GT(bytes.size(), 2 * xm::Reader::kCacheBytes);  // several cache blocks
    auto memory = LoadXm(bytes);
    ASSERT_TRUE(memory->ok);
    EXPECT_EQ(memory->reader.Position(), bytes.size());
    TempModuleFile file(bytes);
    auto fromFile = LoadFile(file.path());
    ASSERT_TRUE(fromFile->ok);
    EXPECT_EQ(fromFile->reader.Position(), bytes.size());
    EXPECT_STREQ(fromFile->title, "Rich song");
    ExpectSameSong(memory->module, fromFile->module);
}

TEST(Sources, AFileThatEndsEarlyReadsZeroBytesForTheRest) {
    std::vector<uint8_t> bytes = BuildXm(RichSong());
    auto whole = LoadXm(bytes);
    ASSERT_TRUE(whole->ok);
    const xm::Sample* wholeSample = whole->module.instruments[0].samples[0];
    // Cut in the middle of the long sample's data: the rest of it decodes from zero deltas,
    // holding the last value, and the later sample reads as silence.
    // After the long sample: the 16-bit sample's data, the empty instrument's 29-byte header,
    // the last instrument's header, sample header and data.
    const size_t afterLongSample = 10 + 29 + 263 + 40 + 4;
    bytes.resize(bytes.size() - 4000);
    TempModuleFile file(bytes);
    auto cut = LoadFile(file.path());
    ASSERT_TRUE(cut->ok);
    const xm::Sample* s = cut->module.instruments[0].samples[0];
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->length, 20000u);
    const uint32_t present = 20000 - (4000 - afterLongSample);
    for (uint32_t i = 0; i < present; ++i) ASSERT_EQ(s->data[i], wholeSample->data[i]) << i;
    for (uint32_t i = present; i < 20000; ++i) ASSERT_EQ(s->data[i], s->data[present - 1]) << i;
    EXPECT_NE(wholeSample->data[present], s->data[present - 1]);
    const xm::Sample* lost = cut->module.instruments[0].samples[1];
    for (uint32_t i = 0; i < lost->length; ++i) EXPECT_EQ(lost->data[i], 0);
    // The last instrument's header is all zero bytes: an instrument without samples.
    EXPECT_EQ(cut->module.instruments[2].samples[0], nullptr);
}

// Memory past the source is never read (the sanitizer build checks every byte); the fields that
// are missing read as zero, so a module cut before its pattern count fails.
TEST(Sources, AModuleCutShortInMemoryReadsZeroForWhatIsMissing) {
    const std::vector<uint8_t> bytes = BuildXm(RichSong());
    for (size_t size = 0; size < 800; ++size) {
        auto loaded =
            LoadXm(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size)));
        if (size < 71) {
            EXPECT_FALSE(loaded->ok) << size;
        } else if (size >= 336) {
            EXPECT_TRUE(loaded->ok) << size;
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

std::string TitleOf(const std::string& name) {
    XmSong song = PlainSong();
    song.name = name;
    auto loaded = LoadXm(BuildXm(song));
    EXPECT_TRUE(loaded->ok);
    // The title is always zero-padded to its full size.
    for (size_t i = std::strlen(loaded->title); i < xm::kTitleBytes; ++i)
        EXPECT_EQ(loaded->title[i], 0);
    return loaded->title;
}

TEST(Title, KeepsOnlyTheBytesFrom0x20To0x7F) {
    EXPECT_EQ(TitleOf("Twenty chars exactly"), "Twenty chars exactly");
    EXPECT_EQ(TitleOf(std::string("a\tb\x01"
                                  "c\x80\xff"
                                  "d\x7f"
                                  "e ~",
                                  12)),
              "abcd\x7f"
              "e ~");
    EXPECT_EQ(TitleOf(std::string("ab\0cd", 5)), "abcd");
    EXPECT_EQ(TitleOf(""), "");
    EXPECT_EQ(TitleOf("only twenty of these twenty-four"), "only twenty of these");
}

TEST(Title, IsSetEvenWhenTheLoadFails) {
    XmSong song = PlainSong();
    song.name = "broken";
    song.channels = 0;
    auto loaded = LoadXm(BuildXm(song));
    EXPECT_FALSE(loaded->ok);
    EXPECT_STREQ(loaded->title, "broken");
}

}  // namespace
