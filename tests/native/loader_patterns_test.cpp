#include <gtest/gtest.h>

#include <vector>

#include "tests/native/support/xm_builder.h"

namespace {

using namespace xmtest;

bool SameCell(const xm::Cell& a, const xm::Cell& b) {
    return a.note == b.note && a.instrument == b.instrument && a.volume == b.volume &&
           a.effect == b.effect && a.param == b.param;
}

std::vector<xm::Cell> MixedCells(int count) {
    std::vector<xm::Cell> cells(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto b = [&](int k) { return static_cast<uint8_t>((i * k) % 3 == 0 ? 0 : i * k); };
        cells[static_cast<size_t>(i)] = {static_cast<uint8_t>(b(5) % 97),
                                         static_cast<uint8_t>(b(7) % 3), b(11),
                                         static_cast<uint8_t>(b(13) % 36), b(17)};
    }
    cells[3] = {49, 2, 0x30, 0x0F, 0x04};  // every field set
    return cells;
}

XmSong SongWithCells(const std::vector<xm::Cell>& cells, Packing packing) {
    XmSong song = PlainSong();
    song.instruments.push_back(song.instruments[0]);  // instruments 1 and 2 exist
    song.patterns[0] = EmptyPattern(16, song.channels);
    song.patterns[0].cells = cells;
    song.patterns[0].packing = packing;
    return song;
}

TEST(PatternDecoding, PackedAndUnpackedCellsDecodeAlike) {
    const std::vector<xm::Cell> cells = MixedCells(16 * 4);
    for (Packing packing : {Packing::Auto, Packing::Masked, Packing::Unpacked}) {
        auto loaded = LoadXm(BuildXm(SongWithCells(cells, packing)));
        ASSERT_TRUE(loaded->ok);
        const xm::Pattern& p = loaded->module.patterns[0];
        ASSERT_EQ(p.rows, 16);
        ASSERT_NE(p.cells, nullptr);
        for (size_t i = 0; i < cells.size(); ++i) {
            EXPECT_TRUE(SameCell(p.cells[i], cells[i])) << "cell " << i;
        }
        // The module was read to its very end: no byte of a cell was skipped or read twice.
        EXPECT_EQ(loaded->reader.Position(), loaded->bytes.size());
    }
}

TEST(PatternDecoding, MaskBitsFiveAndSixAreIgnored) {
    XmSong song = PlainSong();
    song.channels = 1;
    song.patterns[0] = EmptyPattern(2, 1);
    song.patterns[0].rawData = std::vector<uint8_t>{0xFF, 10, 1, 0x20, 0x0A, 0x05,  // all five
                                                    0xE2, 1};                       // instrument
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Cell* c = loaded->module.patterns[0].cells;
    EXPECT_TRUE(SameCell(c[0], {10, 1, 0x20, 0x0A, 0x05}));
    EXPECT_TRUE(SameCell(c[1], {0, 1, 0, 0, 0}));
}

TEST(PatternDecoding, InstrumentNumbersAboveTheCountBecomeZero) {
    XmSong song = PlainSong();  // one instrument
    song.patterns[0].cells[0] = {1, 1, 0, 0, 0};
    song.patterns[0].cells[1] = {1, 2, 0, 0, 0};
    song.patterns[0].cells[2] = {0, 255, 0, 0, 0};
    song.patterns[0].cells[3] = {2, 2, 3, 4, 5};  // stored unpacked
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Cell* c = loaded->module.patterns[0].cells;
    EXPECT_EQ(c[0].instrument, 1);
    EXPECT_EQ(c[1].instrument, 0);
    EXPECT_EQ(c[2].instrument, 0);
    EXPECT_TRUE(SameCell(c[3], {2, 0, 3, 4, 5}));
}

TEST(PatternDecoding, NotesAboveKeyOffAreKeyOffs) {
    XmSong song = PlainSong();
    song.patterns[0].cells[0] = {96, 0, 0, 0, 0};
    song.patterns[0].cells[1] = {97, 0, 0, 0, 0};
    song.patterns[0].cells[2] = {98, 0, 0, 0, 0};
    song.patterns[0].cells[3] = {255, 0, 0, 0, 0};
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Cell* c = loaded->module.patterns[0].cells;
    EXPECT_EQ(c[0].note, 96);
    EXPECT_EQ(c[1].note, 97);
    EXPECT_EQ(c[2].note, 97);
    EXPECT_EQ(c[3].note, 97);
}

TEST(PatternDecoding, APackedSizeOfZeroMeansNoCellsAndKeepsTheRows) {
    XmSong song = PlainSong();
    song.orders = {0, 1, 2};
    XmPattern noRows;
    noRows.rows = 0;
    noRows.packedSize = 0;
    noRows.rawData = std::vector<uint8_t>{};
    XmPattern manyRows = noRows;
    manyRows.rows = 300;  // not checked without cells
    song.patterns = {noRows, manyRows, EmptyPattern(2, 4)};
    song.patterns[2].cells[7] = {60, 1, 0, 0, 0};
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Pattern* p = loaded->module.patterns;
    EXPECT_EQ(p[0].rows, 0);
    EXPECT_EQ(p[0].cells, nullptr);
    EXPECT_EQ(p[1].rows, 300);
    EXPECT_EQ(p[1].cells, nullptr);
    ASSERT_NE(p[2].cells, nullptr);
    EXPECT_EQ(p[2].cells[7].note, 60);
}

TEST(PatternDecoding, TheNextPatternFollowsTheCellsWhateverThePackedSizeSays) {
    XmSong song = PlainSong();
    song.orders = {0, 1};
    song.patterns = {EmptyPattern(4, 4), EmptyPattern(4, 4)};
    song.patterns[0].cells[15] = {30, 1, 0x10, 0x01, 0x02};
    song.patterns[0].packedSize = 1;  // far too small
    song.patterns[1].cells[0] = {31, 1, 0, 0, 0};
    song.patterns[1].packedSize = 5000;  // far too large
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Pattern* p = loaded->module.patterns;
    EXPECT_EQ(p[0].packedSize, 1);
    EXPECT_EQ(p[0].cells[15].note, 30);
    EXPECT_EQ(p[1].packedSize, 5000);
    EXPECT_EQ(p[1].cells[0].note, 31);
    EXPECT_EQ(loaded->module.instruments[0].samples[0]->length, 4u);
}

TEST(AddedPatterns, OrderEntriesPastTheStoredPatternsGetEmpty64RowPatterns) {
    XmSong song = PlainSong();
    song.channels = 5;
    song.patterns.clear();
    for (int i = 0; i < 13; ++i) song.patterns.push_back(EmptyPattern(32, 5));
    song.orders = {0, 20, 3, 12};
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    const xm::Module& m = loaded->module;
    ASSERT_EQ(m.patternSlotCount, 21);
    EXPECT_EQ(m.patterns[12].rows, 32);
    for (int slot = 13; slot <= 20; ++slot) {
        const xm::Pattern& p = m.patterns[slot];
        EXPECT_EQ(p.rows, 64) << slot;
        ASSERT_NE(p.cells, nullptr) << slot;
        for (int i = 0; i < 64 * 5; ++i) ASSERT_TRUE(SameCell(p.cells[i], {})) << slot;
    }
}

TEST(AddedPatterns, OnlyOrderEntriesWithinTheSongLengthCount) {
    XmSong song = PlainSong();
    song.orders = {0, 0, 200};
    song.songLength = 2;
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_EQ(loaded->module.patternSlotCount, 1);
    EXPECT_EQ(loaded->module.orders[2], 200);  // the table itself is kept whole
}

TEST(AddedPatterns, MoreStoredPatternsThanOrderEntriesKeepsThemAll) {
    XmSong song = PlainSong();
    song.patterns.assign(3, EmptyPattern(8, 4));
    song.patterns[2].cells[0] = {5, 0, 0, 0, 0};
    auto loaded = LoadXm(BuildXm(song));
    ASSERT_TRUE(loaded->ok);
    EXPECT_EQ(loaded->module.patternSlotCount, 3);
    EXPECT_EQ(loaded->module.patterns[2].cells[0].note, 5);
}

}  // namespace
