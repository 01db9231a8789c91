// Codes one frame picture: motion analysis and mode decisions for every
// macroblock, the f-codes, the picture headers, then slice by slice the
// transform, quantisation, variable-length coding and the local decoding
// that rebuilds the picture exactly as a decoder will.
#pragma once

#include <cstdint>
#include <vector>

#include "korvan/mpegenc/common/bit_writer.h"
#include "korvan/mpegenc/common/video_kernels.h"
#include "korvan/mpegenc/video/coding_parameters.h"
#include "korvan/mpegenc/video/gop_plan.h"
#include "korvan/mpegenc/video/macroblock_info.h"
#include "korvan/mpegenc/video/macroblock_writer.h"
#include "korvan/mpegenc/video/motion_field.h"
#include "korvan/mpegenc/video/motion_search.h"
#include "korvan/mpegenc/video/rate_control.h"
#include "korvan/mpegenc/video/stream_headers.h"

namespace korvan {

// The pictures one picture is coded from, and the frame vectors searched
// for it beforehand.
struct PictureInputs {
    const YuvFrame* source = nullptr;
    const YuvFrame* forwardReference = nullptr;   // P and B: the previous reference, reconstructed
    const YuvFrame* backwardReference = nullptr;  // B: the next reference, reconstructed
    const MotionField* motion = nullptr;          // P and B frame pictures
    // Field pictures search while they are coded: the field's 4:1 reduced
    // luminance serves the coarse search.
    const SubsampledPicture* sourceSubsampled = nullptr;
    // Field pictures: the reference field each field_select value names,
    // per direction, with its reduced luminance; null where that field may
    // not be used.
    const YuvFrame* fields[2][2] = {};  // [direction][field_select]
    const SubsampledPicture* fieldSources[2][2] = {};
};

// Where a picture's macroblocks take their quantisers from, and what its
// header announces.
struct PictureRate {
    int vbvDelay = 0xFFFF;
    Quantiser fixed;                       // every macroblock, without a controller
    Tm5RateControl* controller = nullptr;  // constant bitrate
    uint64_t startBits = 0;                // the picture's bits count from here
};

// The spatial activity of a 16x16 luminance block: 1 + the smallest sample
// variance of its four 8x8 blocks, and with `fieldBlocks` also of the four
// 8x8 blocks of its two fields.
enum class ActivityBlocks { kFrame, kFrameAndField };
double SpatialActivity(const uint8_t* block, int stride, ActivityBlocks blocks);

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

    // Returns false when the macroblock table cannot be had.
    bool Allocate();

    // Codes `plan`'s picture into `out` (from its picture header on) and its
    // reconstruction into `reconstruction`.
    VideoResult Code(const PlannedPicture& plan, const PictureInputs& inputs,
                     const PictureRate& rate, BitWriter& out, YuvFrame& reconstruction);

    // The f-codes the last picture used: [forward/backward][horizontal/vertical].
    const int (&FCodes() const)[2][2] { return fCode_; }
    const CodedQuantisers& Quantisers() const { return quantisers_; }

private:
    void Analyse(const PlannedPicture& plan, const PictureInputs& inputs);
    void ChooseFCodes(const PlannedPicture& plan);
    enum class PredictedPlanes { kLuma, kAll };
    // The prediction of macroblock (mbX, mbY) by `m`'s motion into
    // prediction_.
    void Predict(const PictureInputs& inputs, int mbX, int mbY, const MacroblockInfo& m,
                 PredictedPlanes planes);
    int PredictionError(const PictureInputs& inputs, int mbX, int mbY, const MacroblockInfo& m);
    void FormMotion(const PictureInputs& inputs, int mbX, int mbY, const MacroblockInfo& m,
                    int direction, uint8_t* const* dst);
    // Field pictures: the direction's vector and field_select from the
    // better of its reference fields.
    SearchResult SearchFieldPicture(const DirectionSearch& direction, const PictureInputs& inputs,
                                    int mbX, int mbY, int patience, MacroblockInfo& m);
    void FormDirection(const YuvFrame& reference, int mbX, int mbY, MotionVector vector,
                       uint8_t* const* dst);
    // One field of the macroblock (its lines `field`, field + 2, ...) from
    // field `select` of the reference.
    void FormFieldDirection(const YuvFrame& reference, int mbX, int mbY, int field, int select,
                            MotionVector vector, uint8_t* const* dst);
    void FormDualPrime(const YuvFrame& reference, int mbX, int mbY, const MacroblockInfo& m,
                       uint8_t* const* dst);
    // The best vector and reference field for each field of the macroblock.
    void SearchFields(const DirectionSearch& direction, int mbX, int mbY, MotionVector frameVector,
                      MacroblockInfo& m);
    // Fills m's dual-prime vectors; false when none fits the picture.
    bool SearchDualPrime(const PictureInputs& inputs, int mbX, int mbY, MacroblockInfo& m);
    // Returns true when an intra level had to be limited.
    bool TransformMacroblock(const PictureInputs& inputs, int mbX, int mbY, bool fieldDct,
                             MacroblockInfo& mb);
    void Reconstruct(int mbX, int mbY, const MacroblockInfo& mb, YuvFrame& reconstruction);
    VideoResult CodeSlices(const PlannedPicture& plan, const PictureInputs& inputs,
                           const PictureRate& rate, BitWriter& out, YuvFrame& reconstruction);

    const CodingParameters& p_;
    const VideoKernels& kernels_;
    MotionSearcher searcher_;
    std::vector<MacroblockInfo> macroblocks_;
    int fCode_[2][2] = {{15, 15}, {15, 15}};
    CodedQuantisers quantisers_;
    bool fieldPicture_ = false;        // the picture being coded is a field
    int parity_ = 0;                   // its parity: 0 top, 1 bottom
    int largestComponent_[2][2] = {};  // half samples, per direction and axis
    // Field pictures: the vector the search found for every macroblock of
    // this picture, per direction (half samples): starting points for the
    // neighbours' search.
    std::vector<MotionVector> found_[2];

    // Work areas of one macroblock: prediction per plane, a second
    // prediction for averaging, the blocks.
    uint8_t prediction_[3][256] = {};
    uint8_t otherPrediction_[3][256] = {};
    uint8_t dualPrediction_[3][256] = {};
    int16_t levels_[12][64] = {};
};

}  // namespace korvan
