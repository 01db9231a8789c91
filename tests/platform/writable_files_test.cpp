#include "platform/writable_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "tests/support/temp_dir.h"

namespace {

int ModeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 0777) : -1;
}

TEST(WritableFilesTest, ABuildTreeKeepsItsFilesAndAnInstallationSendsThemToTheUser) {
    test::TempDir program("program ä");
    test::TempDir config("config");
    // The user's folder sits in a configuration folder that does not exist yet.
    const std::string user = config / "fresh/zarvo/";
    EXPECT_EQ(platform::ChooseWritableFolder(program.Folder(), user), program.Folder());
    EXPECT_EQ(ModeOf(user), -1);

    test::WriteFile(program / platform::kSystemInstallMark, "");
    EXPECT_EQ(platform::ChooseWritableFolder(program.Folder(), user), user);
    EXPECT_EQ(ModeOf(user), 0700);
    // A second start finds the folder there and uses it as it is.
    test::WriteFile(user + "zarvo.ini", "[common]\n");
    EXPECT_EQ(platform::ChooseWritableFolder(program.Folder(), user), user);
    EXPECT_EQ(test::ReadFile(user + "zarvo.ini"), "[common]\n");
}

TEST(WritableFilesTest, SeedingCopiesWhatIsMissingAndNeverReplacesAUsersFile) {
    test::TempDir shipped("shipped");
    test::TempDir user("user ü");
    test::WriteFile(shipped / "AviProfile.ini", "[common]\nprofiles=3\n");
    test::WriteFile(shipped / "iPodProfile.ini", "[common]\nprofiles=2\n");
    test::WriteFile(user / "ipodprofile.ini", "[common]\nprofiles=1\n");

    EXPECT_TRUE(platform::SeedFile(shipped / "AviProfile.ini", user / "AviProfile.ini"));
    EXPECT_EQ(test::ReadFile(user / "AviProfile.ini"), "[common]\nprofiles=3\n");
    // The user's file under another spelling of the name is theirs.
    EXPECT_TRUE(platform::SeedFile(shipped / "iPodProfile.ini", user / "iPodProfile.ini"));
    EXPECT_EQ(test::ReadFile(user / "ipodprofile.ini"), "[common]\nprofiles=1\n");
    EXPECT_EQ(ModeOf(user / "iPodProfile.ini"), -1);

    // An upgrade ships a newer file; the user's edited copy stays.
    test::WriteFile(user / "AviProfile.ini", "[common]\nprofiles=1\n");
    const utimbuf old{1000000000, 1000000000};
    utime((user / "AviProfile.ini").c_str(), &old);
    test::WriteFile(shipped / "AviProfile.ini", "[common]\nprofiles=4\n");
    EXPECT_TRUE(platform::SeedFile(shipped / "AviProfile.ini", user / "AviProfile.ini"));
    EXPECT_EQ(test::ReadFile(user / "AviProfile.ini"), "[common]\nprofiles=1\n");

    // Nothing to copy: no file, and no temporary copy left behind.
    EXPECT_FALSE(platform::SeedFile(shipped / "absent.ini", user / "absent.ini"));
    EXPECT_EQ(ModeOf(user / "absent.ini"), -1);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(user.Folder())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2);
}

}  // namespace
