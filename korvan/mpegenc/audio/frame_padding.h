// Frame sizes of a constant-bitrate stream: whole slots per frame plus the
// padding slot that keeps the average at the bitrate.
#pragma once

#include <cstdint>

namespace korvan::audio {

class FramePadding {
public:
    // Frames of `samplesPerFrame` samples at `bitRate` bit/s and
    // `sampleRateHz`, counted in slots of `slotBits` bits.
    FramePadding(int samplesPerFrame, int bitRate, int sampleRateHz, int slotBits);

    int WholeSlots() const { return static_cast<int>(wholeSlots_); }

    // Decides whether the next frame carries the padding slot. The slot lag
    // starts at -F (F the fractional slots per frame); a frame is padded
    // when the lag has fallen to F - 1 or below. The lag is kept in units of
    // 1 / (sampleRateHz * slotBits) slot, so the decisions are exact.
    bool NextFramePadded();

private:
    int64_t wholeSlots_ = 0;
    int64_t fraction_ = 0;  // F in lag units
    int64_t unit_ = 1;      // one slot in lag units
    int64_t lag_ = 0;
};

}  // namespace korvan::audio
