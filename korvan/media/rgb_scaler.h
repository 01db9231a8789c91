// Decoded pictures as packed RGB rows for the readers: top row first, as the
// frame grabber keeps them, or bottom row first, as the readers hand them on.
//
// swscale's SIMD paths may write a few pels past a row's end (a 190-pel row
// of 24-bit pels gets 192). Rows written top-down with room after the last
// one are safe: each row's overrun lands in the next row, written later.
// Bottom-up rows written with a negative stride are not (the overrun
// clobbers a row already written, and the first one runs off the buffer),
// so a bottom-up picture is scaled top-down into a buffer with that room and
// turned over as it is copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "libav/libav_handles.h"

namespace korvan::media {

// Room after the last row for swscale's overrun.
inline constexpr std::size_t kScalerOverrunBytes = 64;

class RgbScaler {
public:
    // `frame` at its own size in `format` (a packed RGB form) as `height`
    // rows of `rowBytes` (at least the width's pels):
    // TopDown writes them top row first with kScalerOverrunBytes after the
    // last row, BottomUp bottom row first without that room. False when the
    // converter cannot be made.
    bool TopDown(const AVFrame& frame, AVPixelFormat format, std::size_t rowBytes,
                 std::vector<uint8_t>& rows);
    bool BottomUp(const AVFrame& frame, AVPixelFormat format, std::size_t rowBytes,
                  std::vector<uint8_t>& rows);

private:
    libav::ScalerHandle scaler_;
    std::vector<uint8_t> topDown_;
};

}  // namespace korvan::media
