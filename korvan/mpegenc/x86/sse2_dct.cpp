// The integer DCTs of dct.cpp with SSE2 multiply-adds, the loops unrolled
// so that the constants stay in registers. Both passes are
// sums of products of 16-bit constants and 16-bit values, formed pairwise
// by _mm_madd_epi16, so every sum is the plain kernel's to the bit. The
// inverse transform's column sums need more than 32 bits; its row results
// are split into a high part and an 11-bit low part, each summed in 32 bits
// and joined with the same rounding as the 64-bit sum.
#include <emmintrin.h>

#include "korvan/mpegenc/common/dct.h"
#include "korvan/mpegenc/x86/simd_kernels.h"

namespace korvan {
namespace {

int32_t PackPair(int32_t low, int32_t high) {
    return static_cast<int32_t>((static_cast<uint32_t>(low) & 0xFFFF) |
                                (static_cast<uint32_t>(high) << 16));
}

// Constants of one transform in the layouts the two passes want.
struct DctTables {
    // rowPairs[k][half]: (c[2k][i], c[2k+1][i]) for the four outputs i of
    // the half, where c is the pass's matrix of (input, output).
    __m128i rowPairs[4][2];
    // columnPairs[o][k]: (basis[2k][o], basis[2k+1][o]) in every lane.
    __m128i columnPairs[8][4];
};

// Forward rows: output u from inputs x with basis[u][x]. Inverse rows:
// output x from inputs u with basis[u][x].
enum class Direction { kForward, kInverse };

DctTables MakeTables(const IntegerDctBasis& basis, Direction direction) {
    DctTables t{};
    const auto rowCoefficient = [&](int input, int output) {
        return direction == Direction::kForward ? basis[output][input] : basis[input][output];
    };
#pragma GCC unroll 8
    for (int k = 0; k < 4; ++k) {
        for (int half = 0; half < 2; ++half) {
            alignas(16) int16_t lanes[8];
            for (int i = 0; i < 4; ++i) {
                const int output = 4 * half + i;
                lanes[2 * i] = static_cast<int16_t>(rowCoefficient(2 * k, output));
                lanes[2 * i + 1] = static_cast<int16_t>(rowCoefficient(2 * k + 1, output));
            }
            t.rowPairs[k][half] = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
        }
    }
    // Columns: output o (v forward, y inverse) from the rows' index j with
    // basis[o][j] forward and basis[j][o] inverse.
    for (int o = 0; o < 8; ++o) {
#pragma GCC unroll 8
        for (int k = 0; k < 4; ++k) {
            const int32_t a = direction == Direction::kForward ? basis[o][2 * k] : basis[2 * k][o];
            const int32_t b =
                direction == Direction::kForward ? basis[o][2 * k + 1] : basis[2 * k + 1][o];
            t.columnPairs[o][k] = _mm_set1_epi32(PackPair(a, b));
        }
    }
    return t;
}

const DctTables& ForwardTables() {
    static const DctTables tables = MakeTables(ForwardDctBasis(), Direction::kForward);
    return tables;
}

const DctTables& InverseTables() {
    static const DctTables tables = MakeTables(InverseDctBasis(), Direction::kInverse);
    return tables;
}

// One row through the row pass: two vectors of four 32-bit sums.
inline void RowSums(const DctTables& t, __m128i row, __m128i& low, __m128i& high) {
    low = _mm_setzero_si128();
    high = _mm_setzero_si128();
#pragma GCC unroll 8
    for (int k = 0; k < 4; ++k) {
        const __m128i pair = _mm_shuffle_epi32(row, 0);
        low = _mm_add_epi32(low, _mm_madd_epi16(pair, t.rowPairs[k][0]));
        high = _mm_add_epi32(high, _mm_madd_epi16(pair, t.rowPairs[k][1]));
        row = _mm_srli_si128(row, 4);
    }
}

// Sums over the eight rows r[j] of columnPairs[o] * r[j], for the four
// low and four high lanes.
inline void ColumnSums(const DctTables& t, int o, const __m128i (&lowPairs)[4],
                       const __m128i (&highPairs)[4], __m128i& low, __m128i& high) {
    low = _mm_setzero_si128();
    high = _mm_setzero_si128();
#pragma GCC unroll 8
    for (int k = 0; k < 4; ++k) {
        low = _mm_add_epi32(low, _mm_madd_epi16(lowPairs[k], t.columnPairs[o][k]));
        high = _mm_add_epi32(high, _mm_madd_epi16(highPairs[k], t.columnPairs[o][k]));
    }
}

inline void InterleaveRows(const __m128i (&rows)[8], __m128i (&lowPairs)[4],
                           __m128i (&highPairs)[4]) {
#pragma GCC unroll 8
    for (int k = 0; k < 4; ++k) {
        lowPairs[k] = _mm_unpacklo_epi16(rows[2 * k], rows[2 * k + 1]);
        highPairs[k] = _mm_unpackhi_epi16(rows[2 * k], rows[2 * k + 1]);
    }
}

inline __m128i RoundShift(__m128i v, int shift) {
    return _mm_srai_epi32(_mm_add_epi32(v, _mm_set1_epi32(1 << (shift - 1))), shift);
}

inline __m128i Load(const int16_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

void ForwardDctSse2(int16_t* block) {
    const DctTables& t = ForwardTables();
    constexpr int rowShift = kForwardDctBits - kForwardDctKeep;
    constexpr int columnShift = kForwardDctBits + kForwardDctKeep;
    __m128i rows[8];
#pragma GCC unroll 8
    for (int y = 0; y < 8; ++y) {
        __m128i low;
        __m128i high;
        RowSums(t, Load(block + 8 * y), low, high);
        rows[y] = _mm_packs_epi32(RoundShift(low, rowShift), RoundShift(high, rowShift));
    }
    __m128i lowPairs[4];
    __m128i highPairs[4];
    InterleaveRows(rows, lowPairs, highPairs);
    const __m128i lowest = _mm_set1_epi16(-2048);
    const __m128i highest = _mm_set1_epi16(2047);
#pragma GCC unroll 8
    for (int v = 0; v < 8; ++v) {
        __m128i low;
        __m128i high;
        ColumnSums(t, v, lowPairs, highPairs, low, high);
        const __m128i out =
            _mm_packs_epi32(RoundShift(low, columnShift), RoundShift(high, columnShift));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * v),
                         _mm_min_epi16(_mm_max_epi16(out, lowest), highest));
    }
}

void InverseDctSse2(int16_t* block) {
    const DctTables& t = InverseTables();
    constexpr int rowShift = kInverseDctBits - kInverseDctKeep;
    constexpr int columnShift = kInverseDctBits + kInverseDctKeep;
    constexpr int splitBits = 11;
    const __m128i lowMask = _mm_set1_epi32((1 << splitBits) - 1);
    __m128i highParts[8];
    __m128i lowParts[8];
#pragma GCC unroll 8
    for (int v = 0; v < 8; ++v) {
        __m128i low;
        __m128i high;
        RowSums(t, Load(block + 8 * v), low, high);
        low = RoundShift(low, rowShift);
        high = RoundShift(high, rowShift);
        // row = highPart * 2^11 + lowPart, lowPart in 0..2047.
        highParts[v] =
            _mm_packs_epi32(_mm_srai_epi32(low, splitBits), _mm_srai_epi32(high, splitBits));
        lowParts[v] = _mm_packs_epi32(_mm_and_si128(low, lowMask), _mm_and_si128(high, lowMask));
    }
    __m128i highLow[4];
    __m128i highHigh[4];
    __m128i lowLow[4];
    __m128i lowHigh[4];
    InterleaveRows(highParts, highLow, highHigh);
    InterleaveRows(lowParts, lowLow, lowHigh);
    const __m128i lowest = _mm_set1_epi16(-256);
    const __m128i highest = _mm_set1_epi16(255);
    const __m128i rounding = _mm_set1_epi32(1 << (columnShift - 1));
#pragma GCC unroll 8
    for (int y = 0; y < 8; ++y) {
        __m128i aLow;
        __m128i aHigh;
        __m128i bLow;
        __m128i bHigh;
        ColumnSums(t, y, highLow, highHigh, aLow, aHigh);
        ColumnSums(t, y, lowLow, lowHigh, bLow, bHigh);
        // (a * 2^11 + b + 2^22) >> 23 == (a + ((b + 2^22) >> 11)) >> 12.
        const __m128i outLow = _mm_srai_epi32(
            _mm_add_epi32(aLow, _mm_srai_epi32(_mm_add_epi32(bLow, rounding), splitBits)),
            columnShift - splitBits);
        const __m128i outHigh = _mm_srai_epi32(
            _mm_add_epi32(aHigh, _mm_srai_epi32(_mm_add_epi32(bHigh, rounding), splitBits)),
            columnShift - splitBits);
        const __m128i out = _mm_packs_epi32(outLow, outHigh);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * y),
                         _mm_min_epi16(_mm_max_epi16(out, lowest), highest));
    }
}

}  // namespace korvan
