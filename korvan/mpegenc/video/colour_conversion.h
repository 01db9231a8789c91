// Turns the 32-bit BGRx pictures a source delivers (bottom row first) into
// the coder's Y, Cb, Cr planes: integer colour matrix, extension to whole
// macroblocks, and the chroma filters down to 4:2:2 and 4:2:0.
#pragma once

#include <cstdint>
#include <vector>

#include "korvan/mpegenc/common/quantise.h"
#include "korvan/mpegenc/video/colour_kernels.h"
#include "korvan/mpegenc/video/yuv_frame.h"

namespace korvan {

// The matrix of a matrix_coefficients code; codes 9 and above use code 3's.
ColourMatrix MakeColourMatrix(int matrixCoefficients);

enum class ChromaSource { kFromPicture, kGrey };

class ColourConverter {
public:
    // Returns false when the work buffers cannot be had. The flags choose the
    // kernels; every table gives the same samples.
    bool Prepare(const CodingGeometry& geometry, int matrixCoefficients, MpegSyntax syntax,
                 ChromaSource chroma, CpuFlags kernelFlags);

    // `bgrx` holds geometry.height rows of geometry.width pels, the bottom
    // row first, `strideBytes` apart.
    void Convert(const uint8_t* bgrx, int strideBytes, YuvFrame& frame);

private:
    void FilterHorizontally(const std::vector<uint8_t>& in, std::vector<uint8_t>& out);
    void FilterVertically(const std::vector<uint8_t>& in, uint8_t* out, int outStride) const;

    CodingGeometry geometry_;
    ColourMatrix matrix_;
    MpegSyntax syntax_ = MpegSyntax::kMpeg1;
    ChromaSource chroma_ = ChromaSource::kFromPicture;
    const ColourKernels* kernels_ = nullptr;
    std::vector<uint8_t> u444_, v444_, u422_, v422_;
    std::vector<int16_t> paddedRow_;  // one row with its edge samples repeated
};

}  // namespace korvan
