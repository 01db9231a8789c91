// AVX2 kernels where they pay: the 16-wide sums of absolute differences
// and the transforms (avx2_dct.cpp) take two rows per instruction. Everything else is the SSE2
// table's.
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "korvan/mpegenc/common/mpeg_tables.h"
#include "korvan/mpegenc/common/plain_kernel_parts.h"
#include "korvan/mpegenc/x86/simd_kernels.h"

namespace korvan {
namespace {

__attribute__((target("avx2"))) inline __m256i LoadTwoRows(const uint8_t* p, int stride) {
    return _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + stride)), 1);
}

// Rows y and y + 1 of the reference at a half-sample position.
template <int HalfX, int HalfY>
__attribute__((target("avx2"))) inline __m256i SampleTwoRows(const uint8_t* ref, int stride) {
    if constexpr (HalfX == 0 && HalfY == 0) {
        return LoadTwoRows(ref, stride);
    } else if constexpr (HalfY == 0) {
        return _mm256_avg_epu8(LoadTwoRows(ref, stride), LoadTwoRows(ref + 1, stride));
    } else if constexpr (HalfX == 0) {
        return _mm256_avg_epu8(LoadTwoRows(ref, stride), LoadTwoRows(ref + stride, stride));
    } else {
        // As the SSE2 Average4: pair averages and a one-bit correction.
        const __m256i a = LoadTwoRows(ref, stride);
        const __m256i b = LoadTwoRows(ref + 1, stride);
        const __m256i c = LoadTwoRows(ref + stride, stride);
        const __m256i d = LoadTwoRows(ref + stride + 1, stride);
        const __m256i ab = _mm256_avg_epu8(a, b);
        const __m256i cd = _mm256_avg_epu8(c, d);
        const __m256i pairsRounded =
            _mm256_or_si256(_mm256_xor_si256(a, b), _mm256_xor_si256(c, d));
        const __m256i tooHigh = _mm256_and_si256(
            _mm256_and_si256(_mm256_xor_si256(ab, cd), pairsRounded), _mm256_set1_epi8(1));
        return _mm256_sub_epi8(_mm256_avg_epu8(ab, cd), tooHigh);
    }
}

template <int HalfX, int HalfY>
__attribute__((target("avx2"), always_inline)) inline int Sad16(const uint8_t* cur, int curStride,
                                                                const uint8_t* ref, int refStride,
                                                                int rows, int limit) {
    __m256i sums = _mm256_setzero_si256();
#pragma GCC unroll 8
    for (int y = 0; y < rows; y += 2) {
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(LoadTwoRows(cur, curStride),
                                                      SampleTwoRows<HalfX, HalfY>(ref, refStride)));
        const __m128i both =
            _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
        const int sum = _mm_cvtsi128_si32(both) + _mm_cvtsi128_si32(_mm_srli_si128(both, 8));
        if (sum >= limit) return sum;
        cur += 2 * curStride;
        ref += 2 * refStride;
    }
    const __m128i both =
        _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    return _mm_cvtsi128_si32(both) + _mm_cvtsi128_si32(_mm_srli_si128(both, 8));
}

__attribute__((target("avx2"))) inline int HorizontalSad(__m256i sums) {
    const __m128i both =
        _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    return _mm_cvtsi128_si32(both) + _mm_cvtsi128_si32(_mm_srli_si128(both, 8));
}

// Only whether a position beats the running best matters, so the 16-row
// case keeps the current block in registers and looks at the sum once,
// half way.
__attribute__((target("avx2"))) int SadSearch(const uint8_t* cur, int curStride, const uint8_t* ref,
                                              int refStride, int rows, const ptrdiff_t* offsets,
                                              int count, int* best) {
    if (rows != 16) {
        return SearchEachPosition(Sad16<0, 0>, cur, curStride, ref, refStride, rows, offsets, count,
                                  best);
    }
    int found = -1;
    __m256i current[8];
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) current[k] = LoadTwoRows(cur + 2 * k * curStride, curStride);
    for (int i = 0; i < count; ++i) {
        const uint8_t* r = ref + offsets[i];
        __m256i sums = _mm256_setzero_si256();
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k) {
            sums = _mm256_add_epi64(
                sums, _mm256_sad_epu8(current[k], LoadTwoRows(r + 2 * k * refStride, refStride)));
        }
        if (HorizontalSad(sums) >= *best) continue;
