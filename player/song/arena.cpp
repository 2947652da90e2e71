#include "player/song/arena.h"

#include <cstdint>
#include <cstdlib>

namespace xm {

// Each block starts with this link, padded so that the caller's bytes keep the strictest
// alignment of the platform.
struct alignas(alignof(std::max_align_t)) SongArena::Block {
    Block* next;
};

namespace {
constexpr size_t kAlign = alignof(std::max_align_t);
}

SongArena::SongArena(size_t capBytes) : cap_(capBytes) {}

SongArena::~SongArena() {
    Release();
}

void* SongArena::Allocate(size_t bytes) {
    // Counted in whole alignment units, so the cap bounds what the system really hands out.
    if (bytes > cap_ - used_ || bytes > SIZE_MAX - kAlign - sizeof(Block)) return nullptr;
    const size_t rounded = (bytes + kAlign - 1) / kAlign * kAlign;
    if (rounded > cap_ - used_) return nullptr;
    void* raw = std::calloc(1, sizeof(Block) + rounded);
    if (raw == nullptr) return nullptr;
    Block* block = static_cast<Block*>(raw);
    block->next = blocks_;
    blocks_ = block;
    used_ += rounded;
    return block + 1;
}

void SongArena::Release() {
    while (blocks_ != nullptr) {
        Block* next = blocks_->next;
        std::free(blocks_);
        blocks_ = next;
    }
    used_ = 0;
}

}  // namespace xm
