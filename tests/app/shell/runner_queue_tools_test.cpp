#include "app/run/runner_queue_tools.h"

#include <gtest/gtest.h>

#include "app/profiles/conversion_target.h"
#include "app/profiles/profile_files.h"
#include "app/tools/activity_log.h"
#include "app/tools/run_context.h"
#include "tests/support/media_tools.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(RunnerQueueToolsCommandTest, EveryPathIsAWordOfItsOwn) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(JoinArguments({"/in put/a \"1\".avi", "/b.avi"}, "/out put/a_merge.avi"),
              Words({"mencoder", "-oac", "pcm", "-ovc", "copy", "-idx", "-o",
                     "/out put/a_merge.avi", "/in put/a \"1\".avi", "/b.avi"}));
    EXPECT_EQ(AudioRepairArguments("/my clips/phone \"x\".mp4", "/out/tmpmd/men_video.tmp"),
              Words({"mencoder", "-ovc", "lavc", "-oac", "pcm", "-o", "/out/tmpmd/men_video.tmp",
                     "/my clips/phone \"x\".mp4"}));
}

// The tools on the real mencoder and ffmpeg, with files in a folder whose
// name holds a blank, a double quote and a non-ASCII letter.
class RunnerQueueToolsTest : public ::testing::Test {
protected:
    std::string Clip(const std::string& name, double seconds, const std::string& options) {
        const std::string path = folder_ / name;
        EXPECT_TRUE(test::MakeClip(path, seconds, options, "160x120"));
        return path;
    }

    test::TempDir folder_{"queue \"tools\" ü"};
    test::RunSession session_;
    RunnerQueueTools tools_{session_.context, nullptr};
    // The window's first target and profile, where no profile file is.
    EncoderProfile profile_ = ReadEncoderProfile(ProfileFiles(folder_.Folder()), kTargetAvi, 0);
};

TEST_F(RunnerQueueToolsTest, JoinsPiecesWhateverTheirNamesHold) {
    const std::string a = Clip("piece one.avi", 1, "-c:v mpeg4 -c:a mp3");
    const std::string b = Clip("piece two.avi", 2, "-c:v mpeg4 -c:a mp3");
    const std::string joined = folder_ / "joined \"file\".avi";
    tools_.JoinFiles({a, b}, joined);
    const test::ProbedFile probed = test::ProbeWithFfprobe(joined);
    EXPECT_EQ(probed.videoCodec, "mpeg4");
    EXPECT_EQ(probed.audioCodec, "pcm_s16le");
    EXPECT_NEAR(probed.durationSeconds, 3, 0.3);
}

TEST_F(RunnerQueueToolsTest, RepairsAudioIntoPcm) {
    const std::string input = Clip("phone \"clip\".mp4", 1, "-c:v mpeg4 -c:a aac");
    const std::string repaired = folder_ / "men video.tmp";
    tools_.RepairAudio(input, repaired, 1);
    const test::ProbedFile probed = test::ProbeWithFfprobe(repaired);
    EXPECT_EQ(probed.formatName, "avi");
    EXPECT_EQ(probed.audioCodec, "pcm_s16le");
    EXPECT_NEAR(probed.durationSeconds, 1, 0.3);
}

TEST_F(RunnerQueueToolsTest, ProbeFindsDurationAndAudioStreams) {
    const std::string input = folder_ / "two tracks.vob";
    int exitCode = -1;
    test::RunArguments(
        test::WordsThen("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:duration=2 "
                        "-f lavfi -i sine=duration=2 -f lavfi -i sine=frequency=880:duration=2 "
                        "-map 0 -map 1 -map 2 -c:v mpeg2video -c:a ac3 -ar 48000 -f dvd",
                        input),
        &exitCode);
    ASSERT_EQ(exitCode, 0);
    const MediaInfo media = tools_.Probe(input);
    EXPECT_NEAR(media.durationSeconds, 2, 0.3);
    ASSERT_EQ(media.audioStreamLines.size(), 2u);
    EXPECT_NE(media.audioStreamLines[1].find("[0x81]: Audio: ac3"), std::string::npos);
}

// The queue probes each input just before converting it; the conversion
// takes its facts from that probe rather than probing the file again.
TEST_F(RunnerQueueToolsTest, AConversionUsesTheQueuesProbeOfItsInput) {
    // H.264 says its field order, so no idet pass is needed either.
    const std::string input = Clip("phone clip.mp4", 1, "-c:v libx264 -c:a aac");
    const std::string output = folder_ / "out.3gp";
    tools_.Probe(input);
    const int runs = session_.log.RunCount();
    tools_.ConvertFile(profile_, input, output);
    EXPECT_EQ(session_.log.RunCount(), runs + 1);
    // Without a probe of it just before, the conversion probes it itself.
    tools_.ConvertFile(profile_, input, output);
    EXPECT_EQ(session_.log.RunCount(), runs + 3);
}

// The list, the RealVideo check and the queue all ask about a file: one
// probe answers them until the file changes, its failure included.
TEST_F(RunnerQueueToolsTest, AFileIsProbedOnceUntilItChanges) {
    const std::string input = Clip("asked thrice.avi", 1, "-c:v mpeg4 -c:a mp3");
    const std::string broken = folder_ / "broken.avi";
    test::WriteFile(broken, std::string(4096, 'x'));
    const int runs = session_.log.RunCount();
    const MediaInfo first = tools_.Probe(input);
    EXPECT_NEAR(tools_.Probe(input).durationSeconds, first.durationSeconds, 1e-9);
    EXPECT_EQ(tools_.Probe(input).videoCodec, first.videoCodec);
    EXPECT_EQ(session_.log.RunCount(), runs + 1);
    EXPECT_EQ(tools_.Probe(broken).videoCodec, "");
    const std::string reason = tools_.LastFailure();
    EXPECT_NE(reason, "");
    tools_.Probe(input);
    EXPECT_EQ(tools_.Probe(broken).videoCodec, "");
    EXPECT_EQ(tools_.LastFailure(), reason);
    EXPECT_EQ(session_.log.RunCount(), runs + 2);
    // A file made anew under the same name is probed anew.
    const std::string longer = Clip("asked thrice.avi", 2, "-c:v mpeg4 -c:a mp3");
    EXPECT_NEAR(tools_.Probe(longer).durationSeconds, 2, 0.3);
    EXPECT_EQ(session_.log.RunCount(), runs + 3);
}

TEST_F(RunnerQueueToolsTest, TheCancelFlagIsTheToolRunnersOne) {
    session_.context.cancelRequested = true;
    // Every new tool run clears the stop request.
    tools_.Probe(folder_ / "missing.avi");
    EXPECT_FALSE(session_.context.cancelRequested);
}

}  // namespace
