// The x86-64 tables, picked by the instruction sets the processor has.
#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/x86/simd_kernels.h"

namespace korvan {

// libgcc reads CPUID once per process, and reports AVX2 only when the system
// also saves the wide registers.
CpuFlags DetectCpuFlags() {
    CpuFlags flags = CpuFlags::kNone;
    if (__builtin_cpu_supports("sse2")) flags = flags | CpuFlags::kSse2;
    if (__builtin_cpu_supports("avx2")) flags = flags | CpuFlags::kAvx2;
    return flags;
}

// The AVX2 table keeps the SSE2 kernels where wider registers do not pay.
const VideoKernels& SelectVideoKernels(CpuFlags flags, DctArithmetic arithmetic) {
    if (HasFlags(flags, CpuFlags::kSse2 | CpuFlags::kAvx2)) return Avx2VideoKernels(arithmetic);
    if (HasFlags(flags, CpuFlags::kSse2)) return Sse2VideoKernels(arithmetic);
    return PlainVideoKernels(arithmetic);
}

const ColourKernels& SelectColourKernels(CpuFlags flags) {
    return HasFlags(flags, CpuFlags::kSse2) ? Sse2ColourKernels() : PlainColourKernels();
}

}  // namespace korvan
