// The encoder tool's video mode: a YUV4MPEG2 file in, an MPEG-1 or MPEG-2
// video elementary stream out, optionally with the encoder's own
// reconstruction of every picture as a YUV4MPEG2 file.
#pragma once

#include <string>

#include "korvan/base/status.h"
#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

struct VideoModeFiles {
    std::string input;           // .y4m
    std::string elementary;      // .m1v / .m2v
    std::string reconstruction;  // .y4m, or empty
};

struct VideoStatistics;

// `statistics`, when given, receives the encoder's figures of the stream.
// `threads` 0 uses every core; the stream is the same for any count.
Status EncodeVideoFile(const EncoderSettings& settings, const VideoModeFiles& files,
                            CpuFlags kernelFlags, VideoStatistics* statistics = nullptr,
                            int threads = 0);

}  // namespace korvan
