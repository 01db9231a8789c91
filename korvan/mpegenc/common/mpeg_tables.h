// Fixed tables of MPEG-1/MPEG-2 video: the two coefficient scan orders, the
// standard and Test Model 5 quantiser matrices and the non-linear quantiser
// scale.
#pragma once

#include <array>
#include <cstdint>

namespace korvan {

using Matrix64 = std::array<uint8_t, 64>;

// kScanOrder[alternate][i] is the raster position (8 * row + column) of the
// i-th coefficient in transmission order: 0 zig-zag, 1 alternate scan.
extern const std::array<std::array<uint8_t, 64>, 2> kScanOrder;

// The default intra matrix of both standards, raster order.
extern const Matrix64 kDefaultIntraMatrix;
// Test Model 5's non-intra matrix, raster order.
extern const Matrix64 kTm5NonIntraMatrix;
// The flat non-intra matrix both standards use when none is transmitted.
extern const Matrix64 kFlatNonIntraMatrix;

// quantiser_scale for q_scale_type 1, indexed by quantiser_scale_code 0..31
// (entry 0 is unused).
extern const std::array<uint8_t, 32> kNonLinearQuantiserScale;

}  // namespace korvan
