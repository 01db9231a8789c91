#include "app/profiles/encoder_options.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

// A program folder holding one profile file for a target.
class EncoderOptionsTest : public ::testing::Test {
protected:
    void WriteProfile(int target, const std::string& keys) {
        test::WriteFile(folder_.Folder() + std::string(ProfileFileName(target)),
                        "[common]\nprofiles=1\n[Profile0]\nName=Test\n" + keys);
    }
    std::string Options(int target) { return BuildEncoderOptions(files_, target, 0); }

    test::TempDir folder_{"profiles ü"};
    ProfileFiles files_{folder_.Folder()};
};

TEST_F(EncoderOptionsTest, OptionsFollowTheProfileInTheirOrder) {
    const std::string keys =
        "Version=0\nFrameWidth=320\nFrameHeight=240\nFrameRate=4\nVideoBitrate=768\n"
        "AudioFormat=3\nAudioBitrate=7\nAudioChannels=1\nAudioFrequency=1\nFileType=2\n";
    WriteProfile(kTargetMpeg, keys);
    EXPECT_EQ(Options(kTargetMpeg),
              " -vcodec mpeg4 -s 320x240 -r 30000/1001 -b 768000 -acodec aac -ab 128000 -ac 2 -ar "
              "44100 -f mp4 ");
    // A device's target adds what the device decodes after them: 768 kbit/s is
    // above Simple Profile level 3, and the iPod's 2.5 Mbit/s sets the peak.
    WriteProfile(kTargetIpod, keys);
    EXPECT_EQ(Options(kTargetIpod),
              " -vcodec mpeg4 -s 320x240 -r 30000/1001 -b 768000 -acodec aac -ab 128000 -ac 2 -ar "
              "44100 -f mp4 -profile:v 0 -level 4 -maxrate 2500000 -bufsize 819200 ");
}

TEST_F(EncoderOptionsTest, AMissingFileGivesTheFirstEntryOfEveryList) {
    EXPECT_EQ(Options(kTargetAvi),
              " -vcodec mpeg4 -r 15000/1001 -b 0 -acodec amr_nb -ab 32000 -ac 1 -ar 48000 -f 3gp ");
    EXPECT_EQ(Options(kTargetReserved), Options(kTargetAvi));
    EXPECT_EQ(BuildEncoderOptions(files_, kTargetAvi, 7), Options(kTargetAvi));
    // The phone's most: the size follows the input.
    EXPECT_EQ(Options(kTarget3gp), Options(kTargetAvi) +
                                       "-profile:v 0 -level 3 -maxrate 384000 "
                                       "-bufsize 655360 ");
}

TEST_F(EncoderOptionsTest, TheOriginalFrameSizeIsLeftToTheInput) {
    WriteProfile(kTargetAvi, "FrameWidth=0\nFrameHeight=0\n");
    EXPECT_EQ(Options(kTargetAvi).find(" -s "), std::string::npos);
    // Only both zeros mean "Original".
    WriteProfile(kTargetAvi, "FrameWidth=320\nFrameHeight=0\n");
    EXPECT_NE(Options(kTargetAvi).find(" -s 320x0 "), std::string::npos);
}

TEST_F(EncoderOptionsTest, CodecNamesTheToolKnowsUnderAnotherNameAreRenamed) {
    WriteProfile(kTargetAvi, "Version=19\n");
    EXPECT_EQ(Options(kTargetAvi).substr(0, 17), " -vcodec libxvid ");
    EXPECT_EQ(ProfileVideoCodec(files_, kTargetAvi, 0), "libxvid");
    // Names the tool accepts stay as the profile has them.
    WriteProfile(kTargetAvi, "Version=20\n");
    EXPECT_EQ(ProfileVideoCodec(files_, kTargetAvi, 0), "h264");
    WriteProfile(kTargetAvi, "Version=8\n");
    EXPECT_EQ(ProfileVideoCodec(files_, kTargetAvi, 0), "wmv3");
}

