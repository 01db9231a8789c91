// What tool runs need from the program's user interface, in one named
// place: a modal message box, a Yes/No question, and dispatching the
// messages waiting for the user-interface thread (so that the window stays
// live and the stop command can arrive while a tool runs).
//
// The Qt program gives its runs one over QMessageBox and
// QCoreApplication::processEvents; the command-line program and the tests
// use ConsoleUi. Only the user-interface thread uses it.
#pragma once

#include <string>

class ProgramUi {
public:
    virtual ~ProgramUi() = default;
    // A modal box with an OK button; an empty caption means no title.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // A Yes/No question of the run's (replacing a DVD folder); true for Yes.
    virtual bool AskYesNo(const std::string& question) = 0;
    // Handles every message already waiting, then returns at once.
    virtual void DispatchPendingMessages() = 0;
};

// Messages go to standard error; every question is answered No, the safe
// answer, and said so there; nothing is dispatched.
class ConsoleUi : public ProgramUi {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& question) override;
    void DispatchPendingMessages() override {}
};
