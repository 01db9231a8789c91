// The instruction sets the SIMD kernels are written for. The kernel tables
// are chosen from these flags alone; the stored processor mode can only take
// flags away from what the processor has.
#pragma once

#include <cstdint>

namespace korvan {

enum class CpuFlags : uint32_t {
    kNone = 0,
    kSse2 = 1u << 0,
    kAvx2 = 1u << 1,
};

constexpr CpuFlags operator|(CpuFlags a, CpuFlags b) {
    return static_cast<CpuFlags>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}
constexpr CpuFlags operator&(CpuFlags a, CpuFlags b) {
    return static_cast<CpuFlags>(static_cast<uint32_t>(a) & static_cast<uint32_t>(b));
}
// True when `set` holds every flag of `wanted`.
constexpr bool HasFlags(CpuFlags set, CpuFlags wanted) { return (set & wanted) == wanted; }

// What this processor runs of the instruction sets kernels exist for; none
// on processors the program has no kernels of its own for.
CpuFlags DetectCpuFlags();

// The flags a stored processor mode ("MMXMode") leaves of `detected`: 0 none,
// which forces the plain kernels; 1 and 2 (MMX, 3DNow!) SSE2 alone; 3 and 4
// (their extended sets) and any other value all of them.
CpuFlags FlagsForProcessorMode(int storedMode, CpuFlags detected);

}  // namespace korvan
