#include <gtest/gtest.h>

#include <vector>

#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

bool SameCell(const xm::Cell& a, const xm::Cell& b) {
    return a.note == b.note && a.instrument == b.instrument && a.volume == b.volume &&
           a.effect == b.effect && a.param == b.param;
}

TEST(PatternDecoding, PackedAndUnpackedCellsDecodeAlike) {
    XmSong song = PlainSong();
    song.instruments.push_back(song.instruments[0]);
    song.patterns[0] = EmptyPattern(16, 4);
    std::vector<xm::Cell>& cells = song.patterns[0].cells;
    for (size_t i = 0; i < cells.size(); ++i) {  // every combination of present fields
        const int n = static_cast<int>(i);
        const auto field = [&](int bit, int value) {
            return static_cast<uint8_t>(n & (1 << bit) ? value : 0);
        };
        cells[i] = {field(0, 1 + n % 96), field(1, 1 + n % 2), field(2, 0x10 + n % 64),
                    field(3, 1 + n % 35), field(4, n)};
    }
    for (Packing packing : {Packing::Auto, Packing::Masked, Packing::Unpacked}) {
        song.patterns[0].packing = packing;
        auto loaded = LoadXm(BuildXm(song));
        ASSERT_TRUE(loaded->ok);
        const xm::Pattern& p = loaded->module.patterns[0];
        ASSERT_EQ(p.rows, 16);
        for (size_t i = 0; i < cells.size(); ++i) EXPECT_TRUE(SameCell(p.cells[i], cells[i])) << i;
        EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());  // no byte skipped or reread
    }
}

TEST(PatternDecoding, MaskBitsFiveAndSixAreIgnored) {
    XmSong song = PlainSong();
    song.channels = 1;
    song.patterns[0] = EmptyPattern(2, 1);
    song.patterns[0].rawData = std::vector<uint8_t>{0xFF, 10, 1, 0x20, 0x0A, 0x05, 0xE2, 1};
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_TRUE(SameCell(loaded->module.patterns[0].cells[0], {10, 1, 0x20, 0x0A, 0x05}));
    EXPECT_TRUE(SameCell(loaded->module.patterns[0].cells[1], {0, 1, 0, 0, 0}));
}

// Instrument numbers index the instrument table and notes the note tables of the engine.
TEST(PatternDecoding, InstrumentsPastTheCountAreNoneAndNotesPastKeyOffAreKeyOffs) {
    XmSong song = PlainSong();
    song.instrumentCount = 0x0101;  // only the low byte counts
    const xm::Cell stored[] = {
        {96, 1, 0, 0, 0}, {97, 2, 0, 0, 0}, {98, 255, 0, 0, 0}, {255, 2, 3, 4, 5}};
    const xm::Cell loaded[] = {
        {96, 1, 0, 0, 0}, {97, 0, 0, 0, 0}, {97, 0, 0, 0, 0}, {97, 0, 3, 4, 5}};
    for (int i = 0; i < 4; ++i) song.patterns[0].cells[static_cast<size_t>(i)] = stored[i];
    song.patterns[0].packing = Packing::Masked;
    song.patterns[0].cells[4] = {50, 2, 1, 1, 1};  // stored unpacked
    auto got = LoadXm(BuildXm(song));
    ASSERT_TRUE(got->ok);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(SameCell(got->module.patterns[0].cells[i], loaded[i])) << i;
    EXPECT_EQ(got->module.patterns[0].cells[4].instrument, 0);
}

// Without a packed size there are no cells, whatever the rows; with one, the cells end where
// their data ends, whatever the packed size says.
TEST(PatternDecoding, ThePackedSizeOnlySaysWhetherThereAreCells) {
    XmSong song = PlainSong();
    song.orders = {0, 1, 2, 3};
    XmPattern none;
    none.packedSize = 0;
    none.rawData = std::vector<uint8_t>{};
    none.rows = 0;
    XmPattern noneOf300 = none;
    noneOf300.rows = 300;
    song.patterns = {none, noneOf300, EmptyPattern(4, 4), EmptyPattern(4, 4)};
    song.patterns[2].cells[15] = {30, 1, 0x10, 0x01, 0x02};
    song.patterns[2].packedSize = 1;
    song.patterns[3].cells[0] = {31, 1, 0, 0, 0};
    song.patterns[3].packedSize = 5000;
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Pattern* p = loaded->module.patterns;
    EXPECT_EQ(p[0].rows, 0);
    EXPECT_EQ(p[0].cells, nullptr);
    EXPECT_EQ(p[1].rows, 300);
    EXPECT_EQ(p[1].cells, nullptr);
    EXPECT_EQ(p[2].packedSize, 1);
    EXPECT_EQ(p[2].cells[15].note, 30);
    EXPECT_EQ(p[3].cells[0].note, 31);
    EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
}

TEST(AddedPatterns, OrderEntriesPastTheStoredPatternsGetEmpty64RowPatterns) {
    XmSong song = PlainSong();
    song.channels = 5;
    song.patterns.assign(13, EmptyPattern(32, 5));
    song.orders = {0, 12, 3, 20, 250};  // the highest entry last of those in the song
    song.songLength = 4;                // entries past the song length do not count
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Module& m = loaded->module;
    ASSERT_EQ(m.patternSlotCount, 21);
    EXPECT_EQ(m.orders[4], 250);
    EXPECT_EQ(m.patterns[12].rows, 32);
    for (int slot = 13; slot <= 20; ++slot) {
        ASSERT_EQ(m.patterns[slot].rows, 64) << slot;
        ASSERT_NE(m.patterns[slot].cells, nullptr) << slot;
        for (int i = 0; i < 64 * 5; ++i)
            ASSERT_TRUE(SameCell(m.patterns[slot].cells[i], {})) << slot;
    }

    // More stored patterns than order entries: all are kept.
    song.orders = {0};
    song.songLength.reset();
    auto more = LoadXm(BuildXm(song));
    ASSERT_TRUE(more->ok);
    EXPECT_EQ(more->module.patternSlotCount, 13);
}

}  // namespace
