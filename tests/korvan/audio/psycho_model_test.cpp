#include "korvan/mpegenc/audio/psycho_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "korvan/mpegenc/audio/audio_stream_params.h"
#include "korvan/mpegenc/audio/psycho_model1.h"
#include "korvan/mpegenc/audio/psycho_model2.h"

namespace {

using namespace korvan::audio;

const double kPi = std::acos(-1.0);

AudioStreamParams Params(int layer, int model, int rate) {
    AudioStreamParams p;
    p.layer = layer;
    p.psychModel = model;
    p.sampleRateHz = rate;
    p.samplingCode = SamplingFrequencyCode(rate);
    p.channels = 2;
    p.bitRate = 192000;
    p.samplesPerFrame = layer == 1 ? 384 : 1152;
    return p;
}

// Feeds `frames` frames of `signal` (sample n → value) through the model
// and returns the ratios of the last one.
template <typename Signal>
std::vector<float> LastFrameSmr(PsychoModel& model, int frameLength, int frames, Signal signal) {
    std::vector<float> pcm(PsychoModel::kHistory + frameLength);
    std::vector<float> smr(kSubbands);
    SubbandLevels quiet;
    quiet.scalePeak.fill(ScaleFactorValue(62));
    for (int f = 0; f < frames; ++f) {
        const long first = long(f) * frameLength - PsychoModel::kHistory;
        for (size_t i = 0; i < pcm.size(); ++i)
            pcm[i] = first + long(i) < 0 ? 0.0f : signal(first + long(i));
        model.ComputeSmr(0, pcm.data() + PsychoModel::kHistory, quiet, smr.data());
    }
    return smr;
}

TEST(PsychoModelTest, ToneNeedsBitsInItsOwnSubbandOnly) {
    for (int model : {1, 2}) {
        for (int layer : {1, 2}) {
            for (int rate : {32000, 44100, 48000}) {
                for (int k : {1, 6, 17}) {
                    std::unique_ptr<PsychoModel> m = MakePsychoModel(Params(layer, model, rate));
                    const int frameLength = layer == 1 ? 384 : 1152;
                    const std::vector<float> smr = LastFrameSmr(*m, frameLength, 4, [k](long n) {
                        return static_cast<float>(0.5 * std::sin(2 * kPi * (k + 0.5) / 64 * n));
                    });
                    const int loudest =
                        static_cast<int>(std::max_element(smr.begin(), smr.end()) - smr.begin());
                    EXPECT_EQ(loudest, k)
                        << "model " << model << " layer " << layer << " rate " << rate;
                    EXPECT_GT(smr[k], 10.0f);
                    EXPECT_LT(smr[k + 8], 0.0f) << "model " << model << " layer " << layer;
                }
            }
        }
    }
}

TEST(PsychoModelTest, SilenceNeedsNoBits) {
    for (int model : {1, 2}) {
        for (int layer : {1, 2}) {
            std::unique_ptr<PsychoModel> m = MakePsychoModel(Params(layer, model, 44100));
            const std::vector<float> smr =
                LastFrameSmr(*m, layer == 1 ? 384 : 1152, 3, [](long) { return 0.0f; });
            for (int sb = 0; sb < kSubbands; ++sb) EXPECT_LT(smr[sb], 0.0f) << sb;
        }
    }
}

// Model 2 asks more of a steady tone (which masks little) than of noise with
// the same energy in the same subband.
TEST(PsychoModelTest, ModelTwoTellsTonesFromNoise) {
    PsychoModel2 model(2, 48000);
    const int k = 8;
    const std::vector<float> tone = LastFrameSmr(model, 1152, 6, [](long n) {
        return static_cast<float>(0.1 * std::sin(2 * kPi * (k + 0.5) / 64 * n));
    });
    // Noise band-limited to subband k by summing many random-phase sines.
    std::mt19937 random(1);
    std::uniform_real_distribution<double> phase(0, 2 * kPi);
    std::vector<double> phases(40);
    for (double& p : phases) p = phase(random);
    PsychoModel2 model2(2, 48000);
    const std::vector<float> noise = LastFrameSmr(model2, 1152, 6, [&](long n) {
        double v = 0;
        for (int j = 0; j < 40; ++j)
            v += std::sin(2 * kPi * (k + (j + 0.5) / 40) / 64 * n + phases[j]);
        return static_cast<float>(0.1 * v / std::sqrt(20.0));
    });
    EXPECT_GT(tone[k], noise[k] + 8.0f);
}

// Model 1 takes a subband's scale factor as the least level it holds, so a
// transient the spectrum smears still gets bits.
TEST(PsychoModelTest, ModelOneHearsTheScaleFactors) {
    PsychoModel1 model(2, 44100, 96);
    std::vector<float> pcm(PsychoModel::kHistory + 1152, 0.0f);
    SubbandLevels levels;
    levels.scalePeak.fill(ScaleFactorValue(62));
    float quiet[kSubbands];
    model.ComputeSmr(0, pcm.data() + PsychoModel::kHistory, levels, quiet);
    levels.scalePeak[12] = 0.5f;
    float loud[kSubbands];
    model.ComputeSmr(0, pcm.data() + PsychoModel::kHistory, levels, loud);
    EXPECT_GT(loud[12], quiet[12] + 60.0f);
    EXPECT_FLOAT_EQ(loud[3], quiet[3]);
}

}  // namespace
