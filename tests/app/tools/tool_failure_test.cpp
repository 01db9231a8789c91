#include "app/tools/tool_failure.h"

#include <gtest/gtest.h>

#include "tests/support/media_tools.h"
#include "tests/support/temp_dir.h"

namespace {

// What the installed ffmpeg prints when it fails, read as a failed run's
// text is read: its complaint, not the banner, the stream facts or its
// closing "Conversion failed!".
TEST(ToolFailureLineTest, TheInstalledFfmpegsComplaintIsFound) {
    test::TempDir folder{"tool failure ü"};
    const std::string broken = folder / "broken.avi";
    test::WriteFile(broken, std::string(4096, 'x'));
    std::string output = test::RunTool("ffmpeg -y -i " + test::Quoted(broken) + " -f null -");
    EXPECT_EQ(ToolFailureLine(output), "Invalid data found when processing input") << output;

    // A good input and an output the tool cannot write.
    const std::string clip = folder / "clip.avi";
    ASSERT_TRUE(test::MakeClip(clip, 1, "", "64x48"));
    output = test::RunTool("ffmpeg -y -i " + test::Quoted(clip) + " " +
                           test::Quoted(folder / "no such folder/out.mpg"));
    EXPECT_EQ(ToolFailureLine(output), "No such file or directory") << output;
}

TEST(ToolFailureLineTest, RecordedFailuresGiveTheirComplaint) {
    const auto recorded = [](const std::string& name) {
        return ToolFailureLine(
            test::ReadFile(std::string(ZARVO_SOURCE_DIR) + "/tests/app/tools/data/" + name));
    };
    EXPECT_EQ(recorded("ffmpeg51_invalid_frame_size.txt"), "Invalid frame size: 0x0");
    EXPECT_EQ(recorded("ffmpeg51_missing_input.txt"), "missing.avi: No such file or directory");
}

TEST(ToolFailureLineTest, PrefixesProgressAndBlankLinesArePassedOver) {
    EXPECT_EQ(ToolFailureLine("[mpeg4 @ 0x55d1c0a3e2c0] [enc] bit rate too low\r\n"
                              "frame=  10 fps=0.0 q=2.0 size=0kB\rConversion failed!\n\n"),
              "bit rate too low");
    EXPECT_EQ(ToolFailureLine("  Stream #0:0: Video: mpeg4\n    (aa.mpg is /x y.avi)\n"), "");
    EXPECT_EQ(ToolFailureLine(""), "");
    EXPECT_EQ(ToolFailureLine(std::string(1000, 'e')).size(), 300u);
}

}  // namespace
