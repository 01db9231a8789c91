#include "korvan/mpegenc/driver/encoder_entry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "korvan/mpegenc/driver/encoder_startup.h"
#include "korvan/mpegenc/settings/encoder_presets.h"
#include "platform/private_profile.h"
#include "platform/user_profile.h"
#include "tests/korvan/settings/settings_test_support.h"
#include "tests/support/own_config_home.h"
#include "tests/support/temp_dir.h"

namespace {

using korvan::EncoderPreset;
using korvan::TvSystem;

constexpr char kSection[] = "Zarvo - AVI/DVD/VCD/SVCD/MPEG Converter";

// Each test has a per-user folder of its own.
class EncoderEntryTest : public ::testing::Test {
protected:
    int Call(int selector, int index = 0) {
        return korvan::EncoderEntry(state_, selector, services_, exchange_, index);
    }

    void WriteUserValue(const char* key, const char* value) {
        ASSERT_TRUE(platform::WriteProfileString(kSection, key, value));
    }

    test::OwnConfigHome config_;
    korvan::EncoderState state_;
    test::RecordedMessages messages_;
    korvan::EncoderServices services_{messages_.Sink()};
    korvan::EncoderExchange exchange_;
};

TEST_F(EncoderEntryTest, StartUpWithoutAnyFileGivesVideoCdNtsc) {
    EXPECT_EQ(Call(korvan::kSelectStartUp), 0);
    EXPECT_TRUE(state_.settings ==
                korvan::PresetSettings(EncoderPreset::kVideoCd, TvSystem::kNtsc));
    EXPECT_EQ(state_.kernelFlags, korvan::DetectCpuFlags());
    EXPECT_EQ(state_.batch, 0);
    EXPECT_FALSE(state_.palDefaults);
    EXPECT_EQ(exchange_.identity.code, 0x626D7067u);
    EXPECT_EQ(exchange_.identity.name, "DOVAREZ Encoder");
    EXPECT_EQ(exchange_.identity.defaultExtension, ".mpg");
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(EncoderEntryTest, TheDefaultSettingsFileGoesOverVideoCdNtsc) {
    EXPECT_EQ(korvan::DefaultSettingsPath(), config_.Folder() + "zarvo/default.ini");
    test::WriteFile(korvan::DefaultSettingsPath(), "[video]\r\niFramesInGOP = 12\r\n");
    Call(korvan::kSelectStartUp);
    korvan::EncoderSettings expected =
        korvan::PresetSettings(EncoderPreset::kVideoCd, TvSystem::kNtsc);
    expected.iFramesInGOP = 12;
    EXPECT_TRUE(state_.settings == expected);
}

TEST_F(EncoderEntryTest, ARefusedDefaultFileFallsBackToMpeg1) {
    test::WriteFile(korvan::DefaultSettingsPath(), "[video]\niFramesInGOP=16\n");
    Call(korvan::kSelectStartUp);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Invalid video settings in file " +
                                                          korvan::DefaultSettingsPath() + "."});
    EXPECT_TRUE(state_.settings == korvan::PresetSettings(EncoderPreset::kMpeg1, TvSystem::kNtsc));

    WriteUserValue("PALDefaults", "1");
    Call(korvan::kSelectStartUp);
    EXPECT_TRUE(state_.settings == korvan::PresetSettings(EncoderPreset::kMpeg1, TvSystem::kPal));
}

TEST_F(EncoderEntryTest, MmxModeTakesInstructionSetsAway) {
    const korvan::CpuFlags detected = korvan::DetectCpuFlags();
    WriteUserValue("MMXMode", "0");
    Call(korvan::kSelectStartUp);
    EXPECT_EQ(state_.kernelFlags, korvan::CpuFlags::kNone);
    WriteUserValue("MMXMode", "2");
    Call(korvan::kSelectStartUp);
    EXPECT_EQ(state_.kernelFlags, detected & korvan::CpuFlags::kSse2);
    WriteUserValue("MMXMode", "4");
    Call(korvan::kSelectStartUp);
    EXPECT_EQ(state_.kernelFlags, detected);
    // A word reads as 0; a number that names no mode leaves every set.
    for (const char* odd : {"5", "-1", "many"}) {
        WriteUserValue("MMXMode", odd);
        Call(korvan::kSelectStartUp);
        const korvan::CpuFlags expected =
            std::string(odd) == "many" ? korvan::CpuFlags::kNone : detected;
        EXPECT_EQ(state_.kernelFlags, expected) << odd;
    }
}

