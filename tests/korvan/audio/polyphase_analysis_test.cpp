#include "korvan/mpegenc/audio/polyphase_analysis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "korvan/mpegenc/audio/analysis_window.h"
#include "korvan/mpegenc/audio/real_fft.h"

namespace {

using namespace korvan::audio;

const double kPi = std::acos(-1.0);

// Runs the filter over `signal` (zeros before it) and returns the subband
// samples, [slot * 32 + band].
std::vector<float> Analyse(const std::vector<float>& signal) {
    PolyphaseAnalysis filter;
    std::vector<float> padded(kWindowLength - 32, 0.0f);
    padded.insert(padded.end(), signal.begin(), signal.end());
    const int slots = static_cast<int>(signal.size() / 32);
    std::vector<float> out(slots * kSubbands);
    for (int t = 0; t < slots; ++t) filter.Filter(&padded[32 * t], &out[t * kSubbands]);
    return out;
}

// The filter bank written the plain way: window the last 512 samples
// (newest first), add the eight 64-sample blocks, multiply by the 32 x 64
// cosine matrix.
void TextbookAnalysis(const float* x, double* subbands) {
    const std::array<float, kWindowLength>& c = AnalysisWindow();
    double y[64] = {};
    for (int i = 0; i < kWindowLength; ++i) y[i % 64] += double(c[i]) * x[kWindowLength - 1 - i];
    for (int i = 0; i < kSubbands; ++i) {
        double sum = 0;
        for (int k = 0; k < 64; ++k) sum += std::cos((2 * i + 1) * (k - 16) * kPi / 64) * y[k];
        subbands[i] = sum;
    }
}

TEST(PolyphaseAnalysisTest, MatchesTheTextbookFilterBank) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    PolyphaseAnalysis filter;
    for (int trial = 0; trial < 50; ++trial) {
        std::vector<float> x(kWindowLength);
        for (float& v : x) v = trial == 0 ? 1.0f : sample(random);
        float fast[kSubbands];
        double plain[kSubbands];
        filter.Filter(x.data(), fast);
        TextbookAnalysis(x.data(), plain);
        for (int i = 0; i < kSubbands; ++i) ASSERT_NEAR(fast[i], plain[i], 2e-5) << i;
    }
}

TEST(PolyphaseAnalysisTest, SineInSubbandComesOutInThatSubband) {
    for (int k = 0; k < kSubbands; ++k) {
        std::vector<float> x(32 * 200);
        for (size_t n = 0; n < x.size(); ++n) {
            x[n] = static_cast<float>(0.8 * std::sin(2 * kPi * (k + 0.5) / 64.0 * n));
        }
        const std::vector<float> s = Analyse(x);
        double energy[kSubbands] = {};
        for (int t = 40; t < 200; ++t) {  // past the filter's start-up
            for (int b = 0; b < kSubbands; ++b)
                energy[b] += s[t * kSubbands + b] * s[t * kSubbands + b];
        }
        double others = 0;
        for (int b = 0; b < kSubbands; ++b) {
            if (b != k) others += energy[b];
        }
        EXPECT_GT(10 * std::log10(energy[k] / (others + 1e-30)), 60.0) << "subband " << k;
        // A full-scale sine mid-band gives subband samples near full scale.
        EXPECT_NEAR(std::sqrt(2 * energy[k] / 160) / 0.8, 0.97, 0.03) << "subband " << k;
    }
}

// The decoders' synthesis filter bank, with window D = 32 C.
class TextbookSynthesis {
public:
    void Synthesise(const float* subbands, double* out) {
        for (int i = 1023; i >= 64; --i) v_[i] = v_[i - 64];
        for (int i = 0; i < 64; ++i) {
            double sum = 0;
            for (int k = 0; k < kSubbands; ++k) {
                sum += std::cos((16 + i) * (2 * k + 1) * kPi / 64) * subbands[k];
            }
            v_[i] = sum;
        }
        double w[512];
        for (int i = 0; i < 8; ++i) {
            for (int j = 0; j < 32; ++j) {
                w[i * 64 + j] = v_[i * 128 + j];
                w[i * 64 + 32 + j] = v_[i * 128 + 96 + j];
            }
        }
        const std::array<float, kWindowLength>& c = AnalysisWindow();
        for (int i = 0; i < 512; ++i) w[i] *= 32.0 * c[i];
        for (int j = 0; j < 32; ++j) {
            double sum = 0;
            for (int i = 0; i < 16; ++i) sum += w[j + 32 * i];
            out[j] = sum;
        }
    }

private:
    double v_[1024] = {};
};

// Analysis and synthesis together give the input back, 481 samples late:
// a wrong window coefficient anywhere breaks this.
TEST(PolyphaseAnalysisTest, SynthesisRebuildsTheInput) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    std::vector<float> x(32 * 400);
    for (float& v : x) v = sample(random);
    const std::vector<float> s = Analyse(x);
    TextbookSynthesis synthesis;
    std::vector<double> y(x.size());
    for (size_t t = 0; t < x.size() / 32; ++t) synthesis.Synthesise(&s[t * kSubbands], &y[t * 32]);
    constexpr int kDelay = 481;
    double signal = 0;
    double error = 0;
    for (size_t n = kDelay; n < x.size(); ++n) {
        signal += double(x[n - kDelay]) * x[n - kDelay];
        error += (y[n] - x[n - kDelay]) * (y[n] - x[n - kDelay]);
    }
    EXPECT_GT(10 * std::log10(signal / error), 80.0);
}

TEST(RealFftTest, MatchesTheDefinition) {
    for (int size : {512, 1024}) {
        RealFft fft(size);
        std::mt19937 random(size);
        std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
        std::vector<float> x(size);
        for (float& v : x) v = sample(random);
        std::vector<float> re(size / 2 + 1), im(size / 2 + 1);
        fft.Transform(x.data(), re.data(), im.data());
        for (int k = 0; k <= size / 2; k += 7) {
            double sr = 0;
            double si = 0;
            for (int n = 0; n < size; ++n) {
                sr += x[n] * std::cos(2 * kPi * k * n / size);
                si -= x[n] * std::sin(2 * kPi * k * n / size);
            }
            ASSERT_NEAR(re[k], sr, 2e-3) << k;
            ASSERT_NEAR(im[k], si, 2e-3) << k;
        }
        double sr = 0;
        for (int n = 0; n < size; ++n) sr += (n % 2 ? -1.0 : 1.0) * x[n];
        EXPECT_NEAR(re[size / 2], sr, 2e-3);
    }
}

}  // namespace
