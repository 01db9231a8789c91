// tobrin, the conversion host, run as the program runs it: from a program
// folder of its own (with libkorvan.so beside it), without arguments, the
// job file beside it.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/child_process.h"
#include "platform/host_process.h"
#include "platform/private_profile.h"
#include "tests/support/process_checks.h"
#include "tests/support/real_video.h"
#include "tests/support/run_program.h"
#include "tests/support/small_disk.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class TobrinTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(export_);
        for (const char* name : {"tobrin", "libkorvan.so", "libzarvo_messages.so"}) {
            fs::copy_file(std::string(ZARVO_PROGRAM_FOLDER) + name, program_ / name);
        }
        test::WriteFile(program_ / "zarvo.ini", "[common]\nexportfolder=" + export_ + "\n");
        setenv("XDG_CONFIG_HOME", (program_ / "config").c_str(), 1);
        // No display: the library's messages go to standard error.
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
    }

    void WriteJob(const std::string& input, int mediaType = 1) {
        test::WriteFile(program_ / "Tobrin.ini",
                        "[infiles]\ndvdmode=0\nnumber=1\nfile000=" + input +
                            "\n[outformat]\ntempavifilename=" + export_ +
                            "tempvideofile.mpg\nmerge=1\nmediatype=" + std::to_string(mediaType) +
                            "\n"
                            "[common]\ncanceltbr=0\nstrtip=\niErrorCode=0\nipercent=0\nstime=0\n"
                            "etime=0\noperationid=1\n");
    }
    std::string Read(const std::string& key, const std::string& section = "common") const {
        return platform::GetPrivateProfileString(section, key, "<absent>", 4096,
                                                 program_ / "Tobrin.ini");
    }
    std::string Clip(const std::string& name, double seconds, const std::string& size = "160x120") {
        const std::string path = clips_ / name;
        EXPECT_TRUE(test::MakeRealVideoClip(path, seconds, size));
        return path;
    }
    // Runs tobrin in the program folder, as the program starts it.
    test::ProgramRun RunHost() {
        const std::string before = fs::current_path();
        fs::current_path(program_.Folder());
        test::ProgramRun run = test::RunProgram({program_ / "tobrin"});
        fs::current_path(before);
        return run;
    }

    // An X server of the test's own, named by DISPLAY.
    void StartDisplay(platform::ChildProcess& server, int& display) {
        display = 60;
        while (display < 100 && fs::exists("/tmp/.X11-unix/X" + std::to_string(display))) {
            ++display;
        }
        ASSERT_EQ(
            server.Start("Xvfb :" + std::to_string(display) + " -nolisten tcp -screen 0 640x480x24",
                         ""),
            platform::StartResult::kStarted);
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
        for (int i = 0; i < 200 && !fs::exists(socket); ++i) std::this_thread::sleep_for(25ms);
        ASSERT_TRUE(fs::exists(socket));
        setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
        unsetenv("QT_QPA_PLATFORM");
    }
    // How much the screen's pixels differ: 0 when nothing is drawn.
    double ScreenSpread(int display) const {
        const std::string shot = program_ / "screen.png";
        test::RunTool("import -display :" + std::to_string(display) + " -window root " +
                      test::Quoted(shot));
        return std::atof(test::RunTool("convert " + test::Quoted(shot) +
                                       " -format %[fx:standard_deviation] info:")
                             .c_str());
    }

    // The job's result code for an output that could not be written.
    static constexpr int kOutputFailed = 6;
    void ExpectFailedWithNothingLeft(const platform::ChildExit& exit) {
        EXPECT_EQ(exit.how, platform::ChildExit::How::kExited);
        EXPECT_EQ(exit.code, kOutputFailed);
        EXPECT_EQ(Read("iErrorCode"), std::to_string(kOutputFailed));
        EXPECT_EQ(Read("ipercent"), "-1");
        EXPECT_EQ(Read("tempavifilename", "outformat"), "");
        EXPECT_EQ(test::FileNamesIn(export_, "tmpmd"), std::vector<std::string>());
        EXPECT_EQ(test::FileNamesIn(export_ + "tmpmd"), std::vector<std::string>());
    }
    // Runs the job to its end (at most three minutes).
    platform::ChildExit RunToEnd(platform::HostProcess& host) {
        const auto deadline = std::chrono::steady_clock::now() + 180s;
        while (host.Running() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(50ms);
        }
        return host.Stop(0ms);
    }

    test::TempDir program_{"program ü"};
    test::TempDir clips_{"clips ü"};
    std::string export_ = program_ / "export folder/";
};

TEST_F(TobrinTest, RunsTheJobBesideItAndExitsWithItsResult) {
    WriteJob(Clip("clip.rm", 2));
    const test::ProgramRun run = RunHost();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Read("ipercent"), "-1");
    EXPECT_EQ(Read("iErrorCode"), "0");
    EXPECT_EQ(test::DecodeErrors(export_ + "tempvideofile.mpg"), "");
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "tempvideofile.mpg").durationSeconds, 2, 0.5);
}

