// ToolRunner with the installed ffmpeg and mencoder on clips made for each
// test, in folders whose names hold blanks and letters outside ASCII.
#include "app/tools/tool_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"
#include "platform/temp_folder.h"
#include "tests/support/media_tools.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/process_checks.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class RecordingTarget : public CommandTarget {
public:
    void PostCommand(unsigned message, unsigned wParam, std::intptr_t lParam) override {
        EXPECT_EQ(message, kCommandMessage);
        EXPECT_EQ(wParam, kProgressNotification);
        values.push_back(lParam);
    }
    std::vector<std::intptr_t> values;
};

class RecordingUi : public ProgramUi {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + "|" + text);
    }
    bool AskYesNo(const std::string& question) override {
        ADD_FAILURE() << "question: " << question;
        return false;
    }
    void DispatchPendingMessages() override {
        ++dispatches;
        if (onDispatch) onDispatch();
    }
    std::vector<std::string> messages;
    int dispatches = 0;
    std::function<void()> onDispatch;
};

// Every test checks that the run left no descriptor, no child process and no
// temporary name behind.
class ToolRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(platform::TempFolder().empty());
        descriptorsBefore_ = test::OpenDescriptors();
    }
    void TearDown() override {
        EXPECT_EQ(test::OpenDescriptors(), descriptorsBefore_);
        EXPECT_FALSE(test::HasChildProcess());
        EXPECT_TRUE(fs::is_empty(platform::TempFolder()));
    }

    std::string Clip(const std::string& name, double seconds = 2,
                     const std::string& options = "-c:v mpeg4 -c:a mp2") {
        const std::string path = dir_ / name;
        EXPECT_TRUE(test::MakeClip(path, seconds, options));
        return path;
    }

    test::TempDir dir_{"runner test ü"};
    RecordingUi ui_;
    test::RunSession session_{ui_};
    RunContext& context_ = session_.context;
    RecordingTarget target_;

private:
    std::set<int> descriptorsBefore_;
};

TEST_F(ToolRunnerTest, ProbeGivesDurationCodecsAndStreamIndexes) {
    const std::string clip = Clip("My Clip é.avi");
    ToolRunner probe(context_, clip, "", nullptr);
    EXPECT_TRUE(probe.Success());
    EXPECT_NEAR(probe.Duration(), 2.0, 0.1);
    EXPECT_EQ(probe.Media().videoCodec, "mpeg4");
    EXPECT_EQ(probe.Media().audioCodec, "mp2");
    EXPECT_EQ(probe.Media().videoStreamIndex, 0);
    EXPECT_EQ(probe.Media().audioStreamIndex, 1);
    EXPECT_TRUE(probe.Media().streamInfoComplete);
    // The blank made the tool see the stand-in name.
    EXPECT_EQ(probe.Media().inputName, platform::TempFolder() + kInputStandInName);
    EXPECT_TRUE(ui_.messages.empty());

    // Without a blank the path goes to the tool as it is, letters and all.
    // (The test program's own temporary folder has no blank in its path.)
    const std::string plainFolder = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/clips_ü";
    fs::create_directory(plainFolder);
    const std::string plainClip = plainFolder + "/clip_ñ.avi";
    ASSERT_TRUE(test::MakeClip(plainClip, 1, "-c:v mpeg4 -c:a mp2"));
    ToolRunner plainProbe(context_, plainClip, "", nullptr);
    fs::remove_all(plainFolder);
    EXPECT_EQ(plainProbe.Media().inputName, plainClip);
    EXPECT_NEAR(plainProbe.Duration(), 1.0, 0.1);
}

