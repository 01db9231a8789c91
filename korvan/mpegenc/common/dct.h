// The 8x8 forward and inverse DCT of MPEG video, in integer and in floating
// point arithmetic. Blocks are 64 coefficients or samples in raster order.
// Forward: samples -255..255 in, coefficients out; inverse: coefficients
// -2048..2047 in, samples clipped to -256..255 out.
#pragma once

#include <cstdint>

namespace korvan {

void ForwardDctInteger(int16_t* block);
void InverseDctInteger(int16_t* block);
void ForwardDctFloat(int16_t* block);
void InverseDctFloat(int16_t* block);

}  // namespace korvan