TEST_F(TobrinTest, TheLibraryExportsExactlyItsEntryPoints) {
    const std::string symbols =
        test::RunTool("nm -D --defined-only " + test::Quoted(program_ / "libkorvan.so"));
    std::vector<std::string> exported;
    std::istringstream lines(symbols);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string address, type, name;
        fields >> address >> type >> name;
        if (!name.empty()) exported.push_back(name);
    }
    std::sort(exported.begin(), exported.end());
    EXPECT_EQ(exported,
              (std::vector<std::string>{"CancelConverting", "ConvertRM2AVI", "EndConvertingDialog",
                                        "GetConvertingTip", "bIsRMFile"}));
}

TEST_F(TobrinTest, WithoutADisplayTheLibrarysMessagesGoToStandardError) {
    const std::string input = Clip("engine only.rm", 1);
    test::WriteFile(program_ / "zarvo.ini",
                    "[common]\nexportfolder=" + export_ + "\n[korvan]\nrealmediareader=0\n");
    WriteJob(input);
    const test::ProgramRun run = RunHost();
    EXPECT_EQ(run.exitCode, 1);
    // The program folder has no RealMedia engine.
    EXPECT_NE(run.err.find("Failed to load the pnen3260.dll library.\n"), std::string::npos)
        << run.err;
    EXPECT_EQ(Read("iErrorCode"), "1");
}

// With a display the host opens a real message box and waits for it to be
// closed.
TEST_F(TobrinTest, WithADisplayTheLibrarysMessagesAreBoxesThatWaitForTheUser) {
    platform::ChildProcess server;
    int display = 0;
    ASSERT_NO_FATAL_FAILURE(StartDisplay(server, display));

    test::WriteFile(program_ / "zarvo.ini",
                    "[common]\nexportfolder=" + export_ + "\n[korvan]\nrealmediareader=0\n");
    WriteJob(Clip("engine only.rm", 1));
    platform::HostProcess host;
    ASSERT_TRUE(host.Start(program_ / "tobrin", program_.Folder()));
    std::this_thread::sleep_for(3s);
    // The box is up: the host waits, and the job has not gone on.
    EXPECT_TRUE(host.Running());
    EXPECT_EQ(Read("ipercent"), "0");
    EXPECT_GT(ScreenSpread(display), 0.01) << "nothing drawn on the screen";
    host.Stop(0ms);
    server.Interrupt();
    server.Finish(2s);
    unsetenv("DISPLAY");
}

// Without a display nobody is asked for the AVI compressor: the default is
// used, nothing is kept, and the host's output says so.
TEST_F(TobrinTest, WithoutADisplayTheAviCompressorIsTheDefaultAndSaid) {
    const std::string input = clips_ / "to avi.mp4";
    ASSERT_TRUE(test::MakeClip(input, 1, "-c:v mpeg4 -c:a aac", "160x120"));
    WriteJob(input, 0);
    const test::ProgramRun run = RunHost();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Nobody to ask for the AVI compressor: the default, MPEG-4 Part 2 "
                           "(Xvid compatible), is used"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(test::ProbeWithFfprobe(Read("tempavifilename", "outformat")).videoCodec, "mpeg4");
    EXPECT_FALSE(fs::exists(program_ / "avicode.dat"));
}

// With a display the compressor is asked for in a dialog that waits for the
// user before the AVI's first picture is written.
TEST_F(TobrinTest, WithADisplayTheAviCompressorIsAskedInADialog) {
    platform::ChildProcess server;
    int display = 0;
    ASSERT_NO_FATAL_FAILURE(StartDisplay(server, display));

    const std::string input = clips_ / "to avi.mp4";
    ASSERT_TRUE(test::MakeClip(input, 1, "-c:v mpeg4 -c:a aac", "160x120"));
    WriteJob(input, 0);
    platform::HostProcess host;
    ASSERT_TRUE(host.Start(program_ / "tobrin", program_.Folder()));
    std::this_thread::sleep_for(4s);
    // The dialog is up: the host waits, nothing is chosen or kept yet.
    EXPECT_TRUE(host.Running());
    EXPECT_NE(Read("ipercent"), "-1");
    EXPECT_FALSE(fs::exists(program_ / "avicode.dat"));
    EXPECT_GT(ScreenSpread(display), 0.01) << "nothing drawn on the screen";
    host.Stop(0ms);
    server.Interrupt();
    server.Finish(2s);
    unsetenv("DISPLAY");
}

TEST_F(TobrinTest, AMissingLibraryIsReportedAndNoJobRuns) {
    fs::remove(program_ / "libkorvan.so");
    WriteJob(Clip("clip.rm", 1));
    const test::ProgramRun run = RunHost();
    EXPECT_EQ(run.exitCode, 100);
    EXPECT_NE(run.err.find("libkorvan.so"), std::string::npos);
    EXPECT_EQ(Read("ipercent"), "0");
}

