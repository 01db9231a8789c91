#include "app/run/startup.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>

#include "app/profiles/profile_files.h"
#include "app/run/conversion_run.h"
#include "contracts/program_settings.h"
#include "platform/file_names.h"
#include "platform/program_lookup.h"
#include "platform/writable_files.h"

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

void PrepareUserFiles(const std::string& programFolder, const std::string& writableFolder,
                      const std::string& homeFolder) {
    if (writableFolder == programFolder) return;
    for (int target = 0; target < kTargetCount; ++target) {
        const std::string name(ProfileFileName(target));
        if (name.empty()) continue;
        platform::SeedFile(platform::ResolveFileName(programFolder + name), writableFolder + name);
    }
    const std::string settingsPath = writableFolder + program_settings::kFileName;
    struct stat info {};
    if (homeFolder.empty() || stat(settingsPath.c_str(), &info) == 0) return;
    SettingsFile settings;
    settings.SetFile(settingsPath);
    settings.WriteString(program_settings::kCommonSection, program_settings::kExportFolderKey,
                         platform::WithTrailingSlash(homeFolder) + kDefaultExportFolderName + "/");
}

std::string WindowTitle(const SettingsFile& settings) {
    double version = settings.ReadReal("common", "vers", kDefaultVersion);
    // A negative or unreadable number has no square root to show.
    if (!std::isfinite(version) || version < 0) version = kDefaultVersion;
    char text[64];
    std::snprintf(text, sizeof text, " %4.2f", std::sqrt(version));
    return std::string("Zarvo Video Converter") + text;
}