#pragma GCC unroll 4
        for (int k = 4; k < 8; ++k) {
            sums = _mm256_add_epi64(
                sums, _mm256_sad_epu8(current[k], LoadTwoRows(r + 2 * k * refStride, refStride)));
        }
        const int sad = HorizontalSad(sums);
        if (sad < *best) {
            *best = sad;
            found = i;
        }
    }
    return found;
}

// Eight 4-pel sums at eight successive offsets per _mm256_mpsadbw_epu8
// lane: the low lane takes offsets 0..7, the high lane 8..15.
__attribute__((target("avx2"))) void CoarseWindow(const uint8_t* cur, int curStride,
                                                  const uint8_t* ref, int refStride, int rows,
                                                  uint16_t* sads) {
    __m256i current[4];
#pragma GCC unroll 8
    for (int t = 0; t < 4; ++t) {
        int pels;
        std::memcpy(&pels, cur + t * curStride, 4);
        current[t] = _mm256_set1_epi32(pels);
    }
#pragma GCC unroll 8
    for (int j = 0; j < rows; ++j) {
        __m256i sum = _mm256_setzero_si256();
#pragma GCC unroll 8
        for (int t = 0; t < 4; ++t) {
            const uint8_t* r = ref + (j + t) * refStride;
            sum = _mm256_add_epi16(sum, _mm256_mpsadbw_epu8(LoadTwoRows(r, 8), current[t], 0));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sads + kCoarseWindowWidth * j), sum);
    }
}

// Intra quantisation in single precision, eight lanes at a time. Both
// divisions have whole numerators n below 2^17 and divisors d below 2^9:
// (n + 1/2) / d lies at least 1/(2d) from a whole number, and its product
// with 1/d rounded to a float is off by less than 2^-23 of it, that is
// below 2^-6 / d, so truncation gives the plain kernel's floor(n / d).
__attribute__((target("avx2"))) inline __m256i DivideWhole(__m256i numerators, __m256 reciprocals) {
    const __m256 halfAbove = _mm256_add_ps(_mm256_cvtepi32_ps(numerators), _mm256_set1_ps(0.5f));
    return _mm256_cvttps_epi32(_mm256_mul_ps(halfAbove, reciprocals));
}

__attribute__((target("avx2"))) bool QuantiseIntra(const int16_t* coefficients, int16_t* levels,
                                                   const QuantiserMatrix& matrix, int mquant,
                                                   int intraDcPrecision, MpegSyntax syntax) {
    const int dcStep = 8 >> intraDcPrecision;
    const int dc = coefficients[0];
    const int16_t dcLevel =
        static_cast<int16_t>(dc >= 0 ? (dc + dcStep / 2) / dcStep : -((-dc + dcStep / 2) / dcStep));
    const int maxLevel = MaxLevel(syntax);
    const __m256i limit = _mm256_set1_epi32(maxLevel);
    const __m256i largest = _mm256_set1_epi32(2048);
    const __m256i rounding = _mm256_set1_epi32((3 * mquant + 2) / 4);
    const __m256 quantiserReciprocal =
        _mm256_set1_ps(1.0f / static_cast<float>(2 * std::max(mquant, 1)));
    __m256i saturated = _mm256_setzero_si256();
    for (int i = 0; i < 64; i += 8) {
        const __m256i c = _mm256_cvtepi16_epi32(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + i)));
        const __m256i w = _mm256_cvtepu8_epi32(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(matrix.weights.data() + i)));
        const __m256i magnitude = _mm256_min_epi32(_mm256_abs_epi32(c), largest);
        const __m256i numerator =
            _mm256_add_epi32(_mm256_slli_epi32(magnitude, 5), _mm256_srli_epi32(w, 1));
        const __m256i scaled =
            DivideWhole(numerator, _mm256_load_ps(matrix.weightReciprocals.data() + i));
        __m256i level = DivideWhole(_mm256_add_epi32(scaled, rounding), quantiserReciprocal);
        saturated = _mm256_or_si256(saturated, _mm256_cmpgt_epi32(level, limit));
        level = _mm256_min_epi32(level, limit);
        level = _mm256_sign_epi32(level, c);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(level, level), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(levels + i), _mm256_castsi256_si128(packed));
        if (i == 0) {
            // The DC has its own rule and is never limited here.
            saturated = _mm256_blend_epi32(saturated, _mm256_setzero_si256(), 1);
        }
    }
    levels[0] = dcLevel;
    return !_mm256_testz_si256(saturated, saturated);
}

