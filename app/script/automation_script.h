// Scripted runs of the main window, for end-to-end tests and for anyone who
// wants to drive the program: when ZARVO_SCRIPT names a text file, the window
// runs its lines one by one as if the user did them, and when ZARVO_STATE
// names a file it writes the window's state there as JSON after every line.
//
// Lines (paths are separated by tabs, so that they may hold blanks):
//   browse PATH...      "Browse" with these files chosen
//   add PATH...         "Add file(s) to join" with these files chosen
//   dvd FOLDER          "DVD" with this folder chosen
//   export FOLDER       "Browse..." (export folder) with this folder chosen
//   target N            the button of target N (0..9 but not 3)
//   profile N           profile N in the profile list
//   select N            file N in the file list (-1: none)
//   up, down, delete    the list buttons
//   merge               a click on "Merge"
//   convert             "Convert Now!"; returns when the queue has finished
//   stop-after SECONDS  press "Stop Conversion" this long after the next
//                       convert starts
//   close-after SECONDS the Close button this long after the next convert
//                       starts (its question takes the "answer" line after
//                       the convert)
//   escape-after SECONDS the Escape key likewise
//   answer TEXT         answers the dialog that the line before opened
//                       (a message box button, an audio stream index, a
//                       question's "Yes", "No" or "Cancel")
//   edit-profile open   "Edit Profile..."; the "edit-profile" lines that
//                       follow work the profile editor (see
//                       profile_editor_script.h), which closes at
//                       "edit-profile close" or at the first other line
//   wizard open         "Burn Video": opens the disc-writer wizard; the
//                       "wizard" lines that follow work it (see
//                       wizard_script.h), and it closes at "wizard close"
//                       or at the first other line
//   burn ...            work the burning window while it is open (see
//                       burning_window_script.h); it opens when a
//                       conversion hands a disc over, and at the first other
//                       line it is cancelled as a person would
//   play N              "Play" on audio stream N of the audio stream dialog
//   audio N             chooses audio stream N and closes the dialog
//                       The two answer the dialog that "dvd" opened; on
//                       their own they press "Select DVD audio stream"
//                       first. The dialog takes any number of "play" lines
//                       and closes at "audio" (or "answer") or at the first
//                       other line, with the stream it opened on.
//   drop PATH...        drops these files and folders onto the file list
//   minimize, tray      the title bar's Minimize and System tray buttons
//   wait SECONDS        lets the window handle events this long (a click on
//                       a desktop notification, for example)
//   show-log            the "Log" button
//   log FILE            saves the session's activity log to FILE
//   screenshot PATH     saves a picture of the window as PNG
//   state               writes the state (it is written after every line)
//   quit                the Close button; no further line runs
// Empty lines and lines starting with "#" are skipped. A bad line writes its
// error into the state's "error" and is skipped. Dialogs that would wait for
// a person take the answer the next line gives, or else their default, and
// their text is added to the state's "messages".
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/script/script_host.h"
#include "app/script/script_line.h"
#include "app/script/window_state_json.h"
#include "app/window/main_window_view.h"

class MainWindowModel;
struct RunContext;

// Runs a script against the model. It stands between the model and the
// window: dialogs are answered from the script, everything else goes on to
// the window.
class ScriptRunner : public MainWindowView {
public:
    // The script's "log" line saves the log of `context` (not owned).
    ScriptRunner(RunContext& context, MainWindowModel& model, MainWindowView& window,
                 ScriptHost& host, const std::string& scriptText, std::string statePath);

    // Runs the lines until "quit" or the last one. Returns the number of
    // lines that failed.
    int Run();

    // A message box: its text goes into "messages"; the answer is the next
    // line's when that line is an "answer", else `defaultButton`.
    std::string AnswerMessageBox(const std::string& text, const std::string& defaultButton);

    const ScriptRecord& Record() const { return record_; }

    std::vector<std::string> ChooseVideoFiles() override;
    std::string ChooseFolder(std::string_view title, const std::string& startFolder) override;
    void ChooseAudioStream(AudioStreamDialogModel& dialog) override;
    void OpenProfileEditor(ProfileEditorModel& editor) override;
    void OpenDiscWriterWizard(DiscWriterWizardModel& wizard) override;
    void OpenBurningWindow(BurningWindowModel& window) override;
    bool OpenHelp(const std::string& path) override;
    void ShowActivityLog(const ActivityLog& log) override;
    void ShowNotification(const std::string& summary, const std::string& body) override;
    bool AskYesNo(const std::string& question) override;
    void ShowWindowAgain() override;
    void SetBusy(bool busy) override;
    void KeepPainting() override;
    void CloseWindow() override;
    void ShowInSystemTray() override;
    void Minimize() override;
    void Maximize() override;
    void Restore() override;
    void Changed() override;

private:
    // The line's error, or "" when it ran.
    std::string RunLine(const ScriptLine& line);
    // Records the error of the line last taken.
    void Fail(const std::string& error);
    // The next line that is not blank or a comment, and the index after it;
    // false at the end of the script.
    bool PeekLine(ScriptLine& line, std::size_t& after) const;
    std::string Click(int commandId, std::string_view what);
    // "audio N" or "play N" when no dialog is open.
    std::string OpenAudioStreamDialog(const ScriptLine& line);
    // Consumes the next line when it is an "answer" and returns its text.
    bool TakeAnswer(std::string& answer);
    void WriteState();

    RunContext& context_;
    MainWindowModel& model_;
    MainWindowView& window_;
    ScriptHost& host_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
    int failures_ = 0;
    std::string statePath_;
    ScriptRecord record_;
    bool quit_ = false;
    // What the user does this long after the next convert starts.
    enum class LaterAction { kNone, kStop, kClose, kEscape };
    LaterAction laterAction_ = LaterAction::kNone;
    double laterSeconds_ = 0;
    std::vector<std::string> chosenFiles_;
    std::string chosenFolder_;
};
