// The 8x8 forward and inverse DCT of MPEG video, in integer and in floating
// point arithmetic. Blocks are 64 coefficients or samples in raster order.
// Forward: samples -255..255 in, coefficients out; inverse: coefficients
// -2048..2047 in, samples clipped to -256..255 out.
#pragma once

#include <array>
#include <cstdint>

namespace korvan {

// basis[u][x] = C(u) / 2 * cos((2x + 1) u pi / 16) in fixed point, the
// constants of the integer transforms (SIMD versions must use the same).
using IntegerDctBasis = std::array<std::array<int32_t, 8>, 8>;
// Forward: 14 fraction bits; the row pass keeps 4 of them.
inline constexpr int kForwardDctBits = 14;
inline constexpr int kForwardDctKeep = 4;
// Inverse: 15 fraction bits; the row pass keeps 8 of them.
inline constexpr int kInverseDctBits = 15;
inline constexpr int kInverseDctKeep = 8;
const IntegerDctBasis& ForwardDctBasis();
const IntegerDctBasis& InverseDctBasis();

void ForwardDctInteger(int16_t* block);
void InverseDctInteger(int16_t* block);
void ForwardDctFloat(int16_t* block);
void InverseDctFloat(int16_t* block);

}  // namespace korvan
