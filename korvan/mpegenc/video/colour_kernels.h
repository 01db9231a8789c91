// The inner loops of the colour conversion, one table per instruction set:
// the matrix over one row of pels, and the two chroma filters. Every SIMD
// table gives exactly the plain table's samples; only the instructions
// differ.
#pragma once

#include <cstdint>

#include "korvan/mpegenc/common/cpu_flags.h"

namespace korvan {

// Coefficients of one output component for B, G and R, scaled by 32768.
struct ColourRow {
    int b = 0;
    int g = 0;
    int r = 0;
};

struct ColourMatrix {
    ColourRow y;
    ColourRow cb;
    ColourRow cr;
};

// Taps of a chroma filter in 512ths. Eleven-tap filters end in a 0.
inline constexpr int kChromaTaps = 12;
using ChromaTaps = int16_t[kChromaTaps];

struct ColourKernels {
    // `width` pels of 32-bit B, G, R, x into Y, and into Cb and Cr unless
    // `cb` is null: each component ((((B·kb + G·kg + R·kr) · range) >> 8) +
    // 0x4000) >> 15, range 219 and plus 16 for Y, 224 and plus 128 for the
    // others, clipped to 0..255.
    void (*convertRow)(const uint8_t* bgrx, int width, const ColourMatrix& matrix, uint8_t* y,
                       uint8_t* cb, uint8_t* cr);
    // out[i] = clip((256 + sum over k of taps[k] · padded[2i + k]) >> 9) for
    // i < outWidth; `padded` holds 2 · outWidth + 10 samples.
    void (*halveRow)(const int16_t* padded, int outWidth, const ChromaTaps& taps, uint8_t* out);
    // out[x] = clip((256 + sum over k of taps[k] · lines[k][x]) >> 9) for
    // x < width.
    void (*filterColumns)(const uint8_t* const (&lines)[kChromaTaps], int width,
                          const ChromaTaps& taps, uint8_t* out);
};

const ColourKernels& PlainColourKernels();
// The table for the instruction sets `flags` names (the plain one for none).
const ColourKernels& SelectColourKernels(CpuFlags flags);

}  // namespace korvan
