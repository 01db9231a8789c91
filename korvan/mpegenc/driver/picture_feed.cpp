#include "korvan/mpegenc/driver/picture_feed.h"

#include <cmath>

#include "korvan/mpegenc/common/format_text.h"

namespace korvan {
namespace {

constexpr int kBytesPerPel = 4;

}  // namespace

int64_t SourcePictureOf(int64_t coded, double sourceRate, double codedRate) {
    // The same rate both sides is the usual case; it must map exactly. A
    // reader's rate comes from a time per frame in 100 ns units, which puts
    // 30000/1001 off by up to 2e-6 of itself: that is still the same rate.
    if (std::fabs(sourceRate - codedRate) <= 1e-5 * codedRate) return coded;
    return static_cast<int64_t>(
        std::floor(static_cast<double>(coded) * sourceRate / codedRate + 1e-6));
}

bool PictureFeed::Prepare(const CodingParameters& parameters, int matrixCoefficients,
                          bool blackAndWhite, CpuFlags kernelFlags) {
    width_ = parameters.geometry.width;
    height_ = parameters.geometry.height;
    return converter_.Prepare(parameters.geometry, matrixCoefficients, parameters.syntax,
                              blackAndWhite ? ChromaSource::kGrey : ChromaSource::kFromPicture,
                              kernelFlags);
}

int FetchCodedRows(const PictureCallback& getPicture, int64_t number, int width, int height,
                   FetchedPicture& picture, const uint8_t*& rows, std::string& problem) {
    picture = FetchedPicture{};
    const int status = getPicture ? getPicture(number, picture) : kUnusablePicture;
    if (status != 0) {
        problem = FormatText("Could not get picture %lld, error code %d.",
                             static_cast<long long>(number), status);
        return status;
    }
    if (!picture.pixels || picture.width < width || picture.height < height ||
        picture.strideBytes < kBytesPerPel * picture.width) {
        problem = FormatText(
            "Picture %lld of the source is %d x %d pels with rows of %d bytes; %d x %d are needed.",
            static_cast<long long>(number), picture.width, picture.height, picture.strideBytes,
            width, height);
        return kUnusablePicture;
    }
    // Rows come bottom first: the rows past the height are the lowest ones
    // of the picture, at the start of the buffer.
    rows = picture.pixels + static_cast<ptrdiff_t>(picture.height - height) * picture.strideBytes;
    return 0;
}

int PictureFeed::FetchPicture(int displayIndex, YuvFrame& frame) {
    problem_.clear();
    if (gate_) {
        const int gate = gate_(displayIndex);
        if (gate != 0) return gate;
    }
    const int64_t number = firstPicture_ + SourcePictureOf(displayIndex, sourceRate_, codedRate_);
    FetchedPicture picture;
    const uint8_t* rows = nullptr;
    const int status =
        FetchCodedRows(getPicture_, number, width_, height_, picture, rows, problem_);
    if (status != 0) return status;
    converter_.Convert(rows, picture.strideBytes, frame);
    return 0;
}

}  // namespace korvan
