#include "korvan/mpegenc/audio/psycho_model1.h"

#include <algorithm>
#include <cmath>

#include "korvan/mpegenc/audio/psycho_scale.h"

namespace korvan::audio {

namespace {

// Spacing of the lines where the threshold is evaluated: every line at low
// frequencies, sparser above, keeping about an eighth of a Bark or less.
int PointStep(int line) {
    if (line < 48) return 1;
    if (line < 96) return 2;
    if (line < 192) return 4;
    return 8;
}

// How far (in lines) a local maximum must stand 7 dB above its neighbours
// to count as tonal; the neighbourhood widens with frequency.
int TonalReach(int fftSize, int line) {
    if (line < 63) return 2;
    if (line < 127) return 3;
    if (line < 255 || fftSize == 512) return 6;
    return 12;
}

}  // namespace

static_assert(304 <= PsychoModel::kHistory);

PsychoModel1::PsychoModel1(int layer, int sampleRateHz, int kbpsPerChannel)
    : fftSize_(layer == 1 ? 512 : 1024),
      lines_(fftSize_ / 2),
      // The block is centred on the subband samples the frame codes, which
      // the filter bank delays by about 256 samples.
      windowStart_(layer == 1 ? -304 : -176),
      levelOffsetDb_(LineLevelOffsetDb(fftSize_)),
      fft_(fftSize_),
      window_(fftSize_),
      lineBark_(lines_ + 1),
      lineQuietDb_(lines_ + 1),
      block_(fftSize_),
      re_(lines_ + 1),
      im_(lines_ + 1),
      power_(lines_ + 1),
      levelDb_(lines_ + 1),
      taken_(lines_ + 1) {
    const double pi = std::acos(-1.0);
    for (int n = 0; n < fftSize_; ++n) {
        window_[n] = static_cast<float>(0.5 * (1.0 - std::cos(2 * pi * n / fftSize_)));
    }
    // At high bitrates the coder can afford to treat quiet sounds as more
    // audible than the threshold says.
    const float quietOffsetDb = kbpsPerChannel >= 96 ? -12.0f : 0.0f;
    const float lineHz = static_cast<float>(sampleRateHz) / fftSize_;
    for (int k = 0; k <= lines_; ++k) {
        lineBark_[k] = BarkOf(k * lineHz);
        lineQuietDb_[k] = ThresholdInQuietDb(k * lineHz) + quietOffsetDb;
    }
    const int linesPerSubband = lines_ / kSubbands;
    for (int n = 0; n < kSubbands; ++n) {
        subbandFirstPoint_.push_back(static_cast<int>(pointLine_.size()));
        for (int k = std::max(1, n * linesPerSubband); k < (n + 1) * linesPerSubband;
             k += PointStep(k)) {
            pointLine_.push_back(k);
            pointBark_.push_back(lineBark_[k]);
            pointQuiet_.push_back(DbToPower(lineQuietDb_[k]));
        }
    }
    subbandFirstPoint_.push_back(static_cast<int>(pointLine_.size()));
    threshold_.resize(pointLine_.size());
    // Critical bands one Bark wide.
    bandEdges_.push_back(1);
    for (int k = 2; k < lines_; ++k) {
        if (std::floor(lineBark_[k]) > std::floor(lineBark_[k - 1])) bandEdges_.push_back(k);
    }
    bandEdges_.push_back(lines_);
}

void PsychoModel1::ComputeSmr(int, const float* pcm, const SubbandLevels& levels, float* smrDb) {
    const float* source = pcm + windowStart_;
    for (int n = 0; n < fftSize_; ++n) block_[n] = source[n] * window_[n];
    fft_.Transform(block_.data(), re_.data(), im_.data());
    for (int k = 0; k <= lines_; ++k) {
        power_[k] = re_[k] * re_[k] + im_[k] * im_[k];
        levelDb_[k] = PowerToDb(power_[k]) + levelOffsetDb_;
    }

    FindTonalMaskers();
    FindNoiseMaskers();
    DropInaudibleMaskers();
    SumMaskingThreshold();

    const int linesPerSubband = lines_ / kSubbands;
    for (int n = 0; n < kSubbands; ++n) {
        float peakDb = -200.0f;
        for (int k = n * linesPerSubband; k < (n + 1) * linesPerSubband; ++k) {
            peakDb = std::max(peakDb, levelDb_[k]);
        }
        const float signalDb = std::max(peakDb, ScalePeakLevelDb(levels.scalePeak[n]));
        float minThreshold = 1e30f;
        for (int p = subbandFirstPoint_[n]; p < subbandFirstPoint_[n + 1]; ++p) {
            minThreshold = std::min(minThreshold, threshold_[p]);
        }
        smrDb[n] = signalDb - PowerToDb(minThreshold);
    }
}

void PsychoModel1::FindTonalMaskers() {
    tonal_.clear();
    std::fill(taken_.begin(), taken_.end(), 0);
    const int last = lines_ - TonalReach(fftSize_, lines_);
    for (int k = 3; k < last; ++k) {
        const float x = levelDb_[k];
        if (!(x > levelDb_[k - 1] && x >= levelDb_[k + 1])) continue;
        const int reach = TonalReach(fftSize_, k);
        bool tonal = true;
        for (int j = 2; j <= reach && tonal; ++j) {
            tonal = x - levelDb_[k - j] >= 7.0f && x - levelDb_[k + j] >= 7.0f;
        }
        if (!tonal) continue;
        tonal_.push_back(
            {k, PowerToDb(power_[k - 1] + power_[k] + power_[k + 1]) + levelOffsetDb_});
        for (int j = -reach; j <= reach; ++j) taken_[k + j] = 1;
    }
}

void PsychoModel1::FindNoiseMaskers() {
    noise_.clear();
    for (size_t b = 0; b + 1 < bandEdges_.size(); ++b) {
        const int first = bandEdges_[b];
        const int end = bandEdges_[b + 1];
        float sum = 0;
        for (int k = first; k < end; ++k) {
            if (!taken_[k]) sum += power_[k];
        }
        if (sum <= 0) continue;
        // The band's energy acts at its geometric centre.
        const int centre = static_cast<int>(std::lround(std::sqrt(double(first) * (end - 1))));
        noise_.push_back({centre, PowerToDb(sum) + levelOffsetDb_});
    }
}

void PsychoModel1::DropInaudibleMaskers() {
    auto inaudible = [this](const Masker& m) { return m.levelDb < lineQuietDb_[m.line]; };
    tonal_.erase(std::remove_if(tonal_.begin(), tonal_.end(), inaudible), tonal_.end());
    noise_.erase(std::remove_if(noise_.begin(), noise_.end(), inaudible), noise_.end());
    // Of two tonal maskers closer than half a Bark only the louder counts.
    std::vector<Masker> kept;
    for (const Masker& m : tonal_) {
        if (!kept.empty() && lineBark_[m.line] - lineBark_[kept.back().line] < 0.5f) {
            if (m.levelDb > kept.back().levelDb) kept.back() = m;
            continue;
        }
        kept.push_back(m);
    }
    tonal_.swap(kept);
}

void PsychoModel1::SumMaskingThreshold() {
    const int points = static_cast<int>(pointLine_.size());
    for (int p = 0; p < points; ++p) threshold_[p] = pointQuiet_[p];

    auto spread = [&](const Masker& m, float indexDb) {
        const float z = lineBark_[m.line];
        const float x = m.levelDb;
        const float base = x + indexDb;
        const float below = 0.4f * x + 6.0f;
        const float above = 17.0f - 0.15f * x;
        // Points are in frequency order; find those within -3..8 Bark.
        int p = static_cast<int>(std::lower_bound(pointBark_.begin(), pointBark_.end(), z - 3.0f) -
                                 pointBark_.begin());
        for (; p < points; ++p) {
            const float dz = pointBark_[p] - z;
            if (dz >= 8.0f) break;
            float vf;
            if (dz < -1.0f) {
                vf = 17.0f * (dz + 1.0f) - below;
            } else if (dz < 0.0f) {
                vf = below * dz;
            } else if (dz < 1.0f) {
                vf = -17.0f * dz;
            } else {
                vf = -(dz - 1.0f) * above - 17.0f;
            }
            threshold_[p] += DbToPower(base + vf);
        }
    };
    for (const Masker& m : tonal_) spread(m, -1.525f - 0.275f * lineBark_[m.line] - 4.5f);
    for (const Masker& m : noise_) spread(m, -1.525f - 0.175f * lineBark_[m.line] - 0.5f);
}

}  // namespace korvan::audio
