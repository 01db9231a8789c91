// Scales shared by both psychoacoustic models: critical band rate, the
// threshold in quiet and the level of spectral lines.
#pragma once

#include <cmath>

namespace korvan::audio {

// Critical band rate in Bark of a frequency in Hz.
float BarkOf(float hz);

// Threshold in quiet in dB, on the scale where a full-scale sine is 96 dB.
float ThresholdInQuietDb(float hz);

// Added to 10 log10 of a spectral line's power (a Hann-windowed block of
// `fftSize` samples scaled to -1..1) to give its level in dB: a full-scale
// sine on a line reads 96 dB there.
float LineLevelOffsetDb(int fftSize);

inline float PowerToDb(float power) { return 10.0f * std::log10(power + 1e-30f); }

// 10^(db / 10) to about four digits, several times faster than std::pow;
// the models add hundreds of masking contributions per frame.
inline float DbToPower(float db) {
    // 2^x with x = db * log2(10) / 10, split into integer and fraction.
    float x = db * 0.33219281f;
    if (x < -125.0f) return 0.0f;
    if (x > 125.0f) x = 125.0f;
    const float whole = std::floor(x);
    const float f = x - whole;
    // Least-squares cubic for 2^f on 0..1 through both ends.
    const float p = 1.0f + f * (0.69592847f + f * (0.22494631f + f * 0.07912522f));
    return std::ldexp(p, static_cast<int>(whole));
}

}  // namespace korvan::audio
