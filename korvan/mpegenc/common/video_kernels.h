// The pixel kernels of the video coder, gathered in one table per
// instruction set. The table is chosen once before an encode; every variant
// of a kernel gives exactly the result of the plain one, so the choice
// changes speed only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/common/quantise.h"

namespace korvan {

// Half-sample position of a prediction: 0 full, 1 half to the right, 2 half
// down, 3 both.
inline int HalfPelIndex(int halfX, int halfY) { return halfX + 2 * halfY; }

// Sum of absolute differences between a 16-wide block of `rows` rows (an
// even number) of `cur` and the reference at a half-sample position. It
// stops after the first pair of rows whose sum reaches `limit` and then
// returns the sum so far, at least `limit`.
using SadKernel = int (*)(const uint8_t* cur, int curStride, const uint8_t* ref, int refStride,
                          int rows, int limit);
// The sums of absolute differences (whole samples) of a 16-wide block of
// `rows` rows against the reference positions ref + offsets[i], taken in
// order with the running best `*best` as the limit: each position whose sum
// is below it lowers it. Returns the index of the last position that did,
// or -1. The same as calling the sad kernel position by position.
using SadSearchKernel = int (*)(const uint8_t* cur, int curStride, const uint8_t* ref,
                                int refStride, int rows, const ptrdiff_t* offsets, int count,
                                int* best);
// Sum of absolute differences of two 4x4 blocks (the coarse search's
// macroblocks on the 4:1 reduced pictures).
using Sad4x4Kernel = int (*)(const uint8_t* cur, int curStride, const uint8_t* ref, int refStride);
// The coarse search's sums for a window at once: sads[16 * j + h] is the
// 4x4 sum of `cur` against `ref` moved down j rows (j < rows) and right h
// pels (h < 16). May read 24 pels of each of rows + 3 reference rows.
inline constexpr int kCoarseWindowWidth = 16;
using CoarseWindowKernel = void (*)(const uint8_t* cur, int curStride, const uint8_t* ref,
                                    int refStride, int rows, uint16_t* sads);
// The smallest sum of each ring of such a window: minima[k] (k < 8) is the
// smallest sads[16 * j + 7 + dx] with max(|dx|, |j - centreRow|) == k over
// the rows j < rows and left <= dx <= right, or kNoSum when there is none.
inline constexpr uint16_t kNoSum = 0x7FFF;
using CoarseRingMinimaKernel = void (*)(const uint16_t* sads, int rows, int centreRow, int left,
                                        int right, uint16_t* minima);
// One row of the 4:1 reduced luminance: out[x] = (sum of the 4x4 block at
// (4x, 0) + 8) >> 4 for x < count (a multiple of 4).
using ReduceRowKernel = void (*)(const uint8_t* luma, int stride, int count, uint8_t* out);
// Sum of squared deviations of a 16x16 block from its mean.
using VarianceKernel = int (*)(const uint8_t* block, int stride);
// Sum of squared differences of two 16x16 blocks.
using PredictionErrorKernel = int (*)(const uint8_t* cur, int curStride, const uint8_t* pred,
                                      int predStride);
// Copies a `width` x `rows` block (width 8 or 16) from a half-sample position.
using PredictKernel = void (*)(uint8_t* dst, int dstStride, const uint8_t* ref, int refStride,
                               int width, int rows);
// dst = (dst + other + 1) / 2, the average of two predictions.
using AverageKernel = void (*)(uint8_t* dst, int dstStride, const uint8_t* other, int otherStride,
                               int width, int rows);
using DctKernel = void (*)(int16_t* block);
// block = in - pred for an 8x8 block (pred with stride 0 may be a row of
// zeros, for intra blocks).
using BlockDifferenceKernel = void (*)(const uint8_t* in, int inStride, const uint8_t* pred,
                                       int predStride, int16_t* block);
// out = pred + block, limited to 0..255, for an 8x8 block.
using BlockAddKernel = void (*)(const int16_t* block, const uint8_t* pred, int predStride,
                                uint8_t* out, int outStride);
// Quantises a non-intra block toward zero (see QuantiseNonIntraBlock);
// true when any level is not zero.
using QuantiseNonIntraKernel = bool (*)(const int16_t* coefficients, int16_t* levels,
                                        const QuantiserMatrix& matrix, int mquant,
                                        MpegSyntax syntax);

// Quantises an intra block (see QuantiseIntraBlock); true when a level had
// to be limited.
using QuantiseIntraKernel = bool (*)(const int16_t* coefficients, int16_t* levels,
                                     const QuantiserMatrix& matrix, int mquant,
                                     int intraDcPrecision, MpegSyntax syntax);

// What a decoder makes of a block's levels (see DequantiseIntraBlock and
// DequantiseNonIntraBlock).
using DequantiseIntraKernel = void (*)(const int16_t* levels, int16_t* coefficients,
                                       const QuantiserMatrix& matrix, int mquant,
                                       int intraDcPrecision, MpegSyntax syntax);
using DequantiseNonIntraKernel = void (*)(const int16_t* levels, int16_t* coefficients,
                                          const QuantiserMatrix& matrix, int mquant,
                                          MpegSyntax syntax);

// Which levels of a block (raster order) are not zero, in transmission
// order: bit i stands for the i-th coefficient of the zig-zag scan, or of
// the alternate scan.
using ScanMaskKernel = uint64_t (*)(const int16_t* levels, bool alternateScan);

// The magnitudes of a block's levels as bytes in transmission order (as
// ScanMaskKernel), those above 255 as 255; returns the largest magnitude
// (-32768 counting as 32767), so that a caller knows whether the bytes are
// exact.
using ScanMagnitudesKernel = int (*)(const int16_t* levels, bool alternateScan,
                                     uint8_t* magnitudes);

// Of the positions `positions` names (bits in transmission order, as
// ScanMaskKernel) those whose magnitude (as ScanMagnitudesKernel gives them)
// is below 16: the sum of `lengths[magnitude]` over them; they are cleared
// from `positions`.
using SmallLevelLengthsKernel = uint32_t (*)(const uint8_t* magnitudes, uint64_t* positions,
                                             const uint8_t* lengths);

struct VideoKernels {
    SadKernel sad[4];  // by HalfPelIndex
    SadSearchKernel sadSearch;
    Sad4x4Kernel sad4x4;
    CoarseWindowKernel coarseWindow;
    CoarseRingMinimaKernel coarseRingMinima;
    ReduceRowKernel reduceRow;
    VarianceKernel variance16x16;
    PredictionErrorKernel predictionError16x16;
    PredictKernel predict[4];  // by HalfPelIndex
    AverageKernel average;
    BlockDifferenceKernel blockDifference;
    BlockAddKernel blockAdd;
    DctKernel forwardDct;
    DctKernel inverseDct;
    QuantiseNonIntraKernel quantiseNonIntra;
    QuantiseIntraKernel quantiseIntra;
    DequantiseIntraKernel dequantiseIntra;
    DequantiseNonIntraKernel dequantiseNonIntra;
    ScanMaskKernel scanMask;
    ScanMagnitudesKernel scanMagnitudes;
    SmallLevelLengthsKernel smallLevelLengths;
};

enum class DctArithmetic { kInteger, kFloatingPoint };

// The plain kernels, the reference every other variant is checked against.
const VideoKernels& PlainVideoKernels(DctArithmetic arithmetic);

// The fastest table the instruction sets `flags` names allow (the plain one
// for none).
const VideoKernels& SelectVideoKernels(CpuFlags flags, DctArithmetic arithmetic);

}  // namespace korvan
