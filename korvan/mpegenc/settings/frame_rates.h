// frame_rate_code and the picture rate it stands for.
#pragma once

namespace korvan {

// Pictures per second of frame_rate_code 1..8 (1 = 24000/1001 ... 8 = 60);
// 0 for any other code.
double FrameRateOfCode(int frameRateCode);

}  // namespace korvan
