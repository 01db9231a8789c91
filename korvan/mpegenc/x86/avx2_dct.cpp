// The integer DCTs of dct.cpp with AVX2 multiply-adds: the SSE2 passes of
// sse2_dct.cpp with two rows in every register. A register holds rows k
// and k + 4, so that interleaving two such registers gives the row pairs
// of the column pass for two pairs at once; the column sums of the two
// halves are joined across the lanes at the end. Every sum is a sum of the
// same 16-bit products as the plain kernel's, so the results are its own.
#include <immintrin.h>

#include "korvan/mpegenc/common/dct.h"
#include "korvan/mpegenc/x86/simd_kernels.h"

namespace korvan {
namespace {

// Constants of one transform, loaded where they are used.
struct Avx2DctTables {
    // rowPairs[k][half]: (c[2k][i], c[2k+1][i]) for the four outputs i of
    // the half, where c is the row pass's matrix of (input, output); the
    // same in both lanes.
    alignas(32) int16_t rowPairs[4][2][16];
    // columnPairs[o][n]: the pair of basis values that weighs rows 2n and
    // 2n + 1 for output o in the low lane, rows 2n + 4 and 2n + 5 in the
    // high lane.
    alignas(32) int16_t columnPairs[8][2][16];
};

enum class Direction { kForward, kInverse };

Avx2DctTables MakeTables(const IntegerDctBasis& basis, Direction direction) {
    Avx2DctTables t{};
    // Forward rows: output u from inputs x with basis[u][x]; inverse rows:
    // output x from inputs u with basis[u][x]. Columns likewise, output o
    // from rows j.
    const auto coefficient = [&](int input, int output) {
        return static_cast<int16_t>(direction == Direction::kForward ? basis[output][input]
                                                                     : basis[input][output]);
    };
    for (int k = 0; k < 4; ++k) {
        for (int half = 0; half < 2; ++half) {
            for (int lane = 0; lane < 2; ++lane) {
                for (int i = 0; i < 4; ++i) {
                    const int output = 4 * half + i;
                    t.rowPairs[k][half][8 * lane + 2 * i] = coefficient(2 * k, output);
                    t.rowPairs[k][half][8 * lane + 2 * i + 1] = coefficient(2 * k + 1, output);
                }
            }
        }
    }
    for (int o = 0; o < 8; ++o) {
        for (int n = 0; n < 2; ++n) {
            for (int lane = 0; lane < 2; ++lane) {
                const int row = 2 * n + 4 * lane;
                for (int i = 0; i < 4; ++i) {
                    t.columnPairs[o][n][8 * lane + 2 * i] = coefficient(row, o);
                    t.columnPairs[o][n][8 * lane + 2 * i + 1] = coefficient(row + 1, o);
                }
            }
        }
    }
    return t;
}

const Avx2DctTables& ForwardTables() {
    static const Avx2DctTables tables = MakeTables(ForwardDctBasis(), Direction::kForward);
    return tables;
}

const Avx2DctTables& InverseTables() {
    static const Avx2DctTables tables = MakeTables(InverseDctBasis(), Direction::kInverse);
    return tables;
}

__attribute__((target("avx2"))) inline __m256i Load(const int16_t* p) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2"))) inline __m256i RoundShift(__m256i v, int shift) {
    return _mm256_srai_epi32(_mm256_add_epi32(v, _mm256_set1_epi32(1 << (shift - 1))), shift);
}

// Rows k and k + 4 of `block` through the row pass: the four low and four
// high outputs of each row as 32-bit sums, row k in the low lane.
__attribute__((target("avx2"))) inline void RowSums(const Avx2DctTables& t, const int16_t* block,
                                                    int k, __m256i& low, __m256i& high) {
    const __m256i rows = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * k))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * (k + 4))), 1);
    const __m256i p0 = _mm256_shuffle_epi32(rows, 0x00);
    const __m256i p1 = _mm256_shuffle_epi32(rows, 0x55);
    const __m256i p2 = _mm256_shuffle_epi32(rows, 0xAA);
    const __m256i p3 = _mm256_shuffle_epi32(rows, 0xFF);
    low = _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(p0, Load(t.rowPairs[0][0])),
                                            _mm256_madd_epi16(p1, Load(t.rowPairs[1][0]))),
                           _mm256_add_epi32(_mm256_madd_epi16(p2, Load(t.rowPairs[2][0])),
                                            _mm256_madd_epi16(p3, Load(t.rowPairs[3][0]))));
    high = _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(p0, Load(t.rowPairs[0][1])),
                                             _mm256_madd_epi16(p1, Load(t.rowPairs[1][1]))),
                            _mm256_add_epi32(_mm256_madd_epi16(p2, Load(t.rowPairs[2][1])),
                                             _mm256_madd_epi16(p3, Load(t.rowPairs[3][1]))));
}

// The row pass's results r[k] (rows k and k + 4, 16 bits) as the pairs the
// column pass weighs: pairs[0] rows 0/1 and 4/5 for outputs 0..3, pairs[1]
// the same for outputs 4..7, pairs[2] and pairs[3] rows 2/3 and 6/7.
__attribute__((target("avx2"))) inline void InterleaveRows(const __m256i (&r)[4],
                                                           __m256i (&pairs)[4]) {
    pairs[0] = _mm256_unpacklo_epi16(r[0], r[1]);
    pairs[1] = _mm256_unpackhi_epi16(r[0], r[1]);
    pairs[2] = _mm256_unpacklo_epi16(r[2], r[3]);
    pairs[3] = _mm256_unpackhi_epi16(r[2], r[3]);
}

