#include "korvan/mpegenc/video/picture_coder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "korvan/mpegenc/video/mode_decision.h"

namespace korvan {
namespace {

// Largest whole-sample displacement whose half-sample neighbours still fit
// f-code `f`.
int ReachOfFCode(int f) { return (16 << (f - 1)) / 2 - 1; }

uint8_t ClipSample(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

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

SearchResult PictureCoder::SearchDirection(const DirectionSearch& direction,
                                           const PictureInputs& inputs, int mbX, int mbY,
                                           int patience) {
    const Plane& current = inputs.source->luma();
    const Plane& reference = direction.reference->luma();
    const int v = p_.variableMaxMotion;
    const int mb = mbY * p_.geometry.mbWidth + mbX;
    std::vector<MotionVector>& found = found_[direction.index];
    SearchResult result;
    if (v >= 8) {
        // Besides the coarse candidate, the fine stage may start from the zero
        // vector or from where the left and upper neighbours moved: in
        // smooth areas the sub-sampled match is often a poor guess.
        MotionVector starts[4];
        int count = 0;
        starts[count++] = searcher_.CoarseSearch(
            *inputs.sourceSubsampled, *direction.referenceSource, mbX, mbY, (v / 4) / 2, patience);
        starts[count++] = {};
        if (mbX > 0) starts[count++] = {found[mb - 1].x >> 1, found[mb - 1].y >> 1};
        if (mbY > 0) {
            const MotionVector& up = found[mb - p_.geometry.mbWidth];
            starts[count++] = {up.x >> 1, up.y >> 1};
        }
        const int horizontal = std::min(v + 4, ReachOfFCode(p_.maxHorizontalFCode));
        const int vertical = std::min(v + 4, ReachOfFCode(p_.maxVerticalFCode));
        result = searcher_.FineSearch(current, reference, mbX, mbY, starts, count, 4,
                                      searcher_.ClipWindow(mbX, mbY, horizontal, vertical));
    } else {
        const MotionVector zero;
        result = searcher_.FineSearch(
            current, reference, mbX, mbY, &zero, 1,
            std::max(direction.horizontalWindow, direction.verticalWindow),
            searcher_.ClipWindow(mbX, mbY, direction.horizontalWindow, direction.verticalWindow));
    }
    found[mb] = result.vector;
    return result;
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

void PictureCoder::FormPrediction(const PictureInputs& inputs, int mbX, int mbY, int flags,
                                  const MotionVector* vectors) {
    uint8_t* const main[3] = {prediction_[0], prediction_[1], prediction_[2]};
    uint8_t* const other[3] = {otherPrediction_[0], otherPrediction_[1], otherPrediction_[2]};
    const bool forward = (flags & kMbForward) != 0;
    const bool backward = (flags & kMbBackward) != 0;
    if (backward && !forward) {
        FormDirection(*inputs.backwardReference, mbX, mbY, vectors[1], main);
        return;
    }
    // Forward, or a P macroblock without motion compensation (zero vector).
    FormDirection(*inputs.forwardReference, mbX, mbY, forward ? vectors[0] : MotionVector{}, main);
    if (backward) {
        FormDirection(*inputs.backwardReference, mbX, mbY, vectors[1], other);
        const CodingGeometry& g = p_.geometry;
        kernels_.average(prediction_[0], 16, otherPrediction_[0], 16, 16, 16);
        for (int c = 1; c < 3; ++c) {
            kernels_.average(prediction_[c], 16, otherPrediction_[c], 16, g.chromaMbWidth,
                             g.chromaMbHeight);
        }
    }
}

int PictureCoder::PredictionError(const PictureInputs& inputs, int mbX, int mbY, int flags,
                                  const MotionVector* vectors) {
    uint8_t* const lumaOnly[3] = {prediction_[0], nullptr, nullptr};
    uint8_t* const otherLuma[3] = {otherPrediction_[0], nullptr, nullptr};
    const bool forward = (flags & kMbForward) != 0;
    const bool backward = (flags & kMbBackward) != 0;
    if (backward && !forward) {
        FormDirection(*inputs.backwardReference, mbX, mbY, vectors[1], lumaOnly);
    } else {
        FormDirection(*inputs.forwardReference, mbX, mbY, forward ? vectors[0] : MotionVector{},
                      lumaOnly);
        if (backward) {
            FormDirection(*inputs.backwardReference, mbX, mbY, vectors[1], otherLuma);
            kernels_.average(prediction_[0], 16, otherPrediction_[0], 16, 16, 16);
        }
    }
    const Plane& source = inputs.source->luma();
    return kernels_.predictionError16x16(source.Row(16 * mbY) + 16 * mbX, source.stride,
                                         prediction_[0], 16);
}

void PictureCoder::Analyse(const PlannedPicture& plan, const PictureInputs& inputs) {
    std::memset(largestComponent_, 0, sizeof(largestComponent_));
    const CodingGeometry& g = p_.geometry;
    const Plane& source = inputs.source->luma();
    const SearchKind search =
        p_.variableMaxMotion >= 8 ? SearchKind::kTwoStage : SearchKind::kWindowed;
    const int patience = inputs.sourceSubsampled->IsFlat() ? 1 : 2;

    DirectionSearch forward;
    DirectionSearch backward;
    backward.index = 1;
    forward.reference = inputs.forwardReference;
    forward.referenceSource = inputs.forwardSource;
    backward.reference = inputs.backwardReference;
    backward.referenceSource = inputs.backwardSource;
    if (plan.type == kPictureP) {
        forward.horizontalWindow = p_.motion[0].forwHorzSearch;
        forward.verticalWindow = p_.motion[0].forwVertSearch;
    } else if (plan.type == kPictureB) {
        const MotionRecord& r = p_.motion[std::clamp(plan.forwardDistance, 1, kMotionRecords - 1)];
        forward.horizontalWindow = r.forwHorzSearch;
        forward.verticalWindow = r.forwVertSearch;
        backward.horizontalWindow = r.backHorzSearch;
        backward.verticalWindow = r.backVertSearch;
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

            const SearchResult f = SearchDirection(forward, inputs, mbX, mbY, patience);
            note(0, f.vector);
            MotionVector vectors[2] = {f.vector, {}};
            int flags = kMbForward;
            int error = PredictionError(inputs, mbX, mbY, kMbForward, vectors);
            if (plan.type == kPictureB) {
                const SearchResult b = SearchDirection(backward, inputs, mbX, mbY, patience);
                note(1, b.vector);
                vectors[1] = b.vector;
                const int backwardError = PredictionError(inputs, mbX, mbY, kMbBackward, vectors);
                const int bothError =
                    PredictionError(inputs, mbX, mbY, kMbForward | kMbBackward, vectors);
                if (backwardError < error) {
                    error = backwardError;
                    flags = kMbBackward;
                }
                if (bothError < error) {
                    error = bothError;
                    flags = kMbForward | kMbBackward;
                }
            }

            if (!PreferInter(mb.variance, error, search)) {
                mb.flags = kMbIntra;
                continue;
            }
            mb.flags = flags;
            mb.vectors[0] = vectors[0];
            mb.vectors[1] = vectors[1];
            if (plan.type == kPictureP) {
                const int zeroError = PredictionError(inputs, mbX, mbY, kMbPattern, vectors);
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

bool PictureCoder::TransformMacroblock(const PictureInputs& inputs, int mbX, int mbY,
                                       MacroblockInfo& mb) {
    bool saturated = false;
    const CodingGeometry& g = p_.geometry;
    const bool intra = (mb.flags & kMbIntra) != 0;
    if (!intra) FormPrediction(inputs, mbX, mbY, mb.flags, mb.vectors);
    mb.codedBlockPattern = 0;
    const YuvFrame& source = *inputs.source;
    for (int b = 0; b < g.blocksPerMacroblock; ++b) {
        int plane = 0;
        int x = 8 * (b & 1);
        int y = 8 * ((b >> 1) & 1);
        if (b >= 4) {
            const int k = (b - 4) >> 1;
            plane = 1 + ((b - 4) & 1);
            x = 8 * (k >> 1);
            y = 8 * (k & 1);
        }
        const int mbWidth = plane == 0 ? 16 : g.chromaMbWidth;
        const int mbHeight = plane == 0 ? 16 : g.chromaMbHeight;
        const Plane& src = source.plane(plane);
        const uint8_t* in = src.Row(mbHeight * mbY + y) + mbWidth * mbX + x;
        const uint8_t* pred = prediction_[plane] + 16 * y + x;
        int16_t block[64];
        for (int j = 0; j < 8; ++j) {
            for (int i = 0; i < 8; ++i) {
                block[8 * j + i] = static_cast<int16_t>(in[i] - (intra ? 0 : pred[16 * j + i]));
            }
            in += src.stride;
        }
        kernels_.forwardDct(block);
        if (intra) {
            saturated |= QuantiseIntraBlock(block, levels_[b], p_.matrices.intra, mb.mquant,
                                            p_.intraDcPrecision, p_.syntax);
        } else if (QuantiseNonIntraBlock(block, levels_[b], p_.matrices.nonIntra, mb.mquant,
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
        int plane = 0;
        int x = 8 * (b & 1);
        int y = 8 * ((b >> 1) & 1);
        if (b >= 4) {
            const int k = (b - 4) >> 1;
            plane = 1 + ((b - 4) & 1);
            x = 8 * (k >> 1);
            y = 8 * (k & 1);
        }
        const int mbWidth = plane == 0 ? 16 : g.chromaMbWidth;
        const int mbHeight = plane == 0 ? 16 : g.chromaMbHeight;
        const Plane& dst = reconstruction.plane(plane);
        uint8_t* out = dst.Row(mbHeight * mbY + y) + mbWidth * mbX + x;
        const uint8_t* pred = prediction_[plane] + 16 * y + x;
        const bool coded = intra || (mb.codedBlockPattern & (1 << (g.blocksPerMacroblock - 1 - b)));
        if (!coded) {
            for (int j = 0; j < 8; ++j) std::memcpy(out + j * dst.stride, pred + 16 * j, 8);
            continue;
        }
        int16_t block[64];
        if (intra) {
            DequantiseIntraBlock(levels_[b], block, p_.matrices.intra, mb.mquant,
                                 p_.intraDcPrecision, p_.syntax);
        } else {
            DequantiseNonIntraBlock(levels_[b], block, p_.matrices.nonIntra, mb.mquant, p_.syntax);
        }
        kernels_.inverseDct(block);
        for (int j = 0; j < 8; ++j) {
            for (int i = 0; i < 8; ++i) {
                const int base = intra ? 0 : pred[16 * j + i];
                out[j * dst.stride + i] = ClipSample(base + block[8 * j + i]);
            }
        }
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
    syntax.framePredFrameDct = choices.framePredFrameDct;
    syntax.blocksPerMacroblock = g.blocksPerMacroblock;
    MacroblockWriter writer(out, syntax);

    const int total = g.mbWidth * g.mbHeight;
    int64_t mquantSum = 0;
    int sliceFirst = 0;
    int sliceLast = 0;
    const MacroblockInfo* previous = nullptr;
    for (int address = 0; address < total; ++address) {
        const int mbX = address % g.mbWidth;
        const int mbY = address / g.mbWidth;
        Quantiser q = rate.fixed;
        if (rate.controller) {
            const Plane& luma = inputs.source->luma();
            const double activity = SpatialActivity(
                luma.Row(16 * mbY) + 16 * mbX, luma.stride,
                p_.progressiveFrame ? ActivityBlocks::kFrame : ActivityBlocks::kFrameAndField);
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
        while (TransformMacroblock(inputs, mbX, mbY, mb) && rate.controller) {
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
                mb.skipped = mb.vectors[0] == MotionVector{};
            } else if (previous && !(previous->flags & kMbIntra)) {
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
                mb.vectors[0] = {};
            }
            VideoResult r = writer.WriteMacroblock(address, mb, levels_);
            if (!r.Ok()) return r;
        }
        Reconstruct(mbX, mbY, mb, reconstruction);
        previous = &mb;
    }
    quantisers_.mean = static_cast<double>(mquantSum) / total;
    return {};
}

VideoResult PictureCoder::Code(const PlannedPicture& plan, const PictureInputs& inputs,
                               const PictureRate& rate, BitWriter& out, YuvFrame& reconstruction) {
    Analyse(plan, inputs);
    ChooseFCodes(plan);

    PictureHeaderFields header;
    header.type = plan.type;
    header.temporalReference = plan.temporalReference;
    header.vbvDelay = rate.vbvDelay;
    header.display = DisplayFlagsOf(p_, plan.displayIndex);
    std::memcpy(header.fCode, fCode_, sizeof(fCode_));
    WritePictureHeader(out, p_, header);
    if (p_.IsMpeg2()) {
        WritePictureCodingExtension(out, p_, header);
        if (p_.writePictureDisplayExt) WritePictureDisplayExtension(out, p_, header.display);
    }
    if (p_.embedSvcdUserData && plan.type == kPictureI) WriteSvcdUserData(out);
    return CodeSlices(plan, inputs, rate, out, reconstruction);
}

}  // namespace korvan
