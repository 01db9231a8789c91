#include "korvan/mpegenc/audio/polyphase_analysis.h"

#include <cmath>

namespace korvan::audio {

PolyphaseAnalysis::PolyphaseAnalysis() {
    const std::array<float, kWindowLength>& window = AnalysisWindow();
    for (int r = 0; r < kWindowLength; ++r) reversedWindow_[r] = window[kWindowLength - 1 - r];
    const double pi = std::acos(-1.0);
    for (int m = 0; m < kSubbands; ++m) {
        for (int i = 0; i < kSubbands; ++i) {
            cosines_[m * kSubbands + i] = static_cast<float>(std::cos((2 * i + 1) * m * pi / 64));
        }
    }
}

void PolyphaseAnalysis::Filter(const float* x, float* subbands) const {
    // Windowed sums over the eight 64-sample blocks; y[u] is the sum the
    // textbook form calls Y[63 - u].
    float y[64];
    for (int u = 0; u < 64; ++u) y[u] = reversedWindow_[u] * x[u];
    for (int block = 1; block < 8; ++block) {
        const float* w = &reversedWindow_[block * 64];
        const float* s = &x[block * 64];
        for (int u = 0; u < 64; ++u) y[u] += w[u] * s[u];
    }
    auto Y = [&y](int k) { return y[63 - k]; };

    // The matrix cos((2i + 1)(k - 16) pi / 64) is even in k - 16 and odd
    // about k - 16 = 32 (where it is zero), so the 64 sums fold into 32.
    float folded[kSubbands];
    folded[0] = Y(16);
    for (int m = 1; m < 16; ++m) folded[m] = Y(16 + m) + Y(16 - m);
    folded[16] = Y(32) + Y(0);
    for (int m = 17; m < 32; ++m) folded[m] = Y(16 + m) - Y(80 - m);

    float out[kSubbands] = {};
    for (int m = 0; m < kSubbands; ++m) {
        const float a = folded[m];
        const float* c = &cosines_[m * kSubbands];
        for (int i = 0; i < kSubbands; ++i) out[i] += a * c[i];
    }
    for (int i = 0; i < kSubbands; ++i) subbands[i] = out[i];
}

}  // namespace korvan::audio
