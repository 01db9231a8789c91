#include "app/window/main_window_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/window/main_window_commands.h"
#include "tests/app/shell/main_window_fakes.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(MainWindowModelTest, StartsWithTheInitialStateAndLoadedProfiles) {
    test::RunSession session;
    test::TempDir program("program");
    test::WriteFile(program / "AviProfile.ini", "[common]\nprofiles=1\n[Profile0]\nName=Only\n");
    MainWindowModel model(session.context, program.Folder());
    EXPECT_EQ(model.Target(), kTargetAvi);
    EXPECT_EQ(model.SelectedFile(), -1);
    EXPECT_EQ(model.SelectedProfile(), 0);
    EXPECT_FALSE(model.DvdSourceMode());
    EXPECT_FALSE(model.Converting());
    ASSERT_EQ(model.CurrentProfiles().count, 1);
    EXPECT_EQ(model.CurrentProfiles().profiles[0].name, "Only");
}

TEST(MainWindowModelTest, InitialiseSetsTitleCreatesExportFolderAndSwitchesMergeOff) {
    test::RunSession session;
    test::TempDir program("program");
    const std::string exportFolder = program / "Export ü";
    test::WriteFile(program / "zarvo.ini", "[common]\nvers=9\nexportfolder=" + exportFolder + "\n");
    MainWindowModel model(session.context, program.Folder());
    model.Initialise();
    EXPECT_EQ(model.Title(), "Zarvo Video Converter 3.00");
    EXPECT_EQ(model.ExportFolder(), exportFolder + "/");
    EXPECT_TRUE(std::filesystem::is_directory(exportFolder));
    EXPECT_FALSE(model.Merge());
    EXPECT_FALSE(model.DriveRoot().empty());
    EXPECT_EQ(model.DriveRoot().find(' '), std::string::npos);
}

TEST(MainWindowModelTest, NoExportFolderIsNotAnError) {
    test::RunSession session;
    test::TempDir program("program");
    MainWindowModel model(session.context, program.Folder());
    model.Initialise();
    EXPECT_EQ(model.ExportFolder(), "");
    EXPECT_EQ(model.Title(), "Zarvo Video Converter 2.10");
}

TEST(MainWindowModelTest, DestroyingTheModelDeletesClipFilesOnly) {
    test::RunSession session;
    test::TempDir program("program");
    const std::string exportFolder = program / "out";
    test::WriteFile(program / "zarvo.ini", "[common]\nexportfolder=" + exportFolder + "/\n");
    {
        MainWindowModel model(session.context, program.Folder());
        model.Initialise();
        test::WriteFile(exportFolder + "/a.avi.clip", "1");
        test::WriteFile(exportFolder + "/B.MPG.CLIP", "1");
        test::WriteFile(exportFolder + "/movie.avi", "keep");
        test::WriteFile(exportFolder + "/clip", "keep");
    }
    EXPECT_FALSE(std::filesystem::exists(exportFolder + "/a.avi.clip"));
    EXPECT_FALSE(std::filesystem::exists(exportFolder + "/B.MPG.CLIP"));
    EXPECT_TRUE(std::filesystem::exists(exportFolder + "/movie.avi"));
    EXPECT_TRUE(std::filesystem::exists(exportFolder + "/clip"));
}

}  // namespace

