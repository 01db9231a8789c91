#include "korvan/mpegenc/settings/encoder_settings_file.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/settings/motion_geometry.h"
#include "korvan/mpegenc/settings/settings_keys.h"
#include "tests/korvan/settings/settings_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using korvan::EncoderPreset;
using korvan::EncoderSettings;
using korvan::TvSystem;

class SettingsFileTest : public ::testing::Test {
protected:
    // Loads `text` from a file over `settings`; the messages shown are kept.
    bool Load(EncoderSettings& settings, const std::string& text) {
        test::WriteFile(path_, text);
        return korvan::LoadEncoderSettings(settings, path_, messages_.Sink());
    }

    test::TempDir folder_{"encoder settings ünïcode"};
    std::string path_ = folder_ / "my settings.ini";
    test::RecordedMessages messages_;
};

// A record far from every preset, to show that what a file holds arrives.
EncoderSettings UnusualSettings() {
    EncoderSettings s = korvan::PresetSettings(EncoderPreset::kDvd, TvSystem::kNtsc);
    korvan::SetSettingsText(s.description, "Hand made: DVD, long GOP");
    korvan::SetSettingsText(s.intraQuantMatrix, "/home/me/matrices/intra 1.txt");
    korvan::SetSettingsText(s.nonIntraQuantMatrix, "mpeg default");
    s.iFramesInGOP = 18;
    s.ipFrameDistance = 6;
    s.horzPelMovement = 5;
    korvan::DeriveMotionGeometry(s);
    s.constBitrate = 7000000;
    s.maxBitrate = 8500000;
    s.avgBitrate = 5000000;
    s.firstFrameHours = 1;
    s.firstFrameMinutes = 2;
    s.firstFrameSeconds = 3;
    s.firstFrameFrame = 4;
    s.audioMode = 1;
    s.audioBitrate = 12;
    s.copyrightBit = 1;
    s.maxFileSize = 4000;
    s.sectorDelay = 12;
    s.blackAndWhite = 1;
    s.frameCentreVerticalOffset = -32;
    s.initialBFullness = 99;
    s.firstFramePictures = ((1 * 60 + 2) * 60 + 3) * 30 + 4;
    return s;
}

TEST_F(SettingsFileTest, AFileNamingOneKeyChangesOnlyThatKey) {
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    EncoderSettings expected = settings;
    settings.frameRate = 99;  // re-derived from frameRateCode, whatever it held
    ASSERT_TRUE(Load(settings, "[video]\niFramesInGOP=12\n"));
    expected.iFramesInGOP = 12;
    EXPECT_TRUE(settings == expected);
    EXPECT_EQ(settings.frameRate, 25.0);
    EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(SettingsFileTest, AnAbsentFileChangesNothing) {
    EncoderSettings settings = UnusualSettings();
    EXPECT_TRUE(korvan::LoadEncoderSettings(settings, folder_ / "absent.ini", messages_.Sink()));
    EXPECT_TRUE(settings == UnusualSettings());
}

TEST_F(SettingsFileTest, RefusedVideoIsReportedWithTheFileName) {
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    EXPECT_FALSE(Load(settings, "[video]\niFramesInGOP=16\n[audio]\naudioLayer=3\n"));
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, "Invalid video settings in file " + path_ + ".");
    EXPECT_EQ(messages_.shown[0].caption, "Zarvo - AVI/DVD/VCD/SVCD/MPEG Converter");
    EXPECT_EQ(settings.iFramesInGOP, 16);
}

TEST_F(SettingsFileTest, RefusedAudioIsReportedAfterTheVideoPasses) {
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    EXPECT_FALSE(Load(settings, "[audio]\ndeEmphasis=2\n"));
    EXPECT_EQ(messages_.Texts(),
              std::vector<std::string>{"Invalid audio settings in file " + path_ + "."});
}

TEST_F(SettingsFileTest, VideoCdAlwaysHasConstrainedParameters) {
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kMpeg1, TvSystem::kPal);
    ASSERT_EQ(settings.constrainedParameters, 0);
    EXPECT_TRUE(Load(settings, "[advVideo]\nforwHorzFCodeP=5\n"));
    EXPECT_EQ(settings.motion[0].forwHorzFCode, 5);
    EXPECT_FALSE(Load(settings, "[video]\nvideoType=1\n[advVideo]\nforwHorzFCodeP=5\n"));
    EXPECT_EQ(settings.constrainedParameters, 1);
}

TEST_F(SettingsFileTest, AnMpeg2FileOverVideoCdDropsTheConstrainedParameters) {
    const EncoderSettings dvd = korvan::PresetSettings(EncoderPreset::kDvd, TvSystem::kPal);
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kVideoCd, TvSystem::kNtsc);
    ASSERT_TRUE(Load(settings, korvan::FormatEncoderSettings(dvd)));
    EXPECT_TRUE(settings == dvd);
}

TEST_F(SettingsFileTest, TheFirstPictureCountFollowsTheTimeCodeAndTheRate) {
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    const std::string timeCode =
        "[video]\nfirstFrameHours=1\nfirstFrameMinutes=2\nfirstFrameSeconds=3\n"
        "firstFrameFrame=4\n";
    ASSERT_TRUE(Load(settings, timeCode));
    EXPECT_EQ(settings.firstFramePictures, 3723 * 25 + 4);
    ASSERT_TRUE(Load(settings, timeCode + "frameRateCode=4\n"));
    EXPECT_EQ(settings.firstFramePictures, 3723 * 30 + 4);
    EXPECT_DOUBLE_EQ(settings.frameRate, 30000.0 / 1001);
}

