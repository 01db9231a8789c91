// Psychoacoustic model 1: tonal and non-tonal maskers picked from a
// spectrum, spread over the critical band rate and summed with the threshold
// in quiet into a global masking threshold.
#pragma once

#include <vector>

#include "korvan/mpegenc/audio/audio_tables.h"
#include "korvan/mpegenc/audio/psycho_model.h"
#include "korvan/mpegenc/audio/real_fft.h"

namespace korvan::audio {

class PsychoModel1 : public PsychoModel {
public:
    // Layer I analyses 512-sample blocks, layer II 1024-sample blocks.
    PsychoModel1(int layer, int sampleRateHz, int kbpsPerChannel);

    // The model keeps nothing from frame to frame, so `channel` does not
    // matter.
    void ComputeSmr(int channel, const float* pcm, const SubbandLevels& levels,
                    float* smrDb) override;

private:
    struct Masker {
        int line;
        float levelDb;
    };

    void FindTonalMaskers();
    void FindNoiseMaskers();
    void DropInaudibleMaskers();
    void SumMaskingThreshold();

    int fftSize_;
    int lines_;  // fftSize_ / 2
    int windowStart_;
    float levelOffsetDb_;
    RealFft fft_;
    std::vector<float> window_;
    std::vector<float> lineBark_, lineQuietDb_;
    // Lines whose threshold is evaluated, with their Bark and threshold in
    // quiet as power; subbandFirstPoint_[n] is the first of subband n's.
    std::vector<int> pointLine_;
    std::vector<float> pointBark_, pointQuiet_;
    std::vector<int> subbandFirstPoint_;
    std::vector<int> bandEdges_;  // first line of each critical band, plus the end

    std::vector<float> block_, re_, im_, power_, levelDb_;
    std::vector<char> taken_;
    std::vector<Masker> tonal_, noise_;
    std::vector<float> threshold_;
};

}  // namespace korvan::audio
