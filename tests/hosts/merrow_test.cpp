// merrow, the audio converter, run as the library runs it: a hand-off file
// in the per-user temporary folder, the program without arguments.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/private_profile.h"
#include "platform/temp_folder.h"
#include "tests/support/media_tools.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

class MerrowTest : public ::testing::Test {
protected:
    void SetUp() override {
        // merrow finds its hand-off file where the library leaves it.
        ASSERT_FALSE(platform::TempFolder().empty());
        handOff_ = platform::TempFolder() + "zarvo.ini";
        ASSERT_TRUE(test::MakeClip(avi_, 4, "-c:v mjpeg -c:a pcm_s16le"));
    }
    void TearDown() override { fs::remove(handOff_); }

    void HandOff(const std::string& key, const std::string& value) {
        ASSERT_TRUE(platform::WritePrivateProfileString("zarvo", key, value, handOff_));
    }

    test::ProgramRun RunMerrow() { return test::RunProgram({ZARVO_PROGRAM_FOLDER "merrow"}); }

    test::TempDir media_{"merrow ü"};
    std::string avi_ = media_ / "sound source.temp.avi";
    std::string mp3_ = media_ / "sound source.mp3";
    std::string handOff_;
};

TEST_F(MerrowTest, WritesTheMp3OfTheChosenSecondsOfTheAvisSound) {
    HandOff("action", "1");
    HandOff("source", avi_);
    HandOff("target", mp3_);
    HandOff("2mp3", "1");
    HandOff("time1", "1");
    HandOff("time2", "3");
    const test::ProgramRun run = RunMerrow();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const test::ProbedFile mp3 = test::ProbeWithFfprobe(mp3_);
    EXPECT_EQ(mp3.audioCodec, "mp3");
    EXPECT_EQ(mp3.videoCodec, "");
    EXPECT_NEAR(mp3.durationSeconds, 2, 0.1);
    EXPECT_NEAR(test::ToneFrequencyHz(mp3_, media_ / "tone.raw"), 440, 5);

    // Without times the whole sound.
    HandOff("time1", "0");
    HandOff("time2", "0");
    ASSERT_EQ(RunMerrow().exitCode, 0);
    EXPECT_NEAR(test::ProbeWithFfprobe(mp3_).durationSeconds, 4, 0.1);
    EXPECT_FALSE(fs::exists(mp3_ + ".part"));
}

TEST_F(MerrowTest, FailuresExitNonZeroAndLeaveNoMp3) {
    const test::ProgramRun nothingAsked = RunMerrow();
    EXPECT_EQ(nothingAsked.exitCode, 2);
    EXPECT_NE(nothingAsked.err.find("asks for no MP3"), std::string::npos);

    HandOff("action", "1");
    HandOff("2mp3", "1");
    HandOff("source", media_ / "missing.avi");
    HandOff("target", mp3_);
    EXPECT_EQ(RunMerrow().exitCode, 1);

    // A source that is no media at all.
    test::WriteFile(media_ / "text.avi", std::string(4096, 'x'));
    HandOff("source", media_ / "text.avi");
    const test::ProgramRun broken = RunMerrow();
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.err.find("could not make the MP3"), std::string::npos);
    EXPECT_FALSE(fs::exists(mp3_));
    EXPECT_FALSE(fs::exists(mp3_ + ".part"));
}

}  // namespace