TEST_F(ToolRunnerTest, ProbeOfAVobListsBothAc3TracksAndHonoursThePreferredId) {
    const std::string vob = dir_ / "two tracks.vob";
    int exitCode = -1;
    test::RunTool(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=352x288:duration=2 "
        "-f lavfi -i sine=frequency=440:duration=2 -f lavfi -i "
        "sine=frequency=880:duration=2 -map 0 -map 1 -map 2 -c:v mpeg2video -c:a ac3 "
        "-ar 48000 -f vob " +
            test::Quoted(vob),
        &exitCode);
    ASSERT_EQ(exitCode, 0);

    ToolRunner first(context_, vob, "", nullptr);
    ASSERT_EQ(first.Media().audioStreamLines.size(), 2u);
    EXPECT_EQ(first.Media().audioStreamLines[0].rfind("Stream #0:1[0x80]: Audio: ac3", 0), 0u);
    EXPECT_EQ(first.Media().audioStreamLines[1].rfind("Stream #0:2[0x81]: Audio: ac3", 0), 0u);
    EXPECT_EQ(first.Media().videoCodec, "mpeg2video");
    EXPECT_EQ(first.Media().audioStreamIndex, 1);

    ToolRunner second(context_, vob, "0x81", nullptr);
    EXPECT_EQ(second.Media().audioStreamIndex, 2);
    EXPECT_EQ(second.Media().audioCodec, "ac3");
}

TEST_F(ToolRunnerTest, ConvertingReportsRisingProgressEndingNear100) {
    const std::string clip = Clip("source clip.avi", 3);
    const std::string output = dir_ / "Out put ö.mp4";
    // As the conversion queue does: probe, then convert with the same runner,
    // so the probe's duration drives the progress. "-re" makes ffmpeg take
    // real time, so several progress lines appear.
    ToolRunner runner(context_, clip, "", nullptr);
    runner.SetNotify(&target_, kCommandMessage, kProgressNotification);
    runner.SetCommandPrefix("ffmpeg -y -re -i ");
    EXPECT_EQ(runner.Run(clip, " -vcodec mpeg4 -acodec aac -f mp4 ", output), 0);

    ASSERT_GE(target_.values.size(), 3u);
    for (std::intptr_t value : target_.values) {
        EXPECT_GE(value, 1);
        EXPECT_LE(value, 100);
    }
    EXPECT_TRUE(std::is_sorted(target_.values.begin(), target_.values.end()));
    EXPECT_GE(target_.values.back(), 95);
    EXPECT_GT(ui_.dispatches, 0);
    EXPECT_EQ(context_.clock.totalSeconds, 3);

    const test::ProbedFile converted = test::ProbeWithFfprobe(output);
    EXPECT_EQ(converted.videoCodec, "mpeg4");
    EXPECT_EQ(converted.audioCodec, "aac");
    EXPECT_NEAR(converted.durationSeconds, 3.0, 0.2);
}

TEST_F(ToolRunnerTest, AStopEndsTheToolWithinASecondAndItStillFinishesItsFile) {
    const std::string clip = Clip("long clip.avi", 20, "-c:v mpeg4 -c:a mp2 -s 160x120");
    const std::string output = dir_ / "stopped.mp4";
    ToolRunner runner(context_, clip, "", nullptr);
    runner.SetNotify(&target_, kCommandMessage, kProgressNotification);
    runner.SetCommandPrefix("ffmpeg -y -re -i ");
    // The stop command arrives with the messages dispatched once the
    // conversion shows progress.
    std::chrono::steady_clock::time_point stopAt;
    ui_.onDispatch = [&] {
        if (!target_.values.empty() && !context_.cancelRequested) {
            context_.cancelRequested = true;
            stopAt = std::chrono::steady_clock::now();
        }
    };
    EXPECT_EQ(runner.Run(clip, " -vcodec mpeg4 -acodec aac -f mp4 ", output), 0);
    const auto stoppedAfter = std::chrono::steady_clock::now() - stopAt;

    EXPECT_TRUE(context_.cancelRequested);
    EXPECT_LT(stoppedAfter, 1s);
    RecordProperty("stop_ms", static_cast<int>(stoppedAfter / 1ms));
    const test::ProbedFile partial = test::ProbeWithFfprobe(output);
    EXPECT_EQ(partial.videoCodec, "mpeg4");
    EXPECT_GT(partial.durationSeconds, 0);
    EXPECT_LT(partial.durationSeconds, 10);
    // A new runner clears the stop request.
    ToolRunner next(context_, FfmpegOutput);
    EXPECT_FALSE(context_.cancelRequested);
}

