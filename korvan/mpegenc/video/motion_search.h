// Motion search for one macroblock: the coarse spiral on 4:1 sub-sampled
// luminance, the fine spiral at full resolution around its candidate, and the
// half-sample refinement. The classic mode runs the same fine steps over a
// fixed window around the macroblock's own position.
#pragma once

#include <cstdint>
#include <vector>

#include "korvan/mpegenc/common/video_kernels.h"
#include "korvan/mpegenc/video/yuv_frame.h"

namespace korvan {

// A vector in half samples (MPEG's unit), or in whole samples where a name
// says so.
struct MotionVector {
    int x = 0;
    int y = 0;

    bool operator==(const MotionVector&) const = default;
};

// The f-code for a picture whose largest vector component (either sign)
// is `largestHalfSamples`: 1 below 8 pels, 2 below 16, ... 9 below 2048.
int AdaptiveFCode(int largestHalfSamples);

// Luminance reduced 4:1 in each direction; each pel is the rounded mean of a
// 4x4 block, so a macroblock is a 4x4 block here.
class SubsampledPicture {
public:
    bool Allocate(const CodingGeometry& geometry);
    // kFrame: 4 x 4 blocks of the frame. kPerField (interlaced frames):
    // each block from 4 lines of one field, the rows of the two fields
    // alternating, so that a macroblock is still a 4 x 4 block here.
    enum class Lines { kFrame, kPerField };
    void Build(const Plane& luma, const VideoKernels& kernels, Lines lines = Lines::kFrame);

    // Flat pictures (sum of squared deviations below 20 per pel) get less
    // patience in the coarse search.
    bool IsFlat() const;

    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return width_ + 2 * kBorder; }
    const uint8_t* Row(int y) const {
        return pels_.data() + static_cast<size_t>(y) * stride() + kBorder;
    }

private:
    // Room left and right of every row, so that the coarse search may read
    // a whole window row past the picture's edges.
    static constexpr int kBorder = 16;

    std::vector<uint8_t> pels_;
    int width_ = 0;
    int height_ = 0;
};

// The area a vector may reach, in whole samples relative to the macroblock.
struct SearchWindow {
    int left = 0;
    int right = 0;
    int up = 0;
    int down = 0;
};

struct SearchResult {
    MotionVector vector;  // half samples
    int sad = 0;
};

// What a vector costs besides its match: the bits of its difference from the
// vector a decoder predicts it from, `sadPerBit` each. The search weighs
// them only among the half-sample positions around its best whole-sample
// match, whose sums differ by little where grain or a smooth area decides:
// there the cheaper vector keeps a steady motion's vectors alike, and
// alike vectors cost a bit a component.
struct VectorCost {
    MotionVector predicted;  // half samples
    int sadPerBit = 0;

    // The bits of `vector`'s difference from the predicted one, counted
    // with a range of one extra bit a component (an f-code of 2: the
    // picture's own f-codes are known only once its search has ended).
    static int Bits(MotionVector vector, MotionVector predicted);
};

class MotionSearcher {
public:
    MotionSearcher(const VideoKernels& kernels, const CodingGeometry& geometry);

    // The coarse stage: the best offset of macroblock (mbX, mbY) in whole
    // samples (a multiple of 4), searched in rings up to `radius`
    // sub-sampled pels (vertically at most `verticalRadius`); `patience`
    // checkpoints without improvement end it.
    MotionVector CoarseSearch(const SubsampledPicture& current, const SubsampledPicture& reference,
                              int mbX, int mbY, int radius, int verticalRadius, int patience) const;

    // The fine stage: a spiral of `radius` whole samples inside `window`
    // around the best of the `count` starting points (whole samples), then
    // the eight half-sample positions around the best, of which the one
    // with the smallest sum plus `cost` wins (the sum alone without one).
    // `current` is the source luminance, `reference` the reconstructed one.
    SearchResult FineSearch(const Plane& current, const Plane& reference, int mbX, int mbY,
                            const MotionVector* starts, int count, int radius,
                            const SearchWindow& window, const VectorCost* cost = nullptr) const;

    // The same for a 16-wide block of `rows` rows at (x, y) of any plane
    // (a field of the pictures, for instance).
    SearchResult FineSearchBlock(const Plane& current, const Plane& reference, int x, int y,
                                 int rows, const MotionVector* starts, int count, int radius,
                                 const SearchWindow& window,
                                 const VectorCost* cost = nullptr) const;

    // The sum of absolute differences of macroblock (mbX, mbY) at `vector`
    // (half samples), or -1 when the reference block leaves `window`.
    int SadAt(const Plane& current, const Plane& reference, int mbX, int mbY, MotionVector vector,
              const SearchWindow& window) const;

    // The window of ±`horizontal`, ±`vertical` samples around the macroblock,
    // clipped to the picture.
    SearchWindow ClipWindow(int mbX, int mbY, int horizontal, int vertical) const;

    // The window around a 16 x `rows` block at (x, y) of a plane `height`
    // lines high.
    SearchWindow ClipBlockWindow(int x, int y, int rows, int height, int horizontal,
                                 int vertical) const;

    // Positions of the first eight spiral rings (288).
    static constexpr int kSpiralPositions = 4 * 8 * 9;

private:
    // The spiral's positions as offsets for `stride`, or null when that is
    // neither a frame's nor a field's stride.
    const ptrdiff_t* SpiralOffsets(int stride) const;

    const VideoKernels& kernels_;
    CodingGeometry geometry_;
    int spiralStrides_[2] = {};
    ptrdiff_t spiralOffsets_[2][kSpiralPositions] = {};
};

}  // namespace korvan
