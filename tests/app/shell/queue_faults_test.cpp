// The conversion queue on the real ffmpeg and mencoder, driven through the
// main window's model as the program drives it, with what goes wrong on a
// real machine brought about on purpose: a disk that fills up while a tool
// writes, a converted piece that is damaged before it is joined, a stop that
// arrives together with another command.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <deque>
#include <filesystem>
#include <functional>

#include "app/run/runner_queue_tools.h"
#include "app/tools/program_ui.h"
#include "app/window/main_window_commands.h"
#include "app/window/main_window_model.h"
#include "tests/app/shell/main_window_fakes.h"
#include "tests/support/media_tools.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

constexpr const char* kCompleted = "All converting works are Completed!";

// The window's message queue: tools post their notifications, and
// dispatching hands them to the model, as the Qt window does.
class MessageQueue : public CommandTarget, public ProgramUi {
public:
    void PostCommand(unsigned, unsigned, std::intptr_t value) override { posted_.push_back(value); }
    void ShowMessage(const std::string& text, const std::string&) override {
        messages.push_back(text);
    }
    bool AskYesNo(const std::string& question) override {
        messages.push_back(question);
        return false;
    }
    void DispatchPendingMessages() override {
        while (!posted_.empty()) {
            const std::intptr_t value = posted_.front();
            posted_.pop_front();
            if (model) model->OnProgressNotification(static_cast<int>(value));
        }
        if (onDispatch) onDispatch();
    }

    MainWindowModel* model = nullptr;
    std::function<void()> onDispatch;
    Paths messages;

private:
    std::deque<std::intptr_t> posted_;
};

// Files a tool writes may grow to `bytes` and no further, as on a disk that
// is full: the tool is ended by the system when it writes past that.
class DiskLimit {
public:
    explicit DiskLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        // This process only waits while the tool runs; should it write, it
        // gets an error rather than the signal.
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, previous_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~DiskLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    DiskLimit(const DiskLimit&) = delete;
    DiskLimit& operator=(const DiskLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

constexpr rlim_t kFullDiskBytes = 16 * 1024;

// The real tools, with faults on request, recording what they were asked.
class FaultyTools : public QueueTools {
public:
    FaultyTools(RunContext& context, CommandTarget* target) : real_(context, target) {}

    MediaInfo Probe(const std::string& file) override { return real_.Probe(file); }
    bool RepairAudio(const std::string& input, const std::string& output,
                     double durationSeconds) override {
        return real_.RepairAudio(input, output, durationSeconds);
    }
    bool ConvertFile(const EncoderProfile& profile, const std::string& input,
                     const std::string& output) override {
        calls.push_back("convert " + fs::path(input).filename().string());
        bool converted = false;
        if (input.ends_with(fullDiskForInput)) {
            DiskLimit full(kFullDiskBytes);
            converted = real_.ConvertFile(profile, input, output);
        } else {
            converted = real_.ConvertFile(profile, input, output);
        }
        if (output.ends_with(damageOutput)) test::WriteFile(output, std::string(8192, 'x'));
        return converted;
    }
    void MakeThumbnail(const std::string& source, const std::string& converted) override {
        real_.MakeThumbnail(source, converted);
    }
    bool JoinFiles(const std::vector<std::string>& pieces, const std::string& output) override {
        calls.push_back("join " + fs::path(output).filename().string());
        if (fullDiskForJoin) {
            DiskLimit full(kFullDiskBytes);
            return real_.JoinFiles(pieces, output);
        }
        return real_.JoinFiles(pieces, output);
    }
    bool ConvertDvdPiece(const EncoderProfile& profile, const std::string& vob,
                         const std::string& audioStreamId, const std::string& output) override {
        calls.push_back("piece " + fs::path(vob).filename().string());
        return real_.ConvertDvdPiece(profile, vob, audioStreamId, output);
    }

    // An input whose conversion meets a full disk ("" for none), an output
    // that is damaged once converted, and a join that meets a full disk.
    std::string fullDiskForInput = "\n";
    std::string damageOutput = "\n";
    bool fullDiskForJoin = false;
    Paths calls;

private:
    RunnerQueueTools real_;
};

class QueueFaultsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const fs::directory_entry& entry : fs::directory_iterator(ZARVO_PROGRAM_FOLDER)) {
            if (entry.path().extension() == ".ini" && entry.path().filename() != "zarvo.ini") {
                fs::copy(entry.path(), program_ / entry.path().filename().string());
            }
        }
        test::WriteFile(program_ / "zarvo.ini", "[common]\nexportfolder=" + export_ + "\n");
        model_.SetView(&view_);
        model_.SetProbe(&tools_);
        model_.SetQueueTools(&tools_);
        messages_.model = &model_;
        model_.Initialise();
    }
    std::string Clip(const std::string& name, double seconds) {
        const std::string path = clips_ / name;
        EXPECT_TRUE(test::MakeClip(path, seconds, "", "160x120")) << path;
        return path;
    }
    void ConvertJoined(const Paths& files) {
        model_.OnCommand(1033);  // AVI
        model_.SelectProfile(3);
        view_.fileReplies.push_back(files);
        model_.OnCommand(kCmdBrowseFiles);
        model_.ToggleMerge();
        model_.OnCommand(kCmdConvert);
    }
    void ExpectGoodClip(const std::string& path, double seconds) const {
        SCOPED_TRACE(path);
        EXPECT_NEAR(test::ProbeWithFfprobe(path).durationSeconds, seconds, 0.5);
    }

    test::TempDir program_{"queue faults ü"};
    test::TempDir clips_{"queue fault clips"};
    std::string export_ = program_ / "export folder/";
    MessageQueue messages_;
    test::RunSession session_{messages_};
    test::FakeView view_;
    MainWindowModel model_{session_.context, program_.Folder()};
    FaultyTools tools_{session_.context, &messages_};
};

