// The program ended from outside in the middle of a conversion: by a
// logout or shutdown (SIGTERM), a closed terminal (SIGHUP) or Ctrl-C
// (SIGINT) it closes as its window's Close button closes it, without asking,
// stopping its encoder as Stop does; killed outright
// (SIGKILL), it still takes its encoder, or its burning tool, with it.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonObject>
#include <csignal>
#include <filesystem>

#include "tests/app/shell/end_to_end_fixture.h"
#include "tests/support/media_tools.h"

namespace {

using namespace std::chrono_literals;

class EndedFromOutsideTest : public test::EndToEndTest,
                             public ::testing::WithParamInterface<int> {};

TEST_P(EndedFromOutsideTest, TheEncoderStopsWithTheProgram) {
    const int signal = GetParam();
    const std::string clip = LongClip("long clip.avi", 3600);
    const auto [program, encoder] =
        StartConverting("profile 2\nbrowse " + clip + "\nconvert\nquit\n");
    ASSERT_GT(encoder, 0);
    // Let it write some of the file.
    std::this_thread::sleep_for(2s);
    ASSERT_EQ(kill(program, signal), 0);
    const int status = WaitForProgram(program, 60s);

    // The encoder dies with the program, however the program ended.
    EXPECT_TRUE(test::EndsWithin(encoder, 5s));
    EXPECT_EQ(test::ProcessesMentioning(export_), std::vector<std::string>());
    EXPECT_EQ(test::ProcessesMentioning(runtime_), std::vector<std::string>());

    if (signal == SIGKILL) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        return;
    }
    // Closed without a question nobody could answer: a normal end, and the
    // conversion stopped as a stop does it, leaving nothing under its name.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ProgramLog();
    EXPECT_FALSE(std::filesystem::exists(export_ + "long clip.avi"));
}

INSTANTIATE_TEST_SUITE_P(Signals, EndedFromOutsideTest,
                         ::testing::Values(SIGTERM, SIGHUP, SIGINT, SIGKILL),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

// Killed outright while the burning stand-in's tool writes the disc image:
// the tool goes with it. It is caught and frozen first, so that it cannot end
// by itself before the program is killed.
class KilledWhileBurningTest : public test::EndToEndTest {};

TEST_F(KilledWhileBurningTest, TheBurningToolGoesWithTheProgram) {
    const std::string clip = Clip("holiday clip.avi", 10, "-c:v mpeg4 -c:a mp2");
    const pid_t program = StartScript("target 4\nprofile 5\nbrowse " + clip +
                                      "\nconvert\nburn now\nburn wait\nquit\n");
    ASSERT_GT(program, 0);
    const pid_t tool = test::CatchAndFreezeChild(program, "vcdimager", 180s);
    ASSERT_GT(tool, 0) << "vcdimager never ran:\n" << ProgramLog();

    ASSERT_EQ(kill(program, SIGKILL), 0);
    const int status = WaitForProgram(program, 10s);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_TRUE(test::EndsWithin(tool, 5s)) << "vcdimager outlived the program";
}

}  // namespace
