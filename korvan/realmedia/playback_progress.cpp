#include "korvan/realmedia/playback_progress.h"

#include <cstdio>

#include "korvan/media/avi_writer.h"

namespace korvan::realmedia {
namespace {

std::string ClockText(const char* format, uint32_t ms) {
    const uint32_t hours = ms / 3600000;
    const uint32_t secondsInHour = ms / 1000 % 3600;
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<int>(hours),
                  static_cast<int>(secondsInHour / 60), static_cast<int>(secondsInHour % 60));
    return text;
}

}  // namespace

PlaybackProgress ProgressAt(uint32_t positionMs, uint32_t lengthMs) {
    PlaybackProgress progress;
    progress.positionMs = positionMs;
    progress.lengthMs = lengthMs;
    if (lengthMs > 0) {
        double percent = static_cast<double>(positionMs) / lengthMs * 100.0;
        if (percent > 100.0) percent = 100.0;
        progress.percent = static_cast<int>(percent);
    }
    // Unsigned 32-bit, as the tip has always been worked out: the product
    // wraps for differences beyond about 71 minutes.
    const auto throttleMs = static_cast<uint32_t>(media::kThrottleInterval.count());
    const uint32_t remainingMs =
        positionMs > lengthMs ? 0 : (lengthMs - positionMs) * 1000u / throttleMs;
    progress.tip = ClockText("Remain %02d:%02d:%02d", remainingMs);
    return progress;
}

std::string ProcessedTip(uint32_t playTimeMs) {
    return ClockText("Processed %02d:%02d:%02d", playTimeMs);
}

}  // namespace korvan::realmedia
