#include "app/shell/main_window_model.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

TEST(MainWindowModelTest, StartsWithTheInitialStateAndLoadedProfiles) {
    test::TempDir program("program");
    test::WriteFile(program / "AviProfile.ini", "[common]\nprofiles=1\n[Profile0]\nName=Only\n");
    MainWindowModel model(program.Folder());
    EXPECT_EQ(model.Target(), kTargetAvi);
    EXPECT_EQ(model.SelectedFile(), -1);
    EXPECT_EQ(model.SelectedProfile(), 0);
    EXPECT_FALSE(model.DvdSourceMode());
    EXPECT_FALSE(model.Converting());
    ASSERT_EQ(model.CurrentProfiles().count, 1);
    EXPECT_EQ(model.CurrentProfiles().profiles[0].name, "Only");
}

TEST(MainWindowModelTest, InitialiseSetsTitleCreatesExportFolderAndSwitchesMergeOff) {
    test::TempDir program("program");
    const std::string exportFolder = program / "Export ü";
    test::WriteFile(program / "zarvo.ini", "[common]\nvers=9\nexportfolder=" + exportFolder + "\n");
    MainWindowModel model(program.Folder());
    model.Initialise();
    EXPECT_EQ(model.Title(), "Zarvo Video Converter 3.00");
    EXPECT_EQ(model.ExportFolder(), exportFolder + "/");
    EXPECT_TRUE(std::filesystem::is_directory(exportFolder));
    EXPECT_EQ(model.Merge(), 0);
    EXPECT_FALSE(model.DriveRoot().empty());
    EXPECT_EQ(model.DriveRoot().find(' '), std::string::npos);
}

TEST(MainWindowModelTest, NoExportFolderIsNotAnError) {
    test::TempDir program("program");
    MainWindowModel model(program.Folder());
    model.Initialise();
    EXPECT_EQ(model.ExportFolder(), "");
    EXPECT_EQ(model.Title(), "Zarvo Video Converter 2.10");
}

TEST(MainWindowModelTest, DestroyingTheModelDeletesClipFilesOnly) {
    test::TempDir program("program");
    const std::string exportFolder = program / "out";
    test::WriteFile(program / "zarvo.ini", "[common]\nexportfolder=" + exportFolder + "/\n");
    {
        MainWindowModel model(program.Folder());
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