TEST_F(QueueFaultsTest, AJoinThatDiesOnAFullDiskKeepsTheSeparateOutputs) {
    tools_.fullDiskForJoin = true;
    ConvertJoined({Clip("a.avi", 1), Clip("b.avi", 2), Clip("c.avi", 1)});
    EXPECT_EQ(model_.StatusTexts()[0], std::string(kCompleted) + " (joining failed)");
    ExpectGoodClip(export_ + "a.avi", 1);
    ExpectGoodClip(export_ + "b.avi", 2);
    ExpectGoodClip(export_ + "c.avi", 1);
    EXPECT_FALSE(fs::exists(export_ + "a_merge.avi"));
}

TEST_F(QueueFaultsTest, APieceMencoderCannotReadKeepsTheSeparateOutputs) {
    tools_.damageOutput = "/b.avi";
    ConvertJoined({Clip("a.avi", 1), Clip("b.avi", 1), Clip("c.avi", 2)});
    EXPECT_EQ(model_.StatusTexts()[0], std::string(kCompleted) + " (joining failed)");
    ExpectGoodClip(export_ + "a.avi", 1);
    EXPECT_EQ(fs::file_size(export_ + "b.avi"), 8192u);
    ExpectGoodClip(export_ + "c.avi", 2);
}

// The separate outputs are given up only for a finished joined one.
TEST_F(QueueFaultsTest, AFinalEncodeThatDiesOnAFullDiskKeepsTheSeparateOutputs) {
    tools_.fullDiskForInput = "/a_merge.avi";
    ConvertJoined({Clip("a.avi", 1), Clip("b.avi", 2)});
    EXPECT_EQ(tools_.calls,
              Paths({"convert a.avi", "convert b.avi", "join a_merge.avi", "convert a_merge.avi"}));
    EXPECT_EQ(model_.StatusTexts()[0], std::string(kCompleted) + " (joining failed)");
    ExpectGoodClip(export_ + "a.avi", 1);
    ExpectGoodClip(export_ + "b.avi", 2);
    EXPECT_FALSE(fs::exists(export_ + "a_merge.avi"));
    EXPECT_FALSE(fs::exists(export_ + ".zarvo-a.avi"));
}

// "Select DVD audio stream" probes the title with a tool run of its own,
// which must not take back a stop pressed just before it.
TEST_F(QueueFaultsTest, StopBeforeTheAudioStreamButtonConvertsNoFurtherVob) {
    const std::string dvd = clips_ / "my dvd/";
    fs::create_directories(dvd + "VIDEO_TS");
    for (const char* name : {"VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_01_3.VOB"}) {
        ASSERT_TRUE(test::MakeClip(dvd + "VIDEO_TS/" + name, 60,
                                   "-c:v mpeg2video -aspect 4:3 -c:a ac3 -ar 48000 -f dvd",
                                   "160x128"));
    }
    model_.OnCommand(1034);  // MPEG
    view_.folderReplies.push_back(dvd);
    model_.OnCommand(kCmdChooseDvd);
    ASSERT_EQ(model_.DvdTitles()[0].size(), 3u);

    bool pressed = false;
    messages_.onDispatch = [&] {
        if (pressed || model_.Progress() == 0) return;
        pressed = true;
        model_.OnCommand(kCmdConvert);
        model_.OnCommand(kCmdSelectAudioStream);
    };
    model_.OnCommand(kCmdConvert);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(tools_.calls, Paths({"piece VTS_01_1.VOB"}));
    EXPECT_FALSE(model_.Converting());
    EXPECT_EQ(model_.StatusTexts()[0], "Conversion stopped: 0 of 1 file converted.");
}

}  // namespace
