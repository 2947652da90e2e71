#include "player/song/loader_samples.h"

#include <algorithm>
#include <memory>

namespace xm {

namespace {

constexpr uint8_t kTypeLoopBits = 0x03;
constexpr uint8_t kType16Bit = 0x10;
constexpr uint8_t kLoopForward = 1, kLoopPingPong = 2;

// Long sample data is read through this much stack, so no second copy of a sample exists.
constexpr uint32_t kChunkBytes = 4096;

// Calls `decode(bytes, count)` for successive chunks of `totalBytes` bytes of the source; bytes
// that the source does not have are zero.
template <typename Decode>
void ReadInChunks(Reader& reader, uint32_t totalBytes, Decode decode) {
    uint8_t chunk[kChunkBytes];
    while (totalBytes > 0) {
        const uint32_t count = std::min(totalBytes, kChunkBytes);
        std::fill_n(chunk, count, uint8_t{0});
        reader.Read(chunk, static_cast<int32_t>(count));
        decode(chunk, count);
        totalBytes -= count;
    }
}

// 4-bit compressed: a table of 16 signed deltas, then two table indices per byte, low nibble
// first. An odd length decodes one point past the end, into the sample's spare points.
void DecodeCompressed(Reader& reader, Sample& sample) {
    FieldBlock<16> deltas;
    deltas.ReadFrom(reader);
    uint8_t running = 0;
    int16_t* out = sample.data;
    ReadInChunks(reader, (sample.length + 1) / 2, [&](const uint8_t* bytes, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            for (const int nibble : {bytes[i] & 0x0F, bytes[i] >> 4}) {
                running = static_cast<uint8_t>(running + deltas.U8(static_cast<size_t>(nibble)));
                *out++ = static_cast<int16_t>(static_cast<int8_t>(running) * 256);
            }
        }
    });
}

// Delta-coded 8-bit points: each byte is the high byte of a 16-bit delta.
void Decode8Bit(Reader& reader, Sample& sample) {
    uint16_t sum = 0;
    int16_t* out = sample.data;
    ReadInChunks(reader, sample.length, [&](const uint8_t* bytes, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            sum = static_cast<uint16_t>(sum + (bytes[i] << 8));
            *out++ = static_cast<int16_t>(sum);
        }
    });
}

// Delta-coded 16-bit little-endian points. Chunks hold whole points (kChunkBytes is even).
void Decode16Bit(Reader& reader, Sample& sample) {
    uint16_t sum = 0;
    int16_t* out = sample.data;
    ReadInChunks(reader, sample.length * 2, [&](const uint8_t* bytes, uint32_t count) {
        for (uint32_t i = 0; i + 1 < count; i += 2) {
            sum = static_cast<uint16_t>(sum + (bytes[i] | bytes[i + 1] << 8));
            *out++ = static_cast<int16_t>(sum);
        }
    });
}

// The point after the loop end repeats where playback continues, so interpolation across the
// loop end needs no branch in the mixer.
void AddLoopContinuation(Sample& sample) {
    if (sample.length == 0) return;
    const int32_t loopEnd = sample.loopStart + sample.loopLength;
    if (sample.loopType == kLoopForward) {
        sample.data[loopEnd] = sample.data[sample.loopStart];
    } else if (sample.loopType == kLoopPingPong) {
        sample.data[loopEnd] = sample.data[loopEnd - 1];
    }
}

}  // namespace

SampleShape NormaliseSampleShape(uint32_t lengthBytes, uint32_t loopStartBytes,
                                 uint32_t loopLengthBytes, uint8_t type) {
    SampleShape shape{lengthBytes, loopStartBytes, loopLengthBytes, 0, 0};
    if (type & kType16Bit) {
        shape.is16Bit = 1;
        shape.lengthPoints /= 2;
        shape.loopStartPoints /= 2;
        shape.loopLengthPoints /= 2;
    }
    if (shape.loopStartPoints >= shape.lengthPoints) shape.loopStartPoints = shape.lengthPoints;
    if (uint64_t{shape.loopStartPoints} + shape.loopLengthPoints >= shape.lengthPoints)
        shape.loopLengthPoints = shape.lengthPoints - shape.loopStartPoints;
    shape.loopType = type & kTypeLoopBits;
    if (shape.loopType == 0 || shape.loopLengthPoints == 0) {
        shape.loopType = 0;
        shape.loopStartPoints = 0;
        shape.loopLengthPoints = shape.lengthPoints;
    }
    return shape;
}

Sample* NewSample(SongArena& arena, const FieldBlock<kSampleHeaderBytes>& header) {
    const SampleShape shape =
        NormaliseSampleShape(header.U32(0), header.U32(4), header.U32(8), header.U8(14));
    if (shape.lengthPoints >= kMaxSamplePoints) return nullptr;

    // Record and points in one block: the points start right after the record.
    const size_t recordBytes = (sizeof(Sample) + 15) / 16 * 16;
    const size_t pointBytes = (size_t{shape.lengthPoints} + 3) * sizeof(int16_t);
    void* block = arena.Allocate(recordBytes + pointBytes);
    if (block == nullptr) return nullptr;

    Sample* sample = std::construct_at(static_cast<Sample*>(block));
    sample->length = shape.lengthPoints;
    sample->loopStart = static_cast<int32_t>(shape.loopStartPoints);
    sample->loopLength = static_cast<int32_t>(shape.loopLengthPoints);
    sample->volume = header.U8(12);
    sample->finetune = header.S8(13);
    sample->is16Bit = shape.is16Bit;
    sample->panning = header.U8(15);
    sample->relativeNote = header.S8(16);
    sample->compression = header.U8(17);
    sample->loopType = shape.loopType;
    sample->data = reinterpret_cast<int16_t*>(static_cast<uint8_t*>(block) + recordBytes);
    return sample;
}

void LoadSampleData(Reader& reader, Sample& sample) {
    if (sample.compression == kCompressedMarker) {
        DecodeCompressed(reader, sample);
    } else if (sample.is16Bit) {
        Decode16Bit(reader, sample);
    } else {
        Decode8Bit(reader, sample);
    }
    AddLoopContinuation(sample);
}

}  // namespace xm
