// Real files, read by the media layer's readers and served through the
// encode driver's callbacks as the job driver serves them: an MP4 (H.264
// and AAC) and an AVI (MJPEG and PCM), each made into a program stream that
// ffmpeg decodes without a word, with all its pictures and its sound.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvan/media/source_reader.h"
#include "tests/korvan/driver/driver_test_support.h"
#include "tests/korvan/mux/mux_media.h"
#include "tests/support/media_tools.h"

namespace {

using korvan::CompileRequest;
using korvan::EncodeStatus;

// A source the readers opened, handing out its pictures and its sound (as
// 44 100 Hz stereo) through a request's callbacks.
class ReaderSource {
public:
    ~ReaderSource() { korvan::media::CloseSourceReader(reader_); }

    bool Open(const std::string& path, const korvan::MessageSink& messages) {
        return korvan::media::OpenSourceReader(reader_, path, messages);
    }
    const korvan::media::SourceReader& Reader() const { return reader_; }

    void Serve(CompileRequest& request) {
        request.getPicture = [this](int64_t number, korvan::FetchedPicture& picture) {
            int rowBytes = 0;
            const uint8_t* pixels = nullptr;
            const int status = korvan::media::FetchSourceFrame(reader_, number, rowBytes, pixels);
            if (status != 0) return status;
            picture = {pixels, reader_.outputWidth, reader_.outputHeight, rowBytes};
            return 0;
        };
        request.audioPositions = korvan::AudioPositions::kBySample;
        request.getAudio = [this](int64_t position, korvan::FetchedAudio& audio) {
            long long samples = 0;
            long long bytes = 0;
            const uint8_t* buffer = nullptr;
            const int status = korvan::media::FetchSourceAudio(
                reader_, position, korvan::media::AudioFetchForm::kEncoderPcm, samples, bytes,
                buffer);
            if (status != 0) return status;
            audio = {buffer, static_cast<size_t>(bytes)};
            return 0;
        };
    }

private:
    korvan::media::SourceReader reader_;
};

class EncodeDriverInputsTest : public test::DriverFixture {
protected:
    // Encodes `input` for the target kind and checks the program stream.
    void EncodeAndCheck(const std::string& input, int kind, bool pal, const std::string& output) {
        ReaderSource source;
        ASSERT_TRUE(source.Open(input, messages_.Sink()))
            << ::testing::PrintToString(messages_.Texts());
        const korvan::media::SourceReader& reader = source.Reader();
        ASSERT_EQ(reader.lastFrame + 1, kPictures);

        korvan::EncodeJob job;
        job.hasVideo = true;
        job.width = reader.width;
        job.height = reader.height;
        job.firstPicture = 0;
        job.lastPicture = reader.lastFrame;
        job.hasAudio = true;
        job.sampleRateHz = 44100;
        job.stereo = true;
        job.bitsPerSample = 16;
        job.outputPath = output;

        CompileRequest request;
        Prepare(request, kind, pal, reader.frameRate,
                static_cast<double>(reader.duration) / korvan::media::kUnitsPerSecond, nullptr);
        request.inputs = {input};
        source.Serve(request);
        ASSERT_EQ(Encode(job, request), korvan::kJobEncodeRan);
        ASSERT_EQ(request.status, EncodeStatus::kDone)
            << ::testing::PrintToString(messages_.Texts());
        EXPECT_FALSE(request.split);
        EXPECT_EQ(request.sourcePicturesDone, kPictures);

        const std::string program = folder_ / output;
        EXPECT_EQ(request.resultPath, program);
        EXPECT_EQ(test::DecodeErrors(program), "");
        // A PAL target keeps the 25 pictures of each second; an NTSC one
        // shows the same second in 30.
        const int pictures = pal ? kPictures : kPictures * 30 / 25;
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
                EXPECT_GE(test::AudioFrameSeconds(stream.frames), kSeconds - 1152.0 / 44100);
                EXPECT_LE(test::AudioFrameSeconds(stream.frames),
                          kSeconds + test::kAudioTailSeconds);
            }
        }
        EXPECT_EQ(videoStreams, 1);
        EXPECT_EQ(audioStreams, 1);
    }

    static constexpr int kPictures = 25;
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

}  // namespace
