// Small SSE2 pieces the SIMD kernels are built from: loads, half-sample
// interpolation with the plain kernels' rounding, horizontal sums.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstring>

namespace korvan::sse2 {

inline __m128i Load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
inline int Load32(const uint8_t* p) {
    int v;
    std::memcpy(&v, p, 4);
    return v;
}
inline __m128i Load8(const uint8_t* p) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

// (a + b + c + d + 2) >> 2 per byte, exactly, from rounded pair averages:
// the average of the two averages is one too high exactly when it rounded
// up an odd sum while a pair average had rounded up too.
inline __m128i Average4(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i ab = _mm_avg_epu8(a, b);
    const __m128i cd = _mm_avg_epu8(c, d);
    const __m128i pairsRounded = _mm_or_si128(_mm_xor_si128(a, b), _mm_xor_si128(c, d));
    const __m128i tooHigh =
        _mm_and_si128(_mm_and_si128(_mm_xor_si128(ab, cd), pairsRounded), _mm_set1_epi8(1));
    return _mm_sub_epi8(_mm_avg_epu8(ab, cd), tooHigh);
}

// 16 reference samples at a half-sample position; (a + b + 1) >> 1 is
// exactly what _mm_avg_epu8 does.
template <int HalfX, int HalfY>
inline __m128i Sample16(const uint8_t* ref, int stride) {
    if constexpr (HalfX == 0 && HalfY == 0) {
        return Load16(ref);
    } else if constexpr (HalfY == 0) {
        return _mm_avg_epu8(Load16(ref), Load16(ref + 1));
    } else if constexpr (HalfX == 0) {
        return _mm_avg_epu8(Load16(ref), Load16(ref + stride));
    } else {
        return Average4(Load16(ref), Load16(ref + 1), Load16(ref + stride),
                        Load16(ref + stride + 1));
    }
}

template <int HalfX, int HalfY>
inline __m128i Sample8(const uint8_t* ref, int stride) {
    if constexpr (HalfX == 0 && HalfY == 0) {
        return Load8(ref);
    } else if constexpr (HalfY == 0) {
        return _mm_avg_epu8(Load8(ref), Load8(ref + 1));
    } else if constexpr (HalfX == 0) {
        return _mm_avg_epu8(Load8(ref), Load8(ref + stride));
    } else {
        return Average4(Load8(ref), Load8(ref + 1), Load8(ref + stride), Load8(ref + stride + 1));
    }
}

// The two 64-bit halves of a _mm_sad_epu8 result added.
inline int HorizontalSad(__m128i sad) {
    return _mm_cvtsi128_si32(sad) + _mm_cvtsi128_si32(_mm_srli_si128(sad, 8));
}

inline int HorizontalSum32(__m128i v) {
    v = _mm_add_epi32(v, _mm_srli_si128(v, 8));
    v = _mm_add_epi32(v, _mm_srli_si128(v, 4));
    return _mm_cvtsi128_si32(v);
}

}  // namespace korvan::sse2
