// The loader's sample pieces: sample headers, the three data encodings, the loop continuation.
#pragma once

#include <cstdint>

#include "player/song/arena.h"
#include "player/song/loader_fields.h"
#include "player/song/reader.h"
#include "player/song/records.h"

namespace xm {

inline constexpr uint32_t kSampleHeaderBytes = 40;
inline constexpr uint32_t kMaxSamplePoints = 4194304;  // exclusive
inline constexpr uint8_t kCompressedMarker = 0xAD;

// Length and loop of a sample in points, as the mixer expects them.
struct SampleShape {
    uint32_t lengthPoints;
    uint32_t loopStartPoints;
    uint32_t loopLengthPoints;
    uint8_t loopType;  // 0 none, 1 forward, 2 ping-pong, 3 both bits (plays once)
    uint8_t is16Bit;
};

// Turns the header's byte counts and type byte into points and a loop that lies inside the
// sample; a loop that cannot play becomes "no loop, whole length". Pure.
SampleShape NormaliseSampleShape(uint32_t lengthBytes, uint32_t loopStartBytes,
                                 uint32_t loopLengthBytes, uint8_t type);

// Builds a sample record from a 40-byte sample header, with zeroed room for its length + 3
// points. Null when the sample is 4,194,304 points or longer (checked before any allocation) or
// the arena runs out.
Sample* NewSample(SongArena& arena, const FieldBlock<kSampleHeaderBytes>& header);

// Reads and decodes the sample's data (4-bit compressed, or delta-coded 8- or 16-bit) into
// sample.data, then stores the loop continuation point after the loop end.
void LoadSampleData(Reader& reader, Sample& sample);

}  // namespace xm
