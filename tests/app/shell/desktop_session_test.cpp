// The main window's model in a desktop session, on the real encoder: files
// and folders dropped onto the list, the activity log of what the tools did,
// and the notification when the queue ends while the window is out of sight.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>

#include "app/run/runner_queue_tools.h"
#include "app/tools/activity_log.h"
#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"
#include "app/window/main_window_commands.h"
#include "app/window/main_window_model.h"
#include "tests/support/media_tools.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct Notification {
    std::string summary;
    std::string body;
};

class SessionView : public MainWindowView {
public:
    void ShowActivityLog(const ActivityLog& log) override { logTexts.push_back(log.Text()); }
    void ShowNotification(const std::string& summary, const std::string& body) override {
        notifications.push_back({summary, body});
    }
    void ShowWindowAgain() override { ++shownAgain; }

    std::vector<std::string> logTexts;
    std::vector<Notification> notifications;
    int shownAgain = 0;
};

// Progress notifications are posted by the tool runs and handled when the
// program dispatches its messages, as the Qt window does.
class QueuedMessages : public CommandTarget, public ProgramUi {
public:
    void PostCommand(unsigned, unsigned, std::intptr_t value) override { posted.push_back(value); }
    void ShowMessage(const std::string& text, const std::string&) override {
        messages.push_back(text);
    }
    bool AskYesNo(const std::string& question) override {
        messages.push_back(question);
        return false;
    }
    void DispatchPendingMessages() override {
        while (!posted.empty()) {
            const auto value = static_cast<int>(posted.front());
            posted.pop_front();
            model->OnProgressNotification(value);
            if (onProgress && value >= 0) onProgress();
        }
    }

    MainWindowModel* model = nullptr;
    std::function<void()> onProgress;
    std::deque<std::intptr_t> posted;
    std::vector<std::string> messages;
};

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class DesktopSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::copy_file(std::string(ZARVO_SOURCE_DIR) + "/resources/profiles/AviProfile.ini",
                      program_ / "AviProfile.ini");
        test::WriteFile(program_ / "zarvo.ini", "[common]\nexportfolder=" + out_.Folder() + "\n");
        messages_.model = &model_;
        model_.SetView(&view_);
        model_.SetProbe(&tools_);
        model_.SetQueueTools(&tools_);
        model_.Initialise();
    }
    test::TempDir program_{"program"};
    test::TempDir out_{"export ü"};
    test::TempDir drop_{"dropped ä"};
    SessionView view_;
    QueuedMessages messages_;
    test::RunSession session_{messages_};
    MainWindowModel model_{session_.context, program_.Folder()};
    RunnerQueueTools tools_{session_.context, &messages_};
};

