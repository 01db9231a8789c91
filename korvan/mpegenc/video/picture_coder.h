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
//
// With two sets of per-picture stores the first stage of the next picture
// may run while this one is written and rebuilt:
//
//   coder.Analyse(k, ...);  coder.AwaitAnalysis(k, pool);
//   coder.Analyse(k + 1, ...);           // when nothing it reads is to come
//   coder.Write(k, ...);
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
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
    ~PictureCoder();

    // The per-macroblock stores of `pictures` pictures at once (1 or 2);
    // `controlled`: a rate controller chooses the quantisers, so the
    // coefficients wait for them. False when the memory cannot be had.
    bool Allocate(bool controlled, int pictures);
    // Whether a picture may be analysed while another is written.
    bool AnalysesAhead() const { return slotCount_ > 1; }

    // Starts the decisions and transforms of `plan`'s picture, known by
    // `tag`, on `pool`, unless they are under way already. They go into
    // stores the picture analysed last does not use, so with two sets this
    // may be called once that one's analysis is over and before it is
    // written. Everything `inputs` names must stay as it is until the
    // picture is written, and a reference must be rebuilt already. Of
    // `rate` only the fixed quantiser, whether a controller chooses the
    // quantisers and the code keeping count here.
    void Analyse(uint64_t tag, const PlannedPicture& plan, const PictureInputs& inputs,
                 const PictureRate& rate, WorkerPool& pool);
    // The same for a picture that predicts from picture `referenceTag`,
    // analysed and not yet written: each of its rows starts once that
    // picture's reconstruction has the rows it may predict from.
    void AnalyseBehind(uint64_t tag, uint64_t referenceTag, const PlannedPicture& plan,
                       const PictureInputs& inputs, const PictureRate& rate, WorkerPool& pool);
    // Returns once picture `tag`'s analysis is over, running its rows
    // meanwhile.
    void AwaitAnalysis(uint64_t tag, WorkerPool& pool);

    // Writes picture `tag` into `out` (from its picture header on), once
    // analysed. Each coded row's reconstruction goes to `reconstruction`'s
    // planes on `pool`, unless `reconstruction` is null (nobody needs this
    // picture's); wait for Reconstructed() before reading or reusing
    // anything it names.
    Status Write(uint64_t tag, const PictureRate& rate, WorkerPool& pool, BitWriter& out,
                 const YuvFrame* reconstruction);

    // True when every row handed on to be rebuilt is rebuilt.
    bool Reconstructed() const;

    // The f-codes the last picture used: [forward/backward][horizontal/vertical].
    const int (&FCodes() const)[2][2] { return fCode_; }
    const CodedQuantisers& Quantisers() const { return quantisers_; }

private:
    // One picture's stores through the three stages, and what its analysis
    // reads.
    struct Slot {
        uint64_t tag = 0;
        bool unwritten = false;  // analysed, or being analysed, and not yet written
        PlannedPicture plan;
        PictureInputs inputs;
        PictureRate rate;
        bool fieldPicture = false;  // the picture is a field
        int parity = 0;             // its parity: 0 top, 1 bottom

        // Per macroblock: the decision, the spatial activity (constant
        // bitrate), the prediction, the levels and where they are not zero,
        // and with a rate controller the coefficients awaiting their
        // quantiser.
        std::vector<MacroblockInfo> macroblocks;
        std::vector<double> activity;
        std::unique_ptr<MacroblockPrediction[]> predictions;
        std::unique_ptr<BlockCoefficients[]> levels;
        std::unique_ptr<uint64_t[]> scanMasks;
        std::unique_ptr<BlockCoefficients[]> coefficients;
        // The coded blocks' codes: where each lies, and per row the codes.
        std::unique_ptr<BlockCode[]> blockCodes;
        std::vector<RowCodes> rowCodes;
        // Per row of the decision stage: done, and the largest vector
        // components.
        std::unique_ptr<std::atomic<bool>[]> rowAnalysed;
        std::vector<LargestComponents> rowLargest;
        // The reconstruction stage.
        Plane target[3];
        int rowsToReconstruct = 0;
        std::atomic<int> rowsReconstructed{0};
        std::unique_ptr<std::atomic<bool>[]> rowRebuilt;
        // A picture analysed behind this one's reconstruction: the rows of
        // it handed to the pool so far, and the rows rebuilt from the top.
        std::mutex gate;
        Slot* behind = nullptr;
        int rowsReleased = 0;
        int rebuiltFromTop = 0;
    };

    Slot* SlotOf(uint64_t tag);
    // Takes the stores for a new analysis, once nothing reads them any more.
    Slot& FreeSlot(WorkerPool& pool);
    void Start(Slot& slot, uint64_t tag, const PlannedPicture& plan, const PictureInputs& inputs,
               const PictureRate& rate);
    void SubmitRows(Slot& slot, int firstRow, int endRow, WorkerPool& pool);
    // Hands the rows of the picture analysed behind `slot` to the pool as
    // far as `slot`'s reconstruction allows; all of them with `everything`.
    enum class Release { kAsRebuilt, kEverything };
    void ReleaseBehind(Slot& slot, Release release, WorkerPool& pool);
    bool Analysed(const Slot& slot) const;
    // Decisions and transforms of the macroblock rows [firstRow, endRow).
    void AnalyseRows(Slot& slot, int firstRow, int endRow);
    void ChooseFCodes(const PlannedPicture& plan, const LargestComponents& largest);
    Status CodeSlices(Slot& slot, const PictureRate& rate, WorkerPool& pool, BitWriter& out);
    void ReconstructRow(Slot& slot, int mbY, WorkerPool& pool);
    // The coefficient codes of macroblock `address`'s coded blocks, once
    // they are quantised.
    void BuildBlockCodes(Slot& slot, int mbY, int address);

    QuantisedBlocks QuantisedOf(Slot& slot, int address) const {
        const size_t first = static_cast<size_t>(address) * p_.geometry.blocksPerMacroblock;
        return {&slot.levels[first], &slot.scanMasks[first]};
    }
    BlockCode* BlockCodesOf(Slot& slot, int address) const {
        return &slot.blockCodes[static_cast<size_t>(address) * p_.geometry.blocksPerMacroblock];
    }
    BlockCoefficients* CoefficientsOf(Slot& slot, int address) const {
        return &slot.coefficients[static_cast<size_t>(address) * p_.geometry.blocksPerMacroblock];
    }

    const CodingParameters& p_;
    const VideoKernels& kernels_;
    MotionSearcher searcher_;
    int fCode_[2][2] = {{15, 15}, {15, 15}};
    CodedQuantisers quantisers_;
    // Field pictures: the vector the search found for every macroblock of
    // this picture, per direction (half samples): starting points for the
    // neighbours' search. Field pictures are analysed one at a time.
    std::vector<MotionVector> found_[2];
    std::unique_ptr<Slot[]> slots_;
    int slotCount_ = 0;
    int latest_ = 0;  // the slot of the analysis started last
    // Rows of a reference below a row that a prediction may reach.
    int reachRows_ = 0;
};

}  // namespace korvan
