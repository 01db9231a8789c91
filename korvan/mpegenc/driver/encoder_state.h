// What the encoder keeps from start-up to shutdown. The library runs one
// encode per process, so its entry owns one of these.
#pragma once

#include <string>

#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

struct EncoderState {
    EncoderSettings settings;
    CpuFlags kernelFlags = CpuFlags::kNone;
    int threadCount = 0;       // of the video coder; 0: every core
    bool palDefaults = false;  // per-user "PALDefaults": the fallback preset is PAL when set
    int batch = 0;             // per-user "Batch", kept and written back at shutdown
    std::string videoStreamName;
};

}  // namespace korvan