// Output o of the column pass: the eight 32-bit sums over all rows, in
// order.
__attribute__((target("avx2"))) inline __m256i ColumnSums(const Avx2DctTables& t, int o,
                                                          const __m256i (&pairs)[4]) {
    const __m256i near = Load(t.columnPairs[o][0]);
    const __m256i far = Load(t.columnPairs[o][1]);
    const __m256i low =
        _mm256_add_epi32(_mm256_madd_epi16(pairs[0], near), _mm256_madd_epi16(pairs[2], far));
    const __m256i high =
        _mm256_add_epi32(_mm256_madd_epi16(pairs[1], near), _mm256_madd_epi16(pairs[3], far));
    return _mm256_add_epi32(_mm256_permute2x128_si256(low, high, 0x20),
                            _mm256_permute2x128_si256(low, high, 0x31));
}

// Outputs o and o + 1, eight 32-bit values each, into rows o and o + 1 of
// `block`, limited to lowest..highest.
__attribute__((target("avx2"))) inline void StoreTwoRows(int16_t* block, int o, __m256i first,
                                                         __m256i second, __m256i lowest,
                                                         __m256i highest) {
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(first, second), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 8 * o),
                        _mm256_min_epi16(_mm256_max_epi16(packed, lowest), highest));
}

// The inverse transform's column sums need more than 32 bits: each row
// result is split as highPart * 2^11 + lowPart (lowPart in 0..2047), each
// part summed in 32 bits, and the two joined with the rounding of the whole
// sum: (a * 2^11 + b + 2^22) >> 23 == (a + ((b + 2^22) >> 11)) >> 12.
constexpr int kSplitBits = 11;

__attribute__((target("avx2"))) inline __m256i JoinParts(__m256i high, __m256i low) {
    constexpr int columnShift = kInverseDctBits + kInverseDctKeep;
    const __m256i rounding = _mm256_set1_epi32(1 << (columnShift - 1));
    return _mm256_srai_epi32(
        _mm256_add_epi32(high, _mm256_srai_epi32(_mm256_add_epi32(low, rounding), kSplitBits)),
        columnShift - kSplitBits);
}

}  // namespace

__attribute__((target("avx2"))) void ForwardDctAvx2(int16_t* block) {
    const Avx2DctTables& t = ForwardTables();
    constexpr int rowShift = kForwardDctBits - kForwardDctKeep;
    constexpr int columnShift = kForwardDctBits + kForwardDctKeep;
    __m256i rows[4];
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
        __m256i low;
        __m256i high;
        RowSums(t, block, k, low, high);
        rows[k] = _mm256_packs_epi32(RoundShift(low, rowShift), RoundShift(high, rowShift));
    }
    __m256i pairs[4];
    InterleaveRows(rows, pairs);
    const __m256i lowest = _mm256_set1_epi16(-2048);
    const __m256i highest = _mm256_set1_epi16(2047);
#pragma GCC unroll 4
    for (int v = 0; v < 8; v += 2) {
        StoreTwoRows(block, v, RoundShift(ColumnSums(t, v, pairs), columnShift),
                     RoundShift(ColumnSums(t, v + 1, pairs), columnShift), lowest, highest);
    }
}

__attribute__((target("avx2"))) void InverseDctAvx2(int16_t* block) {
    const Avx2DctTables& t = InverseTables();
    constexpr int rowShift = kInverseDctBits - kInverseDctKeep;
    // Split for JoinParts.
    const __m256i lowMask = _mm256_set1_epi32((1 << kSplitBits) - 1);
    __m256i highParts[4];
    __m256i lowParts[4];
#pragma GCC unroll 4
    for (int k = 0; k < 4; ++k) {
        __m256i low;
        __m256i high;
        RowSums(t, block, k, low, high);
        low = RoundShift(low, rowShift);
        high = RoundShift(high, rowShift);
        highParts[k] = _mm256_packs_epi32(_mm256_srai_epi32(low, kSplitBits),
                                          _mm256_srai_epi32(high, kSplitBits));
        lowParts[k] =
            _mm256_packs_epi32(_mm256_and_si256(low, lowMask), _mm256_and_si256(high, lowMask));
    }
    __m256i highPairs[4];
    __m256i lowPairs[4];
    InterleaveRows(highParts, highPairs);
    InterleaveRows(lowParts, lowPairs);
    const __m256i lowest = _mm256_set1_epi16(-256);
    const __m256i highest = _mm256_set1_epi16(255);
#pragma GCC unroll 4
    for (int y = 0; y < 8; y += 2) {
        StoreTwoRows(block, y, JoinParts(ColumnSums(t, y, highPairs), ColumnSums(t, y, lowPairs)),
                     JoinParts(ColumnSums(t, y + 1, highPairs), ColumnSums(t, y + 1, lowPairs)),
                     lowest, highest);
    }
}

}  // namespace korvan
