// The decoder's buffer as a constant-bitrate stream fills it: bits arrive
// at the bit rate, each picture leaves it whole at its decoding time. The
// model gives every picture its vbv_delay and the sizes it must keep to so
// that the buffer neither runs dry nor overflows.
#pragma once

#include <cstdint>

#include "korvan/mpegenc/common/vlc_tables.h"

namespace korvan {

// 90 kHz ticks a picture is shown for.
struct DisplayPeriod {
    double frameRate = 25;
    bool progressiveSequence = true;
    bool fieldPicture = false;
    bool topFieldFirst = false;
    bool repeatFirstField = false;
};
double DisplayTicks(const DisplayPeriod& period);

struct VbvLimits {
    int vbvDelay = 0xFFFF;  // as written into the picture header
    int64_t minBits = 0;    // smaller pictures leave the buffer to overflow
    int64_t maxBits = 0;    // larger ones are not in the buffer at their decoding time
};

class VbvModel {
public:
    // `bufferSize` in units of 16 384 bits; decoding starts when the buffer
    // is seven eighths full (of at most what arrives in 65 535 ticks).
    VbvModel(double bitRate, int bufferSize, double frameRate);

    // A picture whose start code ends at stream bit `startBits`, shown for
    // `displayTicks`.
    VbvLimits StartPicture(uint64_t startBits, PictureCodingType type, double displayTicks);

    int Overflows() const { return overflows_; }
    int Underflows() const { return underflows_; }

private:
    double bitRate_;
    double frameRate_;
    double bufferTicks_;  // how long the full buffer takes to arrive
    double decodingTicks_;
    double referenceTicks_ = -1;  // display period of the last I or P picture
    int overflows_ = 0;
    int underflows_ = 0;
};

}  // namespace korvan
