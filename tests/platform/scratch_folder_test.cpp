#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/temp_folder.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ScratchFolderTest, EachRunHasAPrivateFolderThatGoesWithEverythingInIt) {
    ASSERT_FALSE(platform::TempFolder().empty());
    std::string kept;
    {
        const platform::ScratchFolder first;
        const platform::ScratchFolder second;
        ASSERT_FALSE(first.Path().empty());
        EXPECT_NE(first.Path(), second.Path());
        EXPECT_EQ(first.Path().rfind(platform::TempFolder(), 0), 0u);
        EXPECT_EQ(first.Path().back(), '/');
        struct stat info {};
        ASSERT_EQ(stat(first.Path().c_str(), &info), 0);
        EXPECT_TRUE(S_ISDIR(info.st_mode));
        EXPECT_EQ(info.st_mode & 0777, 0700u);

        // Whatever a failed run leaves behind goes too.
        std::filesystem::create_directory(first.Path() + "left over");
        test::WriteFile(first.Path() + "left over/tmp_v", "units");
        test::WriteFile(first.Path() + "tmp_a", "units");
        kept = first.Path();
    }
    EXPECT_FALSE(std::filesystem::exists(kept));
}

}  // namespace
