#include "app/shell/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

class RecordingView : public StartupView {
public:
    void ShowSplash() override { events.push_back("show"); }
    void SetSplashProgress(int percent) override {
        events.push_back("progress " + std::to_string(percent));
    }
    void Pause(int milliseconds) override {
        events.push_back("pause " + std::to_string(milliseconds));
    }
    void CloseSplash() override { events.push_back("close"); }
    void ShowMessage(const std::string& text) override { events.push_back("message " + text); }

    std::vector<std::string> events;
};

// Runs with PATH holding only an empty folder, so the program folder is the
// only place a tool can be found.
class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        setenv("PATH", emptyFolder_.Folder().c_str(), 1);
    }
    void TearDown() override { setenv("PATH", savedPath_.c_str(), 1); }

    void InstallTool(const std::string& name) {
        test::WriteFile(programFolder_ / name, "#!/bin/sh\n");
        chmod((programFolder_ / name).c_str(), 0755);
    }

    test::TempDir programFolder_{"program folder"};
    test::TempDir emptyFolder_{"empty"};
    std::string savedPath_;
};

TEST_F(StartupTest, AllToolsFoundShowsProgressAndWaitsWithTheSplash) {
    InstallTool("ffmpeg");
    InstallTool("mencoder");
    InstallTool("mplayer");
    RecordingView view;
    EXPECT_EQ(CheckRequiredTools(programFolder_.Folder(), view), 0);
    EXPECT_EQ(view.events, (std::vector<std::string>{"show", "progress 0", "progress 33",
                                                     "progress 66", "pause 2000", "close"}));
}

TEST_F(StartupTest, SecondToolMissingIsReportedOnceWithoutTheWait) {
    InstallTool("ffmpeg");
    InstallTool("mplayer");
    RecordingView view;
    EXPECT_EQ(CheckRequiredTools(programFolder_.Folder(), view), 1);
    EXPECT_EQ(view.events, (std::vector<std::string>{"show", "progress 0", "close",
                                                     "message Can't register the ActiveX - " +
                                                         programFolder_.Folder() + "mencoder"}));
}

TEST_F(StartupTest, ToolsOnThePathCount) {
    test::WriteFile(emptyFolder_ / "ffmpeg", "#!/bin/sh\n");
    chmod((emptyFolder_ / "ffmpeg").c_str(), 0755);
    RecordingView view;
    EXPECT_EQ(CheckRequiredTools(programFolder_.Folder(), view), 1);
    EXPECT_EQ(view.events.back(),
              "message Can't register the ActiveX - " + programFolder_.Folder() + "mencoder");
}

}  // namespace
