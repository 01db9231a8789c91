// The two things tool runs need from the program's user interface, in one
// named place: a modal message box, and dispatching the messages waiting
// for the user-interface thread (so that the window stays live and the stop
// command can arrive while a tool runs).
//
// The Qt program installs its implementation at start-up (QMessageBox,
// QCoreApplication::processEvents); tests install one that records. Until
// one is installed, message texts go to standard error and nothing is
// dispatched. Only the user-interface thread uses it.
#pragma once

#include <string>

class ProgramUi {
public:
    virtual ~ProgramUi() = default;
    // A modal box with an OK button; an empty caption means no title.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // Handles every message already waiting, then returns at once.
    virtual void DispatchPendingMessages() = 0;
};

// Installs `ui` (not owned; it must outlive its use) and returns the one it
// replaces; nullptr goes back to the stand-in.
ProgramUi* InstallProgramUi(ProgramUi* ui);
ProgramUi& CurrentProgramUi();
