// What the frame encoder asks of a psychoacoustic model.
#pragma once

#include <array>
#include <memory>

#include "korvan/mpegenc/audio/audio_tables.h"

namespace korvan::audio {

struct AudioStreamParams;

// What the filter bank tells the models about each subband of a frame. The
// filter bank spreads a tone near a subband edge into the neighbouring
// subband, whose samples then need bits although the spectrum shows little
// there.
struct SubbandLevels {
    std::array<float, kSubbands> scalePeak{};   // largest scale factor
    std::array<float, kSubbands> meanSquare{};  // of the samples
};

class PsychoModel {
public:
    virtual ~PsychoModel() = default;

    // Signal-to-mask ratio in dB of each of the 32 subbands of `channel`
    // for the frame whose first sample is pcm[0]; pcm reaches kHistory
    // samples back and to the frame's end.
    virtual void ComputeSmr(int channel, const float* pcm, const SubbandLevels& levels,
                            float* smrDb) = 0;

    static constexpr int kHistory = 640;
};

// Model 1 or 2, as the stream's parameters ask.
std::unique_ptr<PsychoModel> MakePsychoModel(const AudioStreamParams& params);

// Levels in dB on the scale where a full-scale sine is 96 dB. A subband
// whose largest scale factor is `scalePeak` holds at least 10 dB below a
// sine whose subband samples reach that peak.
float ScalePeakLevelDb(float scalePeak);
// The energy of a subband whose samples have `meanSquare`, measured as the
// sum of the spectral lines a sine of that energy would give.
float MeanSquareLevelDb(float meanSquare);

}  // namespace korvan::audio
