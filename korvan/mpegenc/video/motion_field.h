// The motion search of a whole picture, apart from its coding. The search of
// a frame picture reads source pictures only (its own and its references'),
// never a reconstruction, so it may run on any thread, ahead of the coder,
// and finds the same vectors whenever and wherever it runs.
#pragma once

#include <vector>

#include "korvan/mpegenc/video/coding_parameters.h"
#include "korvan/mpegenc/video/gop_plan.h"
#include "korvan/mpegenc/video/motion_search.h"
#include "korvan/mpegenc/video/yuv_frame.h"

namespace korvan {

// A source picture with its 4:1 reduced luminance for the coarse search.
struct SourcePicture {
    YuvFrame frame;
    SubsampledPicture reduced;
    int displayIndex = -1;
};

// One direction of the search of a macroblock: the picture searched and the
// reference, each with its reduced luminance, and the window of the classic
// mode.
struct DirectionSearch {
    int index = 0;  // 0 forward, 1 backward
    const Plane* current = nullptr;
    const SubsampledPicture* currentReduced = nullptr;
    const Plane* reference = nullptr;
    const SubsampledPicture* referenceReduced = nullptr;
    int horizontalWindow = 0;  // classic mode, whole samples
    int verticalWindow = 0;
};

// Largest whole-sample displacement whose half-sample neighbours still fit
// f-code `f`.
inline int ReachOfFCode(int f) { return (16 << (f - 1)) / 2 - 1; }

// The classic mode's window of `direction` for `plan`'s picture:
// [horizontal, vertical].
void ClassicWindow(const CodingParameters& p, const PlannedPicture& plan, int direction,
                   int window[2]);

// The vector of macroblock (mbX, mbY) in one direction. `found` holds the
// vectors already found in this picture in that direction and receives
// this one: the neighbours' to the left, above and above right serve as
// starting points, and so do the left and upper ones carried on by the
// change from the neighbour beyond them.
// `fieldPicture`: the picture is one field, so the coarse search reaches
// less far vertically. `hint`, when given, is one more starting point of
// the fine stage (whole samples).
SearchResult SearchMacroblock(const MotionSearcher& searcher, const CodingParameters& p,
                              bool fieldPicture, const DirectionSearch& direction,
                              std::vector<MotionVector>& found, int mbX, int mbY, int patience,
                              const MotionVector* hint = nullptr);

// The frame vectors of every macroblock of a P or B frame picture.
class MotionField {
public:
    // Returns false when the memory cannot be had.
    bool Allocate(const CodingGeometry& geometry);

    // `references`: forward, and for B pictures backward.
    void Search(const MotionSearcher& searcher, const CodingParameters& p,
                const PlannedPicture& plan, const SourcePicture& current,
                const SourcePicture* const (&references)[2]);

    const SearchResult& At(int direction, int macroblock) const {
        return results_[direction][macroblock];
    }

private:
    std::vector<SearchResult> results_[2];
    std::vector<MotionVector> found_[2];
};

}  // namespace korvan
