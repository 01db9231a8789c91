// What the main window's model asks of whoever shows it: the dialogs that
// wait for the user, the window frame, and a redraw after every change. The
// Qt window implements it; tests and the automation script answer the
// dialogs themselves. Every dialog defaults to "cancelled".
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "ui/file_filter.h"

class ActivityLog;
class AudioStreamDialogModel;
class BurningWindowModel;
class DiscWriterWizardModel;
class ProfileEditorModel;

inline constexpr std::string_view kOpenFilesTitle = "Open Video Files";
inline constexpr std::array<FileFilter, 6> kVideoFileFilters = {{
    {"ALL", "*.*"},
    {"Supported types (*.AVI,*.ASF,*.WMV,*.AVS,*.MPG,*.M2P,*.M1V,*.M2V)",
     "*.avi;*.asf;*.wmv;*.avs;*.mpg;*.m2p;*.m1v;*.m2v"},
    {"RealMedia files (*.RM,*.RAM,*.RMVB)", "*.rm;*.ram;*.rmvb"},
    {"AVI Files (*.AVI)", "*.avi"},
    {"MPEG Files (*.MPG,*.M1V,*.M2P,*.M2V,*.DAT,*.vob)", "*.mpg;*.m1v;*.m2p;*.m2v;*.dat;*.vob"},
    {"Quick Time Files (*.mov)", "*.mov"},
}};

inline constexpr std::string_view kExportFolderTitle = "Choose export folder...";
inline constexpr std::string_view kDvdFolderTitle = "Choose DVD drive...";

class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    // The open-file dialog (kOpenFilesTitle, kVideoFileFilters, several files
    // at once): the chosen paths in the dialog's order, none when cancelled.
    virtual std::vector<std::string> ChooseVideoFiles() { return {}; }
    // The folder chooser: the chosen folder, "" when cancelled.
    virtual std::string ChooseFolder(std::string_view /*title*/,
                                     const std::string& /*startFolder*/) {
        return {};
    }
    // Modal windows of their own; the model carries on when they close.
    // "Select Audio Stream": the line selected when it closes is the choice.
    virtual void ChooseAudioStream(AudioStreamDialogModel& /*dialog*/) {}
    virtual void OpenProfileEditor(ProfileEditorModel& /*editor*/) {}
    virtual void OpenDiscWriterWizard(DiscWriterWizardModel& /*wizard*/) {}
    // "Zarvo Video Disc Writer": opens the model and returns once it has
    // closed (unopened, it counts as cancelled).
    virtual void OpenBurningWindow(BurningWindowModel& /*window*/) {}
    // Shows a local page in the desktop's web browser; false when no
    // browser can be started.
    virtual bool OpenHelp(const std::string& /*path*/) { return false; }
    // The activity log's text in a window of its own that does not wait
    // (a conversion goes on meanwhile).
    virtual void ShowActivityLog(const ActivityLog& /*log*/) {}
    // A question with the buttons Yes and No, waiting for the answer; true
    // for Yes.
    virtual bool AskYesNo(const std::string& /*question*/) { return false; }
    // A desktop notification (its body may be empty); clicking it calls the
    // model's OnNotificationClicked.
    virtual void ShowNotification(const std::string& /*summary*/, const std::string& /*body*/) {}

    // The busy cursor while files are probed.
    virtual void SetBusy(bool /*busy*/) {}
    // Lets the window repaint during a long step that takes no user input.
    virtual void KeepPainting() {}

    // The window frame.
    virtual void CloseWindow() {}
    virtual void ShowInSystemTray() {}
    virtual void Minimize() {}
    virtual void Maximize() {}
    virtual void Restore() {}
    // Back on screen from the system tray or minimised.
    virtual void ShowWindowAgain() {}

    // Something the window shows has changed.
    virtual void Changed() {}
};