namespace {

using Paths = std::vector<std::string>;

// A model on a program folder with small profile files, an export folder,
// a fake user and a fake probe.
class MainWindowModelCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteFile(program_ / "zarvo.ini", "[common]\nexportfolder=" + exportFolder_ + "\n");
        test::WriteFile(program_ / "AviProfile.ini",
                        "[common]\nprofiles=2\n[Profile0]\nName=A0\nFileType=5\n"
                        "[Profile1]\nName=A1\nFileType=2\n");
        test::WriteFile(program_ / "3GPProfile.ini",
                        "[common]\nprofiles=2\n[Profile0]\nName=G0\nFileType=0\n"
                        "[Profile1]\nName=G1\nFileType=1\n");
        test::WriteFile(program_ / "DVDProfile.ini", "[common]\nprofiles=1\n[Profile0]\nName=D0\n");
        model_ = std::make_unique<MainWindowModel>(session_.context, program_.Folder());
        model_->SetView(&view_);
        model_->SetProbe(&probe_);
        model_->Initialise();
        probe_.seconds = {{"a.avi", 61.9}, {"b c.mpg", 3725}, {"d.mov", 360000}, {"e.avi", 1}};
    }

    void Browse(const Paths& files) {
        view_.fileReplies.push_back(files);
        model_->OnCommand(kCmdBrowseFiles);
    }

    void MakeDvdFolder(const std::string& folder, const Paths& vobs) {
        std::filesystem::create_directories(folder + "/VIDEO_TS");
        for (const std::string& name : vobs) test::WriteFile(folder + "/VIDEO_TS/" + name, "");
    }

    test::TempDir program_{"program ü"};
    std::string exportFolder_ = program_ / "export";
    test::FakeView view_;
    test::FakeProbe probe_;
    test::RunSession session_;
    std::unique_ptr<MainWindowModel> model_;
};

TEST_F(MainWindowModelCommandTest, BrowseListsFilesWithDurationsAndSizesTheWindow) {
    Browse({"/v/a.avi", "/v/b c.mpg", "/v/d.mov", "/v/missing.avi"});
    EXPECT_EQ(model_->Files(), Paths({"/v/a.avi", "/v/b c.mpg", "/v/d.mov", "/v/missing.avi"}));
    EXPECT_EQ(model_->FileListTexts(),
              Paths({"/v/a.avi       (Duration: 00:01:01)", "/v/b c.mpg       (Duration: 01:02:05)",
                     "/v/d.mov       (Duration: 100:00:00)",
                     "/v/missing.avi       (Duration: 00:00:00)"}));
    EXPECT_EQ(model_->SelectedFile(), 0);
    EXPECT_EQ(model_->OutputNameText(), "a.avi");
    EXPECT_EQ(model_->Layout().height, 296);
    EXPECT_TRUE(model_->ListButtonsVisible());
    EXPECT_FALSE(model_->AudioStreamButtonVisible());
    // The busy cursor frames the probing.
    EXPECT_EQ(view_.calls, Paths({"files", "busy", "idle"}));
}

TEST_F(MainWindowModelCommandTest, CancelledBrowseChangesNothing) {
    Browse({"/v/a.avi"});
    Browse({});
    EXPECT_EQ(model_->Files(), Paths({"/v/a.avi"}));
    EXPECT_EQ(model_->Layout().height, 47 + 232);
}

TEST_F(MainWindowModelCommandTest, EmptyListHidesTheListButtons) {
    EXPECT_EQ(model_->Layout().listHeight, 21);
    EXPECT_FALSE(model_->ListButtonsVisible());
    EXPECT_FALSE(model_->IsCommandAvailable(kCmdMoveUp));
    EXPECT_FALSE(model_->IsCommandAvailable(kCmdAddFiles));
    EXPECT_TRUE(model_->IsCommandAvailable(kCmdBrowseFiles));
}

TEST_F(MainWindowModelCommandTest, AddAppendsAndKeepsTheSelection) {
    Browse({"/v/a.avi", "/v/e.avi"});
    model_->SelectFile(1);
    view_.fileReplies.push_back({"/v/b c.mpg"});
    model_->OnCommand(kCmdAddFiles);
    EXPECT_EQ(model_->Files(), Paths({"/v/a.avi", "/v/e.avi", "/v/b c.mpg"}));
    EXPECT_EQ(model_->FileListTexts().back(), "/v/b c.mpg       (Duration: 01:02:05)");
    EXPECT_EQ(model_->SelectedFile(), 1);
    EXPECT_EQ(model_->Layout().listHeight, 48);
}

