#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "player/song/reader.h"

namespace {

using xm::Reader;

std::vector<uint8_t> Bytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return bytes;
}

// Reads `count` bytes at `at` into a buffer that starts out filled with 0xEE.
std::vector<uint8_t> ReadAt(Reader& r, uint32_t at, uint32_t count) {
    std::vector<uint8_t> out(count, 0xEE);
    r.Seek(static_cast<int32_t>(at), false);
    r.Read(out.data(), static_cast<int32_t>(count));
    EXPECT_EQ(r.Position(), at + count);
    return out;
}

class TempFile {
  public:
    explicit TempFile(const std::vector<uint8_t>& bytes)
        : path_((std::filesystem::temp_directory_path() /
                 ("reader_test_" + std::to_string(::getpid()) + ".bin"))
                    .string()) {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        EXPECT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    ~TempFile() { std::remove(path_.c_str()); }
    const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
};

// A read that starts before the end copies what the source has and advances by the full count;
// one that starts at or past the end changes nothing, so a backward seek after it (as after an
// instrument header shorter than the bytes read) is measured from where that read began.
TEST(MemoryReader, PastTheEndLeavesTheDestinationAndOnlyReadsBeforeTheEndAdvance) {
    const std::vector<uint8_t> src = Bytes(20);
    Reader r;
    r.SelectMemory(src.data(), 20);
    ASSERT_TRUE(r.Open());
    EXPECT_EQ(ReadAt(r, 0, 3), std::vector<uint8_t>(src.begin(), src.begin() + 3));
    const std::vector<uint8_t> tail = ReadAt(r, 16, 8);
    EXPECT_EQ(std::vector<uint8_t>(tail.begin(), tail.begin() + 4),
              std::vector<uint8_t>(src.begin() + 16, src.end()));
    EXPECT_EQ(std::vector<uint8_t>(tail.begin() + 4, tail.end()), std::vector<uint8_t>(4, 0xEE));
    std::vector<uint8_t> untouched(8, 0xEE);
    r.Read(untouched.data(), 8);  // starts at 24, past the end
    EXPECT_EQ(untouched, std::vector<uint8_t>(8, 0xEE));
    EXPECT_EQ(r.Position(), 24u);
    r.Seek(-4, true);  // back to the end itself, which a seek may reach
    EXPECT_EQ(r.Position(), 20u);
    r.Read(untouched.data(), 33);  // at the end
    EXPECT_EQ(r.Position(), 20u);
    r.Seek(-3, true);
    EXPECT_EQ(r.Position(), 17u);
    r.Read(untouched.data(), 1);
    EXPECT_EQ(untouched[0], src[17]);
    EXPECT_EQ(r.Position(), 18u);
    r.Read(nullptr, -5);
    r.Read(nullptr, 0);
    EXPECT_EQ(r.Position(), 18u);
}

TEST(Reader, SeeksOnlyToOffsetsFromZeroToTheSize) {
    const std::vector<uint8_t> src = Bytes(100);
    Reader r;
    r.SelectMemory(src.data(), 100);
    ASSERT_TRUE(r.Open());
    const struct {
        int32_t offset;
        bool relative;
        uint32_t after;
    } steps[] = {{40, false, 40},   {-41, true, 40},  {-40, true, 0},  {100, false, 100},
                 {101, false, 100}, {-1, false, 100}, {-30, true, 70}, {31, true, 70}};
    for (const auto& s : steps) {
        r.Seek(s.offset, s.relative);
        EXPECT_EQ(r.Position(), s.after) << s.offset << (s.relative ? " relative" : "");
    }
}

TEST(FileReader, ReadsMatchTheFileAcrossCacheBlocksAndAreZeroPastItsEnd) {
    const uint32_t size = 3 * Reader::kCacheBytes + 1234;
    const std::vector<uint8_t> src = Bytes(size);
    TempFile file(src);
    Reader r;
    r.SelectFile(file.path());
    ASSERT_TRUE(r.Open());
    EXPECT_EQ(r.Size(), 0xFFFFFFFFu);
    const struct {
        uint32_t at, count;
    } reads[] = {{0, 1},          {1, 1},       {8190, 5},      {8195, 20000},
                 {5, 8192},       {100, 3},     {24000, 10000}, {size - 3, 3},
                 {size - 10, 30}, {40000, 100}, {8192, 8192},   {16383, 2}};
    for (const auto& rd : reads) {
        const std::vector<uint8_t> out = ReadAt(r, rd.at, rd.count);
        for (uint32_t i = 0; i < rd.count; ++i) {
            ASSERT_EQ(out[i], rd.at + i < size ? src[rd.at + i] : 0) << rd.at << "+" << i;
        }
    }
    // A target that reads as a negative 32-bit offset is refused even without a size.
    r.Seek(0x7FFFFFFF, false);
    r.Seek(1, true);
    EXPECT_EQ(r.Position(), 0x7FFFFFFFu);
    r.Close();
}

// The last offset a position can name, 2^31 - 1, is read from the file like any other. The file
// is sparse: only its last block takes room on the disk.
TEST(FileReader, ReadsTheByteAtTheLastOffsetAPositionCanName) {
    TempFile file({});
    std::FILE* f = std::fopen(file.path(), "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fseek(f, 0x7FFFFFFF, SEEK_SET), 0);
    std::fputc(0x42, f);
    std::fclose(f);
    Reader r;
    r.SelectFile(file.path());
    ASSERT_TRUE(r.Open());
    EXPECT_EQ(ReadAt(r, 0x7FFFFFFF, 1), std::vector<uint8_t>{0x42});
    r.Close();
}

TEST(FileReader, KeepsItsAlignedBlockInTheLentCache) {
    const std::vector<uint8_t> src = Bytes(3 * Reader::kCacheBytes);
    TempFile file(src);
    std::vector<uint8_t> cache(Reader::kCacheBytes, 0);
    Reader r;
    r.SetCache(cache.data());
    r.SelectFile(file.path());
    ASSERT_TRUE(r.Open());
    EXPECT_EQ(ReadAt(r, Reader::kCacheBytes + 10, 1)[0], src[Reader::kCacheBytes + 10]);
    EXPECT_TRUE(std::equal(cache.begin(), cache.end(), src.begin() + Reader::kCacheBytes));
    r.Close();
}

const uint8_t kResource[] = {1, 2, 3, 4, 5};

bool FindOnlyResourceSeven(const void* module, const void* name, const uint8_t** data,
                           uint32_t* size) {
    if (module != nullptr || name != reinterpret_cast<const void*>(uintptr_t{7})) return false;
    *data = kResource;
    *size = sizeof kResource;
    return true;
}

// Natively no finder is installed; an installed one decides what exists.
TEST(Reader, MissingFilesAndResourcesCannotBeOpenedAndFoundResourcesReadLikeMemory) {
    Reader r;
    r.SelectFile("/nonexistent/folder/song.xm");
    EXPECT_FALSE(r.Open());
    const void* seven = reinterpret_cast<const void*>(uintptr_t{7});
    r.SelectResource(nullptr, seven);
    EXPECT_FALSE(r.Open());
    xm::SetResourceFinder(&FindOnlyResourceSeven);
    r.SelectResource(nullptr, reinterpret_cast<const void*>(uintptr_t{8}));
    EXPECT_FALSE(r.Open());
    r.SelectResource(nullptr, seven);
    ASSERT_TRUE(r.Open());
    EXPECT_EQ(r.Size(), 5u);
    EXPECT_EQ(ReadAt(r, 0, 7), (std::vector<uint8_t>{1, 2, 3, 4, 5, 0xEE, 0xEE}));
    xm::SetResourceFinder(nullptr);
}

}  // namespace