// The decoder's arithmetic eight coefficients at a time: the product
// divided toward zero by 2^kShift, MPEG-1's odd values and the limits.
// `Intra` scales the level itself (lane 0 as if it were an AC
// coefficient), otherwise 2 * level + its sign. Returns the sum of the
// coefficients written, for MPEG-2's mismatch control.
template <bool Intra>
__attribute__((target("avx2"))) inline int DequantiseLanes(const int16_t* levels,
                                                           int16_t* coefficients,
                                                           const QuantiserMatrix& matrix,
                                                           int mquant, MpegSyntax syntax) {
    constexpr int kShift = Intra ? 4 : 5;
    const __m256i quantiser = _mm256_set1_epi32(mquant);
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i roundToZero = _mm256_set1_epi32((1 << kShift) - 1);
    const __m256i high = _mm256_set1_epi32(2047);
    const __m256i low = _mm256_set1_epi32(-2048);
    const bool mpeg1 = syntax == MpegSyntax::kMpeg1;
    __m256i sums = _mm256_setzero_si256();
    for (int i = 0; i < 64; i += 8) {
        __m256i level =
            _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(levels + i)));
        if (!Intra) {
            level = _mm256_add_epi32(_mm256_add_epi32(level, level), _mm256_sign_epi32(one, level));
        }
        const __m256i w = _mm256_cvtepu8_epi32(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(matrix.weights.data() + i)));
        const __m256i product = _mm256_mullo_epi32(_mm256_mullo_epi32(level, w), quantiser);
        const __m256i bias = _mm256_and_si256(_mm256_srai_epi32(product, 31), roundToZero);
        __m256i value = _mm256_srai_epi32(_mm256_add_epi32(product, bias), kShift);
        if (mpeg1) {
            // Even values other than 0 move one toward zero.
            const __m256i even =
                _mm256_cmpeq_epi32(_mm256_and_si256(value, one), _mm256_setzero_si256());
            value = _mm256_sub_epi32(value, _mm256_and_si256(even, _mm256_sign_epi32(one, value)));
        }
        value = _mm256_max_epi32(_mm256_min_epi32(value, high), low);
        sums = _mm256_add_epi32(sums, value);
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(value, value), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(coefficients + i),
                         _mm256_castsi256_si128(packed));
    }
    __m128i total = _mm_add_epi32(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    total = _mm_add_epi32(total, _mm_srli_si128(total, 8));
    total = _mm_add_epi32(total, _mm_srli_si128(total, 4));
    return _mm_cvtsi128_si32(total);
}

// MPEG-2 makes the sum of all coefficients odd by toggling the last one.
inline void ControlMismatch(int16_t* coefficients, int sum, MpegSyntax syntax) {
    if (syntax == MpegSyntax::kMpeg2 && (sum & 1) == 0) coefficients[63] ^= 1;
}

__attribute__((target("avx2"))) void DequantiseIntra(const int16_t* levels, int16_t* coefficients,
                                                     const QuantiserMatrix& matrix, int mquant,
                                                     int intraDcPrecision, MpegSyntax syntax) {
    int sum = DequantiseLanes<true>(levels, coefficients, matrix, mquant, syntax);
    const int dc = std::clamp(levels[0] * (8 >> intraDcPrecision), -2048, 2047);
    sum += dc - coefficients[0];
    coefficients[0] = static_cast<int16_t>(dc);
    ControlMismatch(coefficients, sum, syntax);
}

