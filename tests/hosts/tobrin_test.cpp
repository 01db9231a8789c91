// tobrin, the conversion host, run as the program runs it: from a program
// folder of its own (with libkorvan.so beside it), without arguments, the
// job file beside it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/child_process.h"
#include "platform/host_process.h"
#include "platform/private_profile.h"
#include "tests/support/real_video.h"
#include "tests/support/run_program.h"
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

    void WriteJob(const std::string& input) {
        test::WriteFile(program_ / "Tobrin.ini",
                        "[infiles]\ndvdmode=0\nnumber=1\nfile000=" + input +
                            "\n[outformat]\ntempavifilename=" + export_ +
                            "tempvideofile.mpg\nmerge=1\nmediatype=1\n"
                            "[common]\ncanceltbr=0\nstrtip=\niErrorCode=0\nipercent=0\nstime=0\n"
                            "etime=0\noperationid=1\n");
    }
    std::string Read(const std::string& key) const {
        return platform::GetPrivateProfileString("common", key, "<absent>", 4096,
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
    EXPECT_NE(run.err.find("The RealMedia engine is not available, so " + input +
                           " cannot be converted."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Read("iErrorCode"), "1");
}

// An X server of the test's own: the host opens a real message box there
// and waits for it to be closed.
TEST_F(TobrinTest, WithADisplayTheLibrarysMessagesAreBoxesThatWaitForTheUser) {
    int display = 60;
    while (display < 100 && fs::exists("/tmp/.X11-unix/X" + std::to_string(display))) ++display;
    platform::ChildProcess server;
    ASSERT_EQ(server.Start(
                  "Xvfb :" + std::to_string(display) + " -nolisten tcp -screen 0 640x480x24", ""),
              platform::StartResult::kStarted);
    const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
    for (int i = 0; i < 200 && !fs::exists(socket); ++i) std::this_thread::sleep_for(25ms);
    ASSERT_TRUE(fs::exists(socket));
    setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    unsetenv("QT_QPA_PLATFORM");

    test::WriteFile(program_ / "zarvo.ini",
                    "[common]\nexportfolder=" + export_ + "\n[korvan]\nrealmediareader=0\n");
    WriteJob(Clip("engine only.rm", 1));
    platform::HostProcess host;
    ASSERT_TRUE(host.Start(program_ / "tobrin", program_.Folder()));
    std::this_thread::sleep_for(3s);
    // The box is up: the host waits, and the job has not gone on.
    EXPECT_TRUE(host.Running());
    EXPECT_EQ(Read("ipercent"), "0");
    const std::string shot = program_ / "screen.png";
    test::RunTool("import -display :" + std::to_string(display) + " -window root " +
                  test::Quoted(shot));
    const double spread = std::atof(
        test::RunTool("convert " + test::Quoted(shot) + " -format %[fx:standard_deviation] info:")
            .c_str());
    EXPECT_GT(spread, 0.01) << "nothing drawn on the screen";
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

}  // namespace
