#include "korvan/mpegenc/video/macroblock_transform.h"

#include <cmath>
#include <cstring>

namespace korvan {
namespace {

// What intra blocks are predicted from.
constexpr uint8_t kZeroPels[8] = {};

// Where block `b` of a macroblock lies: its plane, its top left corner
// within the macroblock and the distance of its lines. With the field DCT
// the blocks of a 16-line macroblock hold the lines of one field each.
struct BlockPlace {
    int plane = 0;
    int x = 0;
    int y = 0;
    int lineStep = 1;
};

constexpr BlockPlace ComputePlace(int b, int dctType, int chromaMbHeight) {
    BlockPlace place;
    int row = (b >> 1) & 1;
    place.x = 8 * (b & 1);
    if (b >= 4) {
        const int k = (b - 4) >> 1;
        place.plane = 1 + ((b - 4) & 1);
        place.x = 8 * (k >> 1);
        row = k & 1;
    }
    const int mbHeight = place.plane == 0 ? 16 : chromaMbHeight;
    if (dctType == 1 && mbHeight == 16) {
        place.y = row;
        place.lineStep = 2;
    } else {
        place.y = 8 * row;
    }
    return place;
}

// Every block's place, worked out once: [chroma of 16 lines][dctType][block].
struct BlockPlaces {
    BlockPlace at[2][2][kMaxBlocksPerMacroblock];
};
constexpr BlockPlaces kBlockPlaces = [] {
    BlockPlaces places;
    for (int tall = 0; tall < 2; ++tall) {
        for (int dctType = 0; dctType < 2; ++dctType) {
            for (int b = 0; b < kMaxBlocksPerMacroblock; ++b)
                places.at[tall][dctType][b] = ComputePlace(b, dctType, tall ? 16 : 8);
        }
    }
    return places;
}();

const BlockPlace& PlaceOf(int b, int dctType, const CodingGeometry& g) {
    return kBlockPlaces.at[g.chromaMbHeight == 16 ? 1 : 0][dctType][b];
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

int BlockBit(const CodingGeometry& g, int b) { return 1 << (g.blocksPerMacroblock - 1 - b); }

}  // namespace

void TransformMacroblock(const CodingParameters& p, const VideoKernels& kernels,
                         const YuvFrame& source, int mbX, int mbY, bool chooseDct,
                         const MacroblockPrediction& prediction, MacroblockInfo& mb,
                         BlockCoefficients* coefficients) {
    const CodingGeometry& g = p.geometry;
    const bool intra = (mb.flags & kMbIntra) != 0;
    mb.dctType = 0;
    if (chooseDct) {
        const Plane& luma = source.luma();
        int16_t residual[256];
        for (int j = 0; j < 16; ++j) {
            const uint8_t* in = luma.Row(16 * mbY + j) + 16 * mbX;
            for (int i = 0; i < 16; ++i)
                residual[16 * j + i] =
                    static_cast<int16_t>(in[i] - (intra ? 0 : prediction[0][16 * j + i]));
        }
        mb.dctType = PreferFieldDct(residual, 16) ? 1 : 0;
    }
    for (int b = 0; b < g.blocksPerMacroblock; ++b) {
        const BlockPlace place = PlaceOf(b, mb.dctType, g);
        const int mbWidth = place.plane == 0 ? 16 : g.chromaMbWidth;
        const int mbHeight = place.plane == 0 ? 16 : g.chromaMbHeight;
        const Plane& src = source.plane(place.plane);
        const uint8_t* in = src.Row(mbHeight * mbY + place.y) + mbWidth * mbX + place.x;
        const uint8_t* pred = prediction[place.plane] + 16 * place.y + place.x;
        const ptrdiff_t inStep = static_cast<ptrdiff_t>(src.stride) * place.lineStep;
        // Intra blocks are taken from a row of zeros.
        kernels.blockDifference(in, static_cast<int>(inStep), intra ? kZeroPels : pred,
                                intra ? 0 : 16 * place.lineStep, coefficients[b]);
        kernels.forwardDct(coefficients[b]);
    }
}

bool QuantiseMacroblock(const CodingParameters& p, const VideoKernels& kernels,
                        const BlockCoefficients* coefficients, bool alternateScan,
                        MacroblockInfo& mb, const QuantisedBlocks& out) {
    const CodingGeometry& g = p.geometry;
    bool saturated = false;
    mb.codedBlockPattern = 0;
    if (mb.flags & kMbIntra) {
        for (int b = 0; b < g.blocksPerMacroblock; ++b) {
            saturated |= kernels.quantiseIntra(coefficients[b], out.levels[b], p.matrices.intra,
                                               mb.mquant, p.intraDcPrecision, p.syntax);
            out.scanMasks[b] = kernels.scanMask(out.levels[b], alternateScan);
        }
        return saturated;
    }
    for (int b = 0; b < g.blocksPerMacroblock; ++b) {
        out.scanMasks[b] = 0;
        if (kernels.quantiseNonIntra(coefficients[b], out.levels[b], p.matrices.nonIntra, mb.mquant,
                                     p.syntax)) {
            mb.codedBlockPattern |= BlockBit(g, b);
            out.scanMasks[b] = kernels.scanMask(out.levels[b], alternateScan);
        }
    }
    return false;
}

void ReconstructMacroblock(const CodingParameters& p, const VideoKernels& kernels, int mbX, int mbY,
                           const MacroblockInfo& mb, const BlockCoefficients* levels,
                           const MacroblockPrediction& prediction, const Plane* reconstruction) {
    const CodingGeometry& g = p.geometry;
    const bool intra = (mb.flags & kMbIntra) != 0;
    for (int b = 0; b < g.blocksPerMacroblock; ++b) {
        const BlockPlace place = PlaceOf(b, mb.dctType, g);
        const int mbWidth = place.plane == 0 ? 16 : g.chromaMbWidth;
        const int mbHeight = place.plane == 0 ? 16 : g.chromaMbHeight;
        const Plane& dst = reconstruction[place.plane];
        uint8_t* out = dst.Row(mbHeight * mbY + place.y) + mbWidth * mbX + place.x;
        const uint8_t* pred = prediction[place.plane] + 16 * place.y + place.x;
        const ptrdiff_t outStep = static_cast<ptrdiff_t>(dst.stride) * place.lineStep;
        const int predStep = 16 * place.lineStep;
        if (!intra && !(mb.codedBlockPattern & BlockBit(g, b))) {
            for (int j = 0; j < 8; ++j) std::memcpy(out + j * outStep, pred + predStep * j, 8);
            continue;
        }
        int16_t block[64];
        if (intra) {
            kernels.dequantiseIntra(levels[b], block, p.matrices.intra, mb.mquant,
                                    p.intraDcPrecision, p.syntax);
        } else {
            kernels.dequantiseNonIntra(levels[b], block, p.matrices.nonIntra, mb.mquant, p.syntax);
        }
        kernels.inverseDct(block);
        kernels.blockAdd(block, intra ? kZeroPels : pred, intra ? 0 : predStep, out,
                         static_cast<int>(outStep));
    }
}

}  // namespace korvan
