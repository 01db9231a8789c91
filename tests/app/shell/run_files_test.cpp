#include "app/run/run_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// A user's folder: an input, a symbolic and a hard link to it, and another
// spelling of its path.
class RunFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "sub");
        test::WriteFile(input_, "input");
        fs::create_symlink(input_, dir_ / "soft.avi");
        fs::create_hard_link(input_, dir_ / "hard.avi");
        test::WriteFile(dir_ / "other.avi", "other");
        files_.Start({input_, dir_ / "missing.avi"});
    }

    test::TempDir dir_{"run files \"ü\""};
    std::string input_ = dir_ / "clip.avi";
    RunFiles files_;
};

TEST_F(RunFilesTest, EveryNameOfAnInputIsTheInput) {
    EXPECT_TRUE(files_.IsInput(input_));
    EXPECT_TRUE(files_.IsInput(dir_ / "soft.avi"));
    EXPECT_TRUE(files_.IsInput(dir_ / "hard.avi"));
    EXPECT_TRUE(files_.IsInput(dir_ / "sub/../clip.avi"));
    EXPECT_FALSE(files_.IsInput(dir_ / "other.avi"));
    EXPECT_FALSE(files_.IsInput(dir_ / "missing.avi"));
}

TEST_F(RunFilesTest, AClaimTakesTheFirstFreeNumberedName) {
    test::WriteFile(dir_ / "clip (2).avi", "x");
    fs::create_hard_link(input_, dir_ / "clip (3).avi");
    // "clip (2).avi" is there and "clip (3).avi" is the input itself.
    const RunFiles::Name first = files_.Claim(input_);
    EXPECT_EQ(first.path, dir_ / "clip (4).avi");
    EXPECT_EQ(first.clash, RunFiles::Clash::kInput);
    const RunFiles::Name second = files_.Claim(input_);
    EXPECT_EQ(second.path, dir_ / "clip (5).avi");
    EXPECT_EQ(second.clash, RunFiles::Clash::kInput);
    // A file that is there already (an earlier run's result) is no input,
    // but its name is taken all the same.
    const RunFiles::Name taken = files_.Claim(dir_ / "other.avi");
    EXPECT_EQ(taken.path, dir_ / "other (2).avi");
    EXPECT_EQ(taken.clash, RunFiles::Clash::kExisting);
    const RunFiles::Name free = files_.Claim(dir_ / "new.avi");
    EXPECT_EQ(free.path, dir_ / "new.avi");
    EXPECT_EQ(free.clash, RunFiles::Clash::kNone);
    EXPECT_EQ(files_.Claim(dir_ / "new.avi").clash, RunFiles::Clash::kClaimed);
}

TEST_F(RunFilesTest, OnlyWhatTheRunMadeIsEverRemoved) {
    fs::create_symlink(input_, dir_ / "sub/link.avi");
    test::WriteFile(dir_ / "sub/made.tmp", "made");
    fs::create_hard_link(input_, dir_ / "sub/hard.avi");
    files_.EmptyFolder(dir_ / "sub/");
    EXPECT_FALSE(fs::exists(dir_ / "sub/made.tmp"));
    EXPECT_TRUE(fs::exists(dir_ / "sub/hard.avi"));
    EXPECT_TRUE(fs::is_symlink(dir_ / "sub/link.avi"));
    EXPECT_FALSE(files_.Remove(dir_ / "soft.avi"));
    // Not the run's: neither claimed nor adopted.
    EXPECT_FALSE(files_.Remove(dir_ / "other.avi"));
    EXPECT_EQ(test::ReadFile(dir_ / "other.avi"), "other");
    const std::string made = files_.Claim(dir_ / "made.avi").path;
    test::WriteFile(made, "made");
    EXPECT_TRUE(files_.Remove(made));
    test::WriteFile(dir_ / "result.mpg", "host");
    files_.Adopt(dir_ / "result.mpg");
    EXPECT_TRUE(files_.Remove(dir_ / "result.mpg"));
    EXPECT_EQ(test::ReadFile(input_), "input");
}

}  // namespace
