#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "player/reader.h"

namespace {

using xm::Reader;

std::vector<uint8_t> Pattern(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

// A file in the test's temporary folder, removed at the end of the test.
class TempFile {
  public:
    explicit TempFile(const std::vector<uint8_t>& bytes) {
        path_ = (std::filesystem::temp_directory_path() /
                 ("reader_test_" + std::to_string(counter_++) + "_" +
                  std::to_string(reinterpret_cast<uintptr_t>(this)) + ".bin"))
                    .string();
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        if (f != nullptr) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const char* path() const { return path_.c_str(); }

  private:
    static inline int counter_ = 0;
    std::string path_;
};

TEST(MemoryReader, CopiesAndAdvances) {
    const std::vector<uint8_t> src = Pattern(100);
    Reader r;
    r.SelectMemory(src.data(), 100);
    ASSERT_TRUE(r.Open());
    uint8_t out[10] = {};
    r.Read(out, 10);
    EXPECT_EQ(r.Position(), 10u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 10),
              std::vector<uint8_t>(src.begin(), src.begin() + 10));
    r.Read(out, 0);
    r.Read(out, -5);
    EXPECT_EQ(r.Position(), 10u);
}

TEST(MemoryReader, PastTheEndLeavesTheDestinationAndAdvancesByTheFullCount) {
    const std::vector<uint8_t> src = Pattern(20);
    Reader r;
    r.SelectMemory(src.data(), 20);
    ASSERT_TRUE(r.Open());
    r.Seek(16, false);
    uint8_t out[8];
    std::fill(std::begin(out), std::end(out), 0xEE);
    r.Read(out, 8);
    EXPECT_EQ(r.Position(), 24u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], src[16 + i]);
    for (int i = 4; i < 8; ++i) EXPECT_EQ(out[i], 0xEE);
    std::fill(std::begin(out), std::end(out), 0xEE);
    r.Read(out, 8);
    EXPECT_EQ(r.Position(), 32u);
    for (uint8_t b : out) EXPECT_EQ(b, 0xEE);
}

TEST(Reader, SeekStaysInsideZeroToSize) {
    const std::vector<uint8_t> src = Pattern(100);
    Reader r;
    r.SelectMemory(src.data(), 100);
    ASSERT_TRUE(r.Open());
    r.Seek(40, false);
    EXPECT_EQ(r.Position(), 40u);
    r.Seek(-41, true);  // would be negative
    EXPECT_EQ(r.Position(), 40u);
    r.Seek(-40, true);
    EXPECT_EQ(r.Position(), 0u);
    r.Seek(100, false);  // exactly the size is allowed
    EXPECT_EQ(r.Position(), 100u);
    r.Seek(101, false);
    EXPECT_EQ(r.Position(), 100u);
    r.Seek(-1, false);
    EXPECT_EQ(r.Position(), 100u);
    r.Seek(-30, true);
    EXPECT_EQ(r.Position(), 70u);
    r.Seek(31, true);
    EXPECT_EQ(r.Position(), 70u);
}

TEST(Reader, SeekTargetsAreSigned32BitOffsets) {
    // A file has no size limit, but a target that reads as negative is still refused.
    TempFile file(Pattern(10));
    Reader r;
    r.SelectFile(file.path());
    ASSERT_TRUE(r.Open());
    r.Seek(0x7FFFFFFF, false);
    EXPECT_EQ(r.Position(), 0x7FFFFFFFu);
    r.Seek(1, true);
    EXPECT_EQ(r.Position(), 0x7FFFFFFFu);
    r.Seek(-0x7FFFFFFF, true);
    EXPECT_EQ(r.Position(), 0u);
    r.Close();
}

TEST(FileReader, ReadsMatchTheFileAcrossCacheBlocksAndZeroPastItsEnd) {
    const size_t size = 3 * Reader::kCacheBytes + 1234;
    const std::vector<uint8_t> src = Pattern(size);
    TempFile file(src);
    // Reads of every shape: single bytes, spans across a block boundary, a read that covers
    // whole blocks, backward seeks into the cached block and out of it, and the file's end.
    const struct {
        uint32_t at, count;
    } reads[] = {{0, 1},          {1, 1},       {8190, 5},      {8195, 20000},
                 {5, 8192},       {100, 3},     {24000, 10000}, {size - 3, 3},
                 {size - 10, 30}, {40000, 100}, {8192, 8192},   {16383, 2}};
    Reader r;
    r.SelectFile(file.path());
    ASSERT_TRUE(r.Open());
    EXPECT_EQ(r.Size(), 0xFFFFFFFFu);
    for (const auto& rd : reads) {
        r.Seek(static_cast<int32_t>(rd.at), false);
        std::vector<uint8_t> out(rd.count, 0xEE);
        r.Read(out.data(), static_cast<int32_t>(rd.count));
        EXPECT_EQ(r.Position(), rd.at + rd.count);
        for (uint32_t i = 0; i < rd.count; ++i) {
            const size_t at = rd.at + i;
            const uint8_t want = at < size ? src[at] : 0;
            ASSERT_EQ(out[i], want) << "read at " << rd.at << " byte " << i;
        }
    }
    r.Close();
}

TEST(FileReader, UsesTheLentCacheForAlignedBlocks) {
    const std::vector<uint8_t> src = Pattern(3 * Reader::kCacheBytes);
    TempFile file(src);
    std::vector<uint8_t> cache(Reader::kCacheBytes, 0);
    Reader r;
    r.SetCache(cache.data());
    r.SelectFile(file.path());
    ASSERT_TRUE(r.Open());
    r.Seek(Reader::kCacheBytes + 10, false);
    uint8_t b = 0;
    r.Read(&b, 1);
    EXPECT_EQ(b, src[Reader::kCacheBytes + 10]);
    // The whole aligned block holding the byte is in the lent cache.
    EXPECT_TRUE(std::equal(cache.begin(), cache.end(), src.begin() + Reader::kCacheBytes));
    r.Close();
}

TEST(FileReader, AMissingFileCannotBeOpened) {
    Reader r;
    r.SelectFile("/nonexistent/folder/song.xm");
    EXPECT_FALSE(r.Open());
}

TEST(ResourceReader, WithoutAFinderNothingIsFound) {
    xm::SetResourceFinder(nullptr);
    Reader r;
    r.SelectResource(nullptr, reinterpret_cast<const void*>(uintptr_t{1}));
    EXPECT_FALSE(r.Open());
}

const uint8_t kResource[] = {1, 2, 3, 4, 5};

bool FindOnlyResourceSeven(const void* module, const void* name, const uint8_t** data,
                           uint32_t* size) {
    if (module != nullptr || name != reinterpret_cast<const void*>(uintptr_t{7})) return false;
    *data = kResource;
    *size = sizeof kResource;
    return true;
}

TEST(ResourceReader, ReadsWhatTheFinderFoundLikeMemory) {
    xm::SetResourceFinder(&FindOnlyResourceSeven);
    Reader r;
    r.SelectResource(nullptr, reinterpret_cast<const void*>(uintptr_t{8}));
    EXPECT_FALSE(r.Open());
    r.SelectResource(nullptr, reinterpret_cast<const void*>(uintptr_t{7}));
    ASSERT_TRUE(r.Open());
    EXPECT_EQ(r.Size(), 5u);
    uint8_t out[7] = {9, 9, 9, 9, 9, 9, 9};
    r.Read(out, 7);
    EXPECT_EQ(r.Position(), 7u);
    const uint8_t want[7] = {1, 2, 3, 4, 5, 9, 9};
    EXPECT_TRUE(std::equal(out, out + 7, want));
    xm::SetResourceFinder(nullptr);
}

}  // namespace
