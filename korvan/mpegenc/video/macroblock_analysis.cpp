#include "korvan/mpegenc/video/macroblock_analysis.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "korvan/mpegenc/video/mode_decision.h"

namespace korvan {
namespace {

Plane FieldOf(const Plane& plane, int parity) {
    return Plane{plane.data + static_cast<ptrdiff_t>(parity) * plane.stride, 2 * plane.stride,
                 plane.width, plane.height / 2};
}

MotionVector DualPrimeVector(MotionVector same, MotionVector correction, int field) {
    // Top field from the bottom reference field: one field apart, half a
    // line up; bottom from top: three fields apart, half a line down.
    const int distance = field == 0 ? 1 : 3;
    const int shift = field == 0 ? -1 : 1;
    const auto scaled = [&](int v) {
        const int product = v * distance;
        return product >= 0 ? (product + 1) / 2 : -((-product + 1) / 2);
    };
    return {scaled(same.x) + correction.x, scaled(same.y) + shift + correction.y};
}

}  // namespace

void LargestComponents::Note(int direction, MotionVector vector) {
    v[direction][0] = std::max(v[direction][0], std::abs(vector.x));
    v[direction][1] = std::max(v[direction][1], std::abs(vector.y));
}

void LargestComponents::Merge(const LargestComponents& other) {
    for (int d = 0; d < 2; ++d) {
        for (int axis = 0; axis < 2; ++axis) v[d][axis] = std::max(v[d][axis], other.v[d][axis]);
    }
}

MacroblockAnalyser::MacroblockAnalyser(const CodingParameters& p, const VideoKernels& kernels,
                                       const MotionSearcher& searcher, const PlannedPicture& plan,
                                       const PictureInputs& inputs)
    : p_(p), kernels_(kernels), searcher_(searcher), plan_(plan), inputs_(inputs) {
    fieldPicture_ = plan.structure != 3;
    parity_ = plan.structure == 2 ? 1 : 0;
    if (fieldPicture_ && plan.type != kPictureI)
        patience_ = inputs.sourceSubsampled->IsFlat() ? 1 : 2;
    fieldMotion_ = !fieldPicture_ && p.IsMpeg2() && !p.Choices(plan.type).framePredFrameDct;
    dualPrime_ = fieldMotion_ && plan.type == kPictureP && p.referenceDistance == 1;
    // Field pictures and the field vectors of frame pictures are searched
    // here, in the reconstructed references.
    for (int d = 0; d < 2; ++d) {
        DirectionSearch& direction = directions_[d];
        direction.index = d;
        direction.current = &inputs.source->luma();
        direction.currentReduced = inputs.sourceSubsampled;
        const YuvFrame* reference = d == 0 ? inputs.forwardReference : inputs.backwardReference;
        direction.reference = reference ? &reference->luma() : nullptr;
        int window[2];
        ClassicWindow(p, plan, d, window);
        direction.horizontalWindow = window[0];
        direction.verticalWindow = window[1];
    }
}

void MacroblockAnalyser::FormDirection(const YuvFrame& reference, int mbX, int mbY, MotionVector v,
                                       uint8_t* const* dst) {
    const CodingGeometry& g = p_.geometry;
    {
        const Plane& plane = reference.luma();
        const uint8_t* src = plane.Row(16 * mbY + (v.y >> 1)) + 16 * mbX + (v.x >> 1);
        kernels_.predict[HalfPelIndex(v.x & 1, v.y & 1)](dst[0], 16, src, plane.stride, 16, 16);
    }
    if (dst[1] == nullptr) return;
    // Chroma vectors are the luminance ones scaled to the chroma grid,
    // truncated toward zero.
    const int cx = g.chromaMbWidth == 16 ? v.x : v.x / 2;
    const int cy = g.chromaMbHeight == 16 ? v.y : v.y / 2;
    const int half = HalfPelIndex(cx & 1, cy & 1);
    for (int c = 1; c < 3; ++c) {
        const Plane& plane = reference.plane(c);
        const uint8_t* src =
            plane.Row(g.chromaMbHeight * mbY + (cy >> 1)) + g.chromaMbWidth * mbX + (cx >> 1);
        kernels_.predict[half](dst[c], 16, src, plane.stride, g.chromaMbWidth, g.chromaMbHeight);
    }
}

void MacroblockAnalyser::FormFieldDirection(const YuvFrame& reference, int mbX, int mbY, int field,
                                            int select, MotionVector v, uint8_t* const* dst) {
    const CodingGeometry& g = p_.geometry;
    {
        const Plane plane = FieldOf(reference.luma(), select);
        const uint8_t* src = plane.Row(8 * mbY + (v.y >> 1)) + 16 * mbX + (v.x >> 1);
        kernels_.predict[HalfPelIndex(v.x & 1, v.y & 1)](dst[0] + 16 * field, 32, src, plane.stride,
                                                         16, 8);
    }
    if (dst[1] == nullptr) return;
    const int cx = g.chromaMbWidth == 16 ? v.x : v.x / 2;
    const int cy = g.chromaMbHeight == 16 ? v.y : v.y / 2;
    const int half = HalfPelIndex(cx & 1, cy & 1);
    const int rows = g.chromaMbHeight / 2;
    for (int c = 1; c < 3; ++c) {
        const Plane plane = FieldOf(reference.plane(c), select);
        const uint8_t* src = plane.Row(rows * mbY + (cy >> 1)) + g.chromaMbWidth * mbX + (cx >> 1);
        kernels_.predict[half](dst[c] + 16 * field, 32, src, plane.stride, g.chromaMbWidth, rows);
    }
}

void MacroblockAnalyser::FormMotion(int mbX, int mbY, const MacroblockInfo& m, int direction,
                                    uint8_t* const* dst) {
    if (fieldPicture_) {
        // One vector from the reference field that field_select names.
        FormDirection(*inputs_.fields[direction][m.fieldSelect[0][direction]], mbX, mbY,
                      m.vectors[direction], dst);
        return;
    }
    const YuvFrame& reference =
        direction == 0 ? *inputs_.forwardReference : *inputs_.backwardReference;
    if (m.motionType == kFieldMotion) {
        for (int field = 0; field < 2; ++field) {
            FormFieldDirection(reference, mbX, mbY, field, m.fieldSelect[field][direction],
                               m.fieldVectors[field][direction], dst);
        }
    } else if (m.motionType == kDualPrimeMotion) {
        FormDualPrime(reference, mbX, mbY, m, dst);
    } else {
        FormDirection(reference, mbX, mbY, m.vectors[direction], dst);
    }
}

void MacroblockAnalyser::Predict(int mbX, int mbY, const MacroblockInfo& m, PredictedPlanes planes,
                                 MacroblockPrediction& out) {
    const bool chroma = planes == PredictedPlanes::kAll;
    uint8_t* const main[3] = {out[0], chroma ? out[1] : nullptr, chroma ? out[2] : nullptr};
    uint8_t* const other[3] = {other_[0], chroma ? other_[1] : nullptr,
                               chroma ? other_[2] : nullptr};
    const bool forward = (m.flags & kMbForward) != 0;
    const bool backward = (m.flags & kMbBackward) != 0;
    if (backward && !forward) {
        FormMotion(mbX, mbY, m, 1, main);
        return;
    }
    if (!forward) {
        // A P macroblock without motion compensation: the zero vector, in a
        // field picture from the field of the same parity.
        FormDirection(fieldPicture_ ? *inputs_.fields[0][parity_] : *inputs_.forwardReference, mbX,
                      mbY, MotionVector{}, main);
        return;
    }
    FormMotion(mbX, mbY, m, 0, main);
    if (backward) {
        FormMotion(mbX, mbY, m, 1, other);
        const CodingGeometry& g = p_.geometry;
        kernels_.average(out[0], 16, other_[0], 16, 16, 16);
        if (!chroma) return;
        for (int c = 1; c < 3; ++c)
            kernels_.average(out[c], 16, other_[c], 16, g.chromaMbWidth, g.chromaMbHeight);
    }
}

int MacroblockAnalyser::PredictionError(int mbX, int mbY, const MacroblockInfo& m) {
    Predict(mbX, mbY, m, PredictedPlanes::kLuma, trial_);
    const Plane& source = inputs_.source->luma();
    return kernels_.predictionError16x16(source.Row(16 * mbY) + 16 * mbX, source.stride, trial_[0],
                                         16);
}

void MacroblockAnalyser::FormDualPrime(const YuvFrame& reference, int mbX, int mbY,
                                       const MacroblockInfo& m, uint8_t* const* dst) {
    const CodingGeometry& g = p_.geometry;
    uint8_t* const opposite[3] = {dual_[0], dst[1] ? dual_[1] : nullptr,
                                  dst[1] ? dual_[2] : nullptr};
    for (int field = 0; field < 2; ++field) {
        FormFieldDirection(reference, mbX, mbY, field, field, m.vectors[0], dst);
        FormFieldDirection(reference, mbX, mbY, field, 1 - field,
                           DualPrimeVector(m.vectors[0], m.dualPrime, field), opposite);
    }
    kernels_.average(dst[0], 16, opposite[0], 16, 16, 16);
    if (dst[1] == nullptr) return;
    for (int c = 1; c < 3; ++c)
        kernels_.average(dst[c], 16, opposite[c], 16, g.chromaMbWidth, g.chromaMbHeight);
}

bool MacroblockAnalyser::SearchDualPrime(int mbX, int mbY, MacroblockInfo& m) {
    const CodingGeometry& g = p_.geometry;
    const int fieldHeight = g.lumaHeight / 2;
    const auto fits = [&](MotionVector v) {
        const int x = 16 * mbX + (v.x >> 1);
        const int y = 8 * mbY + (v.y >> 1);
        return x >= 0 && y >= 0 && x + 16 + (v.x & 1) <= g.lumaWidth &&
               y + 8 + (v.y & 1) <= fieldHeight;
    };
    // Same-parity vectors to try: each field's own, when it kept its parity,
    // and the frame vector in field units.
    MotionVector tries[3];
    int count = 0;
    for (int field = 0; field < 2; ++field) {
        if (m.fieldSelect[field][0] == field) tries[count++] = m.fieldVectors[field][0];
    }
    tries[count++] = {m.vectors[0].x, m.vectors[0].y / 2};
    const int reach = 16 << (p_.maxVerticalFCode - 1);
    int best = INT_MAX;
    MacroblockInfo trial = m;
    trial.flags = kMbForward;
    trial.motionType = kDualPrimeMotion;
    bool found = false;
    for (int i = 0; i < count; ++i) {
        if (std::abs(tries[i].y) >= reach ||
            std::abs(tries[i].x) >= (16 << (p_.maxHorizontalFCode - 1)))
            continue;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                trial.vectors[0] = tries[i];
                trial.dualPrime = {dx, dy};
                if (!fits(tries[i]) || !fits(DualPrimeVector(tries[i], trial.dualPrime, 0)) ||
                    !fits(DualPrimeVector(tries[i], trial.dualPrime, 1))) {
                    continue;
                }
                const int error = PredictionError(mbX, mbY, trial);
                if (error < best) {
                    best = error;
                    m.vectors[0] = trial.vectors[0];
                    m.dualPrime = trial.dualPrime;
                    found = true;
                }
            }
        }
    }
    return found;
}