TEST_F(MainWindowModelCommandTest, DeleteEdgeCases) {
    Browse({"/v/a.avi", "/v/b c.mpg", "/v/e.avi"});
    // The middle entry: the selection stays on its index, now the next file.
    model_->SelectFile(1);
    model_->OnCommand(kCmdDeleteFile);
    EXPECT_EQ(model_->Files(), Paths({"/v/a.avi", "/v/e.avi"}));
    EXPECT_EQ(model_->SelectedFile(), 1);
    // The last entry: the selection moves to the new last one.
    model_->OnCommand(kCmdDeleteFile);
    EXPECT_EQ(model_->Files(), Paths({"/v/a.avi"}));
    EXPECT_EQ(model_->SelectedFile(), 0);
    // The only entry: empty list, no selection, and the output name keeps
    // its text until the next change of selection, target or profile.
    model_->SelectFile(0);
    model_->OnCommand(kCmdDeleteFile);
    EXPECT_TRUE(model_->Files().empty());
    EXPECT_TRUE(model_->FileListTexts().empty());
    EXPECT_EQ(model_->SelectedFile(), -1);
    EXPECT_EQ(model_->OutputNameText(), "a.avi");
    EXPECT_EQ(model_->Layout().listHeight, 21);
    // Nothing selected: Delete does nothing.
    Browse({"/v/a.avi"});
    model_->SelectFile(-1);
    model_->OnCommand(kCmdDeleteFile);
    EXPECT_EQ(model_->Files().size(), 1u);
}

TEST_F(MainWindowModelCommandTest, MoveEdgeCases) {
    Browse({"/v/a.avi", "/v/b c.mpg", "/v/e.avi"});
    model_->OnCommand(kCmdMoveUp);  // first entry: nothing
    EXPECT_EQ(model_->Files(), Paths({"/v/a.avi", "/v/b c.mpg", "/v/e.avi"}));
    EXPECT_EQ(model_->SelectedFile(), 0);
    model_->OnCommand(kCmdMoveDown);
    EXPECT_EQ(model_->Files(), Paths({"/v/b c.mpg", "/v/a.avi", "/v/e.avi"}));
    EXPECT_EQ(model_->FileListTexts()[1], "/v/a.avi       (Duration: 00:01:01)");
    EXPECT_EQ(model_->SelectedFile(), 1);
    model_->OnCommand(kCmdMoveDown);
    model_->OnCommand(kCmdMoveDown);  // last entry: nothing
    EXPECT_EQ(model_->Files(), Paths({"/v/b c.mpg", "/v/e.avi", "/v/a.avi"}));
    EXPECT_EQ(model_->SelectedFile(), 2);
    model_->SelectFile(-1);
    model_->OnCommand(kCmdMoveUp);  // no selection: nothing
    EXPECT_EQ(model_->Files(), Paths({"/v/b c.mpg", "/v/e.avi", "/v/a.avi"}));
}

TEST_F(MainWindowModelCommandTest, TargetSelectsProfilesLabelsAndMerge) {
    Browse({"/v/My.Clip.avi"});
    EXPECT_EQ(model_->ProfileLabel(), "AVI Profile:");
    EXPECT_EQ(model_->CurrentProfiles().count, 2);
    model_->SelectProfile(1);
    EXPECT_EQ(model_->OutputNameText(), "My.Clip.avi");  // AVI shows .avi whatever FileType says

    model_->OnCommand(1037);  // DVD
    EXPECT_EQ(model_->Target(), kTargetDvd);
    EXPECT_EQ(model_->SelectedProfile(), 0);
    EXPECT_EQ(model_->ProfileLabel(), "Burn to:");
    EXPECT_EQ(model_->OutputLabel(), "Burn from");
    EXPECT_EQ(model_->OutputNameText(), exportFolder_ + "/DVD/");
    EXPECT_TRUE(model_->Merge());
    EXPECT_FALSE(model_->MergeEnabled());
    EXPECT_FALSE(model_->EditProfileEnabled());

    model_->OnCommand(1033);  // back to AVI: merging off again
    EXPECT_FALSE(model_->Merge());
    EXPECT_EQ(model_->OutputLabel(), "Output Filename:");
    EXPECT_TRUE(model_->EditProfileEnabled());

    model_->ToggleMerge();
    model_->OnCommand(1034);  // MPEG
    EXPECT_FALSE(model_->Merge());
    EXPECT_EQ(model_->OutputNameText(), "My.Clip.mpg");
    EXPECT_EQ(model_->CurrentProfiles().count, 0);
}

