#include "platform/file_names.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/program_lookup.h"
#include "platform/temp_folder.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(FileNamesTest, BaseNameIsBetweenTheLastSlashAndTheLastDot) {
    EXPECT_EQ(platform::BaseName("/out/Movie.File.mp4"), "Movie.File");
    EXPECT_EQ(platform::BaseName("/out/My Videos/clip"), "clip");
    EXPECT_EQ(platform::BaseName("clip.avi"), "clip");
    EXPECT_EQ(platform::FileName("/a/VTS_01_1.VOB"), "VTS_01_1.VOB");
}

TEST(FileNamesTest, ResolvesAnExistingNameWithoutRegardToCase) {
    test::TempDir dir("names ä");
    test::WriteFile(dir / "ipodprofile.ini", "x");
    EXPECT_EQ(platform::ResolveFileName(dir / "iPodProfile.ini"), dir / "ipodprofile.ini");
    EXPECT_EQ(platform::ResolveFileName(dir / "absent.ini"), dir / "absent.ini");
    // An exact match wins over another spelling.
    test::WriteFile(dir / "iPodProfile.ini", "y");
    EXPECT_EQ(platform::ResolveFileName(dir / "iPodProfile.ini"), dir / "iPodProfile.ini");
}

TEST(TempFolderTest, MakesAPrivateFolderAndRefusesUnsafeOnes) {
    test::TempDir dir("tempbase");
    std::string base = dir.Folder();
    // The test folder's own name holds a blank: no folder is made under it.
    EXPECT_EQ(platform::MakePrivateFolder(base), "");

    std::string safeBase = "/tmp/zarvo-test-" + std::to_string(getpid());
    mkdir(safeBase.c_str(), 0755);
    std::string folder = platform::MakePrivateFolder(safeBase);
    ASSERT_FALSE(folder.empty());
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(folder.back(), '/');

    // A folder that others may enter is not ours to use.
    chmod(folder.c_str(), 0777);
    EXPECT_EQ(platform::MakePrivateFolder(safeBase), "");
    rmdir(folder.c_str());
    rmdir(safeBase.c_str());

    EXPECT_EQ(platform::TempFolder().find(' '), std::string::npos);
}

TEST(ProgramLookupTest, ProgramFolderComesBeforePath) {
    test::TempDir dir("lookup");
    test::WriteFile(dir / "sh", "#!/bin/sh\n");
    chmod((dir / "sh").c_str(), 0755);
    EXPECT_EQ(platform::FindProgram("sh", dir.Folder()), dir / "sh");
    chmod((dir / "sh").c_str(), 0644);
    EXPECT_NE(platform::FindProgram("sh", dir.Folder()), "");
    EXPECT_NE(platform::FindProgram("sh", dir.Folder()), dir / "sh");
    EXPECT_EQ(platform::FindProgram("no-such-tool-here", dir.Folder()), "");
    EXPECT_EQ(platform::FindProgram("", dir.Folder()), "");
}

}  // namespace
