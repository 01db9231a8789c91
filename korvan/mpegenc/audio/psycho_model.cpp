#include "korvan/mpegenc/audio/psycho_model.h"

#include <cmath>

#include "korvan/mpegenc/audio/audio_stream_params.h"
#include "korvan/mpegenc/audio/psycho_model1.h"
#include "korvan/mpegenc/audio/psycho_model2.h"

namespace korvan::audio {

std::unique_ptr<PsychoModel> MakePsychoModel(const AudioStreamParams& params) {
    if (params.psychModel == 1) {
        return std::make_unique<PsychoModel1>(params.layer, params.sampleRateHz,
                                              params.KbpsPerChannel());
    }
    return std::make_unique<PsychoModel2>(params.layer, params.sampleRateHz);
}

float ScalePeakLevelDb(float scalePeak) {
    // A full-scale sine in the middle of a subband gives subband samples of
    // about 1.
    return 20.0f * std::log10(scalePeak + 1e-10f) + 96.0f - 10.0f;
}

float MeanSquareLevelDb(float meanSquare) {
    // A full-scale sine mid-subband gives samples of mean square about 0.47
    // and 97.8 dB over the lines of its Hann-windowed spectrum.
    return 10.0f * std::log10(2.0f * meanSquare + 1e-20f) + 98.0f;
}

}  // namespace korvan::audio
