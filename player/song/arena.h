// The song's private heap: zero-filled allocations, released only as a whole.
#pragma once

#include <cstddef>
#include <cstdint>

namespace xm {

class SongArena {
  public:
    // The most memory one song may take. A small file that declares huge patterns or samples
    // fails to load instead of exhausting the machine.
    static constexpr size_t kDefaultCapBytes = size_t{256} << 20;

    explicit SongArena(size_t capBytes = kDefaultCapBytes);
    ~SongArena();
    SongArena(const SongArena&) = delete;
    SongArena& operator=(const SongArena&) = delete;

    // A zero-filled block of `bytes` bytes, aligned for any record; nullptr when the cap would
    // be passed or the system has no memory. Caller's thread only (no locking).
    void* Allocate(size_t bytes);

    // Frees every block at once. The arena can be used again afterwards.
    void Release();

    size_t BytesInUse() const { return used_; }
    size_t CapBytes() const { return cap_; }

  private:
    struct Block;
    Block* blocks_ = nullptr;
    size_t used_ = 0;
    size_t cap_;
};

}  // namespace xm
