#include "platform/file_moves.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(FileMovesTest, AStandInNamesTheSourceWithoutCopyingIt) {
    test::TempDir dir("moves ü");
    const std::string source = dir / "My Clip é.avi";
    test::WriteFile(source, "video");
    const std::string standIn = dir.Folder() + "aa.mpg";
    ASSERT_TRUE(platform::PlaceStandIn(source, standIn));
    EXPECT_TRUE(fs::is_symlink(standIn));
    EXPECT_EQ(test::ReadFile(standIn), "video");

    EXPECT_TRUE(platform::RemoveName(standIn));
    EXPECT_FALSE(fs::exists(fs::symlink_status(standIn)));
    EXPECT_EQ(test::ReadFile(source), "video");
}

TEST(FileMovesTest, AStandInReplacesAnOldOneWithoutTouchingWhatItNamed) {
    test::TempDir dir("moves");
    test::WriteFile(dir / "precious.avi", "keep me");
    test::WriteFile(dir / "new.avi", "new");
    const std::string standIn = dir / "aa.3gp";
    ASSERT_TRUE(platform::PlaceStandIn(dir / "precious.avi", standIn));
    ASSERT_TRUE(platform::PlaceStandIn(dir / "new.avi", standIn));
    EXPECT_EQ(test::ReadFile(standIn), "new");
    EXPECT_EQ(test::ReadFile(dir / "precious.avi"), "keep me");

    // A plain file under the name is replaced as well.
    test::WriteFile(dir / "plain", "old");
    ASSERT_TRUE(platform::PlaceStandIn(dir / "new.avi", dir / "plain"));
    EXPECT_EQ(test::ReadFile(dir / "plain"), "new");
}

TEST(FileMovesTest, ARelativeSourceIsLinkedByItsAbsolutePath) {
    test::TempDir dir("moves");
    test::WriteFile(dir / "clip.avi", "video");
    const fs::path saved = fs::current_path();
    fs::current_path(dir.Folder());
    ASSERT_TRUE(platform::PlaceStandIn("clip.avi", dir / "link"));
    fs::current_path(saved);
    EXPECT_EQ(fs::read_symlink(dir / "link"), fs::path(dir / "clip.avi"));
    EXPECT_EQ(test::ReadFile(dir / "link"), "video");
}

TEST(FileMovesTest, MoveReplacesTheTargetAndFailsWithoutLosingTheSource) {
    test::TempDir dir("moves ä");
    test::WriteFile(dir / "aa.3gp", "converted");
    test::WriteFile(dir / "My Out.mp4", "old");
    ASSERT_TRUE(platform::MoveFileReplacing(dir / "aa.3gp", dir / "My Out.mp4"));
    EXPECT_EQ(test::ReadFile(dir / "My Out.mp4"), "converted");
    EXPECT_FALSE(fs::exists(dir / "aa.3gp"));

    test::WriteFile(dir / "aa.3gp", "again");
    EXPECT_FALSE(platform::MoveFileReplacing(dir / "aa.3gp", dir / "no folder/out.mp4"));
    EXPECT_EQ(test::ReadFile(dir / "aa.3gp"), "again");
    EXPECT_FALSE(platform::MoveFileReplacing(dir / "absent", dir / "out.mp4"));
}

TEST(FileMovesTest, MoveCopiesAcrossFileSystems) {
    // /dev/shm is a file system of its own on Linux.
    if (!fs::is_directory("/dev/shm") || fs::space("/dev/shm").available < 4096) {
        GTEST_SKIP() << "no /dev/shm";
    }
    test::TempDir dir("moves");
    const std::string source = "/dev/shm/zarvo-move-test-" + std::to_string(getpid());
    test::WriteFile(source, "across");
    const bool moved = platform::MoveFileReplacing(source, dir / "target");
    const bool sourceLeft = fs::exists(source);
    std::error_code ignored;
    fs::remove(source, ignored);
    ASSERT_TRUE(moved);
    EXPECT_EQ(test::ReadFile(dir / "target"), "across");
    EXPECT_FALSE(sourceLeft);
}

}  // namespace