SearchResult MacroblockAnalyser::SearchFieldPicture(const DirectionSearch& direction, int mbX,
                                                    int mbY, std::vector<MotionVector>& found,
                                                    MacroblockInfo& m) {
    const int d = direction.index;
    SearchResult best;
    best.sad = INT_MAX;
    for (int select = 0; select < 2; ++select) {
        if (!inputs_.fields[d][select]) continue;
        DirectionSearch field = direction;
        field.reference = &inputs_.fields[d][select]->luma();
        field.referenceReduced = inputs_.fieldSources[d][select];
        const SearchResult r =
            SearchMacroblock(searcher_, p_, true, field, found, mbX, mbY, patience_);
        if (r.sad < best.sad) {
            best = r;
            m.vectors[d] = r.vector;
            m.fieldSelect[0][d] = select;
        }
    }
    // The neighbours start from the vector that won.
    found[mbY * p_.geometry.mbWidth + mbX] = best.vector;
    return best;
}

void MacroblockAnalyser::SearchFields(const DirectionSearch& direction, int mbX, int mbY,
                                      MotionVector frameVector, MacroblockInfo& m) {
    const Plane& current = *direction.current;
    const Plane& reference = *direction.reference;
    const int fieldHeight = p_.geometry.lumaHeight / 2;
    const int v = std::max(p_.variableMaxMotion >= 8
                               ? p_.variableMaxMotion
                               : std::max(direction.horizontalWindow, direction.verticalWindow),
                           4);
    const int horizontal = std::min(v + 4, ReachOfFCode(p_.maxHorizontalFCode));
    const int vertical = std::min(v / 2 + 4, ReachOfFCode(p_.maxVerticalFCode));
    // Around the frame vector (its vertical half in field lines) and zero.
    const MotionVector starts[2] = {{frameVector.x >> 1, frameVector.y >> 2}, {}};
    const int d = direction.index;
    for (int field = 0; field < 2; ++field) {
        const Plane currentField = FieldOf(current, field);
        int best = INT_MAX;
        for (int select = 0; select < 2; ++select) {
            const Plane referenceField = FieldOf(reference, select);
            const SearchWindow window =
                searcher_.ClipBlockWindow(16 * mbX, 8 * mbY, 8, fieldHeight, horizontal, vertical);
            const SearchResult r = searcher_.FineSearchBlock(currentField, referenceField, 16 * mbX,
                                                             8 * mbY, 8, starts, 2, 2, window);
            if (r.sad < best) {
                best = r.sad;
                m.fieldVectors[field][d] = r.vector;
                m.fieldSelect[field][d] = select;
            }
        }
    }
}

