#include "korvan/mpegenc/settings/frame_rates.h"

namespace korvan {

double FrameRateOfCode(int frameRateCode) {
    static constexpr double kRates[] = {24000.0 / 1001, 24, 25, 30000.0 / 1001, 30, 50,
                                        60000.0 / 1001, 60};
    if (frameRateCode < 1 || frameRateCode > 8) return 0;
    return kRates[frameRateCode - 1];
}

}  // namespace korvan
