#include "app/script/automation_script.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>

#include "app/disc/burning_window_model.h"
#include "app/disc/disc_writer_wizard_model.h"
#include "app/script/burning_window_script.h"
#include "app/script/profile_editor_script.h"
#include "app/script/script_numbers.h"
#include "app/script/wizard_script.h"
#include "app/tools/activity_log.h"
#include "app/tools/audio_stream_dialog_model.h"
#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"
#include "app/window/main_window_commands.h"
#include "app/window/main_window_model.h"
#include "platform/file_status.h"

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

bool IsBlankOrComment(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t");
    return first == std::string::npos || line[first] == '#';
}

// Lets the program's messages (and the burning SDK's events) through once.
void DispatchMessagesOnce(ProgramUi& ui) {
    ui.DispatchPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// The burning window as a scripted run shows it: its timer is waited out
// where the window would wait, and its message boxes are answered by the
// script.
class ScriptBurningView : public BurningWindowView {
public:
    ScriptBurningView(ScriptRunner& runner, ProgramUi& ui) : runner_(runner), ui_(ui) {}

    void SetTimer(int, int delayMs) override {
        timerDue_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs);
        timerPending_ = true;
    }
    void KillTimer(int) override { timerPending_ = false; }
    void ShowMessageBox(const std::string& text, const std::string&, MessageIcon) override {
        runner_.AnswerMessageBox(text, "OK");
    }
    void WaitForMessages() override { DispatchMessagesOnce(ui_); }

    // Waits for timer 0 as the window's event loop would, then lets it fire.
    void RunTimer(BurningWindowModel& window) {
        while (timerPending_ && std::chrono::steady_clock::now() < timerDue_) {
            DispatchMessagesOnce(ui_);
        }
        if (timerPending_) window.OnTimer(kFillProjectTimer);
    }

private:
    ScriptRunner& runner_;
    ProgramUi& ui_;
    bool timerPending_ = false;
    std::chrono::steady_clock::time_point timerDue_;
};

// The profile editor's questions, answered by the script's "answer" line or
// else "No" (the changes are not kept).
class ScriptProfileEditorView : public ProfileEditorView {
public:
    explicit ScriptProfileEditorView(ScriptRunner& runner) : runner_(runner) {}
    std::string AskQuestion(const std::string& text) override {
        return runner_.AnswerMessageBox(text, "No");
    }

private:
    ScriptRunner& runner_;
};

}  // namespace

ScriptRunner::ScriptRunner(RunContext& context, MainWindowModel& model, MainWindowView& window,
                           ScriptHost& host, const std::string& scriptText, std::string statePath)
    : context_(context),
      model_(model),
      window_(window),
      host_(host),
      lines_(SplitLines(scriptText)),
      statePath_(std::move(statePath)) {}

int ScriptRunner::Run() {
    WriteState();
    while (next_ < lines_.size() && !quit_) {
        const std::string& line = lines_[next_++];
        if (IsBlankOrComment(line)) continue;
        const std::string error = RunLine(ParseScriptLine(line));
        if (!error.empty()) Fail(error);
        WriteState();
    }
    return failures_;
}

void ScriptRunner::Fail(const std::string& error) {
    record_.error = "line " + std::to_string(next_) + ": " + error;
    ++failures_;
}

bool ScriptRunner::PeekLine(ScriptLine& line, std::size_t& after) const {
    std::size_t i = next_;
    while (i < lines_.size() && IsBlankOrComment(lines_[i])) ++i;
    if (i >= lines_.size()) return false;
    line = ParseScriptLine(lines_[i]);
    after = i + 1;
    return true;
}

std::string ScriptRunner::Click(int commandId, std::string_view what) {
    if (!model_.IsCommandAvailable(commandId)) {
        return std::string(what) + " cannot be used now";
    }
    model_.OnCommand(commandId);
    return {};
}

