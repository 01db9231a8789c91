#include "app/run/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

#include "app/window/main_window_model.h"
#include "tests/support/run_session.h"
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

// An installed program: the shipped profiles are in the program folder, the
// user's files in a folder of their own that the first start fills.
TEST(PrepareUserFilesTest, FirstStartSeedsTheUsersFolderAndLaterStartsKeepIt) {
    test::RunSession session;
    test::TempDir program("program");
    test::TempDir user("user folder");
    test::TempDir home("home ä");
    test::WriteFile(
        program / "AviProfile.ini",
        "[common]\nprofiles=2\n[Profile0]\nName=Shipped A\n[Profile1]\nName=Shipped B\n");
    test::WriteFile(program / "MpegProfile.ini", "[common]\nprofiles=1\n[Profile0]\nName=M\n");

    PrepareUserFiles(program.Folder(), user.Folder(), home.Folder());
    EXPECT_EQ(test::ReadFile(user / "MpegProfile.ini"),
              test::ReadFile(program / "MpegProfile.ini"));
    {
        MainWindowModel model(session.context, program.Folder(), user.Folder());
        model.Initialise();
        EXPECT_EQ(model.ExportFolder(), home / "ZarvoExport/");
        ASSERT_EQ(model.CurrentProfiles().count, 2);
        EXPECT_EQ(model.CurrentProfiles().profiles[1].name, "Shipped B");
    }

    // The user edits a profile and clears the export folder; an upgrade ships
    // a new profile file. The next start keeps what the user has.
    test::WriteFile(user / "AviProfile.ini", "[common]\nprofiles=1\n[Profile0]\nName=Mine\n");
    test::WriteFile(user / "zarvo.ini", "[common]\nvers=9\n");
    test::WriteFile(program / "AviProfile.ini", "[common]\nprofiles=1\n[Profile0]\nName=New\n");
    PrepareUserFiles(program.Folder(), user.Folder(), home.Folder());
    MainWindowModel model(session.context, program.Folder(), user.Folder());
    model.Initialise();
    EXPECT_EQ(model.CurrentProfiles().profiles[0].name, "Mine");
    EXPECT_EQ(model.ExportFolder(), "");
    EXPECT_EQ(model.Title(), "Zarvo Video Converter 3.00");
}

TEST(PrepareUserFilesTest, ABuildTreeIsLeftAsItIs) {
    test::TempDir program("program");
    test::TempDir home("home");
    test::WriteFile(program / "AviProfile.ini", "[common]\nprofiles=0\n");
    PrepareUserFiles(program.Folder(), program.Folder(), home.Folder());
    struct stat info {};
    EXPECT_NE(stat((program / "zarvo.ini").c_str(), &info), 0);
}

}  // namespace