void MacroblockAnalyser::Decide(int mbX, int mbY, MacroblockInfo& mb, LargestComponents& largest,
                                std::vector<MotionVector> (*found)[2]) {
    const CodingGeometry& g = p_.geometry;
    const Plane& source = inputs_.source->luma();
    mb = MacroblockInfo{};
    mb.variance = kernels_.variance16x16(source.Row(16 * mbY) + 16 * mbX, source.stride);
    if (plan_.type == kPictureI) {
        mb.flags = kMbIntra;
        return;
    }
    const SearchKind search =
        p_.variableMaxMotion >= 8 ? SearchKind::kTwoStage : SearchKind::kWindowed;
    const DirectionSearch& forward = directions_[0];
    const DirectionSearch& backward = directions_[1];

    MacroblockInfo candidate;
    SearchResult f;
    SearchResult b;
    if (fieldPicture_) {
        // Each direction from the better of its reference fields.
        candidate.motionType = kFieldMotion;
        f = SearchFieldPicture(forward, mbX, mbY, (*found)[0], candidate);
        if (plan_.type == kPictureB)
            b = SearchFieldPicture(backward, mbX, mbY, (*found)[1], candidate);
    } else {
        candidate.motionType = kFrameMotion;
        const int address = mbY * g.mbWidth + mbX;
        f = inputs_.motion->At(0, address);
        candidate.vectors[0] = f.vector;
        if (plan_.type == kPictureB) {
            b = inputs_.motion->At(1, address);
            candidate.vectors[1] = b.vector;
        }
    }
    largest.Note(0, f.vector);
    if (plan_.type == kPictureB) largest.Note(1, b.vector);
    if (fieldMotion_) {
        SearchFields(forward, mbX, mbY, f.vector, candidate);
        if (plan_.type == kPictureB) SearchFields(backward, mbX, mbY, b.vector, candidate);
    }

    // The smallest error of every direction and motion type tried.
    int error = INT_MAX;
    MacroblockInfo chosen;
    const auto consider = [&](const MacroblockInfo& base, int flags, int motionType) {
        MacroblockInfo m = base;
        m.flags = flags;
        m.motionType = motionType;
        const int e = PredictionError(mbX, mbY, m);
        if (e < error) {
            error = e;
            chosen = m;
        }
    };
    const int directionSets[3] = {kMbForward, kMbBackward, kMbForward | kMbBackward};
    const int sets = plan_.type == kPictureB ? 3 : 1;
    for (int k = 0; k < sets; ++k) {
        consider(candidate, directionSets[k], candidate.motionType);
        if (fieldMotion_) consider(candidate, directionSets[k], kFieldMotion);
    }
    if (dualPrime_) {
        MacroblockInfo m = candidate;
        if (SearchDualPrime(mbX, mbY, m)) consider(m, kMbForward, kDualPrimeMotion);
    }

    if (!PreferInter(mb.variance, error, search)) {
        mb.flags = kMbIntra;
        return;
    }
    const int variance = mb.variance;
    mb = chosen;
    mb.variance = variance;
    for (int d = 0; d < 2; ++d) {
        if (!fieldPicture_ && mb.motionType == kFieldMotion) {
            largest.Note(d, mb.fieldVectors[0][d]);
            largest.Note(d, mb.fieldVectors[1][d]);
        }
    }
    if (mb.motionType == kDualPrimeMotion) largest.Note(0, mb.vectors[0]);
    const bool zeroUsable = !fieldPicture_ || inputs_.fields[0][parity_] != nullptr;
    const bool singleVector = fieldPicture_ || mb.motionType == kFrameMotion;
    if (plan_.type == kPictureP && singleVector && zeroUsable) {
        MacroblockInfo zero = mb;
        zero.flags = kMbPattern;
        const int zeroError = PredictionError(mbX, mbY, zero);
        if (!PreferMotionCompensation(error, zeroError)) {
            mb.flags = kMbPattern;
            mb.vectors[0] = {};
        }
    }
}

}  // namespace korvan
