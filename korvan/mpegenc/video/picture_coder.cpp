#include "korvan/mpegenc/video/picture_coder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include "korvan/mpegenc/video/mode_decision.h"

namespace korvan {
namespace {

// What intra blocks are predicted from.
constexpr uint8_t kZeroPels[8] = {};

// Sample variance of an 8x8 block whose rows are `stride` apart.
double BlockVariance(const uint8_t* block, int stride) {
    int sum = 0;
    int squares = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            sum += block[x];
            squares += block[x] * block[x];
        }
        block += stride;
    }
    const double mean = sum / 64.0;
    return squares / 64.0 - mean * mean;
}

// Where block `b` of a macroblock lies: its plane, its top left corner
// within the macroblock and the distance of its lines. With the field DCT
// the blocks of a 16-line macroblock hold the lines of one field each.
struct BlockPlace {
    int plane = 0;
    int x = 0;
    int y = 0;
    int lineStep = 1;
};

BlockPlace PlaceOf(int b, int dctType, const CodingGeometry& g) {
    BlockPlace place;
    int row = (b >> 1) & 1;
    place.x = 8 * (b & 1);
    if (b >= 4) {
        const int k = (b - 4) >> 1;
        place.plane = 1 + ((b - 4) & 1);
        place.x = 8 * (k >> 1);
        row = k & 1;
    }
    const int mbHeight = place.plane == 0 ? 16 : g.chromaMbHeight;
    if (dctType == 1 && mbHeight == 16) {
        place.y = row;
        place.lineStep = 2;
    } else {
        place.y = 8 * row;
    }
    return place;
}

// True when the two fields of a 16x16 block (rows `stride` apart) are too
// little alike for the frame DCT: the correlation of each top-field line
// with the bottom-field line below it is 0.5 or less.
bool PreferFieldDct(const int16_t* block, int stride) {
    double top = 0, bottom = 0, topSquares = 0, bottomSquares = 0, products = 0;
    for (int j = 0; j < 8; ++j) {
        const int16_t* t = block + 2 * j * stride;
        const int16_t* b = t + stride;
        for (int i = 0; i < 16; ++i) {
            top += t[i];
            bottom += b[i];
            topSquares += t[i] * t[i];
            bottomSquares += b[i] * b[i];
            products += t[i] * b[i];
        }
    }
    const double n = 128;
    const double spreadTop = topSquares - top * top / n;
    const double spreadBottom = bottomSquares - bottom * bottom / n;
    const double denominator = spreadTop * spreadBottom;
    if (denominator <= 0) return false;
    return (products - top * bottom / n) / std::sqrt(denominator) <= 0.5;
}

}  // namespace

double SpatialActivity(const uint8_t* block, int stride, ActivityBlocks blocks) {
    double smallest = BlockVariance(block, stride);
    smallest = std::min(smallest, BlockVariance(block + 8, stride));
    smallest = std::min(smallest, BlockVariance(block + 8 * stride, stride));
    smallest = std::min(smallest, BlockVariance(block + 8 * stride + 8, stride));
    if (blocks == ActivityBlocks::kFrameAndField) {
        // Top field: even lines; bottom field: odd lines.
        for (int field = 0; field < 2; ++field) {
            const uint8_t* f = block + field * stride;
            smallest = std::min(smallest, BlockVariance(f, 2 * stride));
            smallest = std::min(smallest, BlockVariance(f + 8, 2 * stride));
        }
    }
    return 1 + smallest;
}

PictureCoder::PictureCoder(const CodingParameters& parameters, const VideoKernels& kernels)
    : p_(parameters), kernels_(kernels), searcher_(kernels, parameters.geometry) {}