TEST_F(TobrinTest, TheStopRequestEndsTheHostWithinTwoSeconds) {
    WriteJob(Clip("long.rm", 120, "320x240"));
    platform::HostProcess host;
    ASSERT_TRUE(host.Start(program_ / "tobrin", program_.Folder()));
    // Once the encode is under way.
    for (int i = 0; i < 300 && Read("ipercent") == "0"; ++i) std::this_thread::sleep_for(50ms);
    ASSERT_NE(Read("ipercent"), "0");
    ASSERT_TRUE(
        platform::WritePrivateProfileString("common", "canceltbr", "1", program_ / "Tobrin.ini"));
    const auto stopped = std::chrono::steady_clock::now();
    while (host.Running() && std::chrono::steady_clock::now() - stopped < 5s) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 2s);
    const platform::ChildExit exit = host.Stop(0ms);
    EXPECT_EQ(exit.how, platform::ChildExit::How::kExited);
    EXPECT_EQ(Read("ipercent"), "-1");
    // Nothing of the job is left in the export folder.
    EXPECT_EQ(test::FileNamesIn(export_, "tmpmd"), std::vector<std::string>());
}

// The host killed outright while its audio converter runs ffmpeg: both go
// with it. The converter's encoder is caught and frozen first, so that it
// cannot end by itself before the host is killed.
TEST_F(TobrinTest, KilledItTakesTheAudioConverterAndItsEncoderWithIt) {
    // Orphans become this test's children, where the check after every test
    // sees them.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    fs::copy_file(std::string(ZARVO_PROGRAM_FOLDER) + "merrow", program_ / "merrow");
    // Two minutes of sound keep ffmpeg busy for a moment; tiny pictures keep
    // the intermediate AVI small.
    WriteJob(Clip("long song.rm", 120, "32x32"), 6);
    platform::HostProcess host;
    ASSERT_TRUE(host.Start(program_ / "tobrin", program_.Folder()));

    pid_t converter = 0;
    pid_t encoder = 0;
    const auto deadline = std::chrono::steady_clock::now() + 180s;
    while (encoder == 0 && host.Running() && std::chrono::steady_clock::now() < deadline) {
        for (const test::ChildProcessEntry& child : test::ChildProcessEntries(host.Pid())) {
            for (const test::ChildProcessEntry& tool : test::ChildProcessEntries(child.pid)) {
                if (tool.commandLine.starts_with("ffmpeg ") && kill(tool.pid, SIGSTOP) == 0) {
                    converter = child.pid;
                    encoder = tool.pid;
                }
            }
        }
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_GT(encoder, 0) << "the audio converter's ffmpeg never ran";
    EXPECT_NE(test::ProcessCommandLine(converter).find("merrow"), std::string::npos);

    ASSERT_EQ(kill(host.Pid(), SIGKILL), 0);
    EXPECT_EQ(host.Stop(5s).how, platform::ChildExit::How::kSignalled);
    EXPECT_TRUE(test::EndsWithin(converter, 5s)) << "merrow outlived the host";
    EXPECT_TRUE(test::EndsWithin(encoder, 5s)) << "ffmpeg outlived merrow";
}

// The library writing onto a full disk: the job fails with its own result
// code, the end mark is written, no result is named, and nothing of the job
// is left behind.
class TobrinFaultTest : public TobrinTest, public ::testing::WithParamInterface<test::DiskKind> {};

TEST_P(TobrinFaultTest, AFullDiskFailsTheJob) {
    const std::string input = Clip("clip.rm", 4);
    const std::string before = test::ReadFile(input);
    fs::create_directories(export_);
    const test::SmallDisk disk(export_, 256 << 10, GetParam());
    if (!disk.Ready()) GTEST_SKIP() << "this process may not mount a tmpfs";
    WriteJob(input);
    platform::HostProcess host;
    ASSERT_TRUE(host.Start(program_ / "tobrin", program_.Folder()));
    ExpectFailedWithNothingLeft(RunToEnd(host));
    EXPECT_TRUE(test::ReadFile(input) == before);
}

INSTANTIATE_TEST_SUITE_P(Disks, TobrinFaultTest,
                         ::testing::Values(test::DiskKind::kTmpfs, test::DiskKind::kPreloaded),
                         [](const ::testing::TestParamInfo<test::DiskKind>& info) {
                             return std::string(test::DiskKindName(info.param));
                         });

// The same for an export folder removed while the library writes into it.
TEST_F(TobrinTest, AnExportFolderRemovedMidJobFailsIt) {
    const std::string input = Clip("long.rm", 60);
    WriteJob(input);
    platform::HostProcess host;
    ASSERT_TRUE(host.Start(program_ / "tobrin", program_.Folder()));
    for (int i = 0; i < 1200 && Read("ipercent") == "0"; ++i) std::this_thread::sleep_for(50ms);
    ASSERT_NE(Read("ipercent"), "0");
    fs::remove_all(export_);
    ExpectFailedWithNothingLeft(RunToEnd(host));
    EXPECT_TRUE(fs::exists(input));
}

}  // namespace
