// Profiles against the devices of their targets: the level chosen, and the
// status line's warning for what lies outside a device's limits.
#include "app/profiles/device_limits.h"

#include <gtest/gtest.h>

#include "app/profiles/encoder_options.h"
#include "tests/support/temp_dir.h"

namespace {

class DeviceLimitsTest : public ::testing::Test {
protected:
    // A profile of H.264 and AAC at 29.976 fps and 128 kbit/s, stereo, unless
    // `keys` say otherwise: they come first, and the first of two equal keys
    // is the one read.
    void WriteProfile(int target, const std::string& keys) {
        test::WriteFile(folder_.Folder() + std::string(ProfileFileName(target)),
                        "[common]\nprofiles=1\n[Profile0]\nName=Mine\n" + keys +
                            "\nVersion=20\nFrameRate=4\nAudioFormat=3\nAudioBitrate=7\n"
                            "AudioChannels=1\nFileType=2\n");
    }
    std::string Warning(int target, const std::string& keys) {
        WriteProfile(target, keys);
        return DeviceLimitWarning(files_, target, 0);
    }
    DeviceFit Fit(int target, const std::string& keys) {
        WriteProfile(target, keys);
        return FitToDevice(target, ReadProfileValues(files_, target, 0));
    }

    test::TempDir folder_{"device limits ü"};
    ProfileFiles files_{folder_.Folder()};
};

TEST_F(DeviceLimitsTest, TheWarningNamesEveryLimitTheProfilePasses) {
    EXPECT_EQ(
        Warning(kTargetPsp, "FrameWidth=640\nFrameHeight=480\nVideoBitrate=1200\nAudioFrequency=1"),
        "May not play on the PSP: frame size 640x480 is above 480x272; video bit rate "
        "1200 kbit/s is above 768 kbit/s; it plays no sound at 44100 Hz");
    EXPECT_EQ(Warning(kTargetIpod,
                      "FrameWidth=320\nFrameHeight=240\nVideoBitrate=500\n"
                      "AudioFrequency=1\nAudioBitrate=11\nAudioFormat=2"),
              "May not play on the iPod: it plays no mp3 sound; sound bit rate 256 kbit/s is "
              "above 160 kbit/s");
    EXPECT_EQ(Warning(kTarget3gp, "FrameWidth=176\nFrameHeight=144\nVersion=10\nAudioFrequency=5"),
              "May not play on a 3GP phone: it plays no h263p video");
    // The size follows the input: the most the device decodes is signalled.
    const DeviceFit original = Fit(kTargetIphone, "FrameWidth=0\nFrameHeight=0\nAudioFrequency=1");
    EXPECT_EQ(DeviceWarning(original),
              "May not play on the iPhone: the frame size follows the input, and it plays up "
              "to 640x480");
    ASSERT_NE(original.level, nullptr);
    EXPECT_EQ(original.level->number, 30);
    // Without sound only the picture counts.
    EXPECT_EQ(Warning(kTargetPsp,
                      "FrameWidth=480\nFrameHeight=272\nVideoBitrate=768\n"
                      "AudioFrequency=1\nAudioBitrate=14"),
              "");
    // Targets without a device have nothing to warn about.
    EXPECT_EQ(Warning(kTargetAvi, "FrameWidth=4000\nFrameHeight=3000"), "");
}

TEST_F(DeviceLimitsTest, TheLevelIsTheSmallestThatHoldsSizeRateAndBitRate) {
    // 300 macroblocks at 15 fps and 384 kbit/s fit level 1.2, the phone's most.
    DeviceFit fit = Fit(kTarget3gp,
                        "FrameWidth=320\nFrameHeight=240\nVideoBitrate=384\n"
                        "FrameRate=0\nAudioFrequency=5");
    ASSERT_NE(fit.level, nullptr);
    EXPECT_EQ(fit.level->number, 12);
    EXPECT_EQ(DeviceWarning(fit), "");
    // At 25 fps they need 1.3: written so, and the phone may not decode it.
    fit = Fit(kTarget3gp,
              "FrameWidth=320\nFrameHeight=240\nVideoBitrate=384\nFrameRate=3\n"
              "AudioFrequency=5");
    ASSERT_NE(fit.level, nullptr);
    EXPECT_EQ(fit.level->number, 13);
    EXPECT_EQ(DeviceWarning(fit),
              "May not play on a 3GP phone: it needs more than H.264 level 1.2");
    // MPEG-4: 768 kbit/s is past Simple Profile level 3's 384.
    fit = Fit(kTargetZune,
              "FrameWidth=320\nFrameHeight=240\nVideoBitrate=768\nVersion=0\n"
              "AudioFrequency=1");
    ASSERT_NE(fit.level, nullptr);
    EXPECT_EQ(fit.level->name, "4a");

    // H.264 also bounds each side: 120 x 4 macroblocks fit 2.1's area, not its sides.
    const CodingLevel* level = SmallestLevelHolding(H264Levels(), {1920, 64, 25, 0});
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(level->name, "3.1");
    EXPECT_EQ(SmallestLevelHolding(H264Levels(), {8192, 8192, 30, 0}), nullptr);
    EXPECT_EQ(SmallestLevelHolding(Mpeg4SimpleLevels(), {720, 480, 30, 2500})->name, "5");
}

TEST_F(DeviceLimitsTest, TheEntryTheProfileFitsDecidesTheCoding) {
    // The iPod's larger H.264: Baseline 3.0, one reference frame, Apple's box.
    WriteProfile(kTargetIpod,
                 "FrameWidth=640\nFrameHeight=480\nVideoBitrate=1500\nAudioFrequency=1");
    EXPECT_EQ(BuildEncoderOptions(files_, kTargetIpod, 0),
              " -vcodec h264 -s 640x480 -r 30000/1001 -b 1500000 -acodec aac -ab 128000 -ac 2 -ar "
              "44100 -f ipod -profile:v baseline -level 30 -pix_fmt yuv420p -bf 0 -refs 1 "
              "-maxrate 1500000 -bufsize 1500000 ");
    // ffmpeg's iPod format takes no MP3: such a profile keeps MP4 (and is warned about).
    WriteProfile(kTargetIpod,
                 "FrameWidth=640\nFrameHeight=480\nVideoBitrate=1500\n"
                 "AudioFrequency=1\nAudioFormat=2");
    EXPECT_NE(BuildEncoderOptions(files_, kTargetIpod, 0).find(" -f mp4 -profile:v baseline"),
              std::string::npos);
    // The PSP's Main profile keeps B pictures, but none as a reference.
    WriteProfile(kTargetPsp,
                 "FrameWidth=480\nFrameHeight=272\nVideoBitrate=768\n"
                 "AudioFrequency=0\nFileType=3");
    EXPECT_EQ(BuildEncoderOptions(files_, kTargetPsp, 0),
              " -vcodec h264 -s 480x272 -r 30000/1001 -b 768000 -acodec aac -ab 128000 -ac 2 -ar "
              "48000 -f psp -profile:v main -level 21 -pix_fmt yuv420p -refs 2 -b-pyramid none "
              "-maxrate 768000 -bufsize 768000 ");
    // The Zune's 720 x 576 holds only 25 fps; at 29.976 the profile is outside both entries.
    EXPECT_EQ(Warning(kTargetZune,
                      "FrameWidth=720\nFrameHeight=576\nVideoBitrate=2000\n"
                      "FrameRate=3\nAudioFrequency=1"),
              "");
    EXPECT_EQ(Warning(kTargetZune,
                      "FrameWidth=720\nFrameHeight=576\nVideoBitrate=2000\n"
                      "AudioFrequency=1"),
              "May not play on the Zune: frame rate 29.976 is above 25");
    // Past every level the rate control is left alone (ffmpeg refuses a peak
    // below the average).
    WriteProfile(kTargetZune,
                 "FrameWidth=320\nFrameHeight=240\nVideoBitrate=900000\n"
                 "AudioFrequency=1");
    const std::string options = BuildEncoderOptions(files_, kTargetZune, 0);
    EXPECT_NE(options.find(" -level 51 "), std::string::npos) << options;
    EXPECT_EQ(options.find(" -maxrate "), std::string::npos) << options;
}

}  // namespace
