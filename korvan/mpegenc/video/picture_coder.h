// Codes one picture in three stages. First every macroblock's decision and
// forward transform (with a fixed quantiser also its quantisation and its
// blocks' coefficient codes), row by row on the worker pool: they read the
// source and the finished references only. Then, on the calling thread and
// in order, what depends on the bits written so far: the f-codes and the
// picture headers, the rate controller's quantisers (and the codes of the
// blocks they quantise), skipped macroblocks, the macroblock headers and
// the DC differences, with the coefficient codes appended. Last, behind
// it, each coded row's local decoding into the reconstruction, again on
// the pool. The stream is the same whichever thread runs a row.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "korvan/mpegenc/common/bit_writer.h"
#include "korvan/mpegenc/common/video_kernels.h"
#include "korvan/mpegenc/common/worker_pool.h"
#include "korvan/mpegenc/video/block_codes.h"
#include "korvan/mpegenc/video/coding_parameters.h"
#include "korvan/mpegenc/video/gop_plan.h"
#include "korvan/mpegenc/video/macroblock_analysis.h"
#include "korvan/mpegenc/video/macroblock_info.h"
#include "korvan/mpegenc/video/macroblock_transform.h"
#include "korvan/mpegenc/video/macroblock_writer.h"
#include "korvan/mpegenc/video/motion_search.h"
#include "korvan/mpegenc/video/rate_control.h"
#include "korvan/mpegenc/video/stream_headers.h"

namespace korvan {

// Where a picture's macroblocks take their quantisers from, and what its
// header announces.
struct PictureRate {
    int vbvDelay = 0xFFFF;
    Quantiser fixed;                       // every macroblock, without a controller
    Tm5RateControl* controller = nullptr;  // constant bitrate
    uint64_t startBits = 0;                // the picture's bits count from here
    // kSizesOnly: the picture is only measured (its GOP will be coded again),
    // so its coefficient codes are counted, and written as zero bits.
    CodeKeeping keeping = CodeKeeping::kCodes;
};

// The quantisers the macroblocks of a picture were coded with, and how
// many used the interlaced tools.
struct CodedQuantisers {
    int smallest = 0;
    int largest = 0;
    double mean = 0;
    int fieldDct = 0;
    int fieldMotion = 0;
    int dualPrime = 0;
};

class PictureCoder {
public:
    PictureCoder(const CodingParameters& parameters, const VideoKernels& kernels);

    // The per-macroblock stores; `controlled`: a rate controller chooses
    // the quantisers, so the coefficients wait for them. False when the
    // memory cannot be had.
    bool Allocate(bool controlled);

    // Codes `plan`'s picture into `out` (from its picture header on), the
    // stages before and after the slices on `pool`. Each coded row's
    // reconstruction goes to `reconstruction`'s planes on the pool, unless
    // `reconstruction` is null (nobody needs this picture's); wait for
    // Reconstructed() before reading or reusing anything it names.
    VideoResult Code(const PlannedPicture& plan, const PictureInputs& inputs,
                     const PictureRate& rate, WorkerPool& pool, BitWriter& out,
                     const YuvFrame* reconstruction);

    // True when every row the last Code handed on is reconstructed.
    bool Reconstructed() const {
        return rowsReconstructed_.load(std::memory_order_acquire) == rowsToReconstruct_;
    }

    // The f-codes the last picture used: [forward/backward][horizontal/vertical].
    const int (&FCodes() const)[2][2] { return fCode_; }
    const CodedQuantisers& Quantisers() const { return quantisers_; }

private:
    // Decisions and transforms of the macroblock rows [firstRow, endRow).
    void AnalyseRows(const PlannedPicture& plan, const PictureInputs& inputs,
                     const PictureRate& rate, int firstRow, int endRow);
    void ChooseFCodes(const PlannedPicture& plan, const LargestComponents& largest);
    VideoResult CodeSlices(const PlannedPicture& plan, const PictureRate& rate, WorkerPool& pool,
                           BitWriter& out);
    void ReconstructRow(int mbY);
    // The coefficient codes of macroblock `address`'s coded blocks, once
    // they are quantised.
    void BuildBlockCodes(const PlannedPicture& plan, int mbY, int address);

    QuantisedBlocks QuantisedOf(int address) {
        const size_t first = static_cast<size_t>(address) * p_.geometry.blocksPerMacroblock;
        return {&levels_[first], &scanMasks_[first]};
    }
    BlockCode* BlockCodesOf(int address) {
        return &blockCodes_[static_cast<size_t>(address) * p_.geometry.blocksPerMacroblock];
    }
    BlockCoefficients* CoefficientsOf(int address) {
        return &coefficients_[static_cast<size_t>(address) * p_.geometry.blocksPerMacroblock];
    }

    const CodingParameters& p_;
    const VideoKernels& kernels_;
    MotionSearcher searcher_;
    int fCode_[2][2] = {{15, 15}, {15, 15}};
    CodedQuantisers quantisers_;
    bool fieldPicture_ = false;  // the picture being coded is a field
    int parity_ = 0;             // its parity: 0 top, 1 bottom
    // Field pictures: the vector the search found for every macroblock of
    // this picture, per direction (half samples): starting points for the
    // neighbours' search.
    std::vector<MotionVector> found_[2];

    // Per macroblock, for the three stages: the decision, the spatial
    // activity (constant bitrate), the prediction, the levels and where they
    // are not zero, and with a
    // rate controller the coefficients awaiting their quantiser.
    std::vector<MacroblockInfo> macroblocks_;
    std::vector<double> activity_;
    std::unique_ptr<MacroblockPrediction[]> predictions_;
    std::unique_ptr<BlockCoefficients[]> levels_;
    std::unique_ptr<uint64_t[]> scanMasks_;
    std::unique_ptr<BlockCoefficients[]> coefficients_;
    // The coded blocks' codes: where each lies, and per row the codes.
    std::unique_ptr<BlockCode[]> blockCodes_;
    std::vector<RowCodes> rowCodes_;
    // Per row of the decision stage: done, and the largest vector components.
    std::unique_ptr<std::atomic<bool>[]> rowAnalysed_;
    std::vector<LargestComponents> rowLargest_;
    // The reconstruction stage.
    Plane target_[3];
    int rowsToReconstruct_ = 0;
    std::atomic<int> rowsReconstructed_{0};
};

}  // namespace korvan
