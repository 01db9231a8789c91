// The macroblock decisions between intra and inter coding and between a
// motion-compensated and a zero-vector prediction. Errors are sums of
// squared differences over the 256 luminance samples, the variance the sum
// of squared deviations from the macroblock's mean.
#pragma once

#include <cstdint>

namespace korvan {

// The error below which a prediction is always good enough: 9 per sample.
inline constexpr int kGoodEnoughError = 9 * 256;

enum class SearchKind { kWindowed, kTwoStage };

// True when the best prediction (error `error`) should be coded rather than
// the macroblock itself. The two-stage search asks twice as much of intra.
inline bool PreferInter(int variance, int error, SearchKind search) {
    const int64_t needed = search == SearchKind::kTwoStage ? 2LL * error : error;
    return variance >= needed || error < kGoodEnoughError;
}

// In P pictures: true when the motion-compensated prediction (error
// `error`) beats the zero vector (error `zeroError`) clearly enough to be
// worth its vector.
inline bool PreferMotionCompensation(int error, int zeroError) {
    return 5LL * error < 4LL * zeroError && zeroError >= kGoodEnoughError;
}

}  // namespace korvan