__attribute__((target("avx2"))) void DequantiseNonIntra(const int16_t* levels,
                                                        int16_t* coefficients,
                                                        const QuantiserMatrix& matrix, int mquant,
                                                        MpegSyntax syntax) {
    const int sum = DequantiseLanes<false>(levels, coefficients, matrix, mquant, syntax);
    ControlMismatch(coefficients, sum, syntax);
}

// A 16-wide prediction takes two rows a step; 8-wide ones (chroma) and odd
// row counts stay with the SSE2 kernel.
template <int HalfX, int HalfY>
__attribute__((target("avx2"))) void Predict(uint8_t* dst, int dstStride, const uint8_t* ref,
                                             int refStride, int width, int rows) {
    if (width != 16 || rows % 2 != 0) {
        Sse2VideoKernels(DctArithmetic::kInteger)
            .predict[HalfPelIndex(HalfX, HalfY)](dst, dstStride, ref, refStride, width, rows);
        return;
    }
#pragma GCC unroll 8
    for (int y = 0; y < rows; y += 2) {
        const __m256i r = SampleTwoRows<HalfX, HalfY>(ref, refStride);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm256_castsi256_si128(r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + dstStride),
                         _mm256_extracti128_si256(r, 1));
        dst += 2 * dstStride;
        ref += 2 * refStride;
    }
}

// The SSE2 sums (see there) two rows a register.
__attribute__((target("avx2"))) int Variance16x16(const uint8_t* block, int stride) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i sums = zero;
    __m256i squares = zero;
#pragma GCC unroll 8
    for (int y = 0; y < 16; y += 2) {
        const __m256i rows = LoadTwoRows(block, stride);
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(rows, zero));
        const __m256i low = _mm256_unpacklo_epi8(rows, zero);
        const __m256i high = _mm256_unpackhi_epi8(rows, zero);
        squares = _mm256_add_epi32(squares, _mm256_madd_epi16(low, low));
        squares = _mm256_add_epi32(squares, _mm256_madd_epi16(high, high));
        block += 2 * stride;
    }
    __m128i sum = _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    sum = _mm_add_epi64(sum, _mm_srli_si128(sum, 8));
    __m128i square =
        _mm_add_epi32(_mm256_castsi256_si128(squares), _mm256_extracti128_si256(squares, 1));
    square = _mm_add_epi32(square, _mm_srli_si128(square, 8));
    square = _mm_add_epi32(square, _mm_srli_si128(square, 4));
    const int total = _mm_cvtsi128_si32(sum);
    // The squared sum reaches 65280^2, beyond 32 bits.
    return _mm_cvtsi128_si32(square) - static_cast<int>((int64_t{total} * total) >> 8);
}

__attribute__((target("avx2"))) int PredictionError16x16(const uint8_t* cur, int curStride,
                                                         const uint8_t* pred, int predStride) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i squares = zero;
#pragma GCC unroll 8
    for (int y = 0; y < 16; y += 2) {
        const __m256i c = LoadTwoRows(cur, curStride);
        const __m256i p = LoadTwoRows(pred, predStride);
        const __m256i low =
            _mm256_sub_epi16(_mm256_unpacklo_epi8(c, zero), _mm256_unpacklo_epi8(p, zero));
        const __m256i high =
            _mm256_sub_epi16(_mm256_unpackhi_epi8(c, zero), _mm256_unpackhi_epi8(p, zero));
        squares = _mm256_add_epi32(squares, _mm256_madd_epi16(low, low));
        squares = _mm256_add_epi32(squares, _mm256_madd_epi16(high, high));
        cur += 2 * curStride;
        pred += 2 * predStride;
    }
    __m128i sum =
        _mm_add_epi32(_mm256_castsi256_si128(squares), _mm256_extracti128_si256(squares, 1));
    sum = _mm_add_epi32(sum, _mm_srli_si128(sum, 8));
    sum = _mm_add_epi32(sum, _mm_srli_si128(sum, 4));
    return _mm_cvtsi128_si32(sum);
}

