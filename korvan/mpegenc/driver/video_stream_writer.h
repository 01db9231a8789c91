// Step 1's frame around the video encoder: every picture it plans, coded
// into the elementary stream file, and for MPEG-2 variable bitrate without
// a configured maximum the measured one written into the sequence headers
// afterwards. The command-line tool and the encode driver both code video
// through it.
#pragma once

#include <functional>
#include <string>

#include "korvan/mpegenc/video/video_encoder.h"

namespace korvan {

struct VideoStreamHooks {
    // Once the last picture is written, before the maximum-bitrate pass.
    // Optional.
    std::function<void()> coded;
    // After each sequence header the maximum-bitrate pass rewrote. Optional.
    std::function<void(int header, int headers)> maxBitrateProgress;
};

// Codes the pictures of the opened encoder into a new file at `path`. A step
// that fails or is stopped by its picture source removes the file, so no
// half stream is left behind.
Status WriteVideoStream(VideoEncoder& encoder, const std::string& path,
                        const VideoStreamHooks& hooks = {});

}  // namespace korvan
