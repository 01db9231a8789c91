#include "korvan/mpegenc/video/motion_field.h"

#include <algorithm>
#include <new>

namespace korvan {
namespace {

// How much worse (sum of absolute differences over the macroblock) the
// predicted vector may match and still be taken.
constexpr int kPredictorSlack = 32;

// What a bit of a vector is worth in the sum of absolute differences when
// the half-sample positions around the best whole-sample match are
// weighed: about what a bit buys in a macroblock's residual at the
// quantisers the presets reach.
constexpr int kSadPerVectorBit = 8;

}  // namespace

void ClassicWindow(const CodingParameters& p, const PlannedPicture& plan, int direction,
                   int window[2]) {
    window[0] = window[1] = 0;
    if (plan.type == kPictureP && direction == 0) {
        window[0] = p.motion[0].forwHorzSearch;
        window[1] = p.motion[0].forwVertSearch;
    } else if (plan.type == kPictureB) {
        const MotionRecord& r = p.motion[std::clamp(plan.forwardDistance, 1, kMotionRecords - 1)];
        window[0] = direction == 0 ? r.forwHorzSearch : r.backHorzSearch;
        window[1] = direction == 0 ? r.forwVertSearch : r.backVertSearch;
    }
}

SearchResult SearchMacroblock(const MotionSearcher& searcher, const CodingParameters& p,
                              bool fieldPicture, const DirectionSearch& direction,
                              std::vector<MotionVector>& found, int mbX, int mbY, int patience,
                              const MotionVector* hint) {
    const int v = p.variableMaxMotion;
    const int mb = mbY * p.geometry.mbWidth + mbX;
    SearchResult result;
    if (v >= 8) {
        // Besides the coarse candidate, the fine stage may start from the zero
        // vector, from where the neighbours moved (left, above, above right)
        // and from the left and upper pairs' vectors carried one macroblock
        // on: a turn or a zoom changes the vectors steadily across the
        // picture, so the carried vector is where such motion is, while the
        // sub-sampled match is often a poor guess in smooth areas and
        // reaches only half the window. `hint` is a start the caller knows
        // of (whole samples).
        MotionVector starts[8];
        int count = 0;
        // Fields are half as tall: their vertical reach is three quarters of
        // the horizontal one.
        const int radius = (v / 4) / 2;
        const int verticalRadius = fieldPicture ? radius * 3 / 4 : radius;
        starts[count++] =
            searcher.CoarseSearch(*direction.currentReduced, *direction.referenceReduced, mbX, mbY,
                                  radius, verticalRadius, patience);
        starts[count++] = {};
        if (hint) starts[count++] = *hint;
        const auto wholeSamples = [](MotionVector half) {
            return MotionVector{half.x >> 1, half.y >> 1};
        };
        const auto carried = [&](MotionVector near, MotionVector far) {
            return wholeSamples({2 * near.x - far.x, 2 * near.y - far.y});
        };
        const int width = p.geometry.mbWidth;
        if (mbX > 0) starts[count++] = wholeSamples(found[mb - 1]);
        if (mbX > 1) starts[count++] = carried(found[mb - 1], found[mb - 2]);
        if (mbY > 0) {
            starts[count++] = wholeSamples(found[mb - width]);
            if (mbX + 1 < width) starts[count++] = wholeSamples(found[mb - width + 1]);
        }
        if (mbY > 1) starts[count++] = carried(found[mb - width], found[mb - 2 * width]);
        const int horizontal = std::min(v + 4, ReachOfFCode(p.maxHorizontalFCode));
        const int vertical = std::min(v + 4, ReachOfFCode(p.maxVerticalFCode));
        const SearchWindow window = searcher.ClipWindow(mbX, mbY, horizontal, vertical);
        // The vector a decoder predicts this one from (the left neighbour's,
        // zero at a row's start) costs a bit or two where another costs
        // ten or more: the half-sample step weighs every position's bits
        // against it, and it wins outright when it matches nearly as well.
        const MotionVector predicted = mbX > 0 ? found[mb - 1] : MotionVector{};
        const VectorCost cost{predicted, kSadPerVectorBit};
        result = searcher.FineSearch(*direction.current, *direction.reference, mbX, mbY, starts,
                                     count, 4, window, &cost);
        if (!(predicted == result.vector)) {
            const int sad = searcher.SadAt(*direction.current, *direction.reference, mbX, mbY,
                                           predicted, window);
            if (sad >= 0 && sad <= result.sad + kPredictorSlack) result = {predicted, sad};
        }
    } else {
        const MotionVector zero;
        result = searcher.FineSearch(
            *direction.current, *direction.reference, mbX, mbY, &zero, 1,
            std::max(direction.horizontalWindow, direction.verticalWindow),
            searcher.ClipWindow(mbX, mbY, direction.horizontalWindow, direction.verticalWindow));
    }
    found[mb] = result.vector;
    return result;
}

bool MotionField::Allocate(const CodingGeometry& geometry) {
    const size_t count = static_cast<size_t>(geometry.mbWidth) * geometry.mbHeight;
    try {
        for (int d = 0; d < 2; ++d) {
            results_[d].assign(count, {});
            found_[d].assign(count, {});
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void MotionField::Search(const MotionSearcher& searcher, const CodingParameters& p,
                         const PlannedPicture& plan, const SourcePicture& current,
                         const SourcePicture* const (&references)[2]) {
    const CodingGeometry& g = p.geometry;
    const int patience = current.reduced.IsFlat() ? 1 : 2;
    const int directions = plan.type == kPictureB ? 2 : 1;
    for (int d = 0; d < directions; ++d) {
        DirectionSearch direction;
        direction.index = d;
        direction.current = &current.frame.luma();
        direction.currentReduced = &current.reduced;
        direction.reference = &references[d]->frame.luma();
        direction.referenceReduced = &references[d]->reduced;
        int window[2];
        ClassicWindow(p, plan, d, window);
        direction.horizontalWindow = window[0];
        direction.verticalWindow = window[1];
        for (int mbY = 0; mbY < g.mbHeight; ++mbY) {
            for (int mbX = 0; mbX < g.mbWidth; ++mbX) {
                const int mb = mbY * g.mbWidth + mbX;
                // Motion that goes on at one speed passes the B picture as far
                // from the next reference, the other way, as the forward
                // vector says it came from the previous one, scaled by the
                // distances.
                MotionVector backward;
                if (d == 1 && plan.forwardDistance > 0) {
                    const MotionVector forward = results_[0][mb].vector;
                    const int scale = 2 * plan.forwardDistance;
                    backward = {-forward.x * plan.backwardDistance / scale,
                                -forward.y * plan.backwardDistance / scale};
                }
                results_[d][mb] = SearchMacroblock(searcher, p, false, direction, found_[d], mbX,
                                                   mbY, patience, d == 1 ? &backward : nullptr);
            }
        }
    }
}

}  // namespace korvan
