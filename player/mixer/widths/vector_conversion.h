// The block conversion's one vector design, whatever the width. `V` is a width's Lanes
// (vector_lanes.h) with:
//   Packs(a, b)             the 32-bit lanes of a and b packed to 16-bit words with saturation;
//   StoreWords(to, words)   stores what Packs gave, its frames back in order;
//   MulhiU16(a, b)          the high halves of the unsigned 16-bit products;
//   Madd(a, b)              the 16-bit multiply-add of each lane's halves;
//   Leave()                 as for the mixing loops.
// Included only by the file that builds a width; internal to the mixer.
#pragma once

#include <cstdint>

#include "player/mixer/mixer_frames.h"

namespace xm::mixer {
namespace {

// As ConvertSample, the magnitude before the master volume: |x| + 8160 shifted right by 6 is
// below 2^26; its quotient by 255 is exact in single precision while below 32768, and only grows
// above that, where the packing saturates to 32767 anyway.
template <class V>
XM_FRAME_INLINE typename V::Vector ConversionMagnitude(typename V::Vector sums,
                                                       typename V::Vector sign) {
    const auto absolute = V::Sub(V::Xor(sums, sign), sign);
    return V::DivideAsFloats(V::Srli(V::Add(absolute, V::Set1(8160)), 6), 255.0f);
}

// ConvertBlock, V::kFrames frames at a time (`frames` a multiple of that, `masterVolume` at most
// 65535). (m x volume) >> 15 is the high half of 2m x volume; the levels are summed from the
// scaled magnitudes, left in the low words and right in the high words.
template <class V>
uint32_t ConversionKernelOf(const int32_t* accumulator, int16_t* output, uint32_t frames,
                            uint32_t masterVolume) {
    using Vector = typename V::Vector;
    const Vector volume = V::Set1(static_cast<int32_t>(masterVolume * 0x10001));
    const Vector leftOnly = V::Set1(1), rightOnly = V::Set1(1 << 16);
    Vector left = V::Set1(0), right = V::Set1(0);
    for (uint32_t i = 0; i < 2 * frames; i += 2 * V::kFrames) {
        const Vector a = V::Load(accumulator + i), b = V::Load(accumulator + i + V::kFrames);
        const Vector signA = V::Srai(a, 31), signB = V::Srai(b, 31);
        const Vector m =
            V::Packs(ConversionMagnitude<V>(a, signA), ConversionMagnitude<V>(b, signB));
        const Vector scaled = V::MulhiU16(V::Slli16(m, 1), volume);
        left = V::Add(left, V::Madd(scaled, leftOnly));
        right = V::Add(right, V::Madd(scaled, rightOnly));
        const Vector sign = V::Packs(signA, signB);
        V::StoreWords(output + i, V::Sub16(V::Xor(scaled, sign), sign));
    }
    const uint32_t levels = (V::Sum(left) / 1024) << 16 | (V::Sum(right) / 1024);
    V::Leave();
    return levels;
}

}  // namespace
}  // namespace xm::mixer