TEST_F(SettingsFileTest, PrintedSettingsLoadBackIntoTheSameRecord) {
    const EncoderSettings original = UnusualSettings();
    const std::string text = korvan::FormatEncoderSettings(original);
    EncoderSettings loaded = korvan::PresetSettings(EncoderPreset::kMpeg1, TvSystem::kPal);
    ASSERT_TRUE(Load(loaded, text)) << messages_.Texts().front();
    EXPECT_TRUE(loaded == original);
    EXPECT_EQ(test::KeyValues(loaded), test::KeyValues(original));
}

TEST_F(SettingsFileTest, HandWrittenFileWithCrlfAndOddSpacingLoadsLikeACleanOne) {
    const std::string clean = korvan::FormatEncoderSettings(UnusualSettings());
    // Every line gets CRLF, blanks and tabs around names and "=", and the
    // sections' and keys' letter case is changed; comments and blank lines
    // are sprinkled in.
    std::string messy = "; written by hand\r\n\r\n";
    std::size_t start = 0;
    int line = 0;
    while (start < clean.size()) {
        std::size_t end = clean.find('\n', start);
        std::string text = clean.substr(start, end - start);
        start = end + 1;
        ++line;
        if (text.empty()) {
            messy += "  \t\r\n";
            continue;
        }
        if (text.front() == '[') {
            std::string name = text.substr(1, text.size() - 2);
            for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            messy += "\t[ " + name + " ]  \r\n; section " + name + "\r\n";
            continue;
        }
        const std::size_t equals = text.find('=');
        std::string key = text.substr(0, equals);
        if (line % 3 == 0) {
            for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        messy += (line % 2 ? "   " : "\t") + key + " \t=  " + text.substr(equals + 1) + "\t \r\n";
    }

    EncoderSettings fromClean = korvan::PresetSettings(EncoderPreset::kMpeg1, TvSystem::kPal);
    EncoderSettings fromMessy = fromClean;
    ASSERT_TRUE(Load(fromClean, clean));
    ASSERT_TRUE(Load(fromMessy, messy));
    EXPECT_TRUE(fromMessy == fromClean);
    EXPECT_TRUE(fromMessy == UnusualSettings());
}

TEST_F(SettingsFileTest, FlagsReadAsZeroOrOneAndBitratesAsIntegers) {
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    settings.avgBitrate = 1234.5;
    ASSERT_TRUE(Load(settings,
                     "[general]\nverbose=5\n[advVideo]\nwriteSequenceEndCode=-1\n"
                     "embedSVCDUserBlocks=0\n[video]\nmaxBitrate=9800000.9\n"));
    EXPECT_EQ(settings.verbose, 1);
    EXPECT_EQ(settings.writeSequenceEndCode, 1);
    EXPECT_EQ(settings.embedSVCDUserBlocks, 0);
    EXPECT_EQ(settings.maxBitrate, 9800000);
    EXPECT_EQ(settings.avgBitrate, 1234.5);  // not in the file: kept as it was
}

TEST_F(SettingsFileTest, BPictureKeysReachDistanceFifteen) {
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    ASSERT_TRUE(Load(settings,
                     "[advVideo]\nbackVertSearchB15=40\nforwHorzFCodeB7=6\nFORWVERTSEARCHB2=5\n"));
    EXPECT_EQ(settings.motion[15].backVertSearch, 40);
    EXPECT_EQ(settings.motion[7].forwHorzFCode, 6);
    EXPECT_EQ(settings.motion[2].forwVertSearch, 5);
}

TEST_F(SettingsFileTest, TextsAreCutToTheirBuffers) {
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    ASSERT_TRUE(Load(settings, "[loadsave]\ndescription=" + std::string(400, 'x') + "\n"));
    EXPECT_EQ(korvan::SettingsText(settings.description), std::string(259, 'x'));
}

TEST_F(SettingsFileTest, DamagedFilesAreReadWithoutHarm) {
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    std::string junk;
    for (int i = 0; i < 20000; ++i) junk += static_cast<char>((i * 7919) % 256);
    EXPECT_TRUE(Load(settings, junk));
    EXPECT_FALSE(Load(settings, "[video\niFramesInGOP\n=12\n[video]\nipFrameDistance=abc\n"));
    EXPECT_EQ(settings.ipFrameDistance, 0);
    settings = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    EXPECT_FALSE(Load(settings,
                      "[video]\nipFrameDistance=99999999999\niFramesInGOP=-2147483648\n"
                      "firstFrameHours=2147483647\n"));
}

TEST(SettingsKeysTest, EverySectionAndKeyOnce) {
    EncoderSettings settings;
    const std::vector<korvan::SettingsKey> keys = korvan::SettingsKeysOf(settings);
    std::map<std::string, int> perSection;
    std::set<std::string> names;
    for (const korvan::SettingsKey& key : keys) {
        ++perSection[key.section];
        EXPECT_TRUE(names.insert(key.name).second) << key.name;
    }
    EXPECT_EQ(perSection, (std::map<std::string, int>{{"loadsave", 1},
                                                      {"iofiles", 5},
                                                      {"general", 13},
                                                      {"video", 20},
                                                      {"audio", 9},
                                                      {"program", 21},
                                                      {"advVideo", 48 + 4 + 8 * 15}}));
    for (const char* name : {"muxSVCDScanOffsets", "useFloatingPoint", "forwHorzFCodeP",
                             "backVertSearchB15", "statisticsFilename", "audio1BufferSize"}) {
        EXPECT_EQ(names.count(name), 1u) << name;
    }
}

}  // namespace
