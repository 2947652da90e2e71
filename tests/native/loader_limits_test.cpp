#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

TEST(LoaderHeader, APlainSongTakesItsHeaderFields) {
    XmSong song = PlainSong();
    song.orders = {0, 0, 0};
    song.restartPosition = 2;
    song.channels = 0x0306;  // the high byte lands in the global volume slide memory
    song.patterns = {EmptyPattern(64, 6)};
    song.flags = 0;
    song.tempo = 3;
    song.bpm = 150;
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Module& m = loaded->module;
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
    EXPECT_EQ(m.tick, 0);
    EXPECT_EQ(m.patternDelay, 0);
    EXPECT_EQ(m.framesLeftInTick, 0u);
    EXPECT_EQ(m.pendingOrder.load(), 0);
    EXPECT_EQ(m.pendingRow.load(), 0);
}

TEST(LoaderHeader, AZeroBpmGivesTheLongestTick) {
    XmSong song = PlainSong();
    song.bpm = 0;
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_EQ(loaded->module.framesPerTick, 120000u);
}

TEST(LoaderHeader, ReloadingIntoAUsedModuleStartsAfresh) {
    XmSong song = PlainSong();
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    loaded->module.row = 17;
    loaded->module.order = 3;
    loaded->module.pendingOrder = -1;
    loaded->module.globalVolume = 5;
    loaded->reader.SelectMemory(loaded->bytes.data(), static_cast<uint32_t>(loaded->bytes.size()));
    ASSERT_TRUE(xm::LoadModule(loaded->reader, loaded->arena, loaded->module, loaded->title));
    EXPECT_EQ(loaded->module.row, 0);
    EXPECT_EQ(loaded->module.order, 0);
    EXPECT_EQ(loaded->module.pendingOrder.load(), 0);
    EXPECT_EQ(loaded->module.globalVolume, 64);
}

struct Broken {
    const char* what;
    std::function<void(XmSong&)> change;
};

TEST(LoaderLimits, EachBrokenLimitFailsTheLoad) {
    const Broken cases[] = {
        {"no patterns", [](XmSong& s) { s.patternCount = 0; }},
        {"song length 0", [](XmSong& s) { s.songLength = 0; }},
        {"song length 257", [](XmSong& s) { s.songLength = 257; }},
        {"no channels", [](XmSong& s) { s.channels = 0; }},
        {"65 channels", [](XmSong& s) { s.channels = 65; }},
        {"256 channels: low byte 0", [](XmSong& s) { s.channels = 0x0100; }},
        {"pattern of 0 rows with cells",
         [](XmSong& s) {
             s.patterns[0].rows = 0;
             s.patterns[0].rawData = std::vector<uint8_t>{0x80};
         }},
        {"pattern of 257 rows", [](XmSong& s) { s.patterns[0] = EmptyPattern(257, s.channels); }},
        {"17 samples",
         [](XmSong& s) {
             s.instruments[0].samples.assign(17, Sample8({1, 2}));
         }},
        {"sample header of 41 bytes", [](XmSong& s) { s.instruments[0].sampleHeaderSize = 41; }},
        {"8-bit sample of 4,194,304 points",
         [](XmSong& s) { s.instruments[0].samples[0].lengthBytes = 4194304; }},
        {"16-bit sample of 4,194,304 points",
         [](XmSong& s) {
             s.instruments[0].samples[0].type = 0x10;
             s.instruments[0].samples[0].lengthBytes = 8388608;
         }},
        {"a bad instrument after a good one",
         [](XmSong& s) {
             s.instruments.push_back(s.instruments[0]);
             s.instruments[1].sampleHeaderSize = 41;
         }},
    };
    ASSERT_TRUE(LoadXm(BuildXm(PlainSong()))->ok);
    for (const Broken& c : cases) {
        XmSong song = PlainSong();
        c.change(song);
        EXPECT_FALSE(LoadXm(BuildXm(song))->ok) << c.what;
    }
}

