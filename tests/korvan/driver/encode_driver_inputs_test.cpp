// Real files, read by the media layer's readers and served through the
// encode driver's callbacks as the job driver serves them: an MP4 (H.264
// and AAC) and an AVI (MJPEG and PCM), each made into a program stream that
// ffmpeg decodes without a word, with all its pictures and its sound.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvan/media/source_reader.h"
#include "korvan/mpegenc/driver/reader_source.h"
#include "tests/korvan/driver/driver_test_support.h"
#include "tests/korvan/mux/mux_media.h"
#include "tests/support/media_tools.h"

namespace {

using korvan::CompileRequest;
using korvan::EncodeStatus;

class EncodeDriverInputsTest : public test::DriverFixture {
protected:
    // Encodes `input` for the target kind and checks the program stream.
    void EncodeAndCheck(const std::string& input, int kind, bool pal, const std::string& output,
                        double seconds = kSeconds) {
        const int sourcePictures = static_cast<int>(seconds * 25 + 0.5);
        korvan::media::SourceReader reader;
        ASSERT_TRUE(korvan::media::OpenSourceReader(reader, input, messages_.Sink()))
            << ::testing::PrintToString(messages_.Texts());
        ASSERT_EQ(reader.lastFrame + 1, sourcePictures);
        korvan::ReaderSource source(reader);
        const korvan::EncodeJob job = source.JobFor(output);
        EXPECT_TRUE(job.hasAudio);
        EXPECT_EQ(job.sampleRateHz, 44100);

        CompileRequest request;
        Prepare(request, kind, pal, reader.frameRate,
                static_cast<double>(reader.duration) / korvan::media::kUnitsPerSecond, nullptr);
        request.inputs = {input};
        source.Serve(request);
        ASSERT_EQ(Encode(job, request), korvan::kJobEncodeRan);
        ASSERT_EQ(request.status, EncodeStatus::kDone)
            << ::testing::PrintToString(messages_.Texts());
        EXPECT_FALSE(request.split);
        EXPECT_EQ(request.sourcePicturesDone, sourcePictures);

        const std::string program = folder_ / output;
        EXPECT_EQ(request.resultPath, program);
        EXPECT_EQ(test::DecodeErrors(program), "");
        // A PAL target keeps the 25 pictures of each second; an NTSC one
        // shows the same second in 30.
        const int pictures = pal ? sourcePictures : sourcePictures * 30 / 25;
        int videoStreams = 0;
        int audioStreams = 0;
        for (const test::ProbedStream& stream : test::ProbeStreams(program)) {
            if (stream.codec == "dvd_nav_packet") continue;
            if (stream.codec.rfind("mpeg", 0) == 0) {
                ++videoStreams;
                EXPECT_NEAR(stream.frames, pictures, 1) << output;
            } else {
                ++audioStreams;
                EXPECT_EQ(stream.codec, "mp2");
                EXPECT_GE(test::AudioFrameSeconds(stream.frames), seconds - 1152.0 / 44100);
                EXPECT_LE(test::AudioFrameSeconds(stream.frames),
                          seconds + test::kAudioTailSeconds);
            }
        }
        EXPECT_EQ(videoStreams, 1);
        EXPECT_EQ(audioStreams, 1);
    }

    static constexpr double kSeconds = 1.0;
};

TEST_F(EncodeDriverInputsTest, AnMp4OfH264AndAacBecomesASuperVcdProgramStream) {
    const std::string input = folder_ / "phone clip.mp4";
    ASSERT_TRUE(test::MakeClip(input, kSeconds, "-c:v libx264 -pix_fmt yuv420p -c:a aac"));
    EncodeAndCheck(input, korvan::kTargetSuperVcd, true, "phone clip.mpg");
}

TEST_F(EncodeDriverInputsTest, AnAviOfMjpegAndPcmBecomesAnNtscVideoCdProgramStream) {
    const std::string input = folder_ / "camera.avi";
    ASSERT_TRUE(test::MakeClip(input, kSeconds, "-c:v mjpeg -pix_fmt yuvj420p -c:a pcm_s16le"));
    EncodeAndCheck(input, korvan::kTargetVideoCd, false, "camera.mpg");
}

// Sources over 8 s are read in chunks of 2.5 s of sound, more than one
// callback may return: they reach the encode in pieces, every one of them.
TEST_F(EncodeDriverInputsTest, ALongSourcesSoundArrivesInPiecesTheCallbackMayReturn) {
    const std::string input = folder_ / "long.mp4";
    constexpr double kLongSeconds = 9.0;
    ASSERT_TRUE(
        test::MakeClip(input, kLongSeconds, "-c:v libx264 -pix_fmt yuv420p -c:a aac", "176x144"));
    EncodeAndCheck(input, korvan::kTargetMpeg1, true, "long.mpg", kLongSeconds);
}

}  // namespace
