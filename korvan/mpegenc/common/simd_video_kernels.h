// The SIMD kernel tables behind SelectVideoKernels. Each kernel gives
// exactly the plain kernel's result; only the instructions differ.
#pragma once

#include "korvan/mpegenc/common/video_kernels.h"

namespace korvan {

// The batched sum-of-absolute-differences search done position by position
// with a single-position kernel `sad` (see SadSearchKernel).
template <typename Sad>
inline int SearchEachPosition(Sad sad, const uint8_t* cur, int curStride, const uint8_t* ref,
                              int refStride, int rows, const ptrdiff_t* offsets, int count,
                              int* best) {
    int found = -1;
    for (int i = 0; i < count; ++i) {
        const int sum = sad(cur, curStride, ref + offsets[i], refStride, rows, *best);
        if (sum < *best) {
            *best = sum;
            found = i;
        }
    }
    return found;
}

// The integer transforms in SSE2, with the plain ones' constants and
// rounding.
void ForwardDctSse2(int16_t* block);
void InverseDctSse2(int16_t* block);
// The same in AVX2, two rows a register. Only for processors that report it.
void ForwardDctAvx2(int16_t* block);
void InverseDctAvx2(int16_t* block);

// The plain sum of SmallLevelLengthsKernel, which the SSE2 table keeps: it
// has no byte shuffle to look the lengths up with.
uint32_t PlainSmallLevelLengths(const uint8_t* magnitudes, uint64_t* positions,
                                const uint8_t* lengths);

// SSE2: every x86-64 processor has it.
const VideoKernels& Sse2VideoKernels(DctArithmetic arithmetic);

// AVX2 where it pays, SSE2 elsewhere. Only for processors that report AVX2.
const VideoKernels& Avx2VideoKernels(DctArithmetic arithmetic);
bool ProcessorHasAvx2();

}  // namespace korvan