TEST(LoaderLimits, TheBoundariesOfEachLimitLoad) {
    const Broken cases[] = {
        {"64 channels",
         [](XmSong& s) {
             s.channels = 64;
             s.patterns[0] = EmptyPattern(1, 64);
         }},
        {"1 channel",
         [](XmSong& s) {
             s.channels = 1;
             s.patterns[0] = EmptyPattern(1, 1);
         }},
        {"song length 256", [](XmSong& s) { s.orders.assign(256, 0); }},
        {"256 rows", [](XmSong& s) { s.patterns[0] = EmptyPattern(256, s.channels); }},
        {"1 row", [](XmSong& s) { s.patterns[0] = EmptyPattern(1, s.channels); }},
        {"16 samples",
         [](XmSong& s) {
             s.instruments[0].samples.assign(16, Sample8({1, 2}));
         }},
        {"sample header of 40 bytes", [](XmSong& s) { s.instruments[0].sampleHeaderSize = 40; }},
        {"sample of 4,194,303 points",
         [](XmSong& s) { s.instruments[0].samples[0].lengthBytes = 4194303; }},
        {"no samples, any sample header size",
         [](XmSong& s) {
             s.instruments[0].samples.clear();
             s.instruments[0].sampleHeaderSize = 1000;
         }},
        {"17 samples in the unused high byte of the count",
         [](XmSong& s) { s.instruments[0].sampleCount = 0x1101; }},
    };
    for (const Broken& c : cases) {
        XmSong song = PlainSong();
        c.change(song);
        EXPECT_TRUE(LoadXm(BuildXm(song))->ok) << c.what;
    }
}

TEST(LoaderLimits, AHeaderSizePastTheSourceReadsThePatternsAfterTheOrderTable) {
    XmSong song = PlainSong();
    song.patterns[0].cells[0] = {49, 1, 0x40, 0x0C, 0x20};
    song.headerSize = 0x7FFFFF00;  // pointing far beyond the module
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_EQ(loaded->module.patterns[0].cells[0].note, 49);
    EXPECT_EQ(loaded->module.patterns[0].cells[0].param, 0x20);
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
}

TEST(LoaderLimits, ALargerHeaderSizeSkipsTheExtraHeaderBytes) {
    XmSong song = PlainSong();
    song.patterns[0].cells[5] = {12, 1, 0, 0, 0};
    song.headerSize = 300;
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_EQ(loaded->module.patterns[0].cells[5].note, 12);
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
}

// A small file that declares many large patterns: each stored cell is one byte, each unpacked
// cell five. The song's memory cap turns it into a failed load.
TEST(LoaderLimits, TheSongMemoryCapFailsALoadThatWouldPassIt) {
    XmSong song = PlainSong();
    song.channels = 64;
    song.patterns.clear();
    for (int i = 0; i < 20; ++i) {
        XmPattern p;
        p.rows = 256;
        p.rawData = std::vector<uint8_t>(256 * 64, 0x80);
        song.patterns.push_back(p);
    }
    const std::vector<uint8_t> bytes = BuildXm(song);
    ASSERT_LT(bytes.size(), size_t{400} * 1024);
    EXPECT_TRUE(LoadXm(bytes)->ok);
    auto capped = LoadXm(bytes, 1 << 20);
    EXPECT_FALSE(capped->ok);
    EXPECT_LE(capped->arena.BytesInUse(), size_t{1} << 20);
}

TEST(LoaderLimits, AnOverlongSampleFailsBeforeItsDataIsAllocated) {
    XmSong song = PlainSong();
    song.instruments[0].samples[0].lengthBytes = 4194304;  // 8 MiB of points: within the cap
    auto loaded = LoadXm(BuildXm(song));
    EXPECT_FALSE(loaded->ok);
    EXPECT_LT(loaded->arena.BytesInUse(), size_t{1} << 20);
}

}  // namespace
