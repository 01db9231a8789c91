#include "platform/private_profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "tests/support/temp_dir.h"

using platform::DeletePrivateProfileKey;
using platform::DeletePrivateProfileSection;
using platform::GetPrivateProfileInt;
using platform::GetPrivateProfileSectionNames;
using platform::GetPrivateProfileString;
using platform::WritePrivateProfileString;

namespace {

std::string Read(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& fallback = "<absent>") {
    return GetPrivateProfileString(section, key, fallback, 4096, path);
}

class PrivateProfileTest : public ::testing::Test {
protected:
    test::TempDir dir_{"ini ü test"};
    std::string path_ = dir_ / "settings file.ini";
};

TEST_F(PrivateProfileTest, AbsentFileSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(Read(path_, "common", "vers"), "<absent>");
    EXPECT_EQ(GetPrivateProfileInt("common", "vers", 7, path_), 7);
    test::WriteFile(path_, "[common]\nvers=9\n");
    EXPECT_EQ(Read(path_, "other", "vers"), "<absent>");
    EXPECT_EQ(Read(path_, "common", "version"), "<absent>");
    EXPECT_EQ(Read(path_, "common", "vers"), "9");
}

TEST_F(PrivateProfileTest, NamesMatchWithoutCaseAndValuesAreTrimmedAndUnquoted) {
    test::WriteFile(path_,
                    "; comment line\n"
                    "  [ Common ]  \n"
                    "  ExportFolder =  /home/a b/  \n"
                    "quoted=\"  spaced  \"\n"
                    "single='x'\n"
                    "lone=\"\n");
    EXPECT_EQ(Read(path_, "COMMON", "exportfolder"), "/home/a b/");
    EXPECT_EQ(Read(path_, "common", "quoted"), "  spaced  ");
    EXPECT_EQ(Read(path_, "common", "single"), "x");
    EXPECT_EQ(Read(path_, "common", "lone"), "\"");
}

TEST_F(PrivateProfileTest, FirstOfDuplicateSectionsAndKeysWins) {
    test::WriteFile(path_, "[a]\nk=1\nk=2\n[a]\nk=3\nj=4\n");
    EXPECT_EQ(Read(path_, "a", "k"), "1");
    // Like the original functions, a key in the second copy is not found.
    EXPECT_EQ(Read(path_, "a", "j"), "<absent>");
    EXPECT_EQ(GetPrivateProfileSectionNames(path_), (std::vector<std::string>{"a"}));
}

TEST_F(PrivateProfileTest, IntegersAreTheLeadingDecimalNumber) {
    test::WriteFile(path_,
                    "[n]\nplain=42\nneg=-17\nplus=+5\ntail=12abc\nword=abc\nempty=\n"
                    "huge=99999999999999999999\nhex=0x10\n");
    EXPECT_EQ(GetPrivateProfileInt("n", "plain", -1, path_), 42);
    EXPECT_EQ(GetPrivateProfileInt("n", "neg", -1, path_), -17);
    EXPECT_EQ(GetPrivateProfileInt("n", "plus", -1, path_), 5);
    EXPECT_EQ(GetPrivateProfileInt("n", "tail", -1, path_), 12);
    EXPECT_EQ(GetPrivateProfileInt("n", "word", -1, path_), 0);
    EXPECT_EQ(GetPrivateProfileInt("n", "empty", -1, path_), 0);
    EXPECT_EQ(GetPrivateProfileInt("n", "huge", -1, path_), INT_MAX);
    EXPECT_EQ(GetPrivateProfileInt("n", "hex", -1, path_), 0);
    EXPECT_EQ(GetPrivateProfileInt("n", "absent", -1, path_), -1);
}

TEST_F(PrivateProfileTest, ValuesLongerThanTheBufferAreCut) {
    test::WriteFile(path_, "[s]\nk=abcdefghij\n");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", 5, path_), "abcd");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", 1, path_), "");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "", 0, path_), "");
    EXPECT_EQ(GetPrivateProfileString("s", "absent", "default", 4, path_), "def");
}

TEST_F(PrivateProfileTest, WritesCreateReplaceAndKeepEverythingElse) {
    const std::string original =
        "; kept comment\n"
        "junk line without equals\n"
        "[first]\n"
        "Alpha = 1\n"
        "\n"
        "[second]\n"
        "beta=2\n";
    test::WriteFile(path_, original);

    ASSERT_TRUE(WritePrivateProfileString("FIRST", "alpha", "10", path_));
    ASSERT_TRUE(WritePrivateProfileString("first", "gamma", "3", path_));
    ASSERT_TRUE(WritePrivateProfileString("third", "delta", "4", path_));

    EXPECT_EQ(test::ReadFile(path_),
              "; kept comment\n"
              "junk line without equals\n"
              "[first]\n"
              "Alpha=10\n"
              "gamma=3\n"
              "\n"
              "[second]\n"
              "beta=2\n"
              "[third]\n"
              "delta=4\n");
}

TEST_F(PrivateProfileTest, WriteCreatesAMissingFileButNotItsFolder) {
    ASSERT_TRUE(WritePrivateProfileString("common", "profiles", "0", path_));
    EXPECT_EQ(test::ReadFile(path_), "[common]\nprofiles=0\n");
    EXPECT_FALSE(WritePrivateProfileString("common", "k", "v", dir_ / "missing/x.ini"));
}

