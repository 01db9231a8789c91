#include "korvan/mpegenc/audio/real_fft.h"

#include <cmath>

namespace korvan::audio {

RealFft::RealFft(int size)
    : size_(size),
      half_(size / 2),
      bitReverse_(half_),
      twiddleRe_(half_ / 2),
      twiddleIm_(half_ / 2),
      splitRe_(half_ / 2 + 1),
      splitIm_(half_ / 2 + 1),
      workRe_(half_),
      workIm_(half_) {
    int bits = 0;
    while ((1 << bits) < half_) ++bits;
    for (int n = 0; n < half_; ++n) {
        int reversed = 0;
        for (int b = 0; b < bits; ++b) reversed |= ((n >> b) & 1) << (bits - 1 - b);
        bitReverse_[n] = reversed;
    }
    const double pi = std::acos(-1.0);
    for (int k = 0; k < half_ / 2; ++k) {
        twiddleRe_[k] = static_cast<float>(std::cos(2 * pi * k / half_));
        twiddleIm_[k] = static_cast<float>(-std::sin(2 * pi * k / half_));
    }
    for (int k = 0; k <= half_ / 2; ++k) {
        splitRe_[k] = static_cast<float>(std::cos(2 * pi * k / size_));
        splitIm_[k] = static_cast<float>(-std::sin(2 * pi * k / size_));
    }
}

void RealFft::Transform(const float* x, float* re, float* im) {
    float* zr = workRe_.data();
    float* zi = workIm_.data();
    // Even samples as real parts, odd samples as imaginary parts.
    for (int n = 0; n < half_; ++n) {
        zr[bitReverse_[n]] = x[2 * n];
        zi[bitReverse_[n]] = x[2 * n + 1];
    }
    for (int length = 2; length <= half_; length <<= 1) {
        const int halfLength = length / 2;
        const int stride = half_ / length;
        for (int start = 0; start < half_; start += length) {
            for (int j = 0; j < halfLength; ++j) {
                const float wr = twiddleRe_[j * stride];
                const float wi = twiddleIm_[j * stride];
                const int a = start + j;
                const int b = a + halfLength;
                const float vr = zr[b] * wr - zi[b] * wi;
                const float vi = zr[b] * wi + zi[b] * wr;
                zr[b] = zr[a] - vr;
                zi[b] = zi[a] - vi;
                zr[a] += vr;
                zi[a] += vi;
            }
        }
    }
    // Untangle the spectra of the even and the odd samples: with Z the
    // complex transform, E = (Z[k] + conj Z[half-k]) / 2 and
    // O = (Z[k] - conj Z[half-k]) / 2i give X[k] = E + e^(-2 pi i k / size) O
    // and X[half-k] = conj(E - e^(-2 pi i k / size) O).
    re[0] = zr[0] + zi[0];
    im[0] = 0;
    re[half_] = zr[0] - zi[0];
    im[half_] = 0;
    for (int k = 1; k <= half_ / 2; ++k) {
        const int mirror = half_ - k;
        const float er = 0.5f * (zr[k] + zr[mirror]);
        const float ei = 0.5f * (zi[k] - zi[mirror]);
        const float orr = 0.5f * (zi[k] + zi[mirror]);
        const float oi = -0.5f * (zr[k] - zr[mirror]);
        const float tr = splitRe_[k] * orr - splitIm_[k] * oi;
        const float ti = splitRe_[k] * oi + splitIm_[k] * orr;
        re[k] = er + tr;
        im[k] = ei + ti;
        re[mirror] = er - tr;
        im[mirror] = -(ei - ti);
    }
}

}  // namespace korvan::audio
