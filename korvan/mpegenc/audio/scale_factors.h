// Scale factors of the subband samples and, in layer II, which of a band's
// three scale factors are sent.
#pragma once

#include <array>

#include "korvan/mpegenc/audio/audio_tables.h"

namespace korvan::audio {

// Scale factor indexes of `parts` consecutive runs of `slotsPerPart` slots;
// samples[slot * 32 + band], indexes[part * 32 + band].
void ComputeScaleFactors(const float* samples, int parts, int slotsPerPart, int* indexes);

// The layer II transmission pattern of one band.
struct ScaleFactorPattern {
    int selection = 0;          // scfsi: 0 all three, 1 "1 1 3", 2 one for all, 3 "1 3 3"
    std::array<int, 3> used{};  // index each part is coded with
    int sent = 3;               // scale factors transmitted
};

// Neighbouring parts whose indexes differ by less than three (about 6 dB)
// share one scale factor, the larger of the two, so that no sample
// overflows; a saving of 6 or 12 bits for a little precision.
ScaleFactorPattern SelectScaleFactorPattern(const std::array<int, 3>& indexes);

}  // namespace korvan::audio
