// Decoded pictures as the readers hand them on: packed RGB rows, the bottom
// row first, each `rowBytes` long.
//
// swscale's SIMD paths may write a few pels past a row's end (a 190-pel row
// of 24-bit pels gets 192). Rows written top-down with room after the last
// one are safe: each row's overrun lands in the next row, written later.
// Bottom-up rows written with a negative stride are not (the overrun
// clobbers a row already written, and the first one runs off the buffer),
// so the picture is scaled top-down into a buffer with that room and turned
// over as it is copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "korvan/media/libav_handles.h"

namespace korvan::media {

// Room after the last row for swscale's overrun.
inline constexpr std::size_t kScalerOverrunBytes = 64;

class BottomUpScaler {
public:
    // `frame` at its own size in `format` (a packed RGB form of `bytesPerPel`
    // bytes), as `height` rows of `rowBytes` (at least width × bytesPerPel),
    // the bottom row first, into `rows`. False when the converter cannot be
    // made.
    bool Convert(const AVFrame& frame, AVPixelFormat format, std::size_t rowBytes,
                 std::vector<uint8_t>& rows);

private:
    ScalerHandle scaler_;
    std::vector<uint8_t> topDown_;
};

}  // namespace korvan::media