// The SSE2 non-intra quantisation (see there) sixteen lanes at a time.
__attribute__((target("avx2"))) bool QuantiseNonIntra(const int16_t* coefficients, int16_t* levels,
                                                      const QuantiserMatrix& matrix, int mquant,
                                                      MpegSyntax syntax) {
    if (matrix.hasUnitWeight || mquant < 1 || mquant > 112) {
        return QuantiseNonIntraBlock(coefficients, levels, matrix, mquant, syntax);
    }
    int bits = 0;
    while ((1 << bits) < mquant) ++bits;
    const __m256i multiplier =
        _mm256_set1_epi16(static_cast<int16_t>(((1u << (15 + bits)) / mquant + 1) & 0xFFFF));
    const __m128i shift = _mm_cvtsi32_si128(bits > 0 ? bits - 1 : 0);
    const __m256i maxLevel = _mm256_set1_epi16(static_cast<int16_t>(MaxLevel(syntax)));
    const __m256i zero = _mm256_setzero_si256();
    __m256i any = zero;
#pragma GCC unroll 4
    for (int i = 0; i < 64; i += 16) {
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(coefficients + i));
        const __m256i negative = _mm256_cmpgt_epi16(zero, c);
        const __m256i magnitude = _mm256_sub_epi16(_mm256_xor_si256(c, negative), negative);
        const __m256i r = _mm256_loadu_si256(
            reinterpret_cast<const __m256i*>(matrix.shortReciprocals.data() + i));
        const __m256i low = _mm256_mullo_epi16(magnitude, r);
        const __m256i high = _mm256_mulhi_epu16(magnitude, r);
        // Unpacking and packing both stay within each lane, so the order
        // comes back as it was.
        const __m256i products0 = _mm256_srli_epi32(_mm256_unpacklo_epi16(low, high), 11);
        const __m256i products1 = _mm256_srli_epi32(_mm256_unpackhi_epi16(low, high), 11);
        const __m256i halves =
            _mm256_packs_epi32(_mm256_srli_epi32(products0, 1), _mm256_srli_epi32(products1, 1));
        __m256i level =
            bits > 0 ? _mm256_srl_epi16(_mm256_mulhi_epu16(halves, multiplier), shift) : halves;
        level = _mm256_min_epi16(level, maxLevel);
        any = _mm256_or_si256(any, level);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(levels + i),
                            _mm256_sub_epi16(_mm256_xor_si256(level, negative), negative));
    }
    return _mm256_movemask_epi8(_mm256_cmpeq_epi16(any, zero)) != -1;
}

// Two 8-pel rows of samples widened to 16 bits.
__attribute__((target("avx2"))) inline __m256i WidenTwoRows(const uint8_t* p, int stride) {
    return _mm256_cvtepu8_epi16(
        _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                           _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride))));
}

__attribute__((target("avx2"))) void BlockDifference(const uint8_t* in, int inStride,
                                                     const uint8_t* pred, int predStride,
                                                     int16_t* block) {
#pragma GCC unroll 4
    for (int j = 0; j < 8; j += 2) {
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(block + 8 * j),
            _mm256_sub_epi16(WidenTwoRows(in, inStride), WidenTwoRows(pred, predStride)));
        in += 2 * inStride;
        pred += 2 * predStride;
    }
}

__attribute__((target("avx2"))) void BlockAdd(const int16_t* block, const uint8_t* pred,
                                              int predStride, uint8_t* out, int outStride) {
#pragma GCC unroll 4
    for (int j = 0; j < 8; j += 2) {
        // Samples and the inverse transform's -256..255 add up within 16 bits.
        const __m256i sum =
            _mm256_add_epi16(WidenTwoRows(pred, predStride),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 8 * j)));
        // Packing works per lane: row j in the low lane, row j + 1 in the high.
        const __m256i bytes = _mm256_packus_epi16(sum, sum);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + outStride),
                         _mm256_extracti128_si256(bytes, 1));
        pred += 2 * predStride;
        out += 2 * outStride;
    }
}

