// The SIMD kernel tables behind SelectVideoKernels. Each kernel gives
// exactly the plain kernel's result; only the instructions differ.
#pragma once

#include "korvan/mpegenc/common/video_kernels.h"

namespace korvan {

// The integer transforms in SSE2, with the plain ones' constants and
// rounding.
void ForwardDctSse2(int16_t* block);
void InverseDctSse2(int16_t* block);

// SSE2: every x86-64 processor has it.
const VideoKernels& Sse2VideoKernels(DctArithmetic arithmetic);

// AVX2 where it pays, SSE2 elsewhere. Only for processors that report AVX2.
const VideoKernels& Avx2VideoKernels(DctArithmetic arithmetic);
bool ProcessorHasAvx2();

}  // namespace korvan
