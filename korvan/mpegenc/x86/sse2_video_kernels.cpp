#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "korvan/mpegenc/common/dct.h"
#include "korvan/mpegenc/common/mpeg_tables.h"
#include "korvan/mpegenc/common/plain_kernel_parts.h"
#include "korvan/mpegenc/x86/simd_kernels.h"
#include "korvan/mpegenc/x86/sse2_kernel_parts.h"

namespace korvan {
namespace {

using namespace sse2;

template <int HalfX, int HalfY>
__attribute__((always_inline)) inline int Sad16(const uint8_t* cur, int curStride,
                                                const uint8_t* ref, int refStride, int rows,
                                                int limit) {
    __m128i sums = _mm_setzero_si128();
#pragma GCC unroll 8
    for (int y = 0; y < rows; y += 2) {
        sums =
            _mm_add_epi64(sums, _mm_sad_epu8(Load16(cur), Sample16<HalfX, HalfY>(ref, refStride)));
        sums =
            _mm_add_epi64(sums, _mm_sad_epu8(Load16(cur + curStride),
                                             Sample16<HalfX, HalfY>(ref + refStride, refStride)));
        const int sum = HorizontalSad(sums);
        if (sum >= limit) return sum;
        cur += 2 * curStride;
        ref += 2 * refStride;
    }
    return HorizontalSad(sums);
}

// Only whether a position beats the running best matters, so the 16-row
// case keeps the current block in registers and looks at the sum once,
// half way.
int SadSearch(const uint8_t* cur, int curStride, const uint8_t* ref, int refStride, int rows,
              const ptrdiff_t* offsets, int count, int* best) {
    if (rows != 16) {
        return SearchEachPosition(Sad16<0, 0>, cur, curStride, ref, refStride, rows, offsets, count,
                                  best);
    }
    int found = -1;
    __m128i current[16];
#pragma GCC unroll 16
    for (int k = 0; k < 16; ++k) current[k] = Load16(cur + k * curStride);
    for (int i = 0; i < count; ++i) {
        const uint8_t* r = ref + offsets[i];
        __m128i sums = _mm_setzero_si128();
#pragma GCC unroll 8
        for (int k = 0; k < 8; ++k)
            sums = _mm_add_epi64(sums, _mm_sad_epu8(current[k], Load16(r + k * refStride)));
        if (HorizontalSad(sums) >= *best) continue;
#pragma GCC unroll 8
        for (int k = 8; k < 16; ++k)
            sums = _mm_add_epi64(sums, _mm_sad_epu8(current[k], Load16(r + k * refStride)));
        const int sad = HorizontalSad(sums);
        if (sad < *best) {
            *best = sad;
            found = i;
        }
    }
    return found;
}

int Sad4x4(const uint8_t* cur, int curStride, const uint8_t* ref, int refStride) {
    const __m128i c = _mm_setr_epi32(Load32(cur), Load32(cur + curStride),
                                     Load32(cur + 2 * curStride), Load32(cur + 3 * curStride));
    const __m128i r = _mm_setr_epi32(Load32(ref), Load32(ref + refStride),
                                     Load32(ref + 2 * refStride), Load32(ref + 3 * refStride));
    return HorizontalSad(_mm_sad_epu8(c, r));
}

void CoarseWindow(const uint8_t* cur, int curStride, const uint8_t* ref, int refStride, int rows,
                  uint16_t* sads) {
    const __m128i c = _mm_setr_epi32(Load32(cur), Load32(cur + curStride),
                                     Load32(cur + 2 * curStride), Load32(cur + 3 * curStride));
#pragma GCC unroll 8
    for (int j = 0; j < rows; ++j) {
        const uint8_t* r = ref + j * refStride;
        for (int h = 0; h < kCoarseWindowWidth; ++h) {
            const __m128i block =
                _mm_setr_epi32(Load32(r + h), Load32(r + refStride + h),
                               Load32(r + 2 * refStride + h), Load32(r + 3 * refStride + h));
            sads[kCoarseWindowWidth * j + h] =
                static_cast<uint16_t>(HorizontalSad(_mm_sad_epu8(c, block)));
        }
    }
}

// Per row, lane j of min(reversed left half, right half) is the smaller sum
// at dx = -j and dx = +j; its running minimum over lanes 0..j is the row's
// smallest sum within |dx| <= j. Ring k takes that at lane k from the rows
// with |dy| == k, and lane k of the pair minima from the rows nearer the
// centre.
void CoarseRingMinima(const uint16_t* sads, int rows, int centreRow, int left, int right,
                      uint16_t* minima) {
    const __m128i none = _mm_set1_epi16(static_cast<int16_t>(kNoSum));
    const __m128i lanes = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    // Lanes j with dx = -j (and dx = +j) inside [left, right].
    const __m128i negativeInside =
        _mm_cmplt_epi16(lanes, _mm_set1_epi16(static_cast<int16_t>(1 - left)));
    const __m128i positiveInside =
        _mm_cmplt_epi16(lanes, _mm_set1_epi16(static_cast<int16_t>(right + 1)));
    const __m128i firstLane = _mm_setr_epi16(static_cast<int16_t>(kNoSum), 0, 0, 0, 0, 0, 0, 0);
    const __m128i firstTwo = _mm_setr_epi16(static_cast<int16_t>(kNoSum),
                                            static_cast<int16_t>(kNoSum), 0, 0, 0, 0, 0, 0);
    const __m128i firstFour = _mm_unpacklo_epi64(none, _mm_setzero_si128());
    const auto keep = [&](__m128i inside, __m128i v) {
        return _mm_or_si128(_mm_and_si128(inside, v), _mm_andnot_si128(inside, none));
    };
    __m128i nearer = none;  // pair minima of the rows nearer the centre
    for (int d = 0; d < 8; ++d) {
        __m128i pairs = none;
        __m128i within = none;
        const int candidates[2] = {centreRow - d, centreRow + d};
        for (int c = 0; c < (d == 0 ? 1 : 2); ++c) {
            const int j = candidates[c];
            if (j < 0 || j >= rows) continue;
            const uint16_t* row = sads + kCoarseWindowWidth * j;
            __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
            low =
                _mm_shuffle_epi32(_mm_shufflehi_epi16(_mm_shufflelo_epi16(low, 0x1B), 0x1B), 0x4E);
            const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 7));
            const __m128i pair =
                _mm_min_epi16(keep(negativeInside, low), keep(positiveInside, high));
            __m128i prefix = _mm_min_epi16(pair, _mm_or_si128(_mm_slli_si128(pair, 2), firstLane));
            prefix = _mm_min_epi16(prefix, _mm_or_si128(_mm_slli_si128(prefix, 4), firstTwo));
            prefix = _mm_min_epi16(prefix, _mm_or_si128(_mm_slli_si128(prefix, 8), firstFour));
            pairs = _mm_min_epi16(pairs, pair);
            within = _mm_min_epi16(within, prefix);
        }
        alignas(16) uint16_t ring[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(ring), _mm_min_epi16(within, nearer));
        minima[d] = ring[d];
        nearer = _mm_min_epi16(nearer, pairs);
    }
}

