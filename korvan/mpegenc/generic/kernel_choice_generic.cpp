// Processors the program has no kernels of its own for run the plain tables.
#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/common/video_kernels.h"
#include "korvan/mpegenc/video/colour_kernels.h"

namespace korvan {

CpuFlags DetectCpuFlags() { return CpuFlags::kNone; }

const VideoKernels& SelectVideoKernels(CpuFlags /*flags*/, DctArithmetic arithmetic) {
    return PlainVideoKernels(arithmetic);
}

const ColourKernels& SelectColourKernels(CpuFlags /*flags*/) { return PlainColourKernels(); }

}  // namespace korvan
