#include <gtest/gtest.h>

#include <functional>

#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

TEST(LoaderHeader, APlainSongTakesItsHeaderFieldsAndStartsAtOrderZero) {
    XmSong song = PlainSong();
    song.orders = {0, 0, 0};
    song.restartPosition = 2;
    song.channels = 0x0306;  // the high byte is the global volume slide memory
    song.patterns = {EmptyPattern(64, 6)};
    song.flags = 0;
    song.tempo = 3;
    song.bpm = 150;
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    xm::Module& m = loaded->module;
    EXPECT_EQ(m.songLength, 3);
    EXPECT_EQ(m.restartPosition, 2);
    EXPECT_EQ(m.channelCount, 6);
    EXPECT_EQ(m.storedChannelCount, 6);
    EXPECT_EQ(m.globalVolumeSlideMemory, 3);
    EXPECT_EQ(m.patternSlotCount, 1);
    EXPECT_EQ(m.instrumentCount, 1);
    EXPECT_EQ(m.flags, 0);
    EXPECT_EQ(m.defaultTempo, 3);
    EXPECT_EQ(m.speed, 3);
    EXPECT_EQ(m.defaultBpm, 150);
    EXPECT_EQ(m.framesPerTick, 800u);
    EXPECT_EQ(m.globalVolume, 64);

    // Loading again into the played module starts it afresh.
    m.row = 17;
    m.order = 3;
    m.tick = 2;
    m.pendingOrder = -1;
    m.globalVolume = 5;
    loaded->reader.SelectMemory(loaded->bytes.data(), static_cast<uint32_t>(loaded->bytes.size()));
    ASSERT_TRUE(xm::LoadModule(loaded->reader, loaded->arena, m, loaded->title));
    EXPECT_EQ(m.row, 0);
    EXPECT_EQ(m.order, 0);
    EXPECT_EQ(m.tick, 0);
    EXPECT_EQ(m.pendingOrder.load(), 0);
    EXPECT_EQ(m.pendingRow.load(), 0);
    EXPECT_EQ(m.globalVolume, 64);
}

struct LimitCase {
    const char* what;
    std::function<void(XmSong&)> change;
    const char* refusal;  // null: the song loads
};

TEST(LoaderLimits, EachLimitFailsPastItsBoundaryWithItsReasonAndLoadsAtIt) {
    const auto channels = [](uint16_t n) {
        return [n](XmSong& s) {
            s.channels = n;
            s.patterns[0] = EmptyPattern(1, n & 0xFF);
        };
    };
    const auto rows = [](uint16_t n) {
        return [n](XmSong& s) { s.patterns[0] = EmptyPattern(n, 4); };
    };
    const auto samples = [](size_t n) {
        return [n](XmSong& s) { s.instruments[0].samples.assign(n, Sample8({1, 2})); };
    };
    const auto sampleBytes = [](uint32_t bytes, uint8_t type) {
        return [=](XmSong& s) {
            s.instruments[0].samples[0].lengthBytes = bytes;
            s.instruments[0].samples[0].type = type;
        };
    };
    const LimitCase cases[] = {
        {"no patterns", [](XmSong& s) { s.patternCount = 0; },
         "the header says 0 patterns; at least 1 is needed"},
        {"song length 0", [](XmSong& s) { s.songLength = 0; },
         "the song length is 0 orders; 1 to 256 are supported"},
        {"song length 257", [](XmSong& s) { s.songLength = 257; },
         "the song length is 257 orders; 1 to 256 are supported"},
        {"song length 256", [](XmSong& s) { s.orders.assign(256, 0); }, nullptr},
        {"no channels", channels(0), "the song has 0 channels; 1 to 64 are supported"},
        {"65 channels", channels(65), "the song has 65 channels; 1 to 64 are supported"},
        {"256 channels (low byte 0)", channels(0x100),
         "the song has 0 channels; 1 to 64 are supported"},
        {"1 channel", channels(1), nullptr},
        {"64 channels", channels(64), nullptr},
        {"0 rows with cells",
         [](XmSong& s) {
             s.patterns[0].rows = 0;
             s.patterns[0].rawData = std::vector<uint8_t>{0x80};
         },
         "pattern 0 has 0 rows; 1 to 256 are supported"},
        {"257 rows", rows(257), "pattern 0 has 257 rows; 1 to 256 are supported"},
        {"1 row", rows(1), nullptr},
        {"300 rows in the third pattern",
         [](XmSong& s) {
             s.patterns = {EmptyPattern(64, 4), EmptyPattern(64, 4), EmptyPattern(300, 4)};
         },
         "pattern 2 has 300 rows; 1 to 256 are supported"},
        {"256 rows", rows(256), nullptr},
        {"17 samples", samples(17), "instrument 1 has 17 samples; at most 16 are supported"},
        {"16 samples", samples(16), nullptr},
        {"17 in the unused high byte of the sample count",
         [](XmSong& s) { s.instruments[0].sampleCount = 0x1101; }, nullptr},
        {"sample header of 41 bytes", [](XmSong& s) { s.instruments[0].sampleHeaderSize = 41; },
         "instrument 1 has sample headers of 41 bytes; at most 40 are supported"},
        {"sample header of 40 bytes", [](XmSong& s) { s.instruments[0].sampleHeaderSize = 40; },
         nullptr},
        {"no samples, sample header of 1000 bytes",
         [](XmSong& s) {
             s.instruments[0].samples.clear();
             s.instruments[0].sampleHeaderSize = 1000;
         },
         nullptr},
        {"8-bit sample of 4,194,304 points", sampleBytes(4194304, 0),
         "instrument 1, sample 1 has 4194304 points; at most 4194303 are supported"},
        {"16-bit sample of 4,194,304 points", sampleBytes(8388608, 0x10),
         "instrument 1, sample 1 has 4194304 points; at most 4194303 are supported"},
        {"8-bit sample of 4,194,303 points", sampleBytes(4194303, 0), nullptr},
        {"the third sample of 5,000,000 points",
         [](XmSong& s) {
             s.instruments[0].samples.assign(3, Sample8({1, 2}));
             s.instruments[0].samples[2].lengthBytes = 5000000;
         },
         "instrument 1, sample 3 has 5000000 points; at most 4194303 are supported"},
        {"16-bit sample of 4,194,303 points", sampleBytes(8388607, 0x10), nullptr},
        {"a bad instrument after a good one",
         [](XmSong& s) {
             s.instruments.push_back(s.instruments[0]);
             s.instruments[1].sampleHeaderSize = 41;
         },
         "instrument 2 has sample headers of 41 bytes; at most 40 are supported"},
    };
    for (const LimitCase& c : cases) {
        XmSong song = PlainSong();
        c.change(song);
        const auto loaded = LoadXm(BuildXm(song));
        EXPECT_EQ(loaded->ok, c.refusal == nullptr) << c.what;
        EXPECT_EQ(xm::DescribeLoadError(loaded->error), c.refusal ? c.refusal : "loaded") << c.what;
    }
}