std::string ScriptRunner::RunLine(const ScriptLine& line) {
    const std::string& c = line.command;
    if (c == "browse" || c == "add") {
        if (line.arguments.empty()) return c + ": no files given";
        for (const std::string& path : line.arguments) {
            if (platform::FileSizeBytes(path) < 0) return "no such file: " + path;
        }
        chosenFiles_ = line.arguments;
        const std::string error = c == "browse" ? Click(kCmdBrowseFiles, "\"Browse\"")
                                                : Click(kCmdAddFiles, "\"Add file(s) to join\"");
        chosenFiles_.clear();
        return error;
    }
    if (c == "dvd" || c == "export") {
        if (!platform::IsFolder(line.rest)) return "no such folder: " + line.rest;
        chosenFolder_ = line.rest;
        const std::string error = c == "dvd" ? Click(kCmdChooseDvd, "\"DVD\"")
                                             : Click(kCmdBrowseExportFolder, "\"Browse...\"");
        chosenFolder_.clear();
        return error;
    }
    if (c == "target") {
        const auto target = ParseScriptInt(line.rest);
        const auto info = target ? InfoOfTarget(*target) : std::nullopt;
        if (!info) return "no target button " + line.rest;
        return Click(info->commandId, "the target button");
    }
    if (c == "profile") {
        const auto index = ParseScriptInt(line.rest);
        if (!index || *index < 0 || *index >= model_.CurrentProfiles().count) {
            return "no profile " + line.rest;
        }
        if (!model_.InputsEnabled()) return "the profile list cannot be used now";
        model_.SelectProfile(*index);
        return {};
    }
    if (c == "select") {
        const auto index = ParseScriptInt(line.rest);
        if (!index || *index < -1 || *index >= static_cast<int>(model_.Files().size())) {
            return "no file " + line.rest + " in the list";
        }
        model_.SelectFile(*index);
        return {};
    }
    if (c == "up") return Click(kCmdMoveUp, "\"Move up\"");
    if (c == "down") return Click(kCmdMoveDown, "\"Move down\"");
    if (c == "delete") return Click(kCmdDeleteFile, "\"Delete file from list\"");
    if (c == "merge") {
        if (!model_.MergeEnabled()) return "\"Merge\" cannot be used now";
        model_.ToggleMerge();
        return {};
    }
    if (c == "stop-after" || c == "close-after" || c == "escape-after") {
        const auto seconds = ParseScriptSeconds(line.rest);
        if (!seconds) return "not a number of seconds: " + line.rest;
        laterAction_ = c == "stop-after"    ? LaterAction::kStop
                       : c == "close-after" ? LaterAction::kClose
                                            : LaterAction::kEscape;
        laterSeconds_ = *seconds;
        return {};
    }
    if (c == "convert") {
        if (model_.Converting()) return "a conversion is running";
        const int delayMs = static_cast<int>(laterSeconds_ * 1000);
        switch (laterAction_) {
            case LaterAction::kStop:
                host_.ClickLater(kCmdConvert, delayMs);
                break;
            case LaterAction::kClose:
                host_.ClickLater(kCmdClose, delayMs);
                break;
            case LaterAction::kEscape:
                host_.PressEscapeLater(delayMs);
                break;
            case LaterAction::kNone:
                break;
        }
        laterAction_ = LaterAction::kNone;
        model_.OnCommand(kCmdConvert);
        host_.CancelClickLater();
        return {};
    }
    if (c == "drop") {
        if (line.arguments.empty()) return "drop: nothing given";
        host_.DropOnFileList(line.arguments);
        return {};
    }
    if (c == "wait") {
        const auto seconds = ParseScriptSeconds(line.rest);
        if (!seconds) return "not a number of seconds: " + line.rest;
        host_.Wait(static_cast<int>(*seconds * 1000));
        return {};
    }
    if (c == "minimize") return Click(kCmdMinimize, "\"Minimize\"");
    if (c == "tray") return Click(kCmdSystemTray, "\"System tray\"");
    if (c == "show-log") return Click(kCmdShowLog, "\"Log\"");
    if (c == "log") {
        if (line.rest.empty()) return "log: no file given";
        return context_.log.SaveTo(line.rest) ? std::string()
                                              : "cannot save the log to " + line.rest;
    }
    if (c == "screenshot") {
        if (line.rest.empty()) return "screenshot: no file given";
        return host_.SaveScreenshot(line.rest) ? std::string()
                                               : "cannot save the screenshot to " + line.rest;
    }
    if (c == "state") return {};
    if (c == "quit") {
        quit_ = true;
        model_.OnCommand(kCmdClose);
        return {};
    }
    if (c == "edit-profile") {
        if (line.rest != "open") return "the profile editor is not open";
        return Click(kCmdEditProfile, "\"Edit Profile...\"");
    }
    if (c == "wizard") {
        if (line.rest != "open") return "the disc-writer wizard is not open";
        return Click(kCmdBurnVideo, "\"Burn Video\"");
    }
    if (c == "audio" || c == "play") return OpenAudioStreamDialog(line);
    if (c == "answer") return "no dialog waits for an answer";
    if (c == "burn") return "the burning window is not open";
    return "unknown command: " + c;
}

std::string ScriptRunner::OpenAudioStreamDialog(const ScriptLine& line) {
    if (!ParseScriptInt(line.rest)) return "not an audio stream: " + line.rest;
    // The dialog the button opens takes this line as its first answer.
    const std::size_t self = next_ - 1;
    next_ = self;
    std::string error = Click(kCmdSelectAudioStream, "\"Select DVD audio stream\"");
    if (next_ == self) {
        next_ = self + 1;
        if (error.empty()) error = "no audio stream dialog opened";
    }
    return error;
}

bool ScriptRunner::TakeAnswer(std::string& answer) {
    std::size_t i = next_;
    while (i < lines_.size() && IsBlankOrComment(lines_[i])) ++i;
    if (i >= lines_.size()) return false;
    const ScriptLine line = ParseScriptLine(lines_[i]);
    if (line.command != "answer") return false;
    next_ = i + 1;
    answer = line.rest;
    return true;
}

std::string ScriptRunner::AnswerMessageBox(const std::string& text,
                                           const std::string& defaultButton) {
    record_.messages.push_back(text);
    std::string answer;
    return TakeAnswer(answer) ? answer : defaultButton;
}