TEST_F(MainWindowModelCommandTest, DeviceTargetsShowTheExtensionOfTheSelectedProfile) {
    Browse({"/v/a.avi"});
    model_->OnCommand(1200);  // 3GP
    EXPECT_EQ(model_->ProfileLabel(), "3GP Profile:");
    EXPECT_EQ(model_->OutputNameText(), "a.3gp");
    model_->SelectProfile(1);
    EXPECT_EQ(model_->OutputNameText(), "a.3g2");
    model_->SelectProfile(2);  // no such profile: ignored
    EXPECT_EQ(model_->SelectedProfile(), 1);
    // The file is read at the moment of the call, not at loading time.
    test::WriteFile(program_ / "3GPProfile.ini",
                    "[common]\nprofiles=2\n[Profile0]\nName=G0\nFileType=2\n");
    model_->SelectProfile(0);
    EXPECT_EQ(model_->OutputNameText(), "a.mp4");
}

TEST_F(MainWindowModelCommandTest, ExportFolderChooserWritesTheSetting) {
    const std::string chosen = program_ / "new out";
    view_.folderReplies.push_back("");
    model_->OnCommand(kCmdBrowseExportFolder);
    EXPECT_EQ(model_->ExportFolder(), exportFolder_ + "/");
    view_.folderReplies.push_back(chosen);
    model_->OnCommand(kCmdBrowseExportFolder);
    EXPECT_EQ(model_->ExportFolder(), chosen + "/");
    SettingsFile settings;
    settings.SetFile(program_ / "zarvo.ini");
    EXPECT_EQ(settings.ReadString("common", "exportfolder"), chosen + "/");
    EXPECT_EQ(view_.calls.back(), "folder Choose export folder... " + exportFolder_ + "/");
    // In the DVD target the output field shows the DVD folder inside it.
    model_->OnCommand(1037);
    view_.folderReplies.push_back(exportFolder_ + "/");
    model_->OnCommand(kCmdBrowseExportFolder);
    EXPECT_EQ(model_->OutputNameText(), exportFolder_ + "/DVD/");
}

TEST_F(MainWindowModelCommandTest, DvdFolderListsTheLongestTitleAndTakesItsAudioStream) {
    const std::string dvd = program_ / "my dvd";
    MakeDvdFolder(dvd, {"VIDEO_TS.VOB", "VTS_01_0.VOB", "VTS_01_1.VOB", "VTS_01_2.VOB",
                        "VTS_01_3.VOB", "VTS_02_1.VOB"});
    probe_.seconds = {{"VTS_01_1.VOB", 1000.7},
                      {"VTS_01_2.VOB", 1000.7},
                      {"VTS_01_3.VOB", 10},
                      {"VTS_02_1.VOB", 30}};
    probe_.audioLines = {"Stream #0:2[0x80]: Audio: ac3, 48000 Hz",
                         "Stream #0:3[0x81]: Audio: ac3, 48000 Hz"};
    view_.folderReplies.push_back(dvd);
    view_.audioReplies.push_back(1);
    model_->OnCommand(kCmdChooseDvd);
    const std::string first = dvd + "/VIDEO_TS/VTS_01_1.VOB";
    EXPECT_TRUE(model_->DvdSourceMode());
    EXPECT_EQ(model_->Files(), Paths({first}));
    EXPECT_EQ(model_->FileListTexts(), Paths({first + "       (Duration: 00:33:30)"}));
    EXPECT_EQ(model_->DvdTitles()[0].size(), 3u);
    EXPECT_TRUE(model_->DvdTitles()[1].empty());
    EXPECT_EQ(model_->SelectedFile(), 0);
    EXPECT_EQ(model_->OutputNameText(), "VTS_01_1.avi");
    EXPECT_EQ(view_.calls.back(), "audio " + first + " 0x80");
    EXPECT_EQ(view_.audioLines, probe_.audioLines);
    EXPECT_EQ(model_->DvdAudioStreamId(), "0x81");
    EXPECT_FALSE(model_->ListButtonsVisible());
    EXPECT_TRUE(model_->AudioStreamButtonVisible());

    // The audio stream button opens the dialog on the current id; closing it
    // without a choice keeps it.
    model_->OnCommand(kCmdSelectAudioStream);
    EXPECT_EQ(view_.calls.back(), "audio " + first + " 0x81");
    EXPECT_EQ(model_->DvdAudioStreamId(), "0x81");

    // Browse leaves DVD source mode; the new files show their own durations.
    Browse({"/v/a.avi"});
    EXPECT_FALSE(model_->DvdSourceMode());
    EXPECT_EQ(model_->FileListTexts(), Paths({"/v/a.avi       (Duration: 00:00:00)"}));
}