TEST(LoaderLimits, PatternsStartAtTheHeaderSizeOrAfterTheOrderTableWhenItPointsPastTheSource) {
    for (const uint32_t headerSize : {276u, 300u, 0x7FFFFF00u}) {
        XmSong song = PlainSong();
        song.patterns[0].cells[5] = {49, 1, 0x40, 0x0C, 0x20};
        song.headerSize = headerSize;  // the builder pads the header only up to 65,536 bytes
        auto loaded = LoadXm(BuildXm(song));
        ASSERT_TRUE(loaded->ok) << headerSize;
        EXPECT_EQ(loaded->module.patterns[0].cells[5].param, 0x20) << headerSize;
        EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size()) << headerSize;
    }
}

// A small file that declares many large patterns: each stored cell takes one byte, each loaded
// cell five. The song's memory cap turns it into a failed load.
TEST(LoaderLimits, TheSongMemoryCapFailsALoadThatWouldPassIt) {
    XmSong song = PlainSong();
    song.channels = 64;
    XmPattern big;
    big.rows = 256;
    big.rawData = std::vector<uint8_t>(256 * 64, 0x80);
    song.patterns.assign(20, big);
    const std::vector<uint8_t> bytes = BuildXm(song);
    EXPECT_TRUE(LoadXm(bytes)->ok);
    auto capped = LoadXm(bytes, 1 << 20);
    EXPECT_FALSE(capped->ok);
    EXPECT_EQ(xm::DescribeLoadError(capped->error),
              "the song needs more than the 1 MiB of memory a song may take");
    EXPECT_LE(capped->arena.BytesInUse(), size_t{1} << 20);
}

TEST(LoaderLimits, AnOverlongSampleFailsBeforeItsDataIsAllocated) {
    XmSong song = PlainSong();
    song.instruments[0].samples[0].lengthBytes = 4194304;  // 8 MiB of points: within the cap
    auto loaded = LoadXm(BuildXm(song));
    EXPECT_FALSE(loaded->ok);
    EXPECT_LT(loaded->arena.BytesInUse(), size_t{1} << 20);
}

TEST(LoaderLimits, AFileThatCannotBeOpenedIsRefusedAsSuch) {
    xm::Reader reader;
    reader.SelectFile("/nonexistent/folder/song.xm");
    xm::SongArena arena;
    xm::Module module{};
    char title[xm::kTitleBytes];
    xm::LoadError error;
    EXPECT_FALSE(xm::LoadModule(reader, arena, module, title, &error));
    EXPECT_EQ(error.failure, xm::LoadFailure::CannotOpen);
    EXPECT_EQ(xm::DescribeLoadError(error), "cannot be opened");
}

}  // namespace
