// Real files, opened as the job driver opens them (an AVI checked as one, a
// file list read as one source), read by the media layer's readers and
// served through the encode driver's callbacks: an MP4 (H.264 and AAC), an
// AVI (MJPEG and PCM) and a list of two clips, each made into a program
// stream that ffmpeg decodes without a word, with all its pictures and its
// sound. Sources that cannot be opened say why.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "korvan/media/source_reader.h"
#include "korvan/mpegenc/driver/encode_source.h"
#include "korvan/mpegenc/driver/reader_source.h"
#include "tests/korvan/driver/driver_test_support.h"
#include "tests/korvan/mux/mux_media.h"
#include "tests/support/media_tools.h"

namespace {

using korvan::CompileRequest;
using korvan::StatusCode;

class EncodeDriverInputsTest : public test::DriverFixture {
protected:
    // Encodes `input` for the target kind and checks the program stream.
    void EncodeAndCheck(const std::string& input, int kind, bool pal, const std::string& output,
                        double seconds = kSeconds) {
        const int sourcePictures = static_cast<int>(seconds * 25 + 0.5);
        korvan::media::SourceReader reader;
        korvan::EncodeSource opened;
        ASSERT_TRUE(opened.Open(reader, input, messages_.Sink()))
            << ::testing::PrintToString(messages_.Texts());
        EXPECT_EQ(messages_.Texts(), std::vector<std::string>{});
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
        ASSERT_EQ(request.status.code, StatusCode::kOk)
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
    EXPECT_EQ(korvan::SourceKindOf(input), korvan::SourceKind::kAvi);
    EncodeAndCheck(input, korvan::kTargetVideoCd, false, "camera.mpg");
}

// Two clips of 0.6 s, one named from the list's folder and one by its full
// path (with quotes in it), are 1.2 s of source.
TEST_F(EncodeDriverInputsTest, AFileListsClipsBecomeOneProgramStream) {
    ASSERT_TRUE(test::MakeClip(folder_ / "part one.avi", 0.6, "-c:v mpeg4 -c:a pcm_s16le"));
    ASSERT_TRUE(test::MakeClip(folder_ / "part 'two'.mkv", 0.6, "-c:v mpeg4 -c:a pcm_s16le"));
    const std::string list = folder_ / "both parts.LST";
    test::WriteFile(list,
                    "# two parts\r\npart one.avi\r\n\r\n" + (folder_ / "part 'two'.mkv") + "\r\n");
    EXPECT_EQ(korvan::SourceKindOf(list), korvan::SourceKind::kFileList);
    EncodeAndCheck(list, korvan::kTargetMpeg1, true, "both parts.mpg", 1.2);

    // The script the list is read through lasts as long as the source.
    korvan::media::SourceReader reader;
    korvan::EncodeSource source;
    ASSERT_TRUE(source.Open(reader, list, messages_.Sink()));
    const std::string script = reader.path;
    EXPECT_NE(script, list);
    EXPECT_TRUE(test::Exists(script));
    source.Close(reader);
    EXPECT_FALSE(reader.isOpen);
    EXPECT_FALSE(test::Exists(script));
}

// Each way an AVI or a list fails to open: its message, captioned with what
// failed, and no source.
TEST_F(EncodeDriverInputsTest, SourcesThatCannotBeOpenedSayWhy) {
    const std::string good = folder_ / "good.avi";
    ASSERT_TRUE(test::MakeClip(good, 0.5, "-c:v mpeg4 -c:a pcm_s16le"));
    const std::string avi = test::ReadFile(good);
    // The video stream header ("strh" "vids" and its handler) and its
    // format ("strf", a bitmap header: size, then width and height, and
    // the compression at 16).
    const std::size_t header = avi.find("strh");
    const std::size_t format = avi.find("strf");
    ASSERT_NE(header, std::string::npos);
    ASSERT_NE(format, std::string::npos);
    // Rows without a size: nothing in the stream tells it either.
    const std::string noSize = folder_ / "no size.avi";
    ASSERT_TRUE(
        test::MakeClip(noSize, 0.2, "-c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le", "64x48"));
    std::string rows = test::ReadFile(noSize);
    const std::size_t rowsFormat = rows.find("strf");
    ASSERT_NE(rowsFormat, std::string::npos);
    rows.replace(rowsFormat + 12, 8, std::string(8, '\0'));
    test::WriteFile(noSize, rows);
    const std::string noDecoder = folder_ / "no decoder.avi";
    std::string unknown = avi;
    unknown.replace(header + 12, 4, "ZZZZ");
    unknown.replace(format + 24, 4, "ZZZZ");
    test::WriteFile(noDecoder, unknown);
    // An audio stream would be a supported stream, so the stream types of
    // both go.
    std::string neither = avi;
    for (std::size_t at = neither.find("strh"); at != std::string::npos;
         at = neither.find("strh", at + 4)) {
        neither.replace(at + 8, 4, "ZZZZ");
    }
    test::WriteFile(folder_ / "no streams.avi", neither);
    const std::string notAnAvi = folder_ / "really an mp4.avi";
    ASSERT_TRUE(test::MakeClip(notAnAvi, 0.5, "-c:v mpeg4 -c:a aac -f mp4"));
    const std::string unlisted = folder_ / "unreadable.lst";
    std::filesystem::create_directory(unlisted);
    const std::string emptyList = folder_ / "empty.lst";
    test::WriteFile(emptyList, "# nothing\n\n");
    const std::string badEntry = folder_ / "bad entry.lst";
    test::WriteFile(badEntry, "good.avi\nmissing.avi\n");

    const std::string aviError = std::string(korvan::kApplicationTitle) + " - open AVI error";
    const std::string listError =
        std::string(korvan::kApplicationTitle) + " - open file list error";
    struct Case {
        std::string path;
        std::string caption;
        std::string text;
    };
    const std::string advice =
        ". \n\nMost probable reasons are\n1. Your video file is in DivX or XVid format.\n2. You "
        "haven't installed the latest version of Microsoft Media Player.\n\n";
    const Case cases[] = {
        {folder_ / "missing.avi", aviError, "Could not open " + (folder_ / "missing.avi") + advice},
        {notAnAvi, aviError, "Could not open " + notAnAvi + advice},
        {noSize, aviError, "Could not get video stream info from " + noSize + "."},
        {noDecoder, aviError, "Could not open getframe from " + noDecoder + ", compressor = ZZZZ."},
        {folder_ / "no streams.avi", aviError,
         (folder_ / "no streams.avi") + " does not contain any supported streams"},
        {folder_ / "missing.lst", listError,
         "Could not open file list " + (folder_ / "missing.lst") + "."},
        {unlisted, listError, "Could not open file list " + unlisted + "."},
        {emptyList, listError, "The file list " + emptyList + " names no file."},
        // A listed file that cannot be read says so as any input would.
        {badEntry, " - open file error", "Could not add PrimaryVideo to IAMMMultiMediaStream"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        messages_.shown.clear();
        korvan::media::SourceReader reader;
        korvan::EncodeSource source;
        EXPECT_FALSE(source.Open(reader, c.path, messages_.Sink()));
        EXPECT_FALSE(reader.isOpen);
        ASSERT_EQ(messages_.shown.size(), 1u) << ::testing::PrintToString(messages_.Texts());
        EXPECT_EQ(messages_.shown[0].caption, c.caption);
        // The advice ends with where the codecs are found.
        EXPECT_EQ(messages_.shown[0].text.substr(0, c.text.size()), c.text);
        EXPECT_EQ(messages_.shown[0].icon, korvan::MessageIcon::kError);
    }
    // The untouched AVI opens.
    messages_.shown.clear();
    korvan::media::SourceReader reader;
    korvan::EncodeSource source;
    EXPECT_TRUE(source.Open(reader, good, messages_.Sink()));
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{});
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
            ASSERT_EQ(request.status.code, StatusCode::kOk)
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
