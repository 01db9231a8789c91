// The Qt side of a scripted run: delayed clicks through the event loop,
// screenshots of the main window, its size as shown, drops onto the file
// list sent as the window system would send them.
#pragma once

#include <QTimer>

#include "app/script/script_host.h"

class MainWindow;
class MainWindowModel;

class QtScriptHost : public ScriptHost {
public:
    QtScriptHost(MainWindow& window, MainWindowModel& model);

    void ClickLater(int commandId, int delayMs) override;
    void CallLater(std::function<void()> call, int delayMs) override;
    void CancelClickLater() override;
    void PressEscapeLater(int delayMs) override;
    bool SaveScreenshot(const std::string& path) override;
    void DropOnFileList(const std::vector<std::string>& paths) override;
    void Wait(int milliseconds) override;
    int WindowWidth() const override;
    int WindowHeight() const override;

private:
    MainWindow& window_;
    MainWindowModel& model_;
    QTimer timer_;
    std::function<void()> call_;
};
