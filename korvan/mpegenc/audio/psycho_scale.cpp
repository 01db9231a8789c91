#include "korvan/mpegenc/audio/psycho_scale.h"

#include <algorithm>

namespace korvan::audio {

float BarkOf(float hz) {
    const float ratio = hz / 7500.0f;
    return 13.0f * std::atan(0.00076f * hz) + 3.5f * std::atan(ratio * ratio);
}

float ThresholdInQuietDb(float hz) {
    // The usual fit of the hearing threshold in dB SPL, with a full-scale
    // sine taken to play at 96 dB SPL.
    const float khz = std::max(hz, 20.0f) / 1000.0f;
    const float db = 3.64f * std::pow(khz, -0.8f) -
                     6.5f * std::exp(-0.6f * (khz - 3.3f) * (khz - 3.3f)) +
                     0.001f * khz * khz * khz * khz;
    return std::min(db, 130.0f);
}

float LineLevelOffsetDb(int fftSize) {
    // A unit sine on a line of a Hann-windowed block has magnitude N / 4.
    const float peak = fftSize / 4.0f;
    return 96.0f - 10.0f * std::log10(peak * peak);
}

}  // namespace korvan::audio
