#include "korvan/mpegenc/audio/frame_padding.h"

namespace korvan::audio {

FramePadding::FramePadding(int samplesPerFrame, int bitRate, int sampleRateHz, int slotBits) {
    const int64_t bitsTimesRate = int64_t{samplesPerFrame} * bitRate;
    unit_ = int64_t{sampleRateHz} * slotBits;
    if (unit_ <= 0) unit_ = 1;
    wholeSlots_ = bitsTimesRate / unit_;
    fraction_ = bitsTimesRate % unit_;
    lag_ = -fraction_;
}

bool FramePadding::NextFramePadded() {
    if (lag_ > fraction_ - unit_) {
        lag_ -= fraction_;
        return false;
    }
    lag_ += unit_ - fraction_;
    return true;
}

}  // namespace korvan::audio
