// What each MPEG-2 level allows: the validation, the automatic bitrate and the
// input tests all measure a record against the same figures.
#pragma once

namespace korvan {

struct LevelLimits {
    int level;
    int maxWidth;          // pels
    int maxHeight;         // pels
    double maxSampleRate;  // luminance samples per second
    double maxBitrate;     // bit/s
    int maxVbvBufferSize;  // units of 16 384 bits
    int maxHorizontalFCode;
    int maxVerticalFCode;
};

// The limits of level 4 (High), 6 (High-1440), 8 (Main) or 10 (Low); nullptr
// for any other value.
const LevelLimits* LimitsOfLevel(int level);

}  // namespace korvan
