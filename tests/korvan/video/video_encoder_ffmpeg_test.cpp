// The encoder's streams checked by a real decoder: ffmpeg decodes them
// without a word, and its pictures equal the encoder's own reconstruction
// (a lower figure than 50 dB means the local decoder and a real decoder
// disagree and the pictures drift).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "korvan/cli/video_encode.h"
#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/video/video_encoder.h"
#include "tests/korvan/video/ffmpeg_client.h"
#include "tests/support/temp_dir.h"

namespace {

using test::Clip;
using Preset = korvan::EncoderPreset;
using korvan::TvSystem;

constexpr double kDriftLimitDb = 50.0;

struct Clips {
    test::TempDir dir{"zarvo vidéo"};
    std::string pattern = dir / "test pattern.y4m";
    std::string pan = dir / "pan.y4m";
    std::string dvdPal = dir / "dvd pal.y4m";
};

class VideoEncoderFfmpegTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        clips_ = new Clips;
        ASSERT_TRUE(test::MakeClip(clips_->pattern, Clip::kTestPattern, 176, 144, 13));
        ASSERT_TRUE(test::MakeClip(clips_->pan, Clip::kPan, 176, 144, 13));
        ASSERT_TRUE(test::MakeClip(clips_->dvdPal, Clip::kPan, 720, 576, 5));
    }
    static void TearDownTestSuite() {
        delete clips_;
        clips_ = nullptr;
    }

    struct Outcome {
        korvan::Status result;
        test::Decoded decoded;
        std::vector<test::Picture> reconstruction;
        std::string stream;
    };

    // Encodes `input` with `settings`, decodes the stream with ffmpeg and
    // reads the reconstruction back.
    Outcome Encode(const korvan::EncoderSettings& settings, const std::string& input,
                   const std::string& name, const std::string& pixelFormat = "yuv420p") {
        Outcome o;
        o.stream = clips_->dir / (name + (settings.IsMpeg2() ? ".m2v" : ".m1v"));
        const std::string recon = clips_->dir / (name + " recon.y4m");
        o.result =
            korvan::EncodeVideoFile(settings, {input, o.stream, recon}, korvan::CpuFlags::kNone);
        if (!o.result.IsOk()) return o;
        o.decoded =
            test::DecodeWithFfmpeg(o.stream, clips_->dir / (name + " decoded.y4m"), pixelFormat);
        o.reconstruction = test::ReadY4mPictures(recon);
        return o;
    }

    // Clean decode, one picture per input picture, no drift.
    void ExpectClean(const Outcome& o, size_t pictures) {
        ASSERT_TRUE(o.result.IsOk()) << o.result.message;
        EXPECT_EQ(o.decoded.status, 0);
        EXPECT_EQ(o.decoded.messages, "");
        ASSERT_EQ(o.decoded.pictures.size(), pictures);
        ASSERT_EQ(o.reconstruction.size(), pictures);
        EXPECT_GE(test::WorstPsnr(o.decoded.pictures, o.reconstruction), kDriftLimitDb);
    }

    static Clips* clips_;
};

Clips* VideoEncoderFfmpegTest::clips_ = nullptr;

TEST_F(VideoEncoderFfmpegTest, EveryPresetDecodesCleanlyWithoutDrift) {
    const std::pair<Preset, const char*> targets[] = {
        {Preset::kMpeg1, "mpeg1"},   {Preset::kVideoCd, "vcd"}, {Preset::kMpeg2, "mpeg2"},
        {Preset::kSuperVcd, "svcd"}, {Preset::kDvd, "dvd"},
    };
    for (const auto& [target, name] : targets) {
        for (bool pal : {true, false}) {
            SCOPED_TRACE(std::string(name) + (pal ? " PAL" : " NTSC"));
            korvan::EncoderSettings s = korvan::PresetSettings(
                target, pal ? korvan::TvSystem::kPal : korvan::TvSystem::kNtsc);
            // The DVD PAL preset runs at its real picture size.
            const bool full = target == Preset::kDvd && pal;
            const std::string input = full ? clips_->dvdPal : clips_->pan;
            Outcome o = Encode(s, input, std::string(name) + (pal ? " pal" : " ntsc"));
            ExpectClean(o, full ? 5 : 13);
        }
    }
}

