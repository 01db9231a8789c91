#include "platform/command_line.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

TEST(CommandLineTest, BlanksSeparateWordsAndQuotesGroupThem) {
    EXPECT_EQ(platform::SplitCommandLine("ffmpeg -y -i /a/in.avi -f mp4 /b/out.mp4 "),
              (Words{"ffmpeg", "-y", "-i", "/a/in.avi", "-f", "mp4", "/b/out.mp4"}));
    EXPECT_EQ(platform::SplitCommandLine("  mplayer\t\"/My Videos/a.vob\"  -aid 0x80 "),
              (Words{"mplayer", "/My Videos/a.vob", "-aid", "0x80"}));
    EXPECT_EQ(platform::SplitCommandLine("a\"b c\"d \"\" e"), (Words{"ab cd", "", "e"}));
    EXPECT_EQ(platform::SplitCommandLine("sh -c \"echo 'x  y'\""),
              (Words{"sh", "-c", "echo 'x  y'"}));
}

TEST(CommandLineTest, OddTextNeverFails) {
    EXPECT_EQ(platform::SplitCommandLine(""), Words{});
    EXPECT_EQ(platform::SplitCommandLine("   \t "), Words{});
    EXPECT_EQ(platform::SplitCommandLine("a \"open to the end"), (Words{"a", "open to the end"}));
    EXPECT_EQ(platform::SplitCommandLine("\""), Words{""});
}

TEST(CommandLineTest, OnlyTextWithoutBlanksOrQuotesIsOneWord) {
    EXPECT_TRUE(platform::IsOneWord("/tmp/zarvo-0/aa.mpg"));
    EXPECT_TRUE(platform::IsOneWord("/home/jürgen/Vidéos/clip.avi"));
    EXPECT_TRUE(platform::IsOneWord(""));
    EXPECT_FALSE(platform::IsOneWord("/home/a/My Videos/clip.avi"));
    EXPECT_FALSE(platform::IsOneWord("/home/a/tab\there.avi"));
    EXPECT_FALSE(platform::IsOneWord("/home/a/say \"hi\".avi"));
    EXPECT_FALSE(platform::IsOneWord("/home/a/quote\".avi"));
    EXPECT_FALSE(platform::IsOneWord("/home/a/line\nend.avi"));
}

}  // namespace
