#include "korvan/mpegenc/video/colour_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace korvan {
namespace {

struct LumaWeights {
    double kr;
    double kb;
};

// By matrix_coefficients code; the codes without a matrix of their own
// (0, 2, 3, 8) use the ITU-R BT.601 weights.
constexpr LumaWeights kWeights[9] = {
    {0.299, 0.114}, {0.2126, 0.0722}, {0.299, 0.114}, {0.299, 0.114}, {0.30, 0.11},
    {0.299, 0.114}, {0.299, 0.114},   {0.212, 0.087}, {0.299, 0.114},
};

int Scaled(double value) { return static_cast<int>(std::lround(value * 32768)); }

// 4:4:4 to 4:2:2, centred on the even samples (MPEG-1) or between two
// samples (MPEG-2), in 512ths; the first sample read is 5 before the centre.
constexpr ChromaTaps kMpeg1Taps = {22, 0, -52, 0, 159, 256, 159, 0, -52, 0, 22, 0};
constexpr ChromaTaps kMpeg2Taps = {5, 11, -21, -37, 70, 228, 228, 70, -37, -21, 11, 5};
constexpr int kTapsBeforeCentre = 5;

}  // namespace

ColourMatrix MakeColourMatrix(int matrixCoefficients) {
    const int index = matrixCoefficients >= 9 || matrixCoefficients < 0 ? 3 : matrixCoefficients;
    const LumaWeights w = kWeights[index];
    ColourMatrix m;
    m.y.r = Scaled(w.kr);
    m.y.b = Scaled(w.kb);
    m.y.g = 32768 - m.y.r - m.y.b;
    m.cb.b = 16384;
    m.cb.r = -Scaled(w.kr / (2 * (1 - w.kb)));
    m.cb.g = -16384 - m.cb.r;
    m.cr.r = 16384;
    m.cr.b = -Scaled(w.kb / (2 * (1 - w.kr)));
    m.cr.g = -16384 - m.cr.b;
    return m;
}

bool ColourConverter::Prepare(const CodingGeometry& geometry, int matrixCoefficients,
                              MpegSyntax syntax, ChromaSource chroma, CpuFlags kernelFlags) {
    geometry_ = geometry;
    kernels_ = &SelectColourKernels(kernelFlags);
    matrix_ = MakeColourMatrix(matrixCoefficients);
    syntax_ = syntax;
    chroma_ = chroma;
    const size_t full = static_cast<size_t>(geometry.lumaWidth) * geometry.lumaHeight;
    const size_t half = static_cast<size_t>(geometry.lumaWidth / 2) * geometry.lumaHeight;
    try {
        u444_.assign(full, 128);
        v444_.assign(full, 128);
        u422_.assign(half, 128);
        v422_.assign(half, 128);
        paddedRow_.assign(static_cast<size_t>(geometry.lumaWidth) + 2 * kTapsBeforeCentre, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void ColourConverter::FilterHorizontally(const std::vector<uint8_t>& in,
                                         std::vector<uint8_t>& out) {
    const int width = geometry_.lumaWidth;
    const ChromaTaps& taps = syntax_ == MpegSyntax::kMpeg1 ? kMpeg1Taps : kMpeg2Taps;
    // Samples beyond the edges repeat the edge sample.
    int16_t* padded = paddedRow_.data();
    for (int y = 0; y < geometry_.lumaHeight; ++y) {
        const uint8_t* row = in.data() + static_cast<size_t>(y) * width;
        std::fill(padded, padded + kTapsBeforeCentre, row[0]);
        std::copy(row, row + width, padded + kTapsBeforeCentre);
        std::fill(padded + kTapsBeforeCentre + width, padded + paddedRow_.size(), row[width - 1]);
        kernels_->halveRow(padded, width / 2, taps,
                           out.data() + static_cast<size_t>(y) * (width / 2));
    }
}

void ColourConverter::FilterVertically(const std::vector<uint8_t>& in, uint8_t* out,
                                       int outStride) const {
    // 4:2:0 chroma sits between two lines, so the even-length filter fits.
    const int width = geometry_.lumaWidth / 2;
    const int height = geometry_.lumaHeight;
    const uint8_t* lines[kChromaTaps];
    for (int j = 0; j < height / 2; ++j) {
        for (int k = 0; k < kChromaTaps; ++k) {
            const int line = std::clamp(2 * j + k - kTapsBeforeCentre, 0, height - 1);
            lines[k] = in.data() + static_cast<size_t>(line) * width;
        }
        kernels_->filterColumns(lines, width, kMpeg2Taps, out + static_cast<size_t>(j) * outStride);
    }
}

void ColourConverter::Convert(const uint8_t* bgrx, int strideBytes, YuvFrame& frame) {
    const CodingGeometry& g = geometry_;
    const ColourMatrix& m = matrix_;
    const bool grey = chroma_ == ChromaSource::kGrey;
    Plane& luma = frame.luma();
    for (int y = 0; y < g.height; ++y) {
        const uint8_t* in = bgrx + static_cast<ptrdiff_t>(g.height - 1 - y) * strideBytes;
        const size_t at = static_cast<size_t>(y) * g.lumaWidth;
        kernels_->convertRow(in, g.width, m, luma.Row(y), grey ? nullptr : u444_.data() + at,
                             grey ? nullptr : v444_.data() + at);
    }
    frame.ExtendToMacroblocks(g);
    if (grey) {
        for (int c = 1; c < 3; ++c) {
            Plane& p = frame.plane(c);
            for (int y = 0; y < p.height; ++y) std::memset(p.Row(y), 128, p.width);
        }
        return;
    }

    // Extend the full-resolution chroma like the luminance before filtering.
    for (std::vector<uint8_t>* plane : {&u444_, &v444_}) {
        Plane view{plane->data(), g.lumaWidth, g.lumaWidth, g.lumaHeight};
        for (int y = 0; y < g.height; ++y) {
            uint8_t* row = view.Row(y);
            std::memset(row + g.width, row[g.width - 1], g.lumaWidth - g.width);
        }
        for (int y = g.height; y < g.lumaHeight; ++y) {
            std::memcpy(view.Row(y), view.Row(g.height - 1), g.lumaWidth);
        }
    }

    std::vector<uint8_t>* full[2] = {&u444_, &v444_};
    std::vector<uint8_t>* halves[2] = {&u422_, &v422_};
    for (int c = 0; c < 2; ++c) {
        Plane& out = frame.plane(c + 1);
        if (g.chromaFormat == kChroma444) {
            for (int y = 0; y < g.lumaHeight; ++y) {
                std::memcpy(out.Row(y), full[c]->data() + static_cast<size_t>(y) * g.lumaWidth,
                            g.lumaWidth);
            }
            continue;
        }
        FilterHorizontally(*full[c], *halves[c]);
        if (g.chromaFormat == kChroma422) {
            for (int y = 0; y < g.lumaHeight; ++y) {
                std::memcpy(out.Row(y),
                            halves[c]->data() + static_cast<size_t>(y) * (g.lumaWidth / 2),
                            g.lumaWidth / 2);
            }
            continue;
        }
        FilterVertically(*halves[c], out.data, out.stride);
    }
}

}  // namespace korvan