TEST_F(VideoEncoderFfmpegTest, SyntaxVariantsDecodeCleanlyWithoutDrift) {
    struct Variant {
        const char* name;
        Preset target;
        std::function<void(korvan::EncoderSettings&)> change;
    };
    const Variant variants[] = {
        {"mpeg1 M1", Preset::kMpeg1, [](auto& s) { s.ipFrameDistance = 1; }},
        {"mpeg1 M2", Preset::kMpeg1,
         [](auto& s) {
             s.ipFrameDistance = 2;
             s.iFramesInGOP = 6;
         }},
        {"mpeg1 N1", Preset::kMpeg1,
         [](auto& s) {
             s.ipFrameDistance = 1;
             s.iFramesInGOP = 1;
         }},
        {"mpeg1 slices", Preset::kMpeg1, [](auto& s) { s.sliceHdrEveryMBrow = 1; }},
        {"mpeg1 fine quantiser", Preset::kMpeg1, [](auto& s) { s.mquantValue = 1; }},
        {"mpeg1 float dct", Preset::kMpeg1, [](auto& s) { s.useFloatingPoint = 1; }},
        {"mpeg1 windowed search", Preset::kMpeg1, [](auto& s) { s.variableMaxMotion = 4; }},
        {"mpeg2 M1", Preset::kMpeg2, [](auto& s) { s.ipFrameDistance = 1; }},
        {"mpeg2 M2", Preset::kMpeg2,
         [](auto& s) {
             s.ipFrameDistance = 2;
             s.iFramesInGOP = 6;
         }},
        {"mpeg2 N1", Preset::kMpeg2,
         [](auto& s) {
             s.ipFrameDistance = 1;
             s.iFramesInGOP = 1;
         }},
        {"mpeg2 linear zigzag", Preset::kMpeg2,
         [](auto& s) {
             s.quantizationScaleI = s.quantizationScaleP = s.quantizationScaleB = 0;
             s.alternateScanI = s.alternateScanP = s.alternateScanB = 0;
             s.intraVLCFormatI = 0;
         }},
        {"mpeg2 intra vlc everywhere", Preset::kMpeg2,
         [](auto& s) {
             s.intraVLCFormatP = s.intraVLCFormatB = 1;
             s.mquantValue = 1;
         }},
        {"mpeg2 dc precision 0", Preset::kMpeg2, [](auto& s) { s.intraDCPrec = 0; }},
        {"mpeg2 dc precision 2", Preset::kMpeg2, [](auto& s) { s.intraDCPrec = 2; }},
        {"mpeg2 dc precision 3", Preset::kMpeg2,
         [](auto& s) {
             s.intraDCPrec = 3;
             s.profile = korvan::kProfileHigh;
         }},
        {"mpeg2 progressive", Preset::kMpeg2,
         [](auto& s) {
             s.progressiveSequence = s.progressiveFrame = 1;
             s.topFieldFirst = 0;
         }},
        {"mpeg2 frame and field syntax", Preset::kMpeg2,
         [](auto& s) { s.framePredDCTI = s.framePredDCTP = s.framePredDCTB = 0; }},
        {"mpeg2 coarse quantiser", Preset::kMpeg2, [](auto& s) { s.mquantValue = 31; }},
        {"mpeg2 windowed search", Preset::kMpeg2, [](auto& s) { s.variableMaxMotion = 0; }},
        {"svcd user data", Preset::kSuperVcd, [](auto& s) { s.embedSVCDUserBlocks = 1; }},
        {"picture display extension", Preset::kDvd,
         [](auto& s) {
             s.writePictureDisplayExt = 1;
             s.frameCentreHorizontalOffset = -48;
             s.frameCentreVerticalOffset = 16;
         }},
        {"time code and pulldown", Preset::kMpeg2,
         [](auto& s) {
             s.frameRateCode = 1;
             s.frameRate = 24000.0 / 1001;
             s.videoPulldownFlag = 2;
             s.firstFramePictures = 24 * 3600 + 5;
         }},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        korvan::EncoderSettings s = korvan::PresetSettings(v.target, korvan::TvSystem::kPal);
        v.change(s);
        ExpectClean(Encode(s, clips_->pan, v.name), 13);
    }
}

