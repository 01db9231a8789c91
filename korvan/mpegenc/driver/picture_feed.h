// Step 1's pictures: fetched through the job's picture callback as 32-bit
// BGRx rows (bottom row first), cut to the coded size and converted to the
// coder's Y, Cb, Cr planes. Coded pictures are taken from the source's time
// line, so a source whose rate differs from the coded one keeps its speed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "korvan/mpegenc/driver/compile_request.h"
#include "korvan/mpegenc/video/colour_conversion.h"
#include "korvan/mpegenc/video/video_encoder.h"

namespace korvan {

// The source picture (counted from the job's first one) that coded picture
// `coded` shows.
int64_t SourcePictureOf(int64_t coded, double sourceRate, double codedRate);

// A picture that is no use: the callback gave none, or too small a one.
inline constexpr int kUnusablePicture = -1;

// Fetches source picture `number` and finds in it the rows of a `width` x
// `height` picture: `rows` gets the first of them in memory (the bottom
// row, as the source hands them over), the rows above it follow
// `picture.strideBytes` apart. Returns the
// callback's status, or kUnusablePicture with `problem` saying why.
int FetchCodedRows(const PictureCallback& getPicture, int64_t number, int width, int height,
                   FetchedPicture& picture, const uint8_t*& rows, std::string& problem);

class PictureFeed : public PictureSource {
public:
    // Asked before each coded picture is fetched: 0 to go on, or a status
    // that the fetch returns instead (PictureSource::kEndsHere, or another
    // to stop).
    using Gate = std::function<int(int codedPicture)>;

    PictureFeed(const PictureCallback& getPicture, int64_t firstPicture, double sourceRate,
                double codedRate, Gate gate)
        : getPicture_(getPicture),
          firstPicture_(firstPicture),
          sourceRate_(sourceRate),
          codedRate_(codedRate),
          gate_(std::move(gate)) {}

    // Sets up the colour conversion for the opened encoder's pictures, with
    // the kernels of `kernelFlags`; false when its buffers cannot be had.
    bool Prepare(const CodingParameters& parameters, int matrixCoefficients, bool blackAndWhite,
                 CpuFlags kernelFlags);

    int FetchPicture(int displayIndex, YuvFrame& frame) override;

    // Why the last fetch failed.
    const std::string& Problem() const { return problem_; }

private:
    const PictureCallback& getPicture_;
    int64_t firstPicture_ = 0;
    double sourceRate_ = 25;
    double codedRate_ = 25;
    Gate gate_;
    int width_ = 0;
    int height_ = 0;
    ColourConverter converter_;
    std::string problem_;
};

}  // namespace korvan
