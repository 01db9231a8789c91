#include "app/shell/startup.h"

#include <cmath>
#include <cstdio>

#include "platform/program_lookup.h"

namespace {

constexpr double kDefaultVersion = 4.41;

}  // namespace

int CheckRequiredTools(const std::string& programFolder, StartupView& view) {
    view.ShowSplash();
    std::string missing;
    for (std::size_t i = 0; i < kRequiredTools.size(); ++i) {
        const std::string name(kRequiredTools[i]);
        if (platform::FindProgram(name, programFolder).empty()) {
            missing = programFolder + name;
            break;
        }
        view.SetSplashProgress(static_cast<int>(i * 100 / kRequiredTools.size()));
    }
    if (missing.empty()) view.Pause(kSplashPauseMs);
    view.CloseSplash();
    if (missing.empty()) return 0;
    view.ShowMessage("Can't register the ActiveX - " + missing);
    return 1;
}

std::string WindowTitle(const SettingsFile& settings) {
    double version = settings.ReadReal("common", "vers", kDefaultVersion);
    // A negative or unreadable number has no square root to show.
    if (!std::isfinite(version) || version < 0) version = kDefaultVersion;
    char text[64];
    std::snprintf(text, sizeof text, " %4.2f", std::sqrt(version));
    return std::string("Zarvo Video Converter") + text;
}
