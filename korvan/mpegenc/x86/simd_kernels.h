// The x86-64 kernel tables. Each kernel gives exactly the plain kernel's
// result; only the instructions differ.
#pragma once

#include <cstdint>

#include "korvan/mpegenc/common/video_kernels.h"
#include "korvan/mpegenc/video/colour_kernels.h"

namespace korvan {

// The integer transforms in SSE2, with the plain ones' constants and
// rounding.
void ForwardDctSse2(int16_t* block);
void InverseDctSse2(int16_t* block);
// The same in AVX2, two rows a register. Only for processors that report it.
void ForwardDctAvx2(int16_t* block);
void InverseDctAvx2(int16_t* block);

// SSE2: every x86-64 processor has it.
const VideoKernels& Sse2VideoKernels(DctArithmetic arithmetic);
const ColourKernels& Sse2ColourKernels();

// AVX2 where it pays, SSE2 elsewhere. Only for processors that report AVX2.
const VideoKernels& Avx2VideoKernels(DctArithmetic arithmetic);

}  // namespace korvan
