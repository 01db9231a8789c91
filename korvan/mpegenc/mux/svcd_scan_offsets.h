// SuperVCD scan offsets: every I picture carries, in a user data block, the
// CD addresses of the previous and next I pictures and of those about seven
// seconds back and forward, so that a player can scan through the disc. The
// multiplexer notes the pack of every I picture while it writes; this pass
// writes the addresses into the finished file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "korvan/base/status.h"
#include "korvan/mpegenc/mux/mux_host.h"

namespace korvan::mux {

// A pack number as CD time: minutes (BCD), then seconds and sectors (BCD
// with the top bit set).
std::array<uint8_t, 3> CdTimeAddress(uint32_t pack);

// I pictures between an I picture and its backward and forward neighbours:
// about seven seconds of pictures over the average GOP length.
int ScanOffsetSpan(int frameRateCode, bool pulldown, uint64_t pictures, uint64_t gops);

// Fills the user data blocks of `programPath` in order, one per pack number
// listed in `packsPath` (32-bit little-endian numbers).
Status WriteScanOffsets(const std::string& programPath, const std::string& packsPath, int span,
                        ProgressThrottle& progress);

}  // namespace korvan::mux
