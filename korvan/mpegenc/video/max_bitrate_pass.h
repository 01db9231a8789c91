// MPEG-2 variable-bitrate streams without a configured maximum announce
// the measured one: after encoding, the bit_rate_value of every sequence
// header is rewritten in place.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korvan/base/status.h"

namespace korvan {

// Writes ceil(maxBitsPerSecond / 400) into the sequence headers whose
// bit_rate_value fields start at `offsets` (bytes) of the stream file,
// keeping the marker bit and the top bits of vbv_buffer_size. `progress`,
// when given, hears of every header rewritten (1-based) and of their count.
Status EmbedMaxBitrate(const std::string& streamPath, const std::vector<uint64_t>& offsets,
                       uint64_t maxBitsPerSecond, int vbvBufferSize,
                       const std::function<void(int header, int headers)>& progress = {});

}  // namespace korvan