void ReduceRow(const uint8_t* luma, int stride, int count, uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i eight = _mm_set1_epi32(8);
    for (int x = 0; x < count; x += 4) {
        __m128i low = zero;
        __m128i high = zero;
        for (int j = 0; j < 4; ++j) {
            const __m128i row = Load16(luma + j * stride + 4 * x);
            low = _mm_add_epi16(low, _mm_unpacklo_epi8(row, zero));
            high = _mm_add_epi16(high, _mm_unpackhi_epi8(row, zero));
        }
        // Column sums to pairs, pairs to groups of four.
        const __m128i pairs =
            _mm_packs_epi32(_mm_madd_epi16(low, ones), _mm_madd_epi16(high, ones));
        const __m128i groups = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, ones), eight), 4);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(groups, zero), zero);
        const int four = _mm_cvtsi128_si32(bytes);
        std::memcpy(out + x, &four, 4);
    }
}

int Variance16x16(const uint8_t* block, int stride) {
    const __m128i zero = _mm_setzero_si128();
    __m128i sums = zero;
    __m128i squares = zero;
#pragma GCC unroll 8
    for (int y = 0; y < 16; ++y) {
        const __m128i row = Load16(block);
        sums = _mm_add_epi64(sums, _mm_sad_epu8(row, zero));
        const __m128i low = _mm_unpacklo_epi8(row, zero);
        const __m128i high = _mm_unpackhi_epi8(row, zero);
        squares = _mm_add_epi32(squares, _mm_madd_epi16(low, low));
        squares = _mm_add_epi32(squares, _mm_madd_epi16(high, high));
        block += stride;
    }
    const int sum = HorizontalSad(sums);
    return HorizontalSum32(squares) - static_cast<int>((int64_t{sum} * sum) >> 8);
}

int PredictionError16x16(const uint8_t* cur, int curStride, const uint8_t* pred, int predStride) {
    const __m128i zero = _mm_setzero_si128();
    __m128i squares = zero;
#pragma GCC unroll 8
    for (int y = 0; y < 16; ++y) {
        const __m128i c = Load16(cur);
        const __m128i p = Load16(pred);
        const __m128i low = _mm_sub_epi16(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(p, zero));
        const __m128i high = _mm_sub_epi16(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(p, zero));
        squares = _mm_add_epi32(squares, _mm_madd_epi16(low, low));
        squares = _mm_add_epi32(squares, _mm_madd_epi16(high, high));
        cur += curStride;
        pred += predStride;
    }
    return HorizontalSum32(squares);
}

