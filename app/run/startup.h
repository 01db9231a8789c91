// Start-up before the main window: the check that the outside tools are
// there (it stands where the Windows program registered its media
// components), with the splash and its progress, and the window title.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "app/profiles/settings_file.h"

// What start-up shows; the Qt program draws it, tests record it.
class StartupView {
public:
    virtual ~StartupView() = default;
    virtual void ShowSplash() = 0;
    virtual void SetSplashProgress(int percent) = 0;
    // Keeps the splash on screen (painted) for the given time.
    virtual void Pause(int milliseconds) = 0;
    virtual void CloseSplash() = 0;
    virtual void ShowMessage(const std::string& text) = 0;
};

// The tools the program drives, in the order they are checked.
inline constexpr std::array<std::string_view, 3> kRequiredTools = {"ffmpeg", "mencoder", "mplayer"};
inline constexpr int kSplashPauseMs = 2000;

// Looks each tool up (program folder first, then PATH), moving the splash's
// progress to 0, 33 and 66 as each is found. Stops at the first one missing and
// reports it once, naming the path tried in the program folder; a missing
// tool does not stop start-up. Returns the number of tools missing (0 or 1).
int CheckRequiredTools(const std::string& programFolder, StartupView& view);

// What an installer does for a user before the first start, done by the
// program when its writable files live apart from it (an installed program):
// the shipped profile files are copied into the writable folder, a file the
// user already has kept as it is, and a first "zarvo.ini" sends converted
// files to home + "/ZarvoExport/". Nothing happens when both folders are one
// (a build tree). Folders end in "/".
void PrepareUserFiles(const std::string& programFolder, const std::string& writableFolder,
                      const std::string& homeFolder);

// "Zarvo Video Converter" followed by the square root of [common] vers
// (4.41 when absent or empty) as " %4.2f".
std::string WindowTitle(const SettingsFile& settings);
