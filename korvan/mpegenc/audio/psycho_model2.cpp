#include "korvan/mpegenc/audio/psycho_model2.h"

#include <algorithm>
#include <cmath>

#include "korvan/mpegenc/audio/psycho_scale.h"

namespace korvan::audio {

namespace {

constexpr float kPartitionBark = 1.0f / 3.0f;
// Required signal-to-noise ratios of a tone masking noise and of noise
// masking a tone, in dB.
constexpr float kToneMaskingNoiseDb = 29.0f;
constexpr float kNoiseMaskingToneDb = 6.0f;

// Spreading of masking from a masker to a maskee `dz` Bark above it (as a
// power ratio): a steep slope downwards and a gentle one upwards.
float Spreading(float dz) {
    const float x = 1.05f * dz;
    const float dip = 8.0f * std::min((x - 0.5f) * (x - 0.5f) - 2.0f * (x - 0.5f), 0.0f);
    const float db =
        15.811389f + 7.5f * (x + 0.474f) - 17.5f * std::sqrt(1.0f + (x + 0.474f) * (x + 0.474f));
    if (db < -100.0f) return 0.0f;
    return std::pow(10.0f, (dip + db) / 10.0f);
}

// The required signal-to-noise ratio never falls below this floor. It is
// highest at the bottom of the spectrum, where partitions hold a line or two
// and the tonality estimate means little, and fades out towards the top.
float MinimumSnrDb(float bark) { return std::clamp(24.5f - 1.0f * bark, 0.0f, 24.5f); }

}  // namespace

PsychoModel2::PsychoModel2(int layer, int sampleRateHz)
    : levelOffsetDb_(LineLevelOffsetDb(kFftSize)),
      fft_(kFftSize),
      window_(kFftSize),
      block_(kFftSize),
      re_(kLines + 1),
      im_(kLines + 1) {
    // Blocks centred on the subband samples they judge (the filter bank
    // delays them by about 256 samples): layer II one block per half frame,
    // layer I one block ending with the frame, as no later samples exist yet.
    static_assert(kFftSize - 384 <= kHistory);
    if (layer == 1) {
        blockStarts_ = {384 - kFftSize};
    } else {
        blockStarts_ = {48 - kFftSize / 2, 624 - kFftSize / 2};
    }
    const double pi = std::acos(-1.0);
    for (int n = 0; n < kFftSize; ++n) {
        window_[n] = static_cast<float>(0.5 * (1.0 - std::cos(2 * pi * n / kFftSize)));
    }

    const float lineHz = static_cast<float>(sampleRateHz) / kFftSize;
    int first = 0;
    while (first < kLines) {
        const float startBark = BarkOf(first * lineHz);
        int end = first + 1;
        while (end < kLines && BarkOf(end * lineHz) - startBark < kPartitionBark) ++end;
        Partition p{};
        p.firstLine = first;
        p.endLine = end;
        p.bark = BarkOf((first + end - 1) * 0.5f * lineHz);
        float quietLine = 1e30f;
        for (int k = first; k < end; ++k) {
            quietLine =
                std::min(quietLine, DbToPower(ThresholdInQuietDb(k * lineHz) - levelOffsetDb_));
        }
        p.quietPower = quietLine * (end - first);
        p.minSnr = DbToPower(MinimumSnrDb(p.bark));
        partitions_.push_back(p);
        first = end;
    }
    const int count = static_cast<int>(partitions_.size());
    spreading_.resize(count * count);
    for (int b = 0; b < count; ++b) {
        float sum = 0;
        for (int bb = 0; bb < count; ++bb) {
            const float s = Spreading(partitions_[b].bark - partitions_[bb].bark);
            spreading_[bb * count + b] = s;
            sum += s;
        }
        partitions_[b].spreadNorm = sum > 0 ? 1.0f / sum : 0.0f;
    }
    energy_.resize(count);
    weighted_.resize(count);
    spreadEnergy_.resize(count);
    spreadWeighted_.resize(count);
    threshold_.resize(count);
}

void PsychoModel2::ComputeSmr(int channel, const float* pcm, const SubbandLevels& levels,
                              float* smrDb) {
    std::fill(smrDb, smrDb + kSubbands, -200.0f);
    float blockSmr[kSubbands];
    for (int start : blockStarts_) {
        AnalyseBlock(history_[channel], pcm + start, levels, blockSmr);
        for (int n = 0; n < kSubbands; ++n) smrDb[n] = std::max(smrDb[n], blockSmr[n]);
    }
}

void PsychoModel2::AnalyseBlock(History& h, const float* source, const SubbandLevels& levels,
                                float* smrDb) {
    for (int n = 0; n < kFftSize; ++n) block_[n] = source[n] * window_[n];
    fft_.Transform(block_.data(), re_.data(), im_.data());

    // Unpredictability of each line: how far it lies from the magnitude and
    // phase extrapolated from the two blocks before, 0 for a steady tone and
    // up to 1 for noise.
    for (int k = 0; k < kLines; ++k) {
        const float power = re_[k] * re_[k] + im_[k] * im_[k];
        const float magnitude = std::sqrt(power);
        float phaseRe = 1.0f;
        float phaseIm = 0.0f;
        if (magnitude > 0) {
            phaseRe = re_[k] / magnitude;
            phaseIm = im_[k] / magnitude;
        }
        const float predicted = 2.0f * h.magnitude1[k] - h.magnitude2[k];
        // Phase 2 phi1 - phi2 as a unit vector: u1 * u1 * conj(u2).
        const float a = h.phaseRe1[k];
        const float b = h.phaseIm1[k];
        const float squareRe = a * a - b * b;
        const float squareIm = 2.0f * a * b;
        const float predictedRe = squareRe * h.phaseRe2[k] + squareIm * h.phaseIm2[k];
        const float predictedIm = squareIm * h.phaseRe2[k] - squareRe * h.phaseIm2[k];
        const float dr = re_[k] - predicted * predictedRe;
        const float di = im_[k] - predicted * predictedIm;
        const float span = magnitude + std::fabs(predicted);
        unpredictability_[k] = span > 0 ? std::sqrt(dr * dr + di * di) / span : 0.0f;
        lineEnergy_[k] = power;

        h.magnitude2[k] = h.magnitude1[k];
        h.phaseRe2[k] = h.phaseRe1[k];
        h.phaseIm2[k] = h.phaseIm1[k];
        h.magnitude1[k] = magnitude;
        h.phaseRe1[k] = phaseRe;
        h.phaseIm1[k] = phaseIm;
    }

    const int count = static_cast<int>(partitions_.size());
    for (int b = 0; b < count; ++b) {
        float e = 0;
        float c = 0;
        for (int k = partitions_[b].firstLine; k < partitions_[b].endLine; ++k) {
            e += lineEnergy_[k];
            c += lineEnergy_[k] * unpredictability_[k];
        }
        energy_[b] = e;
        weighted_[b] = c;
    }
    // Spread each partition's energy over its neighbours, masker by masker.
    std::fill(spreadEnergy_.begin(), spreadEnergy_.end(), 0.0f);
    std::fill(spreadWeighted_.begin(), spreadWeighted_.end(), 0.0f);
    for (int bb = 0; bb < count; ++bb) {
        const float* s = &spreading_[bb * count];
        const float e = energy_[bb];
        const float c = weighted_[bb];
        for (int b = 0; b < count; ++b) {
            spreadEnergy_[b] += s[b] * e;
            spreadWeighted_[b] += s[b] * c;
        }
    }
    for (int b = 0; b < count; ++b) {
        const float spreadEnergy = spreadEnergy_[b];
        const float spreadWeighted = spreadWeighted_[b];
        const Partition& p = partitions_[b];
        float tonality = 0.0f;
        if (spreadEnergy > 0 && spreadWeighted > 0) {
            tonality =
                std::clamp(-0.299f - 0.43f * std::log(spreadWeighted / spreadEnergy), 0.0f, 1.0f);
        } else if (spreadEnergy > 0) {
            tonality = 1.0f;
        }
        const float snrDb =
            tonality * kToneMaskingNoiseDb + (1.0f - tonality) * kNoiseMaskingToneDb;
        const float noiseRatio = std::min(1.0f / DbToPower(snrDb), 1.0f / p.minSnr);
        const float allowedNoise = spreadEnergy * p.spreadNorm * noiseRatio;
        threshold_[b] = std::max(p.quietPower, allowedNoise) / (p.endLine - p.firstLine);
    }

    // Each subband spans 16 lines; its noise must stay below the lowest
    // per-line threshold inside it.
    constexpr int kLinesPerSubband = kLines / kSubbands;
    int b = 0;
    for (int n = 0; n < kSubbands; ++n) {
        const int first = n * kLinesPerSubband;
        const int end = first + kLinesPerSubband;
        float signal = 0;
        for (int k = first; k < end; ++k) signal += lineEnergy_[k];
        while (partitions_[b].endLine <= first) ++b;
        float lowest = threshold_[b];
        for (int bb = b; bb < count && partitions_[bb].firstLine < end; ++bb) {
            lowest = std::min(lowest, threshold_[bb]);
        }
        const float signalDb =
            std::max(PowerToDb(signal) + levelOffsetDb_, MeanSquareLevelDb(levels.meanSquare[n]));
        smrDb[n] = signalDb - PowerToDb(lowest * kLinesPerSubband) - levelOffsetDb_;
    }
}

}  // namespace korvan::audio
