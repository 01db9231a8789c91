// The program ended from outside in the middle of a conversion: by a
// logout or shutdown (SIGTERM), a closed terminal (SIGHUP) or Ctrl-C
// (SIGINT) it closes as its window's Close button closes it, stopping its
// encoder so that the file is finished as after a stop; killed outright
// (SIGKILL), it still takes its encoder with it.
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
    // Small pictures at a low rate: quick to make, and an hour of them takes
    // minutes to blow up to the profile's size.
    const std::string clip = clips_ + "long clip.avi";
    test::MustRun(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=5:duration=3600 -c:v mpeg4 " +
        test::Quoted(clip));
    const pid_t program = StartScript("profile 2\nbrowse " + clip + "\nconvert\nquit\n");
    ASSERT_GT(program, 0);

    const pid_t encoder = WaitForConversionTool(program);
    ASSERT_GT(encoder, 0) << ProgramLog();
    // Let it write some of the file.
    std::this_thread::sleep_for(2s);
    ASSERT_EQ(kill(program, signal), 0);
    const int status = WaitForProgram(program, 60s);

    // The encoder dies with the program, however the program ended.
    const auto gone = std::chrono::steady_clock::now() + 5s;
    while (test::IsProcessRunning(encoder) && std::chrono::steady_clock::now() < gone) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_FALSE(test::IsProcessRunning(encoder));
    EXPECT_EQ(test::ProcessesMentioning(export_), std::vector<std::string>());
    EXPECT_EQ(test::ProcessesMentioning(runtime_), std::vector<std::string>());

    if (signal == SIGKILL) {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        return;
    }
    // Closed the way the Close button closes it: a normal end, and the
    // conversion stopped as a stop does it, the file finished under its name.
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ProgramLog();
    const test::ProbedFile cut = test::ProbeWithFfprobe(export_ + "long clip.avi");
    EXPECT_GT(cut.durationSeconds, 0);
    EXPECT_LT(cut.durationSeconds, 3000);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndedFromOutsideTest,
                         ::testing::Values(SIGTERM, SIGHUP, SIGINT, SIGKILL),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(sigabbrev_np(info.param));
                         });

}  // namespace