void ScriptRunner::WriteState() {
    if (statePath_.empty()) return;
    record_.width = host_.WindowWidth();
    record_.height = host_.WindowHeight();
    const std::string json = WindowStateJson(model_, record_, context_.log);
    // Written aside and renamed, so that a reader never sees half a state.
    const std::string temporary = statePath_ + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return;
    const bool written = std::fwrite(json.data(), 1, json.size(), file) == json.size();
    if (std::fclose(file) == 0 && written) {
        std::rename(temporary.c_str(), statePath_.c_str());
    } else {
        std::remove(temporary.c_str());
    }
}

std::vector<std::string> ScriptRunner::ChooseVideoFiles() { return chosenFiles_; }

std::string ScriptRunner::ChooseFolder(std::string_view, const std::string&) {
    return chosenFolder_;
}

void ScriptRunner::ChooseAudioStream(AudioStreamDialogModel& dialog) {
    record_.audioDialog = &dialog;
    WriteState();
    ScriptLine line;
    std::size_t after = 0;
    while (PeekLine(line, after) &&
           (line.command == "play" || line.command == "audio" || line.command == "answer")) {
        next_ = after;
        const bool play = line.command == "play";
        const auto index = ParseScriptInt(line.rest);
        if (index && *index >= 0 && *index < static_cast<int>(dialog.StreamLines().size())) {
            dialog.Select(*index);
            if (play) dialog.Play();
        } else {
            Fail("no audio stream " + line.rest);
        }
        if (!play) break;
        WriteState();
    }
    dialog.Close();
    record_.audioDialog = nullptr;
}

void ScriptRunner::OpenProfileEditor(ProfileEditorModel& editor) {
    ScriptProfileEditorView view(*this);
    editor.SetView(&view);
    record_.profileEditor = &editor;
    WriteState();
    ScriptLine line;
    std::size_t after = 0;
    while (!editor.Closed() && PeekLine(line, after) && line.command == "edit-profile") {
        next_ = after;
        const EditorLineResult result = RunProfileEditorLine(editor, line.rest);
        if (!result.message.empty()) AnswerMessageBox(result.message, "OK");
        if (!result.error.empty()) Fail(result.error);
        WriteState();
    }
    // A person who is not told otherwise closes it; nothing unsaved is kept.
    if (!editor.Closed()) editor.OnCommand(kCmdCloseEditor);
    record_.profileEditor = nullptr;
    editor.SetView(nullptr);
}

void ScriptRunner::OpenDiscWriterWizard(DiscWriterWizardModel& wizard) {
    record_.wizard = &wizard;
    WriteState();
    ScriptLine line;
    std::size_t after = 0;
    while (!wizard.Closed() && PeekLine(line, after) && line.command == "wizard") {
        next_ = after;
        const std::string error = RunWizardLine(wizard, line.rest, host_);
        if (!error.empty()) Fail(error);
        WriteState();
    }
    // A person who is not told otherwise closes it.
    if (!wizard.Closed()) wizard.Close();
    record_.closedWizardJson = WizardJson(wizard);
    record_.wizard = nullptr;
}

void ScriptRunner::OpenBurningWindow(BurningWindowModel& window) {
    ScriptBurningView view(*this, context_.ui);
    window.SetView(&view);
    record_.burningWindow = &window;
    window.Open();
    WriteState();
    view.RunTimer(window);
    WriteState();
    ScriptLine line;
    std::size_t after = 0;
    while (!window.Closed() && PeekLine(line, after) && line.command == "burn") {
        next_ = after;
        const std::string error =
            RunBurningWindowLine(window, line.rest, [this] { DispatchMessagesOnce(context_.ui); });
        if (!error.empty()) Fail(error);
        WriteState();
    }
    // A person who is not told otherwise cancels it.
    if (!window.Closed()) window.OnCommand(kCmdCancelBurn);
    record_.burningWindow = nullptr;
    record_.closedBurningWindowJson = BurningWindowJson(window, false);
    window.SetView(nullptr);
}
bool ScriptRunner::OpenHelp(const std::string& path) { return window_.OpenHelp(path); }
void ScriptRunner::ShowActivityLog(const ActivityLog& log) { window_.ShowActivityLog(log); }
void ScriptRunner::ShowNotification(const std::string& summary, const std::string& body) {
    window_.ShowNotification(summary, body);
}
bool ScriptRunner::AskYesNo(const std::string& question) {
    // Unanswered, the careful answer: nothing is stopped or replaced.
    return AnswerMessageBox(question, "No") == "Yes";
}
void ScriptRunner::ShowWindowAgain() { window_.ShowWindowAgain(); }
void ScriptRunner::SetBusy(bool busy) { window_.SetBusy(busy); }
void ScriptRunner::KeepPainting() { window_.KeepPainting(); }
void ScriptRunner::CloseWindow() { window_.CloseWindow(); }
void ScriptRunner::ShowInSystemTray() { window_.ShowInSystemTray(); }
void ScriptRunner::Minimize() { window_.Minimize(); }
void ScriptRunner::Maximize() { window_.Maximize(); }
void ScriptRunner::Restore() { window_.Restore(); }
void ScriptRunner::Changed() { window_.Changed(); }