bool PictureCoder::Allocate() {
    try {
        const size_t count = static_cast<size_t>(p_.geometry.mbWidth) * p_.geometry.mbHeight;
        macroblocks_.assign(count, {});
        found_[0].assign(count, {});
        found_[1].assign(count, {});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void PictureCoder::FormDirection(const YuvFrame& reference, int mbX, int mbY, MotionVector v,
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

Plane FieldOf(const Plane& plane, int parity) {
    return Plane{plane.data + static_cast<ptrdiff_t>(parity) * plane.stride, 2 * plane.stride,
                 plane.width, plane.height / 2};
}

void PictureCoder::FormFieldDirection(const YuvFrame& reference, int mbX, int mbY, int field,
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

void PictureCoder::FormMotion(const PictureInputs& inputs, int mbX, int mbY,
                              const MacroblockInfo& m, int direction, uint8_t* const* dst) {
    if (fieldPicture_) {
        // One vector from the reference field that field_select names.
        FormDirection(*inputs.fields[direction][m.fieldSelect[0][direction]], mbX, mbY,
                      m.vectors[direction], dst);
        return;
    }
    const YuvFrame& reference =
        direction == 0 ? *inputs.forwardReference : *inputs.backwardReference;
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

void PictureCoder::Predict(const PictureInputs& inputs, int mbX, int mbY, const MacroblockInfo& m,
                           PredictedPlanes planes) {
    const bool chroma = planes == PredictedPlanes::kAll;
    uint8_t* const main[3] = {prediction_[0], chroma ? prediction_[1] : nullptr,
                              chroma ? prediction_[2] : nullptr};
    uint8_t* const other[3] = {otherPrediction_[0], chroma ? otherPrediction_[1] : nullptr,
                               chroma ? otherPrediction_[2] : nullptr};
    const bool forward = (m.flags & kMbForward) != 0;
    const bool backward = (m.flags & kMbBackward) != 0;
    if (backward && !forward) {
        FormMotion(inputs, mbX, mbY, m, 1, main);
        return;
    }
    if (!forward) {
        // A P macroblock without motion compensation: the zero vector, in a
        // field picture from the field of the same parity.
        FormDirection(fieldPicture_ ? *inputs.fields[0][parity_] : *inputs.forwardReference, mbX,
                      mbY, MotionVector{}, main);
        return;
    }
    FormMotion(inputs, mbX, mbY, m, 0, main);
    if (backward) {
        FormMotion(inputs, mbX, mbY, m, 1, other);
        const CodingGeometry& g = p_.geometry;
        kernels_.average(prediction_[0], 16, otherPrediction_[0], 16, 16, 16);
        if (!chroma) return;
        for (int c = 1; c < 3; ++c) {
            kernels_.average(prediction_[c], 16, otherPrediction_[c], 16, g.chromaMbWidth,
                             g.chromaMbHeight);
        }
    }
}

int PictureCoder::PredictionError(const PictureInputs& inputs, int mbX, int mbY,
                                  const MacroblockInfo& m) {
    Predict(inputs, mbX, mbY, m, PredictedPlanes::kLuma);
    const Plane& source = inputs.source->luma();
    return kernels_.predictionError16x16(source.Row(16 * mbY) + 16 * mbX, source.stride,
                                         prediction_[0], 16);
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

void PictureCoder::FormDualPrime(const YuvFrame& reference, int mbX, int mbY,
                                 const MacroblockInfo& m, uint8_t* const* dst) {
    const CodingGeometry& g = p_.geometry;
    uint8_t* const opposite[3] = {dualPrediction_[0], dst[1] ? dualPrediction_[1] : nullptr,
                                  dst[1] ? dualPrediction_[2] : nullptr};
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

bool PictureCoder::SearchDualPrime(const PictureInputs& inputs, int mbX, int mbY,
                                   MacroblockInfo& m) {
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
                const int error = PredictionError(inputs, mbX, mbY, trial);
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

SearchResult PictureCoder::SearchFieldPicture(const DirectionSearch& direction,
                                              const PictureInputs& inputs, int mbX, int mbY,
                                              int patience, MacroblockInfo& m) {
    const int d = direction.index;
    SearchResult best;
    best.sad = INT_MAX;
    for (int select = 0; select < 2; ++select) {
        if (!inputs.fields[d][select]) continue;
        DirectionSearch field = direction;
        field.reference = &inputs.fields[d][select]->luma();
        field.referenceReduced = inputs.fieldSources[d][select];
        const SearchResult r =
            SearchMacroblock(searcher_, p_, true, field, found_[d], mbX, mbY, patience);
        if (r.sad < best.sad) {
            best = r;
            m.vectors[d] = r.vector;
            m.fieldSelect[0][d] = select;
        }
    }
    // The neighbours start from the vector that won.
    found_[d][mbY * p_.geometry.mbWidth + mbX] = best.vector;
    return best;
}

void PictureCoder::SearchFields(const DirectionSearch& direction, int mbX, int mbY,
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

void PictureCoder::Analyse(const PlannedPicture& plan, const PictureInputs& inputs) {
    std::memset(largestComponent_, 0, sizeof(largestComponent_));
    const CodingGeometry& g = p_.geometry;
    const Plane& source = inputs.source->luma();
    const SearchKind search =
        p_.variableMaxMotion >= 8 ? SearchKind::kTwoStage : SearchKind::kWindowed;
    const int patience = fieldPicture_ && inputs.sourceSubsampled->IsFlat() ? 1 : 2;
    // Interlaced frame pictures without frame_pred_frame_dct may predict
    // each field on its own, and without B pictures also by dual prime.
    const bool fieldMotion =
        !fieldPicture_ && p_.IsMpeg2() && !p_.Choices(plan.type).framePredFrameDct;
    const bool dualPrime = fieldMotion && plan.type == kPictureP && p_.referenceDistance == 1;

    // Field pictures and the field vectors of frame pictures are searched
    // here, in the reconstructed references.
    DirectionSearch forward;
    DirectionSearch backward;
    backward.index = 1;
    for (DirectionSearch* d : {&forward, &backward}) {
        d->current = &source;
        d->currentReduced = inputs.sourceSubsampled;
        const YuvFrame* reference =
            d->index == 0 ? inputs.forwardReference : inputs.backwardReference;
        d->reference = reference ? &reference->luma() : nullptr;
        int window[2];
        ClassicWindow(p_, plan, d->index, window);
        d->horizontalWindow = window[0];
        d->verticalWindow = window[1];
    }

    const auto note = [&](int direction, MotionVector v) {
        largestComponent_[direction][0] = std::max(largestComponent_[direction][0], std::abs(v.x));
        largestComponent_[direction][1] = std::max(largestComponent_[direction][1], std::abs(v.y));
    };

    for (int mbY = 0; mbY < g.mbHeight; ++mbY) {
        for (int mbX = 0; mbX < g.mbWidth; ++mbX) {
            MacroblockInfo& mb = macroblocks_[mbY * g.mbWidth + mbX];
            mb = MacroblockInfo{};
            mb.variance = kernels_.variance16x16(source.Row(16 * mbY) + 16 * mbX, source.stride);
            if (plan.type == kPictureI) {
                mb.flags = kMbIntra;
                continue;
            }

            MacroblockInfo candidate;
            SearchResult f;
            SearchResult b;
            if (fieldPicture_) {
                // Each direction from the better of its reference fields.
                candidate.motionType = kFieldMotion;
                f = SearchFieldPicture(forward, inputs, mbX, mbY, patience, candidate);
                if (plan.type == kPictureB)
                    b = SearchFieldPicture(backward, inputs, mbX, mbY, patience, candidate);
            } else {
                candidate.motionType = kFrameMotion;
                const int address = mbY * g.mbWidth + mbX;
                f = inputs.motion->At(0, address);
                candidate.vectors[0] = f.vector;
                if (plan.type == kPictureB) {
                    b = inputs.motion->At(1, address);
                    candidate.vectors[1] = b.vector;
                }
            }
            note(0, f.vector);
            if (plan.type == kPictureB) note(1, b.vector);
            if (fieldMotion) {
                SearchFields(forward, mbX, mbY, f.vector, candidate);
                if (plan.type == kPictureB) SearchFields(backward, mbX, mbY, b.vector, candidate);
            }

            // The smallest error of every direction and motion type tried.
            int error = INT_MAX;
            MacroblockInfo chosen;
            const auto consider = [&](const MacroblockInfo& base, int flags, int motionType) {
                MacroblockInfo m = base;
                m.flags = flags;
                m.motionType = motionType;
                const int e = PredictionError(inputs, mbX, mbY, m);
                if (e < error) {
                    error = e;
                    chosen = m;
                }
            };
            const int directionSets[3] = {kMbForward, kMbBackward, kMbForward | kMbBackward};
            const int sets = plan.type == kPictureB ? 3 : 1;
            for (int k = 0; k < sets; ++k) {
                consider(candidate, directionSets[k], candidate.motionType);
                if (fieldMotion) consider(candidate, directionSets[k], kFieldMotion);
            }
            if (dualPrime) {
                MacroblockInfo m = candidate;
                if (SearchDualPrime(inputs, mbX, mbY, m)) consider(m, kMbForward, kDualPrimeMotion);
            }

            if (!PreferInter(mb.variance, error, search)) {
                mb.flags = kMbIntra;
                continue;
            }
            const int variance = mb.variance;
            mb = chosen;
            mb.variance = variance;
            for (int d = 0; d < 2; ++d) {
                if (!fieldPicture_ && mb.motionType == kFieldMotion) {
                    note(d, mb.fieldVectors[0][d]);
                    note(d, mb.fieldVectors[1][d]);
                }
            }
            if (mb.motionType == kDualPrimeMotion) note(0, mb.vectors[0]);
            const bool zeroUsable = !fieldPicture_ || inputs.fields[0][parity_] != nullptr;
            const bool singleVector = fieldPicture_ || mb.motionType == kFrameMotion;
            if (plan.type == kPictureP && singleVector && zeroUsable) {
                MacroblockInfo zero = mb;
                zero.flags = kMbPattern;
                const int zeroError = PredictionError(inputs, mbX, mbY, zero);
                if (!PreferMotionCompensation(error, zeroError)) {
                    mb.flags = kMbPattern;
                    mb.vectors[0] = {};
                }
            }
        }
    }
}

void PictureCoder::ChooseFCodes(const PlannedPicture& plan) {
    fCode_[0][0] = fCode_[0][1] = fCode_[1][0] = fCode_[1][1] = 15;
    if (plan.type == kPictureI) return;
    const int directions = plan.type == kPictureB ? 2 : 1;
    for (int d = 0; d < directions; ++d) {
        if (p_.variableMaxMotion >= 8) {
            fCode_[d][0] = AdaptiveFCode(largestComponent_[d][0]);
            fCode_[d][1] = AdaptiveFCode(largestComponent_[d][1]);
        } else {
            const MotionRecord& r =
                p_.motion[plan.type == kPictureP
                              ? 0
                              : std::clamp(plan.forwardDistance, 1, kMotionRecords - 1)];
            fCode_[d][0] = d == 0 ? r.forwHorzFCode : r.backHorzFCode;
            fCode_[d][1] = d == 0 ? r.forwVertFCode : r.backVertFCode;
        }
        // MPEG-1 has one f-code per direction.
        if (!p_.IsMpeg2()) fCode_[d][0] = fCode_[d][1] = std::max(fCode_[d][0], fCode_[d][1]);
    }
}

bool PictureCoder::TransformMacroblock(const PictureInputs& inputs, int mbX, int mbY, bool fieldDct,
                                       MacroblockInfo& mb) {
    bool saturated = false;
    const CodingGeometry& g = p_.geometry;
    const bool intra = (mb.flags & kMbIntra) != 0;
    if (!intra) Predict(inputs, mbX, mbY, mb, PredictedPlanes::kAll);
    mb.codedBlockPattern = 0;
    const YuvFrame& source = *inputs.source;
    mb.dctType = 0;
    if (fieldDct) {
        const Plane& luma = source.luma();
        int16_t residual[256];
        for (int j = 0; j < 16; ++j) {
            const uint8_t* in = luma.Row(16 * mbY + j) + 16 * mbX;
            for (int i = 0; i < 16; ++i)
                residual[16 * j + i] =
                    static_cast<int16_t>(in[i] - (intra ? 0 : prediction_[0][16 * j + i]));
        }
        mb.dctType = PreferFieldDct(residual, 16) ? 1 : 0;
    }
    for (int b = 0; b < g.blocksPerMacroblock; ++b) {
        const BlockPlace place = PlaceOf(b, mb.dctType, g);
        const int mbWidth = place.plane == 0 ? 16 : g.chromaMbWidth;
        const int mbHeight = place.plane == 0 ? 16 : g.chromaMbHeight;
        const Plane& src = source.plane(place.plane);
        const uint8_t* in = src.Row(mbHeight * mbY + place.y) + mbWidth * mbX + place.x;
        const uint8_t* pred = prediction_[place.plane] + 16 * place.y + place.x;
        const ptrdiff_t inStep = static_cast<ptrdiff_t>(src.stride) * place.lineStep;
        const int predStep = 16 * place.lineStep;
        int16_t block[64];
        // Intra blocks are taken from a row of zeros.
        kernels_.blockDifference(in, static_cast<int>(inStep), intra ? kZeroPels : pred,
                                 intra ? 0 : predStep, block);

        kernels_.forwardDct(block);
        if (intra) {
            saturated |= kernels_.quantiseIntra(block, levels_[b], p_.matrices.intra, mb.mquant,
                                                p_.intraDcPrecision, p_.syntax);
        } else if (kernels_.quantiseNonIntra(block, levels_[b], p_.matrices.nonIntra, mb.mquant,
                                             p_.syntax)) {
            mb.codedBlockPattern |= 1 << (g.blocksPerMacroblock - 1 - b);
        }
    }
    return saturated;
}

void PictureCoder::Reconstruct(int mbX, int mbY, const MacroblockInfo& mb,
                               YuvFrame& reconstruction) {
    const CodingGeometry& g = p_.geometry;
    const bool intra = (mb.flags & kMbIntra) != 0;
    for (int b = 0; b < g.blocksPerMacroblock; ++b) {
        const BlockPlace place = PlaceOf(b, mb.dctType, g);
        const int mbWidth = place.plane == 0 ? 16 : g.chromaMbWidth;
        const int mbHeight = place.plane == 0 ? 16 : g.chromaMbHeight;
        const Plane& dst = reconstruction.plane(place.plane);
        uint8_t* out = dst.Row(mbHeight * mbY + place.y) + mbWidth * mbX + place.x;
        const uint8_t* pred = prediction_[place.plane] + 16 * place.y + place.x;
        const ptrdiff_t outStep = static_cast<ptrdiff_t>(dst.stride) * place.lineStep;
        const int predStep = 16 * place.lineStep;
        const bool coded = intra || (mb.codedBlockPattern & (1 << (g.blocksPerMacroblock - 1 - b)));
        if (!coded) {
            for (int j = 0; j < 8; ++j) std::memcpy(out + j * outStep, pred + predStep * j, 8);
            continue;
        }
        int16_t block[64];
        if (intra) {
            kernels_.dequantiseIntra(levels_[b], block, p_.matrices.intra, mb.mquant,
                                     p_.intraDcPrecision, p_.syntax);
        } else {
            kernels_.dequantiseNonIntra(levels_[b], block, p_.matrices.nonIntra, mb.mquant,
                                        p_.syntax);
        }
        kernels_.inverseDct(block);
        kernels_.blockAdd(block, intra ? kZeroPels : pred, intra ? 0 : predStep, out,
                          static_cast<int>(outStep));
    }
}

VideoResult PictureCoder::CodeSlices(const PlannedPicture& plan, const PictureInputs& inputs,
                                     const PictureRate& rate, BitWriter& out,
                                     YuvFrame& reconstruction) {
    const CodingGeometry& g = p_.geometry;
    const PictureTypeChoices& choices = p_.Choices(plan.type);
    MacroblockSyntax syntax;
    syntax.syntax = p_.syntax;
    syntax.pictureType = plan.type;
    std::memcpy(syntax.fCode, fCode_, sizeof(fCode_));
    syntax.intraDcPrecision = p_.intraDcPrecision;
    syntax.intraVlcFormat = choices.intraVlcFormat;
    syntax.alternateScan = choices.alternateScan;
    syntax.framePredFrameDct = choices.framePredFrameDct && !fieldPicture_;
    syntax.fieldPicture = fieldPicture_;
    syntax.blocksPerMacroblock = g.blocksPerMacroblock;
    MacroblockWriter writer(out, syntax);
    // Interlaced frame pictures choose the DCT of each macroblock.
    const bool fieldDct = !fieldPicture_ && p_.IsMpeg2() && !choices.framePredFrameDct &&
                          !DisplayFlagsOf(p_, plan.displayIndex).progressiveFrame;

    const int total = g.mbWidth * g.mbHeight;
    int64_t mquantSum = 0;
    quantisers_ = {};
    int sliceFirst = 0;
    int sliceLast = 0;
    const MacroblockInfo* previous = nullptr;
    for (int address = 0; address < total; ++address) {
        const int mbX = address % g.mbWidth;
        const int mbY = address / g.mbWidth;
        Quantiser q = rate.fixed;
        if (rate.controller) {
            const Plane& luma = inputs.source->luma();
            const double activity = SpatialActivity(luma.Row(16 * mbY) + 16 * mbX, luma.stride,
                                                    p_.progressiveFrame || fieldPicture_
                                                        ? ActivityBlocks::kFrame
                                                        : ActivityBlocks::kFrameAndField);
            q = rate.controller->MacroblockQuantiser(
                address, static_cast<int64_t>(out.BitCount() - rate.startBits), activity);
        }
        if (address == 0 || (p_.sliceEveryRow && mbX == 0)) {
            sliceFirst = address;
            sliceLast = p_.sliceEveryRow ? address + g.mbWidth - 1 : total - 1;
            WriteSliceHeader(out, p_, mbY, q.code);
            writer.StartSlice(address, q.code);
            previous = nullptr;
        }
        MacroblockInfo& mb = macroblocks_[address];
        mb.mquant = q.mquant;
        mb.quantiserScaleCode = q.code;
        // At a constant bitrate a saturated intra block is quantised again,
        // more coarsely, rather than sent distorted.
        while (TransformMacroblock(inputs, mbX, mbY, fieldDct, mb) && rate.controller) {
            const Quantiser raised =
                RaiseQuantiser({mb.mquant, mb.quantiserScaleCode}, choices.nonLinearScale);
            if (raised.mquant == mb.mquant) break;
            mb.mquant = raised.mquant;
            mb.quantiserScaleCode = raised.code;
        }
        if (rate.controller) rate.controller->MacroblockDone(mb.mquant);
        quantisers_.smallest = address == 0 ? mb.mquant : std::min(quantisers_.smallest, mb.mquant);
        quantisers_.largest = address == 0 ? mb.mquant : std::max(quantisers_.largest, mb.mquant);
        mquantSum += mb.mquant;

        const bool intra = (mb.flags & kMbIntra) != 0;
        const bool inner = address != sliceFirst && address != sliceLast;
        if (!intra && mb.codedBlockPattern == 0 && inner) {
            if (plan.type == kPictureP) {
                // A skipped P macroblock is the zero vector from the same
                // frame or, in a field picture, from the field of the same
                // parity.
                const bool sameParity = !(mb.flags & kMbForward) || mb.fieldSelect[0][0] == parity_;
                mb.skipped = mb.vectors[0] == MotionVector{} &&
                             (fieldPicture_ ? sameParity : mb.motionType == kFrameMotion);
            } else if (previous && !(previous->flags & kMbIntra) &&
                       (fieldPicture_ ? mb.fieldSelect[0][0] == previous->fieldSelect[0][0] &&
                                            mb.fieldSelect[0][1] == previous->fieldSelect[0][1]
                                      : mb.motionType == kFrameMotion &&
                                            previous->motionType == kFrameMotion)) {
                const int directions = kMbForward | kMbBackward;
                mb.skipped = (mb.flags & directions) == (previous->flags & directions) &&
                             (!(mb.flags & kMbForward) || mb.vectors[0] == previous->vectors[0]) &&
                             (!(mb.flags & kMbBackward) || mb.vectors[1] == previous->vectors[1]);
            }
        }
        if (mb.skipped) {
            writer.SkipMacroblock();
        } else {
            // A P macroblock without motion compensation that codes nothing is
            // sent as a zero vector instead.
            if (!intra && mb.codedBlockPattern == 0 && !(mb.flags & (kMbForward | kMbBackward))) {
                mb.flags = kMbForward;
                mb.motionType = fieldPicture_ ? kFieldMotion : kFrameMotion;
                mb.fieldSelect[0][0] = parity_;
                mb.vectors[0] = {};
            }
            VideoResult r = writer.WriteMacroblock(address, mb, levels_);
            if (!r.Ok()) return r;
        }
        Reconstruct(mbX, mbY, mb, reconstruction);
        if (!mb.skipped && (intra || mb.codedBlockPattern) && mb.dctType == 1)
            ++quantisers_.fieldDct;
        if (!mb.skipped && !intra && mb.motionType == kFieldMotion) ++quantisers_.fieldMotion;
        if (!mb.skipped && !intra && mb.motionType == kDualPrimeMotion) ++quantisers_.dualPrime;
        previous = &mb;
    }
    quantisers_.mean = static_cast<double>(mquantSum) / total;
    return {};
}

VideoResult PictureCoder::Code(const PlannedPicture& plan, const PictureInputs& inputs,
                               const PictureRate& rate, BitWriter& out, YuvFrame& reconstruction) {
    fieldPicture_ = plan.structure != 3;
    parity_ = plan.structure == 2 ? 1 : 0;
    Analyse(plan, inputs);
    ChooseFCodes(plan);

    PictureHeaderFields header;
    header.type = plan.type;
    header.temporalReference = plan.temporalReference;
    header.vbvDelay = rate.vbvDelay;
    header.structure = plan.structure;
    // Field pictures show just themselves.
    header.display =
        fieldPicture_ ? DisplayFlags{false, false, false} : DisplayFlagsOf(p_, plan.displayIndex);
    std::memcpy(header.fCode, fCode_, sizeof(fCode_));
    WritePictureHeader(out, p_, header);
    if (p_.IsMpeg2()) {
        WritePictureCodingExtension(out, p_, header);
        if (p_.writePictureDisplayExt && !fieldPicture_)
            WritePictureDisplayExtension(out, p_, header.display);
    }
    if (p_.embedSvcdUserData && plan.type == kPictureI) WriteSvcdUserData(out);
    return CodeSlices(plan, inputs, rate, out, reconstruction);
}

}  // namespace korvan
