#include "korvan/mpegenc/settings/mpeg_levels.h"

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

const LevelLimits* LimitsOfLevel(int level) {
    static constexpr LevelLimits kLevels[] = {
        {kLevelHigh, 1920, 1152, 62668800, 80000000, 597, 9, 5},
        {kLevelHigh1440, 1440, 1152, 47001600, 60000000, 448, 9, 5},
        {kLevelMain, 720, 576, 10368000, 15000000, 112, 8, 5},
        {kLevelLow, 352, 288, 3041280, 4000000, 29, 7, 4},
    };
    for (const LevelLimits& limits : kLevels) {
        if (limits.level == level) return &limits;
    }
    return nullptr;
}

}  // namespace korvan
