// The blocks of one macroblock between its prediction and the bitstream: on
// the way in the residual, the choice of frame or field DCT, the forward
// transform and the quantisation; on the way back what a decoder does:
// dequantisation, inverse transform and the sum with the prediction.
#pragma once

#include <cstdint>

#include "korvan/mpegenc/common/video_kernels.h"
#include "korvan/mpegenc/video/coding_parameters.h"
#include "korvan/mpegenc/video/macroblock_analysis.h"
#include "korvan/mpegenc/video/macroblock_info.h"

namespace korvan {

// The most blocks a macroblock has (4:4:4).
inline constexpr int kMaxBlocksPerMacroblock = 12;

using BlockCoefficients = int16_t[64];

// Forward transform of macroblock (mbX, mbY) of `source`: every block of
// its residual against `prediction` (intra macroblocks: the samples
// themselves) into `coefficients`. With `chooseDct` the macroblock's
// dct_type is chosen from its luminance residual, else it is 0 (frame DCT).
void TransformMacroblock(const CodingParameters& p, const VideoKernels& kernels,
                         const YuvFrame& source, int mbX, int mbY, bool chooseDct,
                         const MacroblockPrediction& prediction, MacroblockInfo& mb,
                         BlockCoefficients* coefficients);

// A macroblock's quantised blocks: the levels in raster order and, per
// block, which of them are not zero in the picture's scan (ScanMaskKernel).
struct QuantisedBlocks {
    BlockCoefficients* levels = nullptr;
    uint64_t* scanMasks = nullptr;
};

// Quantises the blocks with mb.mquant and sets mb.codedBlockPattern
// (non-intra blocks that keep a level). Returns true when an intra level had
// to be limited.
bool QuantiseMacroblock(const CodingParameters& p, const VideoKernels& kernels,
                        const BlockCoefficients* coefficients, bool alternateScan,
                        MacroblockInfo& mb, const QuantisedBlocks& out);

// The decoder's picture of macroblock (mbX, mbY) into `reconstruction`.
void ReconstructMacroblock(const CodingParameters& p, const VideoKernels& kernels, int mbX, int mbY,
                           const MacroblockInfo& mb, const BlockCoefficients* levels,
                           const MacroblockPrediction& prediction, const Plane* reconstruction);

}  // namespace korvan
