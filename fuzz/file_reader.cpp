// Drives the module reader over a file (its 8,192-byte block cache) and over memory with a script
// of reads and seeks, and checks every byte and position against what the reader promises; then
// loads the same bytes as a module through the file reader.
//
// Input: byte 0 gives the number of script steps (low 5 bits), 4 bytes each; the rest is the
// file's content.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "player/song/arena.h"
#include "player/song/loader.h"
#include "player/song/reader.h"
#include "player/song/records.h"

namespace {

constexpr uint32_t kBlock = xm::Reader::kCacheBytes;
constexpr uint8_t kUntouched = 0xA5;

void Require(bool condition) {
    if (!condition) std::abort();
}

// The content as a file that the reader can open by name; removed when done.
class MemoryFile {
  public:
    MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("reader_fuzz", 0)) {
        Require(fd_ >= 0);
        size_t written = 0;
        while (written < size) {
            const ssize_t n = write(fd_, data + written, size - written);
            Require(n > 0);
            written += static_cast<size_t>(n);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    const char* path() const { return path_.c_str(); }

  private:
    int fd_;
    std::string path_;
};

// What the reader promises, for one source kind.
struct Model {
    const uint8_t* content;
    uint32_t length;
    bool file;  // a file has no size: it reads as endless, zero past its end
    uint32_t position = 0;

    uint32_t Size() const { return file ? 0xFFFFFFFFu : length; }

    // A memory read that starts at or past the end changes nothing; any other read advances by
    // the full count (held at 2^32 - 1) and delivers the content, then zero (file) or nothing.
    void Check(const std::vector<uint8_t>& got, int32_t count) {
        if (count <= 0 || (!file && position >= length)) {
            for (uint8_t b : got) Require(b == kUntouched);
            return;
        }
        for (size_t i = 0; i < got.size(); ++i) {
            const uint64_t at = uint64_t{position} + i;
            const int expected = at < length ? content[at] : file ? 0 : kUntouched;
            Require(got[i] == expected);
        }
        position =
            static_cast<uint32_t>(std::min<uint64_t>(uint64_t{position} + count, 0xFFFFFFFFu));
    }

    void Seek(int32_t offset, bool relative) {
        const uint32_t target =
            relative ? position + static_cast<uint32_t>(offset) : static_cast<uint32_t>(offset);
        if (static_cast<int32_t>(target) >= 0 && target <= Size()) position = target;
    }
};

struct Step {
    uint8_t kind, a, b, c;
};

void Read(xm::Reader& reader, Model& model, int32_t count) {
    std::vector<uint8_t> got(count > 0 ? static_cast<size_t>(count) : 0, kUntouched);
    reader.Read(got.data(), count);
    model.Check(got, count);
    Require(reader.Position() == model.position);
}

void Seek(xm::Reader& reader, Model& model, int32_t offset, bool relative) {
    reader.Seek(offset, relative);
    model.Seek(offset, relative);
    Require(reader.Position() == model.position);
}

void RunStep(xm::Reader& reader, Model& model, const Step& s, uint8_t* lentCache) {
    const uint32_t arg = s.a | s.b << 8 | s.c << 16;
    switch (s.kind % 6) {
        case 0:  // a read of up to 16 blocks
            Read(reader, model, static_cast<int32_t>(arg & 0x1FFFF));
            break;
        case 1:  // absolute seek, sometimes far beyond any content
            Seek(reader, model, static_cast<int32_t>(s.c & 0x80 ? arg | 0x7F000000u : arg), false);
            break;
        case 2:  // relative seek either way
            Seek(reader, model, static_cast<int32_t>(arg << 8) >> 8, true);
            break;
        case 3:  // next to a block boundary
            Seek(reader, model,
                 static_cast<int32_t>((s.a % 16) * kBlock) + static_cast<int8_t>(s.b), false);
            break;
        case 4:  // small reads in a row, as the pattern decoder makes them
            for (int i = 0; i <= s.b % 16; ++i) Read(reader, model, s.a % 8);
            if (s.c & 1) Read(reader, model, -static_cast<int32_t>(s.a));
            break;
        default:  // reopen (the cache starts empty), with or without a lent cache
            if (model.file) {
                reader.Close();
                reader.SetCache(s.a & 1 ? lentCache : nullptr);
                Require(reader.Open());
            }
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t steps = std::min<size_t>(data[0] & 31, (size - 1) / 4);
    const uint8_t* content = data + 1 + 4 * steps;
    const uint32_t length = static_cast<uint32_t>(size - 1 - 4 * steps);
    MemoryFile file(content, length);
    static uint8_t lentCache[kBlock];

    for (bool fromFile : {true, false}) {
        auto reader = std::make_unique<xm::Reader>();
        if (fromFile) {
            reader->SelectFile(file.path());
        } else {
            reader->SelectMemory(content, length);
        }
        Require(reader->Open());
        Model model{content, length, fromFile};
        for (size_t i = 0; i < steps; ++i) {
            const uint8_t* s = data + 1 + 4 * i;
            RunStep(*reader, model, Step{s[0], s[1], s[2], s[3]}, lentCache);
        }
        reader->Close();
    }

    // The loader's reads through the file reader, with the cache lent as the player lends it.
    auto reader = std::make_unique<xm::Reader>();
    reader->SetCache(lentCache);
    reader->SelectFile(file.path());
    xm::SongArena arena;
    static auto module = std::make_unique<xm::Module>();
    char title[xm::kTitleBytes];
    xm::LoadModule(*reader, arena, *module, title);
    Require(title[xm::kTitleBytes - 1] == 0);
    reader->Close();
    return 0;
}
