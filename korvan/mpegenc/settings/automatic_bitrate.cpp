#include "korvan/mpegenc/settings/automatic_bitrate.h"

#include <algorithm>
#include <cmath>

#include "korvan/mpegenc/settings/frame_rates.h"
#include "korvan/mpegenc/settings/mpeg_levels.h"

namespace korvan {
namespace {

// A SuperVCD's video rate by audio bitrate index 0..14: video and audio
// together stay within the disc's rate.
constexpr double kSuperVcdVideoBitrates[] = {
    0,       2568000, 2552000, 2544000, 2536000, 2520000, 2504000, 2488000,
    2472000, 2440000, 2408000, 2376000, 2344000, 2280000, 2216000,
};

}  // namespace

void ApplyAutomaticBitrate(EncoderSettings& s) {
    if (!s.autoBitrate || s.horizontalSize <= 0 || s.verticalSize <= 0) return;

    if (s.videoType == kVideoVcd) {
        s.constBitrate = 1150000;
        s.vbvBufferSize = 20;
        s.videoBufferSize = 46;
        return;
    }
    if (s.videoType == kVideoSvcd) {
        s.vbvBufferSize = 112;
        s.videoBufferSize = 230;
        const bool knownIndex = s.audioBitrate >= 0 && s.audioBitrate <= 14;
        s.constBitrate = knownIndex ? kSuperVcdVideoBitrates[s.audioBitrate] : 0;
        return;
    }

    s.constBitrate =
        std::floor(s.verticalSize * FrameRateOfCode(s.frameRateCode) * s.horizontalSize * 0.74);
    // An unknown level is refused later; its cap is the field's own range.
    const LevelLimits* limits = LimitsOfLevel(s.level);
    const double largestVbv = !s.IsMpeg2() ? 1023 : limits ? limits->maxVbvBufferSize : 262143;
    s.vbvBufferSize =
        static_cast<int>(std::min(std::floor(s.constBitrate * 0.20343 / 16384), largestVbv));
    s.videoBufferSize = s.programStreamType < kStreamDvd ? 2 * s.vbvBufferSize : 232;
}

}  // namespace korvan
