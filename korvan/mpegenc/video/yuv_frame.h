// Picture buffers of the video coder: three planes sized to whole
// macroblocks, and the geometry that says how big they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvan {

enum ChromaFormat : int { kChroma420 = 1, kChroma422 = 2, kChroma444 = 3 };

struct CodingGeometry {
    int width = 0;   // the picture, pels
    int height = 0;  // the picture, lines
    int chromaFormat = kChroma420;
    int mbWidth = 0;
    int mbHeight = 0;
    int lumaWidth = 0;  // whole macroblocks
    int lumaHeight = 0;
    int chromaWidth = 0;
    int chromaHeight = 0;
    int chromaMbWidth = 8;  // chroma samples of one macroblock
    int chromaMbHeight = 8;
    int blocksPerMacroblock = 6;
};

// `interlacedFrames`: MPEG-2 with progressive_sequence 0, whose frame
// pictures are a whole number of macroblock rows per field.
CodingGeometry MakeCodingGeometry(int width, int height, int chromaFormat, bool interlacedFrames);

struct Plane {
    uint8_t* data = nullptr;
    int stride = 0;
    int width = 0;
    int height = 0;

    uint8_t* Row(int y) const { return data + static_cast<ptrdiff_t>(y) * stride; }
};

class YuvFrame {
public:
    // Returns false when the memory cannot be had.
    bool Allocate(const CodingGeometry& geometry);

    Plane& plane(int index) { return planes_[index]; }
    const Plane& plane(int index) const { return planes_[index]; }
    Plane& luma() { return planes_[0]; }
    const Plane& luma() const { return planes_[0]; }

    // A view of field `parity` (0 top, 1 bottom) of `frame`: every other
    // line of each plane. It owns nothing; `frame` must outlive it.
    static YuvFrame FieldOf(const YuvFrame& frame, int parity);

    // Repeats the last column and row of the `width` x `height` picture area
    // of each plane (chroma sizes scaled) to the macroblock edges.
    void ExtendToMacroblocks(const CodingGeometry& geometry);

private:
    std::vector<uint8_t> storage_;
    Plane planes_[3];
};

void CopyFrame(const YuvFrame& from, YuvFrame& to);

// The geometry of one field of frames of geometry `frame`.
CodingGeometry FieldGeometry(const CodingGeometry& frame);

}  // namespace korvan
