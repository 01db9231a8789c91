// Stand-ins for the user and the encoder in tests of the main window's model:
// a view whose dialogs answer from queued replies and that records what the
// model asked of it, and a probe that reads durations from a table.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/profiles/profile_editor_model.h"
#include "app/run/media_probe.h"
#include "app/tools/audio_stream_dialog_model.h"
#include "app/window/main_window_view.h"

namespace test {

class FakeView : public MainWindowView {
public:
    std::vector<std::string> ChooseVideoFiles() override {
        calls.push_back("files");
        return Next(fileReplies, {});
    }
    std::string ChooseFolder(std::string_view title, const std::string& start) override {
        calls.push_back("folder " + std::string(title) + " " + start);
        return Next(folderReplies, {});
    }
    // Records the stream the dialog opened on; a reply selects a line.
    void ChooseAudioStream(AudioStreamDialogModel& dialog) override {
        calls.push_back("audio " + dialog.File() + " " + dialog.SelectedAudioId());
        audioLines = dialog.StreamLines();
        const int reply = Next(audioReplies, -1);
        if (reply >= 0) dialog.Select(reply);
        dialog.Close();
    }
    void OpenProfileEditor(ProfileEditorModel& editor) override {
        calls.push_back("editor " + std::to_string(editor.Target()) + " " + editor.Title());
        if (onEditor) onEditor(editor);
    }
    void OpenDiscWriterWizard(DiscWriterWizardModel&) override { calls.push_back("wizard"); }
    bool OpenHelp(const std::string& path) override {
        calls.push_back("help " + path);
        return helpShown;
    }
    bool AskYesNo(const std::string& question) override {
        calls.push_back("ask " + question);
        return Next(yesNoReplies, false);
    }
    void SetBusy(bool busy) override { calls.push_back(busy ? "busy" : "idle"); }
    void CloseWindow() override { calls.push_back("close"); }
    void ShowInSystemTray() override { calls.push_back("tray"); }
    void Minimize() override { calls.push_back("minimize"); }
    void Maximize() override { calls.push_back("maximize"); }
    void Restore() override { calls.push_back("restore"); }
    void Changed() override { ++changes; }

    std::deque<std::vector<std::string>> fileReplies;
    std::deque<std::string> folderReplies;
    std::deque<int> audioReplies;
    std::deque<bool> yesNoReplies;
    std::function<void(ProfileEditorModel&)> onEditor;
    bool helpShown = true;
    std::vector<std::string> calls;
    std::vector<std::string> audioLines;
    int changes = 0;

private:
    template <typename T>
    static T Next(std::deque<T>& replies, T otherwise) {
        if (replies.empty()) return otherwise;
        T reply = std::move(replies.front());
        replies.pop_front();
        return reply;
    }
};

// Durations by file name (the part after the last "/"); unknown files give 0.
// A file whose name holds "broken" has no stream the tool could read.
class FakeProbe : public MediaProbe {
public:
    MediaInfo Probe(const std::string& path) override {
        probed.push_back(path);
        MediaInfo media;
        const std::string name = path.substr(path.rfind('/') + 1);
        if (name.find("broken") != std::string::npos) return media;
        media.videoCodec = "mpeg4";
        if (auto it = seconds.find(name); it != seconds.end()) media.durationSeconds = it->second;
        media.audioStreamLines = audioLines;
        return media;
    }
    std::string LastFailure() const override { return "Invalid data found when processing input"; }

    std::map<std::string, double> seconds;
    std::vector<std::string> audioLines;
    std::vector<std::string> probed;
};

}  // namespace test
