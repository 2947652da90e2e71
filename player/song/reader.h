// The byte source a module is loaded from: a block of memory, a file, or a resource of the
// program. Reads past the end deliver nothing for memory and resources (the destination keeps
// what it held) and zero bytes for files. The position advances by the full count, except for a
// memory or resource read that starts at or past the end: that one changes nothing.
#pragma once

#include <cstdint>
#include <cstdio>

namespace xm {

// Finds a raw-data resource: `module` is the module handle to search (null: the program itself),
// `name` a name or an integer identifier below 65,536. Returns false when there is none.
// The Windows build installs one over FindResourceA/LoadResource; natively there is none.
using ResourceFinder = bool (*)(const void* module, const void* name, const uint8_t** data,
                                uint32_t* size);
void SetResourceFinder(ResourceFinder finder);

class Reader {
  public:
    enum class Kind { None, Memory, File, Resource };
    static constexpr uint32_t kCacheBytes = 8192;

    // Choose the source; the position becomes 0. Nothing is opened yet.
    void SelectMemory(const void* base, uint32_t size);
    void SelectFile(const char* path);  // zero-terminated ANSI name
    void SelectResource(const void* module, const void* name);

    // The 8,192-byte read cache of the file kind (the player lends its block accumulator).
    // Without one the reader uses storage of its own.
    void SetCache(uint8_t* cache);

    // Prepares the source; false when it cannot be opened (missing file or resource).
    bool Open();
    // Copies `count` bytes at the position to `destination` and advances the position by count
    // (memory and resources: only when the position lies before the end).
    void Read(void* destination, int32_t count);
    // Moves to `offset` (absolute) or position + offset (relative) when the result is neither
    // negative nor beyond the size; otherwise the position stays.
    void Seek(int32_t offset, bool relative);
    void Close();

    uint32_t Position() const { return position_; }
    uint32_t Size() const { return size_; }
    Kind kind() const { return kind_; }

  private:
    bool ReadMemory(uint8_t* destination, int32_t count);  // false: at or past the end
    void ReadFile(uint8_t* destination, int32_t count);

    Kind kind_ = Kind::None;
    uint32_t size_ = 0;
    uint32_t position_ = 0;
    const uint8_t* base_ = nullptr;  // memory and resource kinds
    const void* resourceModule_ = nullptr;
    const void* resourceName_ = nullptr;
    const char* path_ = nullptr;
    std::FILE* file_ = nullptr;
    int64_t cacheBase_ = -1;  // file offset of the cached block; -1: none
    uint8_t* cache_ = nullptr;
    uint8_t ownCache_[kCacheBytes] = {};
};

}  // namespace xm
