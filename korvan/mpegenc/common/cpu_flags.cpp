#include "korvan/mpegenc/common/cpu_flags.h"

namespace korvan {

CpuFlags FlagsForProcessorMode(int storedMode, CpuFlags detected) {
    switch (storedMode) {
        case 0:
            return CpuFlags::kNone;
        case 1:
        case 2:
            return detected & CpuFlags::kSse2;
        default:
            return detected;
    }
}

}  // namespace korvan
