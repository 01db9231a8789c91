// What a scripted run needs from the program besides the model: clicks
// and key presses made later, out of the event loop, screenshots, drops
// and waiting. The Qt program gives it its window (QtScriptHost).
#pragma once

#include <functional>
#include <string>
#include <vector>

class ScriptHost {
public:
    virtual ~ScriptHost() = default;
    // Sends a command to the model `delayMs` from now, out of the event
    // loop, as a click would; replaces a click or call not yet made.
    virtual void ClickLater(int commandId, int delayMs) = 0;
    // The same for any other action of the user (a click in a dialog).
    virtual void CallLater(std::function<void()> call, int delayMs) = 0;
    virtual void CancelClickLater() = 0;
    // Presses Escape on the window `delayMs` from now, as a key press would;
    // shares the one pending click.
    virtual void PressEscapeLater(int delayMs) = 0;
    virtual bool SaveScreenshot(const std::string& path) = 0;
    // Drops the paths onto the file list as a file manager would.
    virtual void DropOnFileList(const std::vector<std::string>& paths) = 0;
    // Handles the window's events for this long.
    virtual void Wait(int milliseconds) = 0;
    virtual int WindowWidth() const = 0;
    virtual int WindowHeight() const = 0;
};
