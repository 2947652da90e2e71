// What every vector width shares: lanes of 32-bit integers and their plain arithmetic, written once
// with the compiler's vector types. A file that includes this is built for one instruction set,
// and the same operators then give that set's instructions. A width adds to Lanes only what its
// own instructions do differently (vector_loops.h and vector_conversion.h list what they need).
// Internal to the mixer's width files; everything here is inlined into them.
#pragma once

#include <cstdint>
#include <cstring>

#include "player/mixer/mixer_frames.h"

namespace xm::mixer {
namespace {

// The compiler's vector types of one width (GCC takes no vector size that depends on a template
// argument, so a width passes its intrinsics' own): 32-bit lanes, signed and unsigned, 16-bit
// words, floats.
template <class VectorType, class UnsignedType, class WordsType, class FloatsType>
struct Lanes {
    using Vector = VectorType;
    using Unsigned = UnsignedType;
    using Words = WordsType;
    using Floats = FloatsType;
    static constexpr uint32_t kFrames = sizeof(Vector) / 4;

    static XM_FRAME_INLINE Vector Set1(int32_t x) { return Vector{} + x; }
    // Sums wrap, as the 32-bit arithmetic they model.
    static XM_FRAME_INLINE Vector Add(Vector a, Vector b) {
        return (Vector)((Unsigned)a + (Unsigned)b);
    }
    static XM_FRAME_INLINE Vector Sub(Vector a, Vector b) {
        return (Vector)((Unsigned)a - (Unsigned)b);
    }
    static XM_FRAME_INLINE Vector Sub16(Vector a, Vector b) {
        return (Vector)((Words)a - (Words)b);
    }
    static XM_FRAME_INLINE Vector And(Vector a, Vector b) { return a & b; }
    static XM_FRAME_INLINE Vector Or(Vector a, Vector b) { return a | b; }
    static XM_FRAME_INLINE Vector Xor(Vector a, Vector b) { return a ^ b; }
    static XM_FRAME_INLINE Vector Slli(Vector a, int n) { return (Vector)((Unsigned)a << n); }
    static XM_FRAME_INLINE Vector Slli16(Vector a, int n) {
        return (Vector)((Words)a << static_cast<int16_t>(n));
    }
    static XM_FRAME_INLINE Vector Srli(Vector a, int n) { return (Vector)((Unsigned)a >> n); }
    static XM_FRAME_INLINE Vector Srai(Vector a, int n) { return a >> n; }
    // `a` (whose high halves are 0) with the high halves of `b`.
    static XM_FRAME_INLINE Vector WithHighHalves(Vector a, Vector b) {
        return a | (b & Set1(static_cast<int32_t>(0xFFFF0000)));
    }
    // Truncated quotients of lanes below 2^26 by `divisor`, through single precision.
    static XM_FRAME_INLINE Vector DivideAsFloats(Vector a, float divisor) {
        return __builtin_convertvector(__builtin_convertvector(a, Floats) / divisor, Vector);
    }
    static XM_FRAME_INLINE Vector Load(const int32_t* from) {
        Vector v;
        std::memcpy(&v, from, sizeof v);
        return v;
    }
    static XM_FRAME_INLINE void Store(int32_t* to, Vector v) { std::memcpy(to, &v, sizeof v); }
    static XM_FRAME_INLINE uint32_t Sum(Vector v) {
        uint32_t sum = 0;
        for (uint32_t k = 0; k < kFrames; ++k) sum += static_cast<uint32_t>(v[k]);
        return sum;
    }
};

}  // namespace
}  // namespace xm::mixer