template <int HalfX, int HalfY>
void Predict(uint8_t* dst, int dstStride, const uint8_t* ref, int refStride, int width, int rows) {
#pragma GCC unroll 8
    for (int y = 0; y < rows; ++y) {
        const __m128i r = width == 16 ? Sample16<HalfX, HalfY>(ref, refStride)
                                      : Sample8<HalfX, HalfY>(ref, refStride);
        if (width == 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), r);
        } else {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), r);
        }
        dst += dstStride;
        ref += refStride;
    }
}

void Average(uint8_t* dst, int dstStride, const uint8_t* other, int otherStride, int width,
             int rows) {
#pragma GCC unroll 8
    for (int y = 0; y < rows; ++y) {
        if (width == 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                             _mm_avg_epu8(Load16(dst), Load16(other)));
        } else {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(dst),
                             _mm_avg_epu8(Load8(dst), Load8(other)));
        }
        dst += dstStride;
        other += otherStride;
    }
}

// Non-intra quantisation in 16-bit lanes: (|c| * 65536 / w) >> 11 is the
// high half of a 16 x 16 bit product shifted, and the division by
// 2 * mquant is (n / 2) / mquant by a multiplication with the rounded-up
// reciprocal, exact for 15-bit n. Weights of 1 (only a user matrix has
// them) take the plain path, where n needs 17 bits.
bool QuantiseNonIntra(const int16_t* coefficients, int16_t* levels, const QuantiserMatrix& matrix,
                      int mquant, MpegSyntax syntax) {
    if (matrix.hasUnitWeight || mquant < 1 || mquant > 112) {
        return QuantiseNonIntraBlock(coefficients, levels, matrix, mquant, syntax);
    }
    int bits = 0;
    while ((1 << bits) < mquant) ++bits;
    const __m128i multiplier =
        _mm_set1_epi16(static_cast<int16_t>(((1u << (15 + bits)) / mquant + 1) & 0xFFFF));
    const __m128i shift = _mm_cvtsi32_si128(bits > 0 ? bits - 1 : 0);
    const __m128i maxLevel = _mm_set1_epi16(static_cast<int16_t>(MaxLevel(syntax)));
    const __m128i zero = _mm_setzero_si128();
    __m128i any = zero;
#pragma GCC unroll 8
    for (int i = 0; i < 64; i += 8) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + i));
        const __m128i negative = _mm_cmplt_epi16(c, zero);
        // |c| <= 2048; -32768 cannot occur.
        const __m128i magnitude = _mm_sub_epi16(_mm_xor_si128(c, negative), negative);
        const __m128i r =
            _mm_load_si128(reinterpret_cast<const __m128i*>(matrix.shortReciprocals.data() + i));
        const __m128i low = _mm_mullo_epi16(magnitude, r);
        const __m128i high = _mm_mulhi_epu16(magnitude, r);
        // (product >> 11) for the eight 32-bit products, at most 2^15.
        const __m128i products0 = _mm_srli_epi32(_mm_unpacklo_epi16(low, high), 11);
        const __m128i products1 = _mm_srli_epi32(_mm_unpackhi_epi16(low, high), 11);
        // n / 2 fits 15 bits: pack as signed without saturating.
        const __m128i halves =
            _mm_packs_epi32(_mm_srli_epi32(products0, 1), _mm_srli_epi32(products1, 1));
        __m128i level =
            bits > 0 ? _mm_srl_epi16(_mm_mulhi_epu16(halves, multiplier), shift) : halves;
        level = _mm_min_epi16(level, maxLevel);
        any = _mm_or_si128(any, level);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(levels + i),
                         _mm_sub_epi16(_mm_xor_si128(level, negative), negative));
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi16(any, zero)) != 0xFFFF;
}

void BlockDifference(const uint8_t* in, int inStride, const uint8_t* pred, int predStride,
                     int16_t* block) {
    const __m128i zero = _mm_setzero_si128();
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) {
        const __m128i difference =
            _mm_sub_epi16(_mm_unpacklo_epi8(Load8(in), zero), _mm_unpacklo_epi8(Load8(pred), zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * j), difference);
        in += inStride;
        pred += predStride;
    }
}

void BlockAdd(const int16_t* block, const uint8_t* pred, int predStride, uint8_t* out,
              int outStride) {
    const __m128i zero = _mm_setzero_si128();
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) {
        // Samples and the inverse transform's -256..255 add up within 16 bits.
        const __m128i sum =
            _mm_add_epi16(_mm_unpacklo_epi8(Load8(pred), zero),
                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * j)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(sum, sum));
        pred += predStride;
        out += outStride;
    }
}