TEST_F(PrivateProfileTest, LineBreaksInNamesOrValuesAreRefusedNotForged) {
    test::WriteFile(path_, "[common]\nexportfolder=/safe/\n");
    EXPECT_FALSE(
        WritePrivateProfileString("common", "k", "x\n[common]\nexportfolder=/evil/", path_));
    EXPECT_FALSE(WritePrivateProfileString("common", "k\r", "x", path_));
    EXPECT_FALSE(WritePrivateProfileString("com]mon", "k", "x", path_));
    EXPECT_FALSE(WritePrivateProfileString("common", "a=b", "x", path_));
    EXPECT_FALSE(WritePrivateProfileString("common", "", "x", path_));
    EXPECT_EQ(test::ReadFile(path_), "[common]\nexportfolder=/safe/\n");
}

TEST_F(PrivateProfileTest, CrlfFilesAndAMissingFinalNewlineStayConsistent) {
    test::WriteFile(path_, "[a]\r\nk=1\r\n[b]\r\nm=2");
    EXPECT_EQ(Read(path_, "a", "k"), "1");
    EXPECT_EQ(Read(path_, "b", "m"), "2");
    ASSERT_TRUE(WritePrivateProfileString("b", "n", "3", path_));
    ASSERT_TRUE(WritePrivateProfileString("a", "k", "11", path_));
    ASSERT_TRUE(WritePrivateProfileString("c", "o", "4", path_));
    EXPECT_EQ(test::ReadFile(path_), "[a]\r\nk=11\r\n[b]\r\nm=2\r\nn=3\r\n[c]\r\no=4\r\n");
}

TEST_F(PrivateProfileTest, BinaryJunkNeverBreaksReadsOrOtherKeys) {
    std::mt19937 random(1234);
    std::string junk;
    for (int i = 0; i < 200000; ++i) junk.push_back(static_cast<char>(random()));
    // Make sure no accidental line of the junk looks like our section.
    for (char& c : junk) {
        if (c == '[') c = '(';
    }
    test::WriteFile(path_, junk + "\n[keep]\nvalue=1\n" + junk);

    EXPECT_EQ(Read(path_, "keep", "value"), "1");
    ASSERT_TRUE(WritePrivateProfileString("new", "key", "2", path_));
    ASSERT_TRUE(WritePrivateProfileString("keep", "other", "3", path_));
    EXPECT_EQ(Read(path_, "keep", "value"), "1");
    EXPECT_EQ(Read(path_, "keep", "other"), "3");
    EXPECT_EQ(Read(path_, "new", "key"), "2");
    // The junk itself is still there, byte for byte.
    EXPECT_EQ(test::ReadFile(path_).substr(0, junk.size()), junk);
}

TEST_F(PrivateProfileTest, ATenMegabyteLineIsReadAndKept) {
    const std::string longValue(10 * 1024 * 1024, 'x');
    test::WriteFile(path_, "[big]\nlong=" + longValue + "\nshort=1\n");
    EXPECT_EQ(Read(path_, "big", "short"), "1");
    EXPECT_EQ(Read(path_, "big", "long").size(), 4095u);
    ASSERT_TRUE(WritePrivateProfileString("big", "short", "2", path_));
    EXPECT_EQ(test::ReadFile(path_), "[big]\nlong=" + longValue + "\nshort=2\n");
}

TEST_F(PrivateProfileTest, DeletingKeysAndSections) {
    test::WriteFile(path_, "[a]\nk=1\nj=2\n[b]\nm=3\n[c]\nn=4\n");
    ASSERT_TRUE(DeletePrivateProfileKey("A", "K", path_));
    ASSERT_TRUE(DeletePrivateProfileSection("b", path_));
    ASSERT_TRUE(DeletePrivateProfileKey("absent", "k", path_));
    EXPECT_EQ(test::ReadFile(path_), "[a]\nj=2\n[c]\nn=4\n");
    EXPECT_EQ(GetPrivateProfileSectionNames(path_), (std::vector<std::string>{"a", "c"}));
    EXPECT_TRUE(DeletePrivateProfileKey("a", "k", dir_ / "no such file.ini"));
}

TEST_F(PrivateProfileTest, AReadOnlyFileIsNotReplaced) {
    test::WriteFile(path_, "[a]\nk=1\n");
    chmod(path_.c_str(), 0444);
    EXPECT_FALSE(WritePrivateProfileString("a", "k", "2", path_));
    EXPECT_EQ(Read(path_, "a", "k"), "1");
}

TEST_F(PrivateProfileTest, WritingKeepsTheFileModeAndLeavesNoTemporaryFiles) {
    test::WriteFile(path_, "[a]\nk=1\n");
    chmod(path_.c_str(), 0640);
    ASSERT_TRUE(WritePrivateProfileString("a", "k", "2", path_));
    struct stat info {};
    ASSERT_EQ(stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.Folder())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST_F(PrivateProfileTest, FileNamesMatchWithoutRegardToCase) {
    test::WriteFile(dir_ / "ipodprofile.ini", "[common]\nprofiles=3\n");
    EXPECT_EQ(GetPrivateProfileInt("common", "profiles", -1, dir_ / "iPodProfile.ini"), 3);
    ASSERT_TRUE(WritePrivateProfileString("common", "profiles", "4", dir_ / "IPODPROFILE.INI"));
    EXPECT_EQ(test::ReadFile(dir_ / "ipodprofile.ini"), "[common]\nprofiles=4\n");
}

}  // namespace
