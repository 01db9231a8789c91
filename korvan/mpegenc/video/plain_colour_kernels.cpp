#include <algorithm>

#include "korvan/mpegenc/video/colour_kernels.h"

namespace korvan {
namespace {

uint8_t Clip(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

int Component(const ColourRow& k, int b, int g, int r, int range) {
    return ((((b * k.b + g * k.g + r * k.r) * range) >> 8) + 0x4000) >> 15;
}

void ConvertRow(const uint8_t* bgrx, int width, const ColourMatrix& m, uint8_t* y, uint8_t* cb,
                uint8_t* cr) {
    for (int x = 0; x < width; ++x, bgrx += 4) {
        const int b = bgrx[0];
        const int g = bgrx[1];
        const int r = bgrx[2];
        y[x] = Clip(Component(m.y, b, g, r, 219) + 16);
        if (!cb) continue;
        cb[x] = Clip(Component(m.cb, b, g, r, 224) + 128);
        cr[x] = Clip(Component(m.cr, b, g, r, 224) + 128);
    }
}

void HalveRow(const int16_t* padded, int outWidth, const ChromaTaps& taps, uint8_t* out) {
    for (int i = 0; i < outWidth; ++i) {
        int sum = 256;
        for (int k = 0; k < kChromaTaps; ++k) sum += taps[k] * padded[2 * i + k];
        out[i] = Clip(sum >> 9);
    }
}

void FilterColumns(const uint8_t* const (&lines)[kChromaTaps], int width, const ChromaTaps& taps,
                   uint8_t* out) {
    for (int x = 0; x < width; ++x) {
        int sum = 256;
        for (int k = 0; k < kChromaTaps; ++k) sum += taps[k] * lines[k][x];
        out[x] = Clip(sum >> 9);
    }
}

constexpr ColourKernels kPlain = {ConvertRow, HalveRow, FilterColumns};

}  // namespace

const ColourKernels& PlainColourKernels() { return kPlain; }

}  // namespace korvan