TEST_F(ToolRunnerTest, AStoppedMencoderGetsCtrlC) {
    // A stand-in for mencoder that prints positions until it is interrupted.
    ToolRunner runner(context_, PositionOutput);
    runner.SetNotify(&target_, kCommandMessage, kProgressNotification);
    runner.SetDuration(10);
    runner.SetStreamInfoComplete(true);
    runner.SetCommandPrefix(
        "sh -c \"trap 'exit 0' INT; while :; do echo 'Pos:   1.0s     25f'; sleep 0.1; done\"");
    ui_.onDispatch = [&] {
        if (!target_.values.empty()) context_.cancelRequested = true;
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runner.Run("", "", ""), 0);
    // Well inside the grace period: the tool ended on the interrupt.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 600ms);
    EXPECT_EQ(target_.values, std::vector<std::intptr_t>{10});
    EXPECT_TRUE(runner.Success());
}

TEST_F(ToolRunnerTest, MencoderProgressFollowsTheProbedDuration) {
    const std::string clip = Clip("repair me.avi", 2);
    ToolRunner probe(context_, clip, "", nullptr);
    const std::string repaired = dir_ / "men_video.tmp";
    ToolRunner runner(context_, PositionOutput);
    runner.SetNotify(&target_, kCommandMessage, kProgressNotification);
    runner.SetDuration(probe.Duration());
    runner.SetStreamInfoComplete(true);
    // Paths are quoted here so that the blanks survive; the program's own
    // command lines avoid blanks instead.
    runner.SetCommandPrefix("mencoder -ovc lavc -oac pcm -o " + test::Quoted(repaired) + " " +
                            test::Quoted(clip));
    EXPECT_EQ(runner.Run("", "", ""), 0);
    EXPECT_TRUE(runner.Success());
    ASSERT_FALSE(target_.values.empty());
    EXPECT_TRUE(std::is_sorted(target_.values.begin(), target_.values.end()));
    EXPECT_GE(target_.values.back(), 95);
    EXPECT_EQ(test::ProbeWithFfprobe(repaired).audioCodec, "pcm_s16le");
}

TEST_F(ToolRunnerTest, AnInputWithoutSoundKeepsTheWindowLive) {
    const std::string clip = dir_ / "silent clip.avi";
    int exitCode = -1;
    test::RunTool(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=160x120:duration=2 "
        "-c:v mpeg4 " +
            test::Quoted(clip),
        &exitCode);
    ASSERT_EQ(exitCode, 0);
    ToolRunner runner(context_, clip, "", nullptr);
    EXPECT_FALSE(runner.Media().streamInfoComplete);
    ui_.dispatches = 0;
    runner.SetNotify(&target_, kCommandMessage, kProgressNotification);
    runner.SetCommandPrefix("ffmpeg -y -re -i ");
    runner.Run(clip, " -vcodec mpeg4 -f avi ", dir_ / "silent out.avi");
    EXPECT_GT(ui_.dispatches, 0);
    EXPECT_FALSE(target_.values.empty());
}

TEST_F(ToolRunnerTest, AToolThatCannotBeFoundGivesCreateProcessFailed) {
    const std::string clip = Clip("a clip.avi", 1);
    ToolRunner runner(context_, FfmpegOutput);
    runner.SetNotify(&target_, kCommandMessage, kProgressNotification);
    runner.SetCommandPrefix("zarvo-no-such-tool -y -i ");
    EXPECT_EQ(runner.Run(clip, " -f mp4 ", dir_ / "never written.mp4"), -1);
    EXPECT_EQ(ui_.messages, std::vector<std::string>{"|create process failed"});
    EXPECT_TRUE(target_.values.empty());
    EXPECT_FALSE(fs::exists(dir_ / "never written.mp4"));
}