TEST_F(DesktopSessionTest, DroppedFilesConvertAndTheLogAndTheNotificationSayHowItWent) {
    const std::string folder = drop_ / "holiday clips/";
    fs::create_directories(folder + "older");
    ASSERT_TRUE(test::MakeClip(folder + "first clip.avi", 1, "-c:v mpeg4 -c:a mp3", "160x120"));
    ASSERT_TRUE(test::MakeClip(folder + "older/inner.avi", 1, "-c:v mpeg4 -c:a mp3", "160x120"));
    test::WriteFile(folder + "broken.AVI", std::string(4096, 'x'));
    test::WriteFile(folder + "notes.txt", "not a video");
    const std::string loose = drop_ / "loose.mp4";
    ASSERT_TRUE(test::MakeClip(loose, 2, "-c:v mpeg4 -c:a aac", "160x120"));

    // A folder gives its video files by name, not its sub-folders'; what is
    // neither file nor folder is left out.
    model_.DropFiles({folder, drop_ / "gone.avi", loose});
    ASSERT_EQ(model_.Files(),
              (std::vector<std::string>{folder + "broken.AVI", folder + "first clip.avi", loose}));
    // An input nothing can be read from says so when it is added.
    EXPECT_EQ(
        model_.FileListTexts()[0],
        folder + "broken.AVI       (Cannot be read: Invalid data found when processing input)");
    EXPECT_EQ(model_.FileListTexts()[2], loose + "       (Duration: 00:00:02)");
    EXPECT_EQ(model_.SelectedFile(), 0);
    EXPECT_EQ(model_.OutputNameText(), "broken.avi");

    // The user minimises the window and converts; a drop in the middle of it
    // is refused and the list stays as it was.
    model_.OnCommand(kCmdMinimize);
    EXPECT_EQ(model_.Shown(), WindowShown::kMinimized);
    bool droppedWhileConverting = false;
    messages_.onProgress = [&] {
        if (droppedWhileConverting) return;
        droppedWhileConverting = true;
        model_.DropFiles({folder + "older/inner.avi"});
    };
    const int runsBefore = session_.log.RunCount();
    model_.OnCommand(kCmdConvert);
    EXPECT_TRUE(droppedWhileConverting);
    EXPECT_EQ(model_.Files().size(), 3u);
    EXPECT_TRUE(Contains(model_.StatusLog(), kDropRefusedText));

    EXPECT_NEAR(test::ProbeWithFfprobe(out_ / "first clip.avi").durationSeconds, 1, 0.3);
    EXPECT_NEAR(test::ProbeWithFfprobe(out_ / "loose.avi").durationSeconds, 2, 0.3);
    EXPECT_EQ(model_.FailedInputs(), (std::vector<std::string>{folder + "broken.AVI"}));
    EXPECT_TRUE(Contains(model_.StatusLog(), "Error to open/convert this file! (see Log)"));

    ASSERT_EQ(view_.notifications.size(), 1u);
    EXPECT_EQ(view_.notifications[0].summary, "All converting works are Completed!");
    const std::string failure = "broken.AVI failed: Invalid data found when processing input";
    EXPECT_EQ(view_.notifications[0].body, failure);
    EXPECT_EQ(model_.LastNotification(), "All converting works are Completed!\n" + failure);
    model_.OnNotificationClicked();
    EXPECT_EQ(view_.shownAgain, 1);
    EXPECT_EQ(model_.Shown(), WindowShown::kOnScreen);

    // The log holds every run of the queue: the words as the tools got them,
    // the real names behind temporary ones, what the tools said and how
    // they ended.
    EXPECT_GT(session_.log.RunCount(), runsBefore + 2);
    model_.OnCommand(kCmdShowLog);
    ASSERT_EQ(view_.logTexts.size(), 1u);
    const std::string& log = view_.logTexts[0];
    EXPECT_NE(log.find("    ffmpeg\n    -y\n    -i\n"), std::string::npos);
    EXPECT_NE(log.find(" is " + folder + "broken.AVI)\n"), std::string::npos);
    EXPECT_NE(log.find(" becomes " + out_.Folder() + "first clip.avi)\n"), std::string::npos);
    EXPECT_NE(log.find("Invalid data found when processing input"), std::string::npos);
    EXPECT_NE(log.find("ended: exit code 1\n"), std::string::npos);
    EXPECT_NE(log.find("ended: exit code 0\n"), std::string::npos);
    // ffmpeg's progress lines, written over each other on a terminal, are
    // lines of their own here.
    EXPECT_EQ(log.find('\r'), std::string::npos);
    EXPECT_NE(log.find("\nframe="), std::string::npos);

    const std::string saved = out_ / "session log.txt";
    EXPECT_TRUE(session_.log.SaveTo(saved));
    EXPECT_EQ(test::ReadFile(saved).substr(0, log.size()), log);
    EXPECT_FALSE(session_.log.SaveTo(out_ / "no such folder/log.txt"));

    // With the window on screen the status line is enough.
    model_.OnCommand(kCmdConvert);
    EXPECT_EQ(view_.notifications.size(), 1u);
    EXPECT_TRUE(messages_.messages.empty());
}

TEST(ActivityLogTest, KeepsTheNewestEntriesWithinItsLimit) {
    ActivityLog log(260);
    log.BeginRun({"mencoder", "-o", "/out/a b.avi"});
    log.AppendOutput("Pos:   1.0s\r");
    log.AppendOutput("Pos:   2.0s\rdone\r\n");
    log.EndRun("exit code 0");
    const std::string first = log.Text();
    EXPECT_NE(first.find("] run 1:\n    mencoder\n    -o\n    /out/a b.avi\nPos:   1.0s\nPos:   "
                         "2.0s\ndone\n["),
              std::string::npos);
    EXPECT_NE(first.find("] run 1 ended: exit code 0\n\n"), std::string::npos);

    log.BeginRun({"ffmpeg"});
    log.AppendOutput(std::string(150, 'y'));
    log.EndRun("stopped");
    log.AddLine("job", "ipercent=50");
    const std::string text = log.Text();
    EXPECT_EQ(text.find("mencoder"), std::string::npos);
    EXPECT_EQ(text.rfind("(1 earlier entries left out)\n", 0), 0u);
    EXPECT_NE(text.find(std::string(150, 'y') + "\n["), std::string::npos);
    EXPECT_NE(text.find("] job: ipercent=50\n"), std::string::npos);
    EXPECT_EQ(log.RunCount(), 2);
}

}  // namespace
