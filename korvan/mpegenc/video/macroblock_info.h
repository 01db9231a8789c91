// What the coder decided for one macroblock.
#pragma once

#include "korvan/mpegenc/video/motion_search.h"

namespace korvan {

// frame_motion_type of MPEG-2 frame pictures.
inline constexpr int kFieldMotion = 1;  // one vector per field of the macroblock
inline constexpr int kFrameMotion = 2;
inline constexpr int kDualPrimeMotion = 3;

struct MacroblockInfo {
    int flags = 0;  // MacroblockTypeFlag
    int motionType = kFrameMotion;
    int dctType = 0;          // 0 frame DCT
    MotionVector vectors[2];  // forward, backward; half samples
    // Field motion: [field of the macroblock][direction], vertical in field
    // lines, and the reference field each predicts from (0 top, 1 bottom).
    MotionVector fieldVectors[2][2];
    int fieldSelect[2][2] = {};
    // Dual prime: vectors[0] is the same-parity vector (field units), this
    // the small correction toward the opposite parity (-1..1 each).
    MotionVector dualPrime;
    int codedBlockPattern = 0;  // block 0 in the most significant bit
    int mquant = 0;
    int quantiserScaleCode = 0;
    int variance = 0;  // of the source luminance
    bool skipped = false;
};

}  // namespace korvan