TEST_F(MainWindowModelCommandTest, DvdFolderWithoutATitleSaysSoAndKeepsTheList) {
    const std::string dvd = program_ / "empty dvd";
    MakeDvdFolder(dvd, {"notes.txt"});
    Browse({"/v/a.avi", "/v/e.avi"});
    model_->SelectFile(1);
    view_.folderReplies.push_back(dvd);
    model_->OnCommand(kCmdChooseDvd);
    EXPECT_FALSE(model_->DvdSourceMode());
    EXPECT_EQ(model_->Files(), Paths({"/v/a.avi", "/v/e.avi"}));
    EXPECT_EQ(model_->SelectedFile(), 1);
    EXPECT_EQ(model_->StatusTexts()[0], "No DVD title was found in " + dvd);
    for (const std::string& call : view_.calls) EXPECT_NE(call.rfind("audio", 0), 0u);
}

TEST_F(MainWindowModelCommandTest, HelpWithoutABrowserSaysWhereTheHelpIs) {
    view_.helpShown = false;
    model_->OnCommand(kCmdHelp);
    EXPECT_EQ(model_->StatusTexts()[0], "No web browser could show the help. It is in " +
                                            program_.Folder() + "help/help.htm");
}

TEST_F(MainWindowModelCommandTest, TheWindowOpensOnTheTargetAndProfileUsedLast) {
    model_->OnCommand(InfoOfTarget(kTarget3gp)->commandId);
    model_->SelectProfile(1);
    {
        MainWindowModel again(session_.context, program_.Folder());
        again.Initialise();
        EXPECT_EQ(again.Target(), kTarget3gp);
        EXPECT_EQ(again.SelectedProfile(), 1);
        EXPECT_EQ(again.ProfileLabel(), model_->ProfileLabel());
    }
    // Whatever else the file holds opens on AVI and its first profile.
    for (const char* garbage : {"3", "10", "-1", "x\xff", "99999999999", ""}) {
        SCOPED_TRACE(garbage);
        test::WriteFile(program_ / "zarvo.ini", std::string("[common]\nlasttarget=") + garbage +
                                                    "\nlastprofile=" + garbage + "\n");
        MainWindowModel again(session_.context, program_.Folder());
        again.Initialise();
        EXPECT_EQ(again.Target(), kTargetAvi);
        EXPECT_EQ(again.SelectedProfile(), 0);
    }
    // A profile that is no longer there.
    test::WriteFile(program_ / "zarvo.ini", "[common]\nlasttarget=5\nlastprofile=7\n");
    MainWindowModel again(session_.context, program_.Folder());
    again.Initialise();
    EXPECT_EQ(again.Target(), kTarget3gp);
    EXPECT_EQ(again.SelectedProfile(), 0);
}

TEST_F(MainWindowModelCommandTest, AnEnlargedWindowKeepsItsRoomWhileTheListChanges) {
    const int natural = model_->Layout().height;
    model_->SetWindowSize(900, natural + 100);
    MainWindowLayout l = model_->Layout();
    EXPECT_EQ(l.width, 900);
    EXPECT_EQ(l.height, natural + 100);
    EXPECT_EQ(l.fileList.right, 900 - 125);
    EXPECT_EQ(l.fileList.Height(), FileListHeight(0) + 100);
    Browse({"/v/a.avi", "/v/e.avi", "/v/d.mov", "/v/b c.mpg"});
    l = model_->Layout();
    EXPECT_EQ(l.height, FileListHeight(4) + 232 + 100);
    // Made small again it is the standard window.
    model_->SetWindowSize(100, 100);
    EXPECT_EQ(model_->Layout().height, FileListHeight(4) + 232);
    EXPECT_EQ(model_->Layout().width, MainWindowLayout::kWidth);
}

