// Psychoacoustic model 2: spectral energy in partitions of about a third of
// a Bark, spread over the critical band rate, with the required
// signal-to-noise ratio set by how predictable (tonal) each partition is
// from the two blocks before it.
#pragma once

#include <array>
#include <vector>

#include "korvan/mpegenc/audio/audio_tables.h"
#include "korvan/mpegenc/audio/psycho_model.h"
#include "korvan/mpegenc/audio/real_fft.h"

namespace korvan::audio {

class PsychoModel2 : public PsychoModel {
public:
    PsychoModel2(int layer, int sampleRateHz);

    // Layer II looks at two blocks, one per half frame, and keeps the
    // larger ratio of each subband.
    void ComputeSmr(int channel, const float* pcm, const SubbandLevels& levels,
                    float* smrDb) override;

    static constexpr int kFftSize = 1024;
    static constexpr int kLines = kFftSize / 2;

private:
    struct Partition {
        int firstLine;
        int endLine;
        float bark;
        float quietPower;  // threshold in quiet over the partition
        float minSnr;      // lowest required signal-to-noise ratio, as a power ratio
        float spreadNorm;  // 1 / sum of the spreading function into it
    };
    // Magnitudes and phases (as unit vectors) of the two blocks before.
    struct History {
        std::array<float, kLines> magnitude1{}, magnitude2{};
        std::array<float, kLines> phaseRe1{}, phaseIm1{}, phaseRe2{}, phaseIm2{};
    };

    void AnalyseBlock(History& history, const float* source, const SubbandLevels& levels,
                      float* smrDb);

    float levelOffsetDb_;
    std::vector<int> blockStarts_;  // relative to the frame's first sample
    RealFft fft_;
    std::vector<float> window_;
    std::vector<Partition> partitions_;
    std::vector<float> spreading_;  // [masker * partitions + maskee]
    std::array<History, kMaxChannels> history_;

    std::vector<float> block_, re_, im_, energy_, weighted_, threshold_;
    std::vector<float> spreadEnergy_, spreadWeighted_;
    std::array<float, kLines> lineEnergy_{}, unpredictability_{};
};

}  // namespace korvan::audio
