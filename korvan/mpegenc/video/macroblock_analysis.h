// The decision for one macroblock: intra or predicted; forward, backward or
// both; frame, field or dual-prime motion; which vectors. And the prediction
// such a decision makes. A decision reads the source and the reconstructed
// references only, so the macroblocks of a frame picture may be decided on
// any thread and in any order; a field picture's search starts from its
// neighbours' vectors, so its macroblocks are decided in order.
#pragma once

#include <cstdint>
#include <vector>

#include "korvan/mpegenc/common/video_kernels.h"
#include "korvan/mpegenc/video/coding_parameters.h"
#include "korvan/mpegenc/video/gop_plan.h"
#include "korvan/mpegenc/video/macroblock_info.h"
#include "korvan/mpegenc/video/motion_field.h"
#include "korvan/mpegenc/video/motion_search.h"

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

// A macroblock's prediction, 16 x 16 samples a plane (chroma uses the top
// left chromaMbWidth x chromaMbHeight), rows 16 apart.
using MacroblockPrediction = uint8_t[3][256];

// The largest vector components a picture's decisions used, half samples:
// [forward/backward][horizontal/vertical]. They choose the f-codes.
struct LargestComponents {
    int v[2][2] = {};

    void Note(int direction, MotionVector vector);
    void Merge(const LargestComponents& other);
};

class MacroblockAnalyser {
public:
    // `searcher` serves the searches made here (field pictures and the
    // field vectors of frame pictures), in the reconstructed references.
    MacroblockAnalyser(const CodingParameters& p, const VideoKernels& kernels,
                       const MotionSearcher& searcher, const PlannedPicture& plan,
                       const PictureInputs& inputs);

    // Decides macroblock (mbX, mbY) into `mb` (flags, motion, variance) and
    // notes its vectors in `largest`. Field pictures: `found` holds, per
    // direction, the vectors found so far in this picture and receives
    // this macroblock's.
    void Decide(int mbX, int mbY, MacroblockInfo& mb, LargestComponents& largest,
                std::vector<MotionVector> (*found)[2]);

    enum class PredictedPlanes { kLuma, kAll };
    // The prediction of macroblock (mbX, mbY) by `m`'s motion into `out`.
    void Predict(int mbX, int mbY, const MacroblockInfo& m, PredictedPlanes planes,
                 MacroblockPrediction& out);

private:
    int PredictionError(int mbX, int mbY, const MacroblockInfo& m);
    void FormMotion(int mbX, int mbY, const MacroblockInfo& m, int direction, uint8_t* const* dst);
    void FormDirection(const YuvFrame& reference, int mbX, int mbY, MotionVector vector,
                       uint8_t* const* dst);
    // One field of the macroblock (its lines `field`, field + 2, ...) from
    // field `select` of the reference.
    void FormFieldDirection(const YuvFrame& reference, int mbX, int mbY, int field, int select,
                            MotionVector vector, uint8_t* const* dst);
    void FormDualPrime(const YuvFrame& reference, int mbX, int mbY, const MacroblockInfo& m,
                       uint8_t* const* dst);
    // Field pictures: the direction's vector and field_select from the
    // better of its reference fields.
    SearchResult SearchFieldPicture(const DirectionSearch& direction, int mbX, int mbY,
                                    std::vector<MotionVector>& found, MacroblockInfo& m);
    // The best vector and reference field for each field of the macroblock.
    void SearchFields(const DirectionSearch& direction, int mbX, int mbY, MotionVector frameVector,
                      MacroblockInfo& m);
    // Fills m's dual-prime vectors; false when none fits the picture.
    bool SearchDualPrime(int mbX, int mbY, MacroblockInfo& m);

    const CodingParameters& p_;
    const VideoKernels& kernels_;
    const MotionSearcher& searcher_;
    const PlannedPicture& plan_;
    const PictureInputs& inputs_;
    bool fieldPicture_ = false;  // the picture is a field
    int parity_ = 0;             // its parity: 0 top, 1 bottom
    int patience_ = 2;           // field pictures' coarse search
    // Interlaced frame pictures without frame_pred_frame_dct may predict
    // each field on its own, and without B pictures also by dual prime.
    bool fieldMotion_ = false;
    bool dualPrime_ = false;
    DirectionSearch directions_[2];

    // Work areas: a prediction being judged, a second one for averaging.
    MacroblockPrediction trial_ = {};
    MacroblockPrediction other_ = {};
    MacroblockPrediction dual_ = {};
};

}  // namespace korvan
