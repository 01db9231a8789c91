#include "korvan/mpegenc/driver/output_limits.h"

namespace korvan {

double MultiplexOverhead(int targetKind) {
    switch (targetKind) {
        case 1:
        case 4:
            return 1.013;
        case 2:
        case 5:
            return 1.024;
        case 3:
            return 1.027;
        default:
            return 1.03;
    }
}

bool OutputLimits::EndsBefore(int64_t picture, uint64_t codedBits) const {
    if (picture < 1) return false;
    if (sizeOn) {
        const double videoMB = static_cast<double>(codedBits) / (1 << 23);
        const double audioMB =
            static_cast<double>(picture) / pictureRate * kAudioAllowanceMBPerSecond;
        if (MultiplexOverhead(targetKind) * (audioMB + videoMB) > sizeMB) return true;
    }
    return durationOn && pictureRate * durationSeconds <= static_cast<double>(picture);
}

}  // namespace korvan