TEST_F(EncoderEntryTest, BatchIsKeptAndWrittenBackAtShutdown) {
    WriteUserValue("Batch", "3");
    Call(korvan::kSelectStartUp);
    EXPECT_EQ(state_.batch, 3);
    state_.batch = 7;
    EXPECT_EQ(Call(korvan::kSelectShutDown), 0);
    EXPECT_EQ(platform::GetProfileInt(kSection, "Batch", -1), 7);
    EXPECT_EQ(platform::GetProfileString(kSection, "Batch", "", 16), "7");
}

TEST_F(EncoderEntryTest, OneVideoFormatAndOneAudioFormat) {
    EXPECT_EQ(Call(korvan::kSelectDescribeVideoFormat, 0), 0);
    EXPECT_EQ(exchange_.videoFormat.fourcc, 0x52415720u);
    EXPECT_EQ(exchange_.videoFormat.name, "Pelmo Video");
    EXPECT_EQ(exchange_.videoFormat.maxWidth, 1920);
    EXPECT_EQ(exchange_.videoFormat.maxHeight, 1152);
    EXPECT_EQ(Call(korvan::kSelectDescribeVideoFormat, 1), 1);
    EXPECT_EQ(Call(korvan::kSelectDescribeVideoFormat, -1), 1);

    EXPECT_EQ(Call(korvan::kSelectDescribeAudioFormat, 0), 0);
    EXPECT_EQ(exchange_.audioFormat.name, "Pelmo Audio");
    ASSERT_EQ(exchange_.audioFormat.rates.size(), 3u);
    const int rates[] = {32000, 44100, 48000};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(exchange_.audioFormat.rates[i].sampleRateHz, rates[i]);
        EXPECT_EQ(exchange_.audioFormat.rates[i].bitsPerSample, 16);
    }
    EXPECT_EQ(Call(korvan::kSelectDescribeAudioFormat, 1), 1);
}

TEST_F(EncoderEntryTest, TestingAJob) {
    struct Case {
        bool hasVideo;
        int width;
        int height;
        bool hasAudio;
        int rate;
        int bits;
        int result;
    };
    const Case cases[] = {
        {true, 720, 576, true, 48000, 16, 5},   {true, 1920, 1152, true, 32000, 16, 5},
        {true, 1922, 1080, true, 48000, 16, 6}, {true, 720, 1154, false, 0, 0, 6},
        {true, 721, 480, false, 0, 0, 6},       {true, 0, 480, false, 0, 0, 6},
        {true, 720, 576, true, 22050, 16, 6},   {true, 720, 576, true, 44100, 8, 6},
        {false, 0, 0, true, 44100, 16, 5},      {true, 352, 240, false, 0, 0, 5},
    };
    for (const Case& c : cases) {
        exchange_.job = korvan::EncodeJob{};
        exchange_.job.hasVideo = c.hasVideo;
        exchange_.job.width = c.width;
        exchange_.job.height = c.height;
        exchange_.job.hasAudio = c.hasAudio;
        exchange_.job.sampleRateHz = c.rate;
        exchange_.job.bitsPerSample = c.bits;
        EXPECT_EQ(Call(korvan::kSelectTestJob), c.result)
            << c.width << "x" << c.height << " " << c.rate << "/" << c.bits;
    }
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(EncoderEntryTest, UnknownSelectorsAreAnswered) {
    EXPECT_EQ(Call(42), korvan::kUnknownSelector);
    EXPECT_EQ(Call(-3), korvan::kUnknownSelector);
}

TEST_F(EncoderEntryTest, APresetGivesTheVideoStreamItsExtension) {
    state_.videoStreamName = "/export/clip.m1v";
    korvan::ApplyEncoderPreset(state_, EncoderPreset::kDvd, TvSystem::kPal);
    EXPECT_EQ(state_.videoStreamName, "/export/clip.m2v");
    EXPECT_EQ(state_.settings.iFramesInGOP, 12);
    korvan::ApplyEncoderPreset(state_, EncoderPreset::kVideoCd, TvSystem::kPal);
    EXPECT_EQ(state_.videoStreamName, "/export/clip.m1v");
}

}  // namespace