TEST_F(EncoderOptionsTest, AudioChannelsAndBitRate) {
    WriteProfile(kTargetMpeg, "AudioChannels=0\nAudioBitrate=13\n");
    EXPECT_NE(Options(kTargetMpeg).find(" -ab 384000 -ac 1 "), std::string::npos);
    WriteProfile(kTargetMpeg, "AudioChannels=1\nAudioBitrate=0\n");
    EXPECT_NE(Options(kTargetMpeg).find(" -ab 32000 -ac 2 "), std::string::npos);
    WriteProfile(kTargetMpeg, "AudioBitrate=14\n");
    EXPECT_NE(Options(kTargetMpeg).find(" -acodec amr_nb -an -ac 1 "), std::string::npos);
    EXPECT_EQ(Options(kTargetMpeg).find(" -ab "), std::string::npos);
    // A bit rate outside the list leaves the encoder's own.
    for (const char* keys : {"AudioBitrate=15\n", "AudioBitrate=-1\n"}) {
        WriteProfile(kTargetMpeg, keys);
        EXPECT_NE(Options(kTargetMpeg).find(" -acodec amr_nb -ac 1 "), std::string::npos) << keys;
    }
}

TEST_F(EncoderOptionsTest, IndexesOutsideTheirListsAreClamped) {
    WriteProfile(kTargetWmv,
                 "Version=99\nFrameRate=-3\nAudioFormat=6\nAudioChannels=5\nAudioFrequency=50\n"
                 "FileType=7\nVideoBitrate=3000000\n");
    EXPECT_EQ(Options(kTargetWmv),
              " -vcodec h264 -r 15000/1001 -b 3000000000 -acodec mp2 -ab 32000 -ac 2 -ar 8000 -f "
              "mpeg ");
    WriteProfile(kTargetWmv, "Version=-4\nAudioChannels=-2\nFileType=-1\n");
    EXPECT_EQ(Options(kTargetWmv),
              " -vcodec mpeg4 -r 15000/1001 -b 0 -acodec amr_nb -ab 32000 -ac 1 -ar 48000 -f 3gp ");
}

TEST_F(EncoderOptionsTest, TheFileIsReadAtEveryCall) {
    WriteProfile(kTargetWmv, "Version=6\nFileType=4\n");
    EXPECT_NE(Options(kTargetWmv).find(" -vcodec wmv1 "), std::string::npos);
    WriteProfile(kTargetWmv, "Version=7\nFileType=4\n");
    EXPECT_NE(Options(kTargetWmv).find(" -vcodec wmv2 "), std::string::npos);
}

TEST(ShippedProfileOptionsTest, DvdAndAviProfilesAsShipped) {
    const ProfileFiles shipped(std::string(ZARVO_SOURCE_DIR) + "/resources/profiles/");
    EXPECT_EQ(BuildEncoderOptions(shipped, kTargetAvi, 0),
              " -vcodec libxvid -s 640x480 -r 25 -b 1200000 -acodec mp3 -ab 128000 -ac 2 -ar "
              "44100 -f avi ");
    EXPECT_EQ(ProfileVideoCodec(shipped, kTargetDvd, 0), "mpeg2video");
    EXPECT_EQ(ProfileVideoCodec(shipped, kTargetDvd, 5), "mpeg1video");
    EXPECT_EQ(BuildEncoderOptions(shipped, kTargetMpeg, 5),
              " -vcodec mpeg2video -r 25 -b 6000000 -acodec mp2 -ab 224000 -ac 2 -ar 48000 -f "
              "mpeg ");
    // SuperVCD and VideoCD profiles of the DVD target make files for those
    // discs; the DVD profiles stay general MPEG files.
    EXPECT_EQ(BuildEncoderOptions(shipped, kTargetDvd, 5),
              " -target pal-vcd -vcodec mpeg1video -s 352x288 -r 25 -b 1150000 -acodec mp2 -ab "
              "224000 -ac 2 -ar 44100 ");
    EXPECT_TRUE(BuildEncoderOptions(shipped, kTargetDvd, 4).starts_with(" -target pal-svcd "));
    EXPECT_TRUE(BuildEncoderOptions(shipped, kTargetDvd, 10).starts_with(" -target ntsc-svcd "));
    EXPECT_TRUE(BuildEncoderOptions(shipped, kTargetDvd, 11).starts_with(" -target ntsc-vcd "));
    EXPECT_TRUE(BuildEncoderOptions(shipped, kTargetDvd, 0).ends_with(" -f mpeg "));
    EXPECT_EQ(BuildEncoderOptions(shipped, kTargetDvd, 0).find("-target"), std::string::npos);
}

}  // namespace