TEST_F(VideoEncoderFfmpegTest, InterlacedToolsAreUsedAndDecodeCleanlyWithoutDrift) {
    const std::string input = clips_->dir / "interlaced pan.y4m";
    ASSERT_TRUE(test::MakeClip(input, Clip::kInterlacedPan, 176, 144, 13));
    struct Case {
        const char* name;
        int referenceDistance;
        int gopSize;
        bool fieldPictures;
        bool topFieldFirst;
    };
    const Case cases[] = {
        {"interlaced M3", 3, 12, false, true},
        {"interlaced M1 dual prime", 1, 12, false, true},
        {"field pictures M3", 3, 12, true, true},
        {"field pictures M1 bottom first", 1, 6, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        korvan::EncoderSettings s = korvan::PresetSettings(Preset::kMpeg2, TvSystem::kPal);
        s.framePredDCTI = s.framePredDCTP = s.framePredDCTB = 0;
        s.ipFrameDistance = c.referenceDistance;
        s.iFramesInGOP = c.gopSize;
        s.fieldPictures = c.fieldPictures;
        s.topFieldFirst = c.topFieldFirst;
        korvan::VideoStatistics statistics;
        Outcome o;
        o.stream = clips_->dir / (std::string(c.name) + ".m2v");
        const std::string recon = clips_->dir / (std::string(c.name) + " recon.y4m");
        o.result = korvan::EncodeVideoFile(s, {input, o.stream, recon}, korvan::CpuFlags::kNone,
                                           &statistics);
        ASSERT_TRUE(o.result.IsOk()) << o.result.message;
        o.decoded =
            test::DecodeWithFfmpeg(o.stream, clips_->dir / (std::string(c.name) + " dec.y4m"));
        o.reconstruction = test::ReadY4mPictures(recon);
        ExpectClean(o, 13);
        if (c.fieldPictures) {
            EXPECT_EQ(statistics.pictures, 26);
            continue;
        }
        // The fields of this clip differ by a field period of motion: the
        // field tools must win often.
        EXPECT_GT(statistics.fieldDctMacroblocks, 50);
        EXPECT_GT(statistics.fieldMotionMacroblocks + statistics.dualPrimeMacroblocks, 30);
        if (c.referenceDistance == 1) {
            EXPECT_GT(statistics.dualPrimeMacroblocks, 20);
        }
    }
}

TEST_F(VideoEncoderFfmpegTest, PulldownRepeatsAFieldInEveryOtherPicture) {
    korvan::EncoderSettings s = korvan::PresetSettings(Preset::kDvd, TvSystem::kNtsc);
    s.frameRateCode = 1;
    s.frameRate = 24000.0 / 1001;
    s.videoPulldownFlag = 1;
    Outcome o = Encode(s, clips_->pan, "pulldown flags");
    ExpectClean(o, 13);
    std::string probe;
    test::RunCommand("ffprobe -v error -show_entries frame=repeat_pict,top_field_first -of csv " +
                         test::ShellQuote(o.stream),
                     &probe);
    // "frame,<top_field_first>,<repeat_pict>" per picture (side data may follow).
    std::string frames;
    for (size_t at = probe.find("frame,"); at != std::string::npos;
         at = probe.find("frame,", at + 1))
        frames += probe.substr(at + 6, 3) + " ";
    // Display order: top first and repeated, bottom first, bottom first and
    // repeated, top first; 3 + 2 + 3 + 2 fields.
    std::string expected;
    const char* cadence[4] = {"1,1 ", "0,0 ", "0,1 ", "1,0 "};
    for (int i = 0; i < 13; ++i) expected += cadence[i % 4];
    EXPECT_EQ(frames, expected);
}

TEST_F(VideoEncoderFfmpegTest, TestPatternDecodesCleanlyInBothSyntaxes) {
    for (Preset target : {Preset::kMpeg1, Preset::kDvd}) {
        korvan::EncoderSettings s = korvan::PresetSettings(target, korvan::TvSystem::kPal);
        ExpectClean(Encode(s, clips_->pattern, target == Preset::kDvd ? "pattern dvd" : "pattern"),
                    13);
    }
}

TEST_F(VideoEncoderFfmpegTest, FourTwoTwoInputCodesFourTwoTwoStreams) {
    const std::string input = clips_->dir / "four two two.y4m";
    ASSERT_TRUE(test::MakeClip(input, Clip::kPan, 176, 144, 7, "yuv422p"));
    korvan::EncoderSettings s = korvan::PresetSettings(Preset::kMpeg2, korvan::TvSystem::kPal);
    s.chromaFormat = 2;
    s.profile = korvan::kProfileHigh;
    Outcome o = Encode(s, input, "422", "yuv422p");
    ExpectClean(o, 7);
    std::string probe;
    test::RunCommand("ffprobe -v error -show_entries stream=pix_fmt -of default=nw=1:nk=1 " +
                         test::ShellQuote(o.stream),
                     &probe);
    EXPECT_EQ(probe, "yuv422p\n");
}

TEST_F(VideoEncoderFfmpegTest, QualityRisesAsTheQuantiserFalls) {
    const std::vector<test::Picture> source = test::ReadY4mPictures(clips_->pan);
    double previous = 0;
    for (int mquant : {31, 12, 4, 1}) {
        SCOPED_TRACE(mquant);
        korvan::EncoderSettings s = korvan::PresetSettings(Preset::kMpeg2, korvan::TvSystem::kPal);
        s.mquantValue = mquant;
        Outcome o = Encode(s, clips_->pan, "quantiser " + std::to_string(mquant));
        ExpectClean(o, 13);
        const double psnr = test::MeanLumaPsnr(o.decoded.pictures, source, 176 * 144);
        EXPECT_GT(psnr, previous + 1.0);
        previous = psnr;
    }
    EXPECT_GT(previous, 45.0);
}

TEST_F(VideoEncoderFfmpegTest, PictureTypesFollowTheGopPlan) {
    korvan::EncoderSettings s =
        korvan::PresetSettings(Preset::kDvd, korvan::TvSystem::kPal);  // N = 12, M = 3
    Outcome o = Encode(s, clips_->pan, "gop");
    ExpectClean(o, 13);
    std::string frames;
    test::RunCommand("ffprobe -v error -show_frames " + test::ShellQuote(o.stream), &frames);
    std::string types;
    for (size_t at = frames.find("pict_type="); at != std::string::npos;
         at = frames.find("pict_type=", at + 1)) {
        types += frames[at + 10];
    }
    // Display order; the last picture is a reference so nothing is left over.
    EXPECT_EQ(types, "IBBPBBPBBPBBI");
}

TEST_F(VideoEncoderFfmpegTest, StillPicturesSkipMacroblocksAcrossLongRuns) {
    // 45 macroblocks a row and one slice a picture (MPEG-1): a still picture's
    // P and B pictures skip runs longer than 33 macroblocks, which need the
    // address escape.
    const std::string input = clips_->dir / "still wide.y4m";
    ASSERT_EQ(test::RunCommand("ffmpeg -v error -y -f lavfi -i \"testsrc2=size=720x64:rate=25,"
                               "trim=end_frame=1,loop=loop=-1:size=1,setpts=N/25/TB\" -frames:v 7 "
                               "-pix_fmt yuv420p -f yuv4mpegpipe " +
                               test::ShellQuote(input)),
              0);
    for (Preset preset : {Preset::kMpeg1, Preset::kMpeg2}) {
        korvan::EncoderSettings s = korvan::PresetSettings(preset, TvSystem::kPal);
        s.iFramesInGOP = 6;
        Outcome o = Encode(s, input, preset == Preset::kMpeg1 ? "still 1" : "still 2");
        ExpectClean(o, 7);
        std::string log;
        test::RunCommand("ffmpeg -debug mb_type -i " + test::ShellQuote(o.stream) +
                             " -f null - 2>&1 | grep -c ' S '",
                         &log);
        EXPECT_GE(std::stoi(log), 16) << "rows with skipped macroblocks, of 24";
    }
}

TEST_F(VideoEncoderFfmpegTest, UserMatricesAreTransmittedAndUsed) {
    std::string intra = "8";
    std::string nonIntra;
    for (int i = 1; i < 64; ++i) intra += " " + std::to_string(10 + (i * 7) % 90);
    for (int i = 0; i < 64; ++i)
        nonIntra += std::to_string(12 + (i * 5) % 70) + (i % 8 == 7 ? "\n" : " ");
    const std::string intraPath = clips_->dir / "intra matrix.txt";
    const std::string nonIntraPath = clips_->dir / "non intra matrix.txt";
    test::WriteFile(intraPath, intra);
    test::WriteFile(nonIntraPath, nonIntra);
    for (Preset preset : {Preset::kMpeg1, Preset::kDvd}) {
        korvan::EncoderSettings s = korvan::PresetSettings(preset, TvSystem::kPal);
        korvan::SetSettingsText(s.intraQuantMatrix, intraPath);
        korvan::SetSettingsText(s.nonIntraQuantMatrix, nonIntraPath);
        // A decoder that took the matrices in the wrong order would drift.
        ExpectClean(Encode(s, clips_->pan, preset == Preset::kMpeg1 ? "matrices 1" : "matrices 2"),
                    13);
        korvan::SetSettingsText(s.nonIntraQuantMatrix, "mpeg default");
        ExpectClean(Encode(s, clips_->pan, preset == Preset::kMpeg1 ? "flat 1" : "flat 2"), 13);
    }
}

TEST_F(VideoEncoderFfmpegTest, VariableBitrateMpeg2AnnouncesTheMeasuredMaximum) {
    korvan::EncoderSettings s = korvan::PresetSettings(Preset::kMpeg2, TvSystem::kPal);
    ASSERT_EQ(s.maxBitrate, 0);
    Outcome o = Encode(s, clips_->pan, "measured maximum");
    ExpectClean(o, 13);
    const std::string stream = test::ReadFile(o.stream);
    int headers = 0;
    for (size_t at = stream.find(std::string("\0\0\1\xB3", 4)); at != std::string::npos;
         at = stream.find(std::string("\0\0\1\xB3", 4), at + 1)) {
        const auto byte = [&](size_t i) { return static_cast<uint8_t>(stream[at + i]); };
        const uint32_t bitRate = (byte(8) << 10) | (byte(9) << 2) | (byte(10) >> 6);
        // 13 pictures at 25 Hz: the largest second is the whole stream.
        const double bits = 8.0 * stream.size();
        EXPECT_NEAR(bitRate, bits / 400, bits / 400 * 0.02 + 2);
        EXPECT_EQ(byte(10) & 0x20, 0x20);                            // marker
        EXPECT_EQ(((byte(10) & 0x1F) << 5) | (byte(11) >> 3), 112);  // VBV size kept
        ++headers;
    }
    EXPECT_EQ(headers, 1);
}

// Until the library's own audio coder and multiplexer are wired in, ffmpeg
// multiplexes the video streams with silence for the disc tools.
TEST_F(VideoEncoderFfmpegTest, DiscToolsAcceptTheDvdAndVideoCdStreams) {
    Outcome dvd =
        Encode(korvan::PresetSettings(Preset::kDvd, TvSystem::kPal), clips_->dvdPal, "dvd disc");
    ExpectClean(dvd, 5);
    const std::string dvdProgram = clips_->dir / "dvd disc.mpg";
    ASSERT_EQ(test::RunCommand("ffmpeg -v error -y -i " + test::ShellQuote(dvd.stream) +
                               " -f lavfi -i anullsrc=r=48000:cl=stereo -shortest -target "
                               "pal-dvd -c:v copy " +
                               test::ShellQuote(dvdProgram)),
              0);
    const std::string folder = clips_->dir / "dvd folder";
    std::string log;
    EXPECT_EQ(
        test::RunCommand("VIDEO_FORMAT=PAL dvdauthor -o " + test::ShellQuote(folder) + " -t " +
                             test::ShellQuote(dvdProgram) + " && VIDEO_FORMAT=PAL dvdauthor -o " +
                             test::ShellQuote(folder) + " -T",
                         &log),
        0);
    EXPECT_EQ(log.find("ERR:"), std::string::npos) << log;
    EXPECT_EQ(log.find("WARN:"), std::string::npos) << log;
    test::RunCommand("lsdvd -x " + test::ShellQuote(folder) + " 2>/dev/null", &log);
    EXPECT_NE(log.find("Format: PAL, Aspect ratio: 4/3, Width: 720, Height: 576"),
              std::string::npos)
        << log;

    const std::string vcdInput = clips_->dir / "vcd clip.y4m";
    // vcdimager wants at least 75 sectors of stream.
    ASSERT_TRUE(test::MakeClip(vcdInput, Clip::kTestPattern, 352, 288, 50));
    Outcome vcd =
        Encode(korvan::PresetSettings(Preset::kVideoCd, TvSystem::kPal), vcdInput, "vcd disc");
    ExpectClean(vcd, 50);
    const std::string vcdProgram = clips_->dir / "vcd disc.mpg";
    ASSERT_EQ(test::RunCommand("ffmpeg -v error -y -i " + test::ShellQuote(vcd.stream) +
                               " -f lavfi -i anullsrc=r=44100:cl=stereo -shortest -target "
                               "pal-vcd -c:v copy " +
                               test::ShellQuote(vcdProgram)),
              0);
    EXPECT_EQ(test::RunCommand("cd " + test::ShellQuote(clips_->dir.Folder()) +
                                   " && vcdimager -t vcd2 " + test::ShellQuote(vcdProgram),
                               &log),
              0);
    EXPECT_EQ(log.find("WARN"), std::string::npos) << log;
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    EXPECT_NE(log.find("finished ok"), std::string::npos) << log;
}

TEST_F(VideoEncoderFfmpegTest, MismatchedChromaLayoutIsRefused) {
    korvan::EncoderSettings s = korvan::PresetSettings(Preset::kMpeg2, korvan::TvSystem::kPal);
    s.chromaFormat = 2;
    korvan::Status r = korvan::EncodeVideoFile(
        s, {clips_->pan, clips_->dir / "refused.m2v", ""}, korvan::CpuFlags::kNone);
    EXPECT_EQ(r.code, korvan::StatusCode::kInvalidSettings);
    EXPECT_NE(r.message.find("chromaFormat"), std::string::npos);
}

}  // namespace
