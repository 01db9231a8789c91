#include "korvan/mpegenc/settings/encode_input_check.h"

#include <gtest/gtest.h>

#include <cmath>

#include "korvan/mpegenc/settings/automatic_bitrate.h"
#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/settings/frame_rates.h"
#include "korvan/mpegenc/settings/settings_validation.h"
#include "korvan/mpegenc/settings/video_stream_extension.h"
#include "tests/korvan/settings/settings_test_support.h"

namespace {

using korvan::EncoderPreset;
using korvan::EncoderSettings;
using korvan::TvSystem;

EncoderSettings WithPicture(EncoderPreset preset, int width, int height) {
    EncoderSettings settings = korvan::PresetSettings(preset, TvSystem::kPal);
    settings.horizontalSize = width;
    settings.verticalSize = height;
    return settings;
}

TEST(EncodeInputCheckTest, PictureSizesUpTo1920By1152WithEvenSides) {
    struct Case {
        int width;
        int height;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {1920, 1152, {}},
        {2, 2, {}},
        {1922, 1080, {"Horizontal size must be in the range 1 .. 1920."}},
        {720, 1154, {"Vertical size must be in the range 1 .. 1152."}},
        {721, 480, {"Horizontal size must be a even."}},
        {720, 481, {"Vertical size must be a even."}},
        {0,
         0,
         {"Horizontal size must be in the range 1 .. 1920.",
          "Vertical size must be in the range 1 .. 1152."}},
        {1921,
         1153,
         {"Horizontal size must be in the range 1 .. 1920.",
          "Vertical size must be in the range 1 .. 1152.", "Horizontal size must be a even.",
          "Vertical size must be a even."}},
    };
    for (const Case& c : cases) {
        EncoderSettings settings = WithPicture(EncoderPreset::kMpeg2, c.width, c.height);
        test::RecordedMessages messages;
        const korvan::InputVerdict verdict =
            korvan::CheckEncodeInput(settings, {.video = true}, messages.Sink());
        EXPECT_EQ(messages.Texts(), c.messages) << c.width << "x" << c.height;
        EXPECT_EQ(verdict.videoAccepted, c.messages.empty());
        EXPECT_TRUE(verdict.audioAccepted);
        EXPECT_EQ(korvan::IsAcceptedPictureSize(c.width, c.height), c.messages.empty());
    }
}

TEST(EncodeInputCheckTest, SampleRatesAndTheSingleChannelBitrateCap) {
    for (int rate : {32000, 44100, 48000}) {
        EncoderSettings settings = WithPicture(EncoderPreset::kDvd, 0, 0);
        test::RecordedMessages messages;
        EXPECT_TRUE(korvan::CheckEncodeInput(settings, {.audio = true, .sampleRateHz = rate},
                                             messages.Sink())
                        .audioAccepted);
        EXPECT_TRUE(messages.shown.empty());
    }
    EncoderSettings settings = WithPicture(EncoderPreset::kDvd, 720, 576);
    settings.audioMode = 3;
    settings.audioBitrate = 14;
    test::RecordedMessages messages;
    const korvan::InputVerdict verdict = korvan::CheckEncodeInput(
        settings, {.video = true, .audio = true, .sampleRateHz = 22050}, messages.Sink());
    EXPECT_FALSE(verdict.audioAccepted);
    EXPECT_TRUE(verdict.videoAccepted);
    EXPECT_EQ(messages.Texts(),
              std::vector<std::string>{"Audio sample rate must be 32, 44.1 or 48 kHz."});
    EXPECT_EQ(settings.audioBitrate, 10);

    settings.audioMode = 0;
    settings.audioBitrate = 14;
    korvan::CheckEncodeInput(settings, {.audio = true, .sampleRateHz = 48000}, nullptr);
    EXPECT_EQ(settings.audioBitrate, 14);
}

TEST(EncodeInputCheckTest, OnlyTheStreamsToBeCodedAreTested) {
    EncoderSettings settings = WithPicture(EncoderPreset::kMpeg2, 0, 0);
    test::RecordedMessages messages;
    const korvan::InputVerdict verdict =
        korvan::CheckEncodeInput(settings, {.sampleRateHz = 0}, messages.Sink());
    EXPECT_TRUE(verdict.videoAccepted);
    EXPECT_TRUE(verdict.audioAccepted);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(LevelRaisingTest, TheLevelGrowsWithThePictureAndNeverShrinks) {
    struct Case {
        int width;
        int height;
        int levelBefore;
        int levelAfter;
    };
    const Case cases[] = {
        {352, 288, korvan::kLevelLow, korvan::kLevelLow},
        {354, 288, korvan::kLevelLow, korvan::kLevelMain},
        {352, 290, korvan::kLevelLow, korvan::kLevelMain},
        {720, 576, korvan::kLevelLow, korvan::kLevelMain},
        {720, 578, korvan::kLevelMain, korvan::kLevelHigh1440},
        {1440, 1152, korvan::kLevelMain, korvan::kLevelHigh1440},
        {1442, 576, korvan::kLevelHigh1440, korvan::kLevelHigh},
        {1920, 1080, korvan::kLevelMain, korvan::kLevelHigh},
        {352, 240, korvan::kLevelHigh, korvan::kLevelHigh},
        {720, 576, korvan::kLevelHigh1440, korvan::kLevelHigh1440},
    };
    for (const Case& c : cases) {
        EncoderSettings settings = WithPicture(EncoderPreset::kMpeg2, c.width, c.height);
        settings.level = c.levelBefore;
        korvan::CheckEncodeInput(settings, {.video = true}, nullptr);
        EXPECT_EQ(settings.level, c.levelAfter) << c.width << "x" << c.height;
    }
}

TEST(LevelRaisingTest, SimpleProfileBecomesMainAboveMainLevel) {
    EncoderSettings settings = WithPicture(EncoderPreset::kMpeg2, 720, 576);
    settings.profile = korvan::kProfileSimple;
    settings.level = korvan::kLevelLow;
    korvan::RaiseLevelToFit(settings);
    EXPECT_EQ(settings.level, korvan::kLevelMain);
    EXPECT_EQ(settings.profile, korvan::kProfileSimple);
    settings.horizontalSize = 1280;
    korvan::RaiseLevelToFit(settings);
    EXPECT_EQ(settings.level, korvan::kLevelHigh1440);
    EXPECT_EQ(settings.profile, korvan::kProfileMain);
}

TEST(LevelRaisingTest, ARefusedPictureLeavesTheLevel) {
    EncoderSettings settings = WithPicture(EncoderPreset::kMpeg2, 1921, 1080);
    korvan::CheckEncodeInput(settings, {.video = true}, nullptr);
    EXPECT_EQ(settings.level, korvan::kLevelMain);
}

TEST(FrameRateLoweringTest, TheRateFallsUntilTheLevelTakesIt) {
    struct Case {
        int width;
        int height;
        int level;
        int codeBefore;
        int codeAfter;
    };
    const Case cases[] = {
        {720, 576, korvan::kLevelMain, 6, 3},  // 50 Hz PAL: down to 25, never below
        {720, 480, korvan::kLevelMain, 8, 5},  // 60 Hz NTSC: 30 Hz fits exactly
        {720, 480, korvan::kLevelMain, 4, 4},   {720, 576, korvan::kLevelMain, 3, 3},
        {352, 288, korvan::kLevelMain, 8, 8},   {352, 288, korvan::kLevelLow, 6, 5},
        {1920, 1080, korvan::kLevelHigh, 8, 5},
    };
    for (const Case& c : cases) {
        EncoderSettings settings = WithPicture(EncoderPreset::kMpeg2, c.width, c.height);
        settings.level = c.level;
        settings.frameRateCode = c.codeBefore;
        korvan::LowerFrameRateToFit(settings);
        EXPECT_EQ(settings.frameRateCode, c.codeAfter) << c.width << "x" << c.height;
        EXPECT_EQ(settings.frameRate, korvan::FrameRateOfCode(c.codeAfter));
    }
}

TEST(FrameRateLoweringTest, TheInputCheckRaisesTheLevelFirst) {
    // 1280 x 720 at 50 Hz needs High-1440; at Main level it would fall to 25 Hz.
    EncoderSettings settings = WithPicture(EncoderPreset::kMpeg2, 1280, 720);
    settings.frameRateCode = 6;
    korvan::CheckEncodeInput(settings, {.video = true}, nullptr);
    EXPECT_EQ(settings.level, korvan::kLevelHigh1440);
    EXPECT_EQ(settings.frameRateCode, 6);
    EXPECT_EQ(settings.frameRate, 50.0);

    settings = WithPicture(EncoderPreset::kMpeg2, 720, 576);
    settings.frameRateCode = 6;
    korvan::CheckEncodeInput(settings, {.video = true}, nullptr);
    EXPECT_EQ(settings.frameRateCode, 3);
    EXPECT_EQ(settings.frameRate, 25.0);
    EXPECT_TRUE(korvan::ValidateVideoSettings(settings));
}

EncoderSettings AutomaticBitrate(EncoderPreset preset, int width, int height) {
    EncoderSettings settings = WithPicture(preset, width, height);
    settings.autoBitrate = 1;
    korvan::ApplyAutomaticBitrate(settings);
    return settings;
}

TEST(AutomaticBitrateTest, PointSevenFourBitsPerSample) {
    // 720 x 576 x 25 x 0.74 = 7 672 320 bit/s; vbv floor(7 672 320 x 0.20343 / 16384) = 95.
    EncoderSettings dvd = AutomaticBitrate(EncoderPreset::kDvd, 720, 576);
    EXPECT_EQ(dvd.constBitrate, 7672320);
    EXPECT_EQ(dvd.vbvBufferSize, 95);
    EXPECT_EQ(dvd.videoBufferSize, 232);
    EXPECT_TRUE(korvan::ValidateVideoSettings(dvd));
    // 720 x 560 gives 7 459 200 bit/s and 92.
    EncoderSettings mpeg2 = AutomaticBitrate(EncoderPreset::kMpeg2, 720, 560);
    EXPECT_EQ(mpeg2.constBitrate, 7459200);
    EXPECT_EQ(mpeg2.vbvBufferSize, 92);
    EXPECT_EQ(mpeg2.videoBufferSize, 184);
}

TEST(AutomaticBitrateTest, BufferCapsOfSyntaxAndLevel) {
    EncoderSettings mpeg1 = WithPicture(EncoderPreset::kMpeg1, 1920, 1152);
    mpeg1.frameRateCode = 8;
    mpeg1.autoBitrate = 1;
    korvan::ApplyAutomaticBitrate(mpeg1);
    EXPECT_EQ(mpeg1.constBitrate, std::floor(1152 * 60.0 * 1920 * 0.74));
    EXPECT_EQ(mpeg1.vbvBufferSize, 1023);
    EXPECT_EQ(mpeg1.videoBufferSize, 2046);

    EncoderSettings main = AutomaticBitrate(EncoderPreset::kMpeg2, 1920, 1080);
    EXPECT_EQ(main.vbvBufferSize, 112);
    EncoderSettings high = WithPicture(EncoderPreset::kMpeg2, 1920, 1080);
    high.level = korvan::kLevelHigh;
    high.autoBitrate = 1;
    korvan::ApplyAutomaticBitrate(high);
    EXPECT_EQ(high.vbvBufferSize, 476);
    EncoderSettings low = WithPicture(EncoderPreset::kMpeg2, 352, 288);
    low.level = korvan::kLevelLow;
    low.frameRateCode = 8;
    low.autoBitrate = 1;
    korvan::ApplyAutomaticBitrate(low);
    EXPECT_EQ(low.constBitrate, std::floor(288 * 60.0 * 352 * 0.74));
    EXPECT_EQ(low.vbvBufferSize, 29);
}

TEST(AutomaticBitrateTest, DiscFormatsKeepTheirRates) {
    EncoderSettings vcd = WithPicture(EncoderPreset::kVideoCd, 352, 288);
    vcd.constBitrate = 1;
    vcd.vbvBufferSize = 1;
    vcd.videoBufferSize = 1;
    vcd.autoBitrate = 1;
    korvan::ApplyAutomaticBitrate(vcd);
    EXPECT_EQ(vcd.constBitrate, 1150000);
    EXPECT_EQ(vcd.vbvBufferSize, 20);
    EXPECT_EQ(vcd.videoBufferSize, 46);

    const std::pair<int, double> byAudioIndex[] = {
        {0, 0}, {1, 2568000}, {11, 2376000}, {14, 2216000}};
    for (auto [index, bitrate] : byAudioIndex) {
        EncoderSettings svcd = WithPicture(EncoderPreset::kSuperVcd, 480, 576);
        svcd.audioBitrate = index;
        svcd.autoBitrate = 1;
        korvan::ApplyAutomaticBitrate(svcd);
        EXPECT_EQ(svcd.constBitrate, bitrate) << index;
        EXPECT_EQ(svcd.vbvBufferSize, 112);
        EXPECT_EQ(svcd.videoBufferSize, 230);
    }
}

TEST(AutomaticBitrateTest, OnlyWhenAskedAndThePictureIsKnown) {
    const EncoderSettings preset = korvan::PresetSettings(EncoderPreset::kDvd, TvSystem::kPal);
    EncoderSettings off = WithPicture(EncoderPreset::kDvd, 720, 576);
    korvan::ApplyAutomaticBitrate(off);
    EXPECT_EQ(off.constBitrate, preset.constBitrate);
    EncoderSettings unknown = AutomaticBitrate(EncoderPreset::kDvd, 0, 0);
    EXPECT_EQ(unknown.constBitrate, preset.constBitrate);
    EXPECT_EQ(unknown.vbvBufferSize, preset.vbvBufferSize);
}

TEST(VideoStreamExtensionTest, TheExtensionFollowsTheSyntax) {
    const EncoderSettings mpeg1 = korvan::PresetSettings(EncoderPreset::kVideoCd, TvSystem::kPal);
    const EncoderSettings mpeg2 = korvan::PresetSettings(EncoderPreset::kSuperVcd, TvSystem::kPal);
    EXPECT_EQ(korvan::WithVideoStreamExtension("/out/film.m1v", mpeg2), "/out/film.m2v");
    EXPECT_EQ(korvan::WithVideoStreamExtension("/out/FILM.M1V", mpeg2), "/out/FILM.M2V");
    EXPECT_EQ(korvan::WithVideoStreamExtension("/out/film.m2v", mpeg1), "/out/film.m1v");
    EXPECT_EQ(korvan::WithVideoStreamExtension("/out/film.m2v", mpeg2), "/out/film.m2v");
    EXPECT_EQ(korvan::WithVideoStreamExtension("/out/film.m1v", mpeg1), "/out/film.m1v");
    for (const char* other : {"", "film", "film.mpg", "film.m1v2", "a.m1v/film", "film.m3v"}) {
        EXPECT_EQ(korvan::WithVideoStreamExtension(other, mpeg2), other);
        EXPECT_EQ(korvan::WithVideoStreamExtension(other, mpeg1), other);
    }
}

}  // namespace
