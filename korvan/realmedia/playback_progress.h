// The arithmetic of the engine's position reports: the percent done and the
// remaining-time tip, which counts the writer's pause after every block of
// sound (ThrottleInterval) as the pace of the conversion.
#pragma once

#include <cstdint>
#include <string>

namespace korvan::realmedia {

struct PlaybackProgress {
    int percent = 0;  // 0..100
    uint32_t positionMs = 0;
    uint32_t lengthMs = 0;
    std::string tip;  // "Remain hh:mm:ss"
};

// A length of 0 is 0 % done; a position beyond the length is 100 % done with
// nothing remaining (the unsigned difference would wrap around).
PlaybackProgress ProgressAt(uint32_t positionMs, uint32_t lengthMs);

// "Processed hh:mm:ss" for a play time, shown until the first position
// report.
std::string ProcessedTip(uint32_t playTimeMs);

}  // namespace korvan::realmedia
