// Fixed-size blocks read from a module and the checked little-endian readers of their fields.
// Bytes that the source does not have read as zero, here and nowhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "player/song/reader.h"

namespace xm {

template <size_t N>
class FieldBlock {
  public:
    // Reads min(count, N) bytes at the reader's position; the rest of the block is zero.
    void ReadFrom(Reader& reader, uint32_t count = N) {
        std::memset(bytes_, 0, N);
        reader.Read(bytes_, static_cast<int32_t>(count < N ? count : N));
    }

    // A field that lies wholly or partly outside the block reads as zero where it is outside.
    uint8_t U8(size_t offset) const { return offset < N ? bytes_[offset] : 0; }
    int8_t S8(size_t offset) const { return static_cast<int8_t>(U8(offset)); }
    uint16_t U16(size_t offset) const {
        return static_cast<uint16_t>(U8(offset) | U8(offset + 1) << 8);
    }
    uint32_t U32(size_t offset) const {
        return uint32_t{U16(offset)} | uint32_t{U16(offset + 2)} << 16;
    }

  private:
    uint8_t bytes_[N] = {};
};

// One byte at the reader's position; zero past the end of the source.
inline uint8_t ReadU8(Reader& reader) {
    uint8_t value = 0;
    reader.Read(&value, 1);
    return value;
}

}  // namespace xm
