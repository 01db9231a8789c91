// Plain pieces that the SIMD kernel tables share with the plain one.
#pragma once

#include <cstddef>
#include <cstdint>

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

// The plain sum of SmallLevelLengthsKernel, which the SSE2 table keeps: it
// has no byte shuffle to look the lengths up with.
uint32_t PlainSmallLevelLengths(const uint8_t* magnitudes, uint64_t* positions,
                                const uint8_t* lengths);

}  // namespace korvan