TEST_F(ToolRunnerTest, PipesThatCannotBeMadeShowTheirMessages) {
#ifdef ZARVO_VPTR_CHECKED
    // UBSan checks the object of a virtual call by copying its memory
    // through a pipe of its own; under the lowered descriptor limit that
    // pipe fails as well, and the UI that shows the message is reported as
    // an invalid object.
    GTEST_SKIP() << "UBSan needs descriptors of its own for its virtual call checks";
#endif
    ToolRunner runner(context_, FfmpegOutput);
    runner.SetNotify(&target_, kCommandMessage, kProgressNotification);
    {
        test::DescriptorLimit limit(1);
        EXPECT_EQ(runner.Run("x", "", ""), -1);
    }
    {
        test::DescriptorLimit limit(3);
        EXPECT_EQ(runner.Run("x", "", ""), -1);
    }
    EXPECT_EQ(ui_.messages, (std::vector<std::string>{"|Create   STDOUT   pipe   failed",
                                                      "|Create   STDIN   pipe   failed"}));
    EXPECT_TRUE(target_.values.empty());
}

TEST_F(ToolRunnerTest, AFileTheToolCannotReadGivesTheFailureNotification) {
    const std::string garbage = dir_ / "not a video.avi";
    std::string noise(5000, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7919 % 251);
    test::WriteFile(garbage, noise);

    ToolRunner probe(context_, garbage, "", nullptr);
    EXPECT_FALSE(probe.Success());
    EXPECT_EQ(probe.Duration(), 0);

    for (const std::string& input : {garbage, dir_ / "missing.avi"}) {
        ToolRunner runner(context_, FfmpegOutput);
        RecordingTarget target;
        runner.SetNotify(&target, kCommandMessage, kProgressNotification);
        EXPECT_EQ(runner.Run(input, " -vcodec mpeg4 -f mp4 ", dir_ / "out.mp4"), 0);
        EXPECT_FALSE(runner.Success());
        EXPECT_EQ(target.values, std::vector<std::intptr_t>{kProgressToolFailed}) << input;
    }
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(ToolRunnerTest, AToolThatEndsBadlyOrIsKilledHasFailed) {
    ToolRunner quiet(context_, FfmpegOutput);
    quiet.SetNotify(&target_, kCommandMessage, kProgressNotification);
    quiet.SetCommandPrefix("true");
    EXPECT_EQ(quiet.Run("", "", ""), 0);
    EXPECT_TRUE(quiet.Success());
    EXPECT_TRUE(target_.values.empty());

    for (const char* command : {"false", "sh -c \"kill -KILL $$\""}) {
        ToolRunner failing(context_, FfmpegOutput);
        RecordingTarget target;
        failing.SetNotify(&target, kCommandMessage, kProgressNotification);
        failing.SetCommandPrefix(command);
        EXPECT_EQ(failing.Run("", "", ""), 0);
        EXPECT_EQ(target.values, std::vector<std::intptr_t>{kProgressToolFailed}) << command;
    }
}

TEST_F(ToolRunnerTest, TheOutputStandInNeverWritesThroughAnOldLink) {
    // A link left under the output stand-in's name must not lead the tool
    // into another file.
    const std::string precious = dir_ / "precious.avi";
    test::WriteFile(precious, "keep");
    const std::string standIn = platform::TempFolder() + kOutputStandInName;
    fs::create_symlink(precious, standIn);

    const std::string clip = Clip("in put.avi", 1);
    const std::string output = dir_ / "real output.avi";
    ToolRunner runner(context_, FfmpegOutput);
    runner.SetNotify(&target_, kCommandMessage, kProgressNotification);
    EXPECT_EQ(runner.Run(clip, " -vcodec mpeg4 -f avi ", output), 0);
    EXPECT_EQ(test::ReadFile(precious), "keep");
    EXPECT_EQ(test::ProbeWithFfprobe(output).formatName, "avi");
    EXPECT_TRUE(std::find(target_.values.begin(), target_.values.end(), kProgressToolFailed) ==
                target_.values.end());
}

}  // namespace
