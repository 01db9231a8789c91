// What the coder decided for one macroblock.
#pragma once

#include "korvan/mpegenc/video/motion_search.h"

namespace korvan {

// frame_motion_type of MPEG-2 frame pictures.
inline constexpr int kFrameMotion = 2;

struct MacroblockInfo {
    int flags = 0;  // MacroblockTypeFlag
    int motionType = kFrameMotion;
    int dctType = 0;            // 0 frame DCT
    MotionVector vectors[2];    // forward, backward; half samples
    int codedBlockPattern = 0;  // block 0 in the most significant bit
    int mquant = 0;
    int quantiserScaleCode = 0;
    int variance = 0;  // of the source luminance
    bool skipped = false;
};

}  // namespace korvan