TEST_F(MainWindowModelCommandTest, CancelledDvdChooserKeepsEverything) {
    const std::string dvd = program_ / "dvd";
    MakeDvdFolder(dvd, {"VTS_01_1.VOB"});
    view_.folderReplies.push_back(dvd);
    model_->OnCommand(kCmdChooseDvd);
    view_.folderReplies.push_back("");
    model_->OnCommand(kCmdChooseDvd);
    EXPECT_TRUE(model_->DvdSourceMode());
    EXPECT_EQ(model_->Files(), Paths({dvd + "/VIDEO_TS/VTS_01_1.VOB"}));
}

TEST_F(MainWindowModelCommandTest, ListButtonsAreHiddenInDvdSourceMode) {
    const std::string dvd = program_ / "dvd";
    MakeDvdFolder(dvd, {"VTS_01_1.VOB", "VTS_01_2.VOB"});
    view_.folderReplies.push_back(dvd);
    model_->OnCommand(kCmdChooseDvd);
    ASSERT_EQ(model_->DvdTitles()[0].size(), 2u);
    for (int command : {kCmdDeleteFile, kCmdMoveUp, kCmdMoveDown, kCmdAddFiles}) {
        EXPECT_FALSE(model_->IsCommandAvailable(command));
        model_->OnCommand(command);
    }
    EXPECT_EQ(model_->Files().size(), 1u);
    EXPECT_EQ(model_->DvdTitles()[0].size(), 2u);
}

TEST_F(MainWindowModelCommandTest, HelpFrameAndOtherWindows) {
    model_->OnCommand(kCmdHelp);
    EXPECT_EQ(view_.calls.back(), "help " + program_.Folder() + "help/help.htm");
    EXPECT_FALSE(model_->IsCommandAvailable(kCmdRestore));
    model_->OnCommand(kCmdMaximize);
    EXPECT_TRUE(model_->Maximized());
    model_->OnCommand(kCmdMaximize);  // the button now reads Restore
    model_->OnCommand(kCmdRestore);
    EXPECT_FALSE(model_->Maximized());
    model_->OnCommand(kCmdMinimize);
    model_->OnCommand(kCmdSystemTray);
    model_->OnCommand(kCmdBurnVideo);
    model_->OnCommand(kCmdClose);
    EXPECT_EQ(Paths(view_.calls.end() - 6, view_.calls.end()),
              Paths({"maximize", "restore", "minimize", "tray", "wizard", "close"}));
}

TEST_F(MainWindowModelCommandTest, TheProfileEditorWorksOnTheWindowsTablesAndTheListFollows) {
    const int before = model_->CurrentProfiles().count;
    ASSERT_GT(before, 1);
    model_->SelectProfile(1);
    view_.onEditor = [&](ProfileEditorModel& editor) {
        EXPECT_EQ(editor.Count(), before);
        editor.SetText(EditorField::kName, "Added here");
        EXPECT_EQ(editor.OnCommand(kCmdNewProfile), "");
        // New loads every profile file into the window's tables at once.
        EXPECT_EQ(model_->CurrentProfiles().count, before + 1);
        editor.ReleaseSpin(EditorSpin::kProfile, 0);
        editor.SetText(EditorField::kName, "Renamed");
        EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "");
        editor.OnCommand(kCmdCloseEditor);
    };
    model_->OnCommand(kCmdEditProfile);
    EXPECT_EQ(view_.calls.back(), "editor 0 AVI Profile Editor");
    EXPECT_EQ(model_->CurrentProfiles().count, before + 1);
    EXPECT_EQ(model_->CurrentProfiles().profiles[0].name, "Renamed");
    EXPECT_EQ(model_->CurrentProfiles().profiles[static_cast<std::size_t>(before)].name,
              "Added here");
    EXPECT_EQ(model_->SelectedProfile(), 0);
    model_->OnCommand(1037);
    EXPECT_FALSE(model_->IsCommandAvailable(kCmdEditProfile));
}

}  // namespace