// The raster positions of the levels that are not zero, sixteen a
// comparison; then, a byte of them at a time, their places in the scan from
// a table: a dense block costs no more than a sparse one.
uint64_t ScanMask(const int16_t* levels, bool alternateScan) {
    using ByteTables = std::array<std::array<uint64_t, 256>, 8>;
    static const auto tables = [] {
        auto t = std::make_unique<std::array<ByteTables, 2>>();
        for (int scan = 0; scan < 2; ++scan) {
            uint8_t position[64];
            for (int i = 0; i < 64; ++i) position[kScanOrder[scan][i]] = static_cast<uint8_t>(i);
            for (int k = 0; k < 8; ++k) {
                for (int byte = 0; byte < 256; ++byte) {
                    uint64_t mask = 0;
                    for (int bit = 0; bit < 8; ++bit) {
                        if (byte & (1 << bit)) mask |= uint64_t{1} << position[8 * k + bit];
                    }
                    (*t)[scan][k][byte] = mask;
                }
            }
        }
        return t;
    }();
    const __m128i zero = _mm_setzero_si128();
    uint64_t raster = 0;
#pragma GCC unroll 4
    for (int i = 0; i < 64; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels + i + 8));
        const int zeros =
            _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero)));
        raster |= static_cast<uint64_t>(~zeros & 0xFFFF) << i;
    }
    const ByteTables& table = (*tables)[alternateScan ? 1 : 0];
    uint64_t mask = 0;
#pragma GCC unroll 8
    for (int k = 0; k < 8; ++k) mask |= table[k][(raster >> (8 * k)) & 0xFF];
    return mask;
}

// The magnitudes sixteen levels a step (a saturating subtraction takes
// -32768 to 32767, unsigned saturation packs them to bytes), the reordering
// a byte at a time: SSE2 has no byte shuffle.
int ScanMagnitudes(const int16_t* levels, bool alternateScan, uint8_t* magnitudes) {
    alignas(16) uint8_t raster[64];
    __m128i widest = _mm_setzero_si128();
#pragma GCC unroll 4
    for (int i = 0; i < 64; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(levels + i + 8));
        const __m128i signA = _mm_srai_epi16(a, 15);
        const __m128i signB = _mm_srai_epi16(b, 15);
        const __m128i magnitudeA = _mm_subs_epi16(_mm_xor_si128(a, signA), signA);
        const __m128i magnitudeB = _mm_subs_epi16(_mm_xor_si128(b, signB), signB);
        _mm_store_si128(reinterpret_cast<__m128i*>(raster + i),
                        _mm_packus_epi16(magnitudeA, magnitudeB));
        widest = _mm_max_epi16(widest, _mm_max_epi16(magnitudeA, magnitudeB));
    }
    widest = _mm_max_epi16(widest, _mm_srli_si128(widest, 8));
    widest = _mm_max_epi16(widest, _mm_srli_si128(widest, 4));
    widest = _mm_max_epi16(widest, _mm_srli_si128(widest, 2));
    const int largest = _mm_cvtsi128_si32(widest) & 0xFFFF;
    const uint8_t* scan = kScanOrder[alternateScan ? 1 : 0].data();
    for (int i = 0; i < 64; ++i) magnitudes[i] = raster[scan[i]];
    return largest;
}

constexpr VideoKernels Make(DctKernel forward, DctKernel inverse) {
    return VideoKernels{
        {Sad16<0, 0>, Sad16<1, 0>, Sad16<0, 1>, Sad16<1, 1>},
        SadSearch,
        Sad4x4,
        CoarseWindow,
        CoarseRingMinima,
        ReduceRow,
        Variance16x16,
        PredictionError16x16,
        {Predict<0, 0>, Predict<1, 0>, Predict<0, 1>, Predict<1, 1>},
        Average,
        BlockDifference,
        BlockAdd,
        forward,
        inverse,
        QuantiseNonIntra,
        QuantiseIntraBlock,
        DequantiseIntraBlock,
        DequantiseNonIntraBlock,
        ScanMask,
        ScanMagnitudes,
        PlainSmallLevelLengths,
    };
}

// The floating-point transforms stay plain: a vector version would round
// differently.
constexpr VideoKernels kInteger = Make(ForwardDctSse2, InverseDctSse2);
constexpr VideoKernels kFloat = Make(ForwardDctFloat, InverseDctFloat);

}  // namespace

const VideoKernels& Sse2VideoKernels(DctArithmetic arithmetic) {
    return arithmetic == DctArithmetic::kFloatingPoint ? kFloat : kInteger;
}

}  // namespace korvan