// A block's 64 values as bytes, packed from its four registers of sixteen
// into `low` (values 0-31) and `high` (32-63), put in scan order by byte
// shuffles: each half of the scan gathers from the four 16-byte lanes of the
// packed block in turn, a shuffle control per lane taking the bytes that lie
// there and zeroing the rest. The packing leaves the lanes interleaved
// (values 0-7 and 16-23 in the first lane, 8-15 and 24-31 in the second),
// which the controls follow instead of a reordering.
__attribute__((target("avx2"))) inline void ToScanOrder(__m256i low, __m256i high,
                                                        bool alternateScan, __m256i* inScan) {
    // [scan][half of the scan][lane of the packed block]
    using Controls = std::array<std::array<std::array<std::array<uint8_t, 32>, 4>, 2>, 2>;
    static const Controls controls = [] {
        Controls c{};
        for (int scan = 0; scan < 2; ++scan) {
            for (int i = 0; i < 64; ++i) {
                const int position = kScanOrder[scan][i];
                const int inHalf = position % 32;
                const int lane = 2 * (position / 32) + (inHalf / 8) % 2;
                const int byte = 8 * (inHalf / 16) + inHalf % 8;
                for (int l = 0; l < 4; ++l) {
                    c[scan][i / 32][l][i % 32] = l == lane ? static_cast<uint8_t>(byte) : 0x80;
                }
            }
        }
        return c;
    }();
    const __m256i lanes[4] = {
        _mm256_permute2x128_si256(low, low, 0x00), _mm256_permute2x128_si256(low, low, 0x11),
        _mm256_permute2x128_si256(high, high, 0x00), _mm256_permute2x128_si256(high, high, 0x11)};
    const auto& control = controls[alternateScan ? 1 : 0];
#pragma GCC unroll 2
    for (int half = 0; half < 2; ++half) {
        __m256i gathered = _mm256_setzero_si256();
#pragma GCC unroll 4
        for (int l = 0; l < 4; ++l) {
            gathered = _mm256_or_si256(
                gathered,
                _mm256_shuffle_epi8(lanes[l], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(
                                                  control[half][l].data()))));
        }
        inScan[half] = gathered;
    }
}

// Magnitudes sixteen levels a register (a saturating subtraction takes
// -32768 to 32767), packed to bytes, then put in scan order.
__attribute__((target("avx2"))) int ScanMagnitudes(const int16_t* levels, bool alternateScan,
                                                   uint8_t* magnitudes) {
    __m256i magnitude[4];
#pragma GCC unroll 4
    for (int r = 0; r < 4; ++r) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(levels + 16 * r));
        const __m256i sign = _mm256_srai_epi16(v, 15);
        magnitude[r] = _mm256_subs_epi16(_mm256_xor_si256(v, sign), sign);
    }
    __m256i largest = _mm256_max_epi16(_mm256_max_epi16(magnitude[0], magnitude[1]),
                                       _mm256_max_epi16(magnitude[2], magnitude[3]));
    __m128i folded =
        _mm_max_epi16(_mm256_castsi256_si128(largest), _mm256_extracti128_si256(largest, 1));
    folded = _mm_max_epi16(folded, _mm_srli_si128(folded, 8));
    folded = _mm_max_epi16(folded, _mm_srli_si128(folded, 4));
    folded = _mm_max_epi16(folded, _mm_srli_si128(folded, 2));
    __m256i inScan[2];
    ToScanOrder(_mm256_packus_epi16(magnitude[0], magnitude[1]),
                _mm256_packus_epi16(magnitude[2], magnitude[3]), alternateScan, inScan);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(magnitudes), inScan[0]);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(magnitudes + 32), inScan[1]);
    return _mm_cvtsi128_si32(folded) & 0xFFFF;
}

