#include "korvan/mpegenc/video/yuv_frame.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace korvan {

CodingGeometry MakeCodingGeometry(int width, int height, int chromaFormat, bool interlacedFrames) {
    CodingGeometry g;
    g.width = width;
    g.height = height;
    g.chromaFormat = chromaFormat;
    g.mbWidth = (width + 15) / 16;
    g.mbHeight = interlacedFrames ? 2 * ((height + 31) / 32) : (height + 15) / 16;
    g.lumaWidth = 16 * g.mbWidth;
    g.lumaHeight = 16 * g.mbHeight;
    g.chromaMbWidth = chromaFormat == kChroma444 ? 16 : 8;
    g.chromaMbHeight = chromaFormat == kChroma420 ? 8 : 16;
    g.chromaWidth = g.chromaMbWidth * g.mbWidth;
    g.chromaHeight = g.chromaMbHeight * g.mbHeight;
    g.blocksPerMacroblock = chromaFormat == kChroma420 ? 6 : chromaFormat == kChroma422 ? 8 : 12;
    return g;
}

bool YuvFrame::Allocate(const CodingGeometry& g) {
    const size_t lumaSize = static_cast<size_t>(g.lumaWidth) * g.lumaHeight;
    const size_t chromaSize = static_cast<size_t>(g.chromaWidth) * g.chromaHeight;
    try {
        storage_.assign(lumaSize + 2 * chromaSize, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    planes_[0] = {storage_.data(), g.lumaWidth, g.lumaWidth, g.lumaHeight};
    planes_[1] = {storage_.data() + lumaSize, g.chromaWidth, g.chromaWidth, g.chromaHeight};
    planes_[2] = {storage_.data() + lumaSize + chromaSize, g.chromaWidth, g.chromaWidth,
                  g.chromaHeight};
    return true;
}

YuvFrame YuvFrame::FieldOf(const YuvFrame& frame, int parity) {
    YuvFrame view;
    for (int c = 0; c < 3; ++c) {
        const Plane& p = frame.planes_[c];
        view.planes_[c] = {p.data + static_cast<ptrdiff_t>(parity) * p.stride, 2 * p.stride,
                           p.width, p.height / 2};
    }
    return view;
}

CodingGeometry FieldGeometry(const CodingGeometry& frame) {
    CodingGeometry g = frame;
    g.height = frame.height / 2;
    g.mbHeight = frame.mbHeight / 2;
    g.lumaHeight = frame.lumaHeight / 2;
    g.chromaHeight = frame.chromaHeight / 2;
    return g;
}

namespace {

void ExtendPlane(Plane& p, int usedWidth, int usedHeight) {
    usedWidth = std::clamp(usedWidth, 1, p.width);
    usedHeight = std::clamp(usedHeight, 1, p.height);
    for (int y = 0; y < usedHeight; ++y) {
        uint8_t* row = p.Row(y);
        std::memset(row + usedWidth, row[usedWidth - 1], p.width - usedWidth);
    }
    for (int y = usedHeight; y < p.height; ++y) {
        std::memcpy(p.Row(y), p.Row(usedHeight - 1), p.width);
    }
}

}  // namespace

void YuvFrame::ExtendToMacroblocks(const CodingGeometry& g) {
    ExtendPlane(planes_[0], g.width, g.height);
    const int chromaWidth = g.chromaFormat == kChroma444 ? g.width : (g.width + 1) / 2;
    const int chromaHeight = g.chromaFormat == kChroma420 ? (g.height + 1) / 2 : g.height;
    ExtendPlane(planes_[1], chromaWidth, chromaHeight);
    ExtendPlane(planes_[2], chromaWidth, chromaHeight);
}

void CopyFrame(const YuvFrame& from, YuvFrame& to) {
    for (int c = 0; c < 3; ++c) {
        const Plane& src = from.plane(c);
        const Plane& dst = to.plane(c);
        for (int y = 0; y < std::min(src.height, dst.height); ++y) {
            std::memcpy(dst.Row(y), src.Row(y), std::min(src.width, dst.width));
        }
    }
}

}  // namespace korvan
