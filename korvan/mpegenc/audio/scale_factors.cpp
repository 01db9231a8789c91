#include "korvan/mpegenc/audio/scale_factors.h"

#include <algorithm>
#include <cmath>

namespace korvan::audio {

void ComputeScaleFactors(const float* samples, int parts, int slotsPerPart, int* indexes) {
    for (int part = 0; part < parts; ++part) {
        float peak[kSubbands] = {};
        for (int slot = part * slotsPerPart; slot < (part + 1) * slotsPerPart; ++slot) {
            const float* row = &samples[slot * kSubbands];
            for (int band = 0; band < kSubbands; ++band) {
                peak[band] = std::max(peak[band], std::fabs(row[band]));
            }
        }
        for (int band = 0; band < kSubbands; ++band) {
            indexes[part * kSubbands + band] = ScaleFactorIndexFor(peak[band]);
        }
    }
}

ScaleFactorPattern SelectScaleFactorPattern(const std::array<int, 3>& indexes) {
    auto close = [](int a, int b) { return a - b > -2 && a - b < 2; };
    const bool firstPair = close(indexes[0], indexes[1]);
    const bool secondPair = close(indexes[1], indexes[2]);
    ScaleFactorPattern pattern;
    if (firstPair && secondPair) {
        const int shared = std::min({indexes[0], indexes[1], indexes[2]});
        pattern.selection = 2;
        pattern.used = {shared, shared, shared};
        pattern.sent = 1;
    } else if (firstPair) {
        const int shared = std::min(indexes[0], indexes[1]);
        pattern.selection = 1;
        pattern.used = {shared, shared, indexes[2]};
        pattern.sent = 2;
    } else if (secondPair) {
        const int shared = std::min(indexes[1], indexes[2]);
        pattern.selection = 3;
        pattern.used = {indexes[0], shared, shared};
        pattern.sent = 2;
    } else {
        pattern.selection = 0;
        pattern.used = indexes;
        pattern.sent = 3;
    }
    return pattern;
}

}  // namespace korvan::audio
