// The encoder's 32-band polyphase analysis filter bank.
#pragma once

#include <array>

#include "korvan/mpegenc/audio/analysis_window.h"
#include "korvan/mpegenc/audio/audio_tables.h"

namespace korvan::audio {

class PolyphaseAnalysis {
public:
    PolyphaseAnalysis();

    // Filters the 512 samples x[0..511], oldest first, and writes the 32
    // subband samples that belong to the newest 32 of them. Subband k holds
    // the frequencies k..k+1 times a 64th of the sampling frequency.
    void Filter(const float* x, float* subbands) const;

private:
    // The window reversed, so that it runs over the samples in time order.
    std::array<float, kWindowLength> reversedWindow_{};
    // cos((2i + 1) m pi / 64) at [m * 32 + i]: the matrixing after the
    // window sums have been folded from 64 down to 32 values.
    std::array<float, kSubbands * kSubbands> cosines_{};
};

}  // namespace korvan::audio