// Which levels are zero, as bytes, put in scan order the same way.
__attribute__((target("avx2"))) uint64_t ScanMask(const int16_t* levels, bool alternateScan) {
    __m256i zero[4];
#pragma GCC unroll 4
    for (int r = 0; r < 4; ++r) {
        zero[r] = _mm256_cmpeq_epi16(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(levels + 16 * r)),
            _mm256_setzero_si256());
    }
    __m256i inScan[2];
    ToScanOrder(_mm256_packs_epi16(zero[0], zero[1]), _mm256_packs_epi16(zero[2], zero[3]),
                alternateScan, inScan);
    const auto low = static_cast<uint32_t>(_mm256_movemask_epi8(inScan[0]));
    const auto high = static_cast<uint32_t>(_mm256_movemask_epi8(inScan[1]));
    return ~(uint64_t{high} << 32 | low);
}

// Thirty-two positions a register: the lengths looked up by a byte shuffle
// (magnitudes below 16 index the table directly), the position bits spread
// to bytes, and the chosen lengths added up by sums of absolute differences
// against zero.
__attribute__((target("avx2"))) uint32_t SmallLevelLengths(const uint8_t* magnitudes,
                                                           uint64_t* positions,
                                                           const uint8_t* lengths) {
    const __m256i table =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lengths)));
    // Byte j of a register takes bit j % 8 of byte j / 8 of its 32 position bits.
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2,
                                            2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3);
    const __m256i bits = _mm256_set1_epi64x(static_cast<int64_t>(0x8040201008040201));
    const __m256i fifteen = _mm256_set1_epi8(15);
    __m256i sums = _mm256_setzero_si256();
    uint64_t taken = 0;
#pragma GCC unroll 2
    for (int half = 0; half < 2; ++half) {
        const __m256i m =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(magnitudes + 32 * half));
        const auto word = static_cast<int32_t>(*positions >> (32 * half));
        __m256i chosen = _mm256_shuffle_epi8(_mm256_set1_epi32(word), spread);
        chosen = _mm256_cmpeq_epi8(_mm256_and_si256(chosen, bits), bits);
        const __m256i small = _mm256_cmpeq_epi8(_mm256_max_epu8(m, fifteen), fifteen);
        chosen = _mm256_and_si256(chosen, small);
        const __m256i length = _mm256_and_si256(_mm256_shuffle_epi8(table, m), chosen);
        sums = _mm256_add_epi64(sums, _mm256_sad_epu8(length, _mm256_setzero_si256()));
        taken |= static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(chosen)))
                 << (32 * half);
    }
    const __m128i folded =
        _mm_add_epi64(_mm256_castsi256_si128(sums), _mm256_extracti128_si256(sums, 1));
    *positions &= ~taken;
    return static_cast<uint32_t>(_mm_cvtsi128_si32(folded) +
                                 _mm_cvtsi128_si32(_mm_srli_si128(folded, 8)));
}

