// Fourier transform of a real block whose length is a power of two.
#pragma once

#include <vector>

namespace korvan::audio {

class RealFft {
public:
    explicit RealFft(int size);

    int Size() const { return size_; }

    // Transforms x[0..size-1] into the lines 0..size/2: re[k] + i im[k] =
    // sum over n of x[n] e^(-2 pi i k n / size).
    void Transform(const float* x, float* re, float* im);

private:
    int size_;
    int half_;  // the real block is transformed as a complex one of this length
    std::vector<int> bitReverse_;
    std::vector<float> twiddleRe_, twiddleIm_;  // e^(-2 pi i k / half), k < half / 2
    std::vector<float> splitRe_, splitIm_;      // e^(-2 pi i k / size), k <= half / 2
    std::vector<float> workRe_, workIm_;
};

}  // namespace korvan::audio
