// The encoder's streams checked by a real decoder: ffmpeg decodes them
// without a word, and its pictures equal the encoder's own reconstruction
// (a lower figure than 50 dB means the local decoder and a real decoder
// disagree and the pictures drift).
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "korvan/cli/video_encode.h"
#include "korvan/mpegenc/settings/encoder_presets.h"
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
        korvan::VideoResult result;
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
        o.result = korvan::EncodeVideoFile(settings, {input, o.stream, recon}, 0);
        if (!o.result.Ok()) return o;
        o.decoded =
            test::DecodeWithFfmpeg(o.stream, clips_->dir / (name + " decoded.y4m"), pixelFormat);
        o.reconstruction = test::ReadY4mPictures(recon);
        return o;
    }

    // Clean decode, one picture per input picture, no drift.
    void ExpectClean(const Outcome& o, size_t pictures) {
        ASSERT_TRUE(o.result.Ok()) << o.result.message;
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
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        korvan::EncoderSettings s = korvan::PresetSettings(v.target, korvan::TvSystem::kPal);
        v.change(s);
        ExpectClean(Encode(s, clips_->pan, v.name), 13);
    }
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

TEST_F(VideoEncoderFfmpegTest, MismatchedChromaLayoutIsRefused) {
    korvan::EncoderSettings s = korvan::PresetSettings(Preset::kMpeg2, korvan::TvSystem::kPal);
    s.chromaFormat = 2;
    korvan::VideoResult r =
        korvan::EncodeVideoFile(s, {clips_->pan, clips_->dir / "refused.m2v", ""}, 0);
    EXPECT_EQ(r.code, korvan::kVideoInvalidSettings);
    EXPECT_NE(r.message.find("chromaFormat"), std::string::npos);
}

}  // namespace
