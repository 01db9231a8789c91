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
        // The sound is read by a reader of its own, on a thread of its own.
        korvan::media::SourceReader soundReader;
        korvan::ReaderSource source(reader, soundReader);
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

// The job driver serves a window of its reader (from a first frame on, the
// sound ending with the window) and goes on after a split with the same
// reader in a further encode. With the sound on its own thread a second
// reader reads it, from the same place: each encode's audio stream is the
// one the first reader gives in turn on one thread.
TEST_F(EncodeDriverInputsTest, AWindowsSoundOnItsOwnThreadIsTheSoundReadInTurn) {
    const std::string input = folder_ / "window.mp4";
    ASSERT_TRUE(test::MakeClip(input, 9, "-c:v libx264 -pix_fmt yuv420p -c:a aac", "176x144"));
    struct Window {
        long long first;
        long long last;
    };
    const Window windows[] = {{20, 119}, {120, 219}};
    std::vector<std::string> inTurn;
    for (const bool alongside : {false, true}) {
        state_.threadCount = alongside ? 2 : 1;
        korvan::media::SourceReader reader;
        korvan::media::SourceReader soundReader;
        ASSERT_TRUE(korvan::media::OpenSourceReader(reader, input, messages_.Sink()));
        for (size_t w = 0; w < std::size(windows); ++w) {
            const Window& window = windows[w];
            SCOPED_TRACE(std::to_string(w) + (alongside ? ", sound alongside" : ""));
            const double seconds = static_cast<double>(window.last - window.first + 1) / 25;
            reader.firstFrame = window.first;
            reader.audioEndOverride =
                static_cast<long long>(seconds * reader.audioFormat.samplesPerSec);
            korvan::ReaderSource source(reader, soundReader);
            korvan::EncodeJob job = source.JobFor("");
            job.firstPicture = window.first;
            job.lastPicture = window.last;
            job.lastSample = static_cast<long long>(seconds * 44100) - 1;
            const std::string output = (alongside ? "alongside " : "in turn ") + std::to_string(w);
            job.outputPath = output + ".mpg";
            CompileRequest request;
            Prepare(request, korvan::kTargetMpeg1, true, reader.frameRate, seconds, nullptr);
            source.ServeCallbacks(request, korvan::media::AudioFetchForm::kEncoderPcm,
                                  window.first);
            ASSERT_EQ(Encode(job, request), korvan::kJobEncodeRan);
            ASSERT_EQ(request.status, EncodeStatus::kDone)
                << ::testing::PrintToString(messages_.Texts());
            const std::string sound = test::ReadFile(folder_ / (output + ".mp2"));
            EXPECT_GT(sound.size(), 10000u);
            if (alongside) {
                EXPECT_TRUE(sound == inTurn[w]);
            } else {
                inTurn.push_back(sound);
            }
        }
    }
    // Two windows of the same length: each has its own sound.
    ASSERT_EQ(inTurn.size(), 2u);
    EXPECT_TRUE(inTurn[0] != inTurn[1]);
}

}  // namespace