// The two rows d above and below the centre side by side, one a lane: the
// SSE2 steps (each row's sums from the centre out, reversed for dx < 0,
// their running minima by shifts) once for both.
__attribute__((target("avx2"))) void CoarseRingMinima(const uint16_t* sads, int rows, int centreRow,
                                                      int left, int right, uint16_t* minima) {
    const auto none16 = static_cast<int16_t>(kNoSum);
    const __m256i none = _mm256_set1_epi16(none16);
    const __m128i noRow = _mm_set1_epi16(none16);
    const __m256i lanes = _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7);
    // Lanes j with dx = -j (and dx = +j) inside [left, right].
    const __m256i negativeInside =
        _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<int16_t>(1 - left)), lanes);
    const __m256i positiveInside =
        _mm256_cmpgt_epi16(_mm256_set1_epi16(static_cast<int16_t>(right + 1)), lanes);
    const __m256i firstLane =
        _mm256_setr_epi16(none16, 0, 0, 0, 0, 0, 0, 0, none16, 0, 0, 0, 0, 0, 0, 0);
    const __m256i firstTwo =
        _mm256_setr_epi16(none16, none16, 0, 0, 0, 0, 0, 0, none16, none16, 0, 0, 0, 0, 0, 0);
    const __m256i firstFour = _mm256_setr_epi16(none16, none16, none16, none16, 0, 0, 0, 0, none16,
                                                none16, none16, none16, 0, 0, 0, 0);
    const __m256i reverse = _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1,
                                             14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
    const auto load = [&](int j, int offset) {
        return j >= 0 && j < rows ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(
                                        sads + kCoarseWindowWidth * j + offset))
                                  : noRow;
    };
    __m128i nearer = noRow;  // pair minima of the rows nearer the centre
    for (int d = 0; d < 8; ++d) {
        const int above = centreRow - d;
        // The centre row once.
        const int below = d == 0 ? -1 : centreRow + d;
        const __m256i low = _mm256_shuffle_epi8(
            _mm256_inserti128_si256(_mm256_castsi128_si256(load(above, 0)), load(below, 0), 1),
            reverse);
        const __m256i high =
            _mm256_inserti128_si256(_mm256_castsi128_si256(load(above, 7)), load(below, 7), 1);
        const __m256i pair = _mm256_min_epi16(_mm256_blendv_epi8(none, low, negativeInside),
                                              _mm256_blendv_epi8(none, high, positiveInside));
        __m256i prefix =
            _mm256_min_epi16(pair, _mm256_or_si256(_mm256_slli_si256(pair, 2), firstLane));
        prefix = _mm256_min_epi16(prefix, _mm256_or_si256(_mm256_slli_si256(prefix, 4), firstTwo));
        prefix = _mm256_min_epi16(prefix, _mm256_or_si256(_mm256_slli_si256(prefix, 8), firstFour));
        const __m128i pairs =
            _mm_min_epi16(_mm256_castsi256_si128(pair), _mm256_extracti128_si256(pair, 1));
        const __m128i within =
            _mm_min_epi16(_mm256_castsi256_si128(prefix), _mm256_extracti128_si256(prefix, 1));
        alignas(16) uint16_t ring[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(ring), _mm_min_epi16(within, nearer));
        minima[d] = ring[d];
        nearer = _mm_min_epi16(nearer, pairs);
    }
}

VideoKernels Make(DctArithmetic arithmetic) {
    VideoKernels k = Sse2VideoKernels(arithmetic);
    k.sad[0] = Sad16<0, 0>;
    k.sad[1] = Sad16<1, 0>;
    k.sad[2] = Sad16<0, 1>;
    k.sad[3] = Sad16<1, 1>;
    k.sadSearch = SadSearch;
    k.variance16x16 = Variance16x16;
    k.predictionError16x16 = PredictionError16x16;
    k.predict[0] = Predict<0, 0>;
    k.predict[1] = Predict<1, 0>;
    k.predict[2] = Predict<0, 1>;
    k.predict[3] = Predict<1, 1>;
    k.coarseWindow = CoarseWindow;
    k.coarseRingMinima = CoarseRingMinima;
    k.quantiseIntra = QuantiseIntra;
    k.quantiseNonIntra = QuantiseNonIntra;
    k.blockDifference = BlockDifference;
    k.blockAdd = BlockAdd;
    k.dequantiseIntra = DequantiseIntra;
    k.dequantiseNonIntra = DequantiseNonIntra;
    k.scanMask = ScanMask;
    k.scanMagnitudes = ScanMagnitudes;
    k.smallLevelLengths = SmallLevelLengths;
    if (arithmetic == DctArithmetic::kInteger) {
        k.forwardDct = ForwardDctAvx2;
        k.inverseDct = InverseDctAvx2;
    }
    return k;
}

}  // namespace

const VideoKernels& Avx2VideoKernels(DctArithmetic arithmetic) {
    static const VideoKernels integer = Make(DctArithmetic::kInteger);
    static const VideoKernels floating = Make(DctArithmetic::kFloatingPoint);
    return arithmetic == DctArithmetic::kFloatingPoint ? floating : integer;
}

}  // namespace korvan
