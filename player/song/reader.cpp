#include "player/song/reader.h"

#include <algorithm>
#include <cstring>

namespace xm {

namespace {

ResourceFinder installedFinder = nullptr;

// A file has no size known in advance: it reads as endless, and bytes past its end as zero.
constexpr uint32_t kUnboundedSize = 0xFFFFFFFFu;

// The position saturates instead of wrapping, so a huge read can never bring it back to data
// already read.
uint32_t Advance(uint32_t position, int32_t count) {
    const uint64_t next = uint64_t{position} + static_cast<uint32_t>(count);
    return next > kUnboundedSize ? kUnboundedSize : static_cast<uint32_t>(next);
}

// Reads `count` bytes at absolute `offset` of `file`; whatever the file does not have is zero.
void ReadFileAt(std::FILE* file, uint64_t offset, uint8_t* destination, size_t count) {
    size_t got = 0;
    if (offset <= static_cast<uint64_t>(INT32_MAX) &&
        std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0) {
        got = std::fread(destination, 1, count, file);
    }
    std::memset(destination + got, 0, count - got);
}

}  // namespace

void SetResourceFinder(ResourceFinder finder) {
    installedFinder = finder;
}

void Reader::SelectMemory(const void* base, uint32_t size) {
    Close();
    kind_ = Kind::Memory;
    base_ = static_cast<const uint8_t*>(base);
    size_ = size;
    position_ = 0;
}

void Reader::SelectFile(const char* path) {
    Close();
    kind_ = Kind::File;
    path_ = path;
    base_ = nullptr;
    size_ = 0;
    position_ = 0;
}

void Reader::SelectResource(const void* module, const void* name) {
    Close();
    kind_ = Kind::Resource;
    resourceModule_ = module;
    resourceName_ = name;
    base_ = nullptr;
    size_ = 0;
    position_ = 0;
}

void Reader::SetCache(uint8_t* cache) {
    cache_ = cache;
    cacheBase_ = -1;
}

bool Reader::Open() {
    switch (kind_) {
        case Kind::Memory:
            return base_ != nullptr || size_ == 0;
        case Kind::Resource: {
            const uint8_t* data = nullptr;
            uint32_t size = 0;
            if (installedFinder == nullptr ||
                !installedFinder(resourceModule_, resourceName_, &data, &size) || data == nullptr)
                return false;
            base_ = data;
            size_ = size;
            position_ = 0;
            return true;
        }
        case Kind::File:
            if (path_ == nullptr) return false;
            if (file_ != nullptr) std::fclose(file_);
            file_ = std::fopen(path_, "rb");
            size_ = kUnboundedSize;
            cacheBase_ = -1;
            return file_ != nullptr;
        case Kind::None:
            break;
    }
    return false;
}

void Reader::Read(void* destination, int32_t count) {
    if (count <= 0) return;
    uint8_t* out = static_cast<uint8_t*>(destination);
    if (kind_ == Kind::File) {
        ReadFile(out, count);
    } else if (!ReadMemory(out, count)) {
        return;
    }
    position_ = Advance(position_, count);
}

// A read that starts at or past the end does nothing at all, not even move the position: a
// backward seek after it (an instrument header shorter than what was read) then lands where it
// would have without that read.
bool Reader::ReadMemory(uint8_t* destination, int32_t count) {
    if (base_ == nullptr || position_ >= size_) return false;
    const uint32_t available = std::min(static_cast<uint32_t>(count), size_ - position_);
    std::memcpy(destination, base_ + position_, available);
    return true;
}

// Serves reads from one 8,192-byte block of the file aligned to its own size, and reads the
// aligned middle of a long request straight into the destination, so that byte-by-byte pattern
// decoding costs one file access per block.
void Reader::ReadFile(uint8_t* destination, int32_t count) {
    if (file_ == nullptr) {
        std::memset(destination, 0, static_cast<size_t>(count));
        return;
    }
    uint8_t* cache = cache_ != nullptr ? cache_ : ownCache_;
    uint64_t position = position_;
    size_t wanted = static_cast<uint32_t>(count);
    while (wanted > 0) {
        if (cacheBase_ >= 0 && position >= static_cast<uint64_t>(cacheBase_) &&
            position < static_cast<uint64_t>(cacheBase_) + kCacheBytes) {
            const size_t inBlock =
                static_cast<size_t>(position - static_cast<uint64_t>(cacheBase_));
            const size_t n = std::min<size_t>(wanted, kCacheBytes - inBlock);
            std::memcpy(destination, cache + inBlock, n);
            destination += n;
            position += n;
            wanted -= n;
            if (wanted == 0) break;
        }
        const uint64_t alignedEnd = (position + wanted) / kCacheBytes * kCacheBytes;
        if (alignedEnd > position) {
            const size_t n = static_cast<size_t>(alignedEnd - position);
            ReadFileAt(file_, position, destination, n);
            destination += n;
            position += n;
            wanted -= n;
            if (wanted == 0) break;
        }
        const uint64_t block = position / kCacheBytes * kCacheBytes;
        ReadFileAt(file_, block, cache, kCacheBytes);
        cacheBase_ = static_cast<int64_t>(block);
    }
}

void Reader::Seek(int32_t offset, bool relative) {
    // The target is taken modulo 2^32 and must read as a non-negative signed 32-bit offset.
    const uint32_t target =
        relative ? position_ + static_cast<uint32_t>(offset) : static_cast<uint32_t>(offset);
    if (static_cast<int32_t>(target) >= 0 && target <= size_) position_ = target;
}

void Reader::Close() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    cacheBase_ = -1;
}

}  // namespace xm
