#include "korvan/mpegenc/settings/encoder_presets.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "korvan/mpegenc/settings/frame_rates.h"
#include "korvan/mpegenc/settings/motion_geometry.h"
#include "korvan/mpegenc/settings/settings_validation.h"
#include "tests/korvan/settings/settings_test_support.h"

namespace {

using korvan::EncoderPreset;
using korvan::EncoderSettings;
using korvan::PresetSettings;
using korvan::TvSystem;

constexpr std::array<EncoderPreset, 5> kPresets = {EncoderPreset::kMpeg1, EncoderPreset::kVideoCd,
                                                   EncoderPreset::kMpeg2, EncoderPreset::kSuperVcd,
                                                   EncoderPreset::kDvd};
constexpr std::array<TvSystem, 2> kSystems = {TvSystem::kPal, TvSystem::kNtsc};

// The per-target table, column by column: MPEG-1, VideoCD, MPEG-2, SuperVCD,
// DVD. "a/b" is the PAL and the NTSC value; "!cbr" is the opposite of
// constBitrateFlag. A row may name several keys that share its values.
struct TableRow {
    std::vector<std::string> keys;
    std::array<std::string, 5> values;
};

const std::vector<TableRow> kTable = {
    {{"videoType"}, {"0", "1", "2", "3", "4"}},
    {{"iFramesInGOP"}, {"15", "15", "15", "15", "12/15"}},
    {{"aspectRatio"}, {"8/12", "8/12", "2", "2", "2"}},
    {{"frameRateCode"}, {"3/4", "3/4", "3/4", "3/4", "3/4"}},
    {{"videoFormat"}, {"1/2", "1/2", "1/2", "1/2", "1/2"}},
    {{"colorPrimaries", "transferCharacteristics"}, {"5/4", "5/4", "5/4", "5/4", "5/4"}},
    {{"displayHorizontalSize"}, {"352", "352", "720", "720", "720"}},
    {{"displayVerticalSize"}, {"288/240", "288/240", "576/480", "576/480", "576/480"}},
    {{"progressiveSequence", "progressiveFrame"}, {"1", "1", "0", "0", "0"}},
    {{"intraDCPrec"}, {"0", "0", "1", "1", "1"}},
    {{"topFieldFirst"}, {"0", "0", "1", "1", "1"}},
    {{"sliceHdrEveryMBrow"}, {"0", "0", "1", "1", "1"}},
    {{"quantizationScaleI", "quantizationScaleP", "quantizationScaleB"}, {"0", "0", "1", "1", "1"}},
    {{"alternateScanI", "alternateScanP", "alternateScanB"}, {"0", "0", "1", "1", "1"}},
    {{"intraVLCFormatI"}, {"0", "0", "1", "1", "1"}},
    {{"writeSequenceDisplayExt"}, {"1", "1", "1", "0", "1"}},
    {{"constBitrate"}, {"1800000", "1150000", "6000000", "2300000", "6000000"}},
    {{"maxBitrate"}, {"0", "1151929", "0", "2376000", "9800000"}},
    {{"vbvBufferSize"}, {"23", "20", "112", "112", "112"}},
    {{"forceVBVDelay"}, {"0", "0", "1", "1", "1"}},
    {{"constBitrateFlag"}, {"0", "1", "0", "0", "0"}},
    {{"mquantValue"}, {"4", "4", "4", "10", "4"}},
    {{"minFramePercentage"}, {"25", "25", "25", "25", "0"}},
    {{"padFramePercentage"}, {"90", "90", "90", "90", "0"}},
    {{"errorProtection"}, {"0", "0", "0", "1", "1"}},
    {{"programStreamType"}, {"0", "1", "2", "3", "4"}},
    {{"sectorSize"}, {"2048", "2324", "2048", "2324", "2048"}},
    {{"sectorDelay"}, {"0", "400", "0", "0", "0"}},
    {{"videoDelay", "audioDelay", "audio1Delay"}, {"180", "344", "180", "180", "180"}},
    {{"videoBufferSize"}, {"46", "46", "224", "230", "232"}},
    {{"useComputedBitrate"}, {"2", "0", "2", "2", "2"}},
    {{"muxPulldownFlag"}, {"0", "0", "3", "3", "3"}},
    {{"alignSequenceHeaders"}, {"0", "0", "0", "1", "1"}},
    {{"userMuxRate"}, {"0", "3528", "0", "6972", "25200"}},
    {{"usePrivateStream2"}, {"0", "0", "0", "0", "1"}},
    {{"frameTimestamps"}, {"0", "0", "0", "0", "2"}},
    {{"vbrMultiplex"}, {"!cbr", "0", "!cbr", "1", "!cbr"}},
    {{"muxSVCDScanOffsets"}, {"0", "0", "0", "1", "0"}},
    {{"resetClocks", "writeEndCodes", "setBrokenLink"}, {"1", "1", "1", "1", "0"}},
};

// Values every preset shares.
const std::vector<std::pair<std::string, std::string>> kCommonValues = {
    {"useFloatingPoint", "0"},
    {"verbose", "0"},
    {"multiplexVideo", "1"},
    {"multiplexAudio", "1"},
    {"userEncodeVideo", "1"},
    {"userEncodeAudio", "1"},
    {"saveTempVideo", "1"},
    {"saveTempAudio", "1"},
    {"blackAndWhite", "0"},
    {"intraQuantMatrix", ""},
    {"nonIntraQuantMatrix", ""},
    {"statisticsFilename", ""},
    {"videoPulldownFlag", "0"},
    {"ipFrameDistance", "3"},
    {"fieldPictures", "0"},
    {"writeSequenceEndCode", "1"},
    {"firstFrameHours", "0"},
    {"firstFrameMinutes", "0"},
    {"firstFrameSeconds", "0"},
    {"firstFrameFrame", "0"},
    {"avgBitrate", "0"},
    {"minBitrate", "0"},
    {"autoBitrate", "0"},
    {"profile", "4"},
    {"level", "8"},
    {"chromaFormat", "1"},
    {"matrixCoefficients", "5"},
    {"embedSVCDUserBlocks", "0"},
    {"writePictureDisplayExt", "0"},
    {"frameCentreHorizontalOffset", "0"},
    {"frameCentreVerticalOffset", "0"},
    {"framePredDCTI", "1"},
    {"framePredDCTP", "1"},
    {"framePredDCTB", "1"},
    {"intraVLCFormatP", "0"},
    {"intraVLCFormatB", "0"},
    {"repeatFirstField", "0"},
    {"reactionParameter", "0"},
    {"initialAverageActivity", "0"},
    {"initialIComplexity", "0"},
    {"initialPComplexity", "0"},
    {"initialBComplexity", "0"},
    {"initialIFullness", "0"},
    {"initialPFullness", "0"},
    {"initialBFullness", "0"},
    {"resetPBIVBF", "1"},
    {"horzPelMovement", "3"},
    {"vertPelMovement", "3"},
    {"autoVectorLengths", "1"},
    {"variableMaxMotion", "58"},
    {"audioLayer", "2"},
    {"psychModel", "2"},
    {"audioBitrate", "11"},
    {"audioMode", "0"},
    {"deEmphasis", "0"},
    {"privateBit", "0"},
    {"copyrightBit", "0"},
    {"originalBit", "0"},
    {"audioBufferSize", "4"},
    {"audio1BufferSize", "4"},
    {"packetsPerPack", "1"},
    {"alwaysWriteSysHeader", "0"},
    {"padVCDAudio", "0"},
    {"writeProgramEndCode", "1"},
    {"maxFileSize", "0"},
    {"muxStartTime", "0"},
    {"muxStopTime", "0"},
};

std::string Expected(const std::string& cell, TvSystem system,
                     const std::map<std::string, std::string>& values) {
    if (cell == "!cbr") return values.at("constBitrateFlag") == "0" ? "1" : "0";
    const std::size_t slash = cell.find('/');
    if (slash == std::string::npos) return cell;
    return system == TvSystem::kPal ? cell.substr(0, slash) : cell.substr(slash + 1);
}

TEST(EncoderPresetsTest, EveryPresetHoldsTheTableAndTheCommonValues) {
    for (EncoderPreset preset : kPresets) {
        for (TvSystem system : kSystems) {
            const std::map<std::string, std::string> values =
                test::KeyValues(PresetSettings(preset, system));
            const int column = static_cast<int>(preset);
            SCOPED_TRACE("preset " + std::to_string(column) +
                         (system == TvSystem::kPal ? " PAL" : " NTSC"));
            for (const TableRow& row : kTable) {
                for (const std::string& key : row.keys) {
                    EXPECT_EQ(values.at(key), Expected(row.values[column], system, values)) << key;
                }
            }
            for (const auto& [key, value] : kCommonValues) {
                EXPECT_EQ(values.at(key), value) << key;
            }
        }
    }
}

TEST(EncoderPresetsTest, DescriptionsFrameRatesAndConstrainedParameters) {
    const char* kDescriptions[5][2] = {
        {"MPEG-1 PAL video and MPEG audio", "MPEG-1 NTSC video and MPEG audio"},
        {"MPEG-1 VideoCD PAL video and MPEG audio", "MPEG-1 VideoCD NTSC video and MPEG audio"},
        {"MPEG-2 PAL video and MPEG audio", "MPEG-2 NTSC video and MPEG audio"},
        {"MPEG-2 SuperVCD PAL video and MPEG audio", "MPEG-2 SuperVCD NTSC video and MPEG audio"},
        {"MPEG-2 DVD PAL video and MPEG audio", "MPEG-2 DVD NTSC video and MPEG audio"},
    };
    for (EncoderPreset preset : kPresets) {
        const int column = static_cast<int>(preset);
        const EncoderSettings pal = PresetSettings(preset, TvSystem::kPal);
        const EncoderSettings ntsc = PresetSettings(preset, TvSystem::kNtsc);
        EXPECT_STREQ(pal.description, kDescriptions[column][0]);
        EXPECT_STREQ(ntsc.description, kDescriptions[column][1]);
        EXPECT_EQ(pal.frameRate, 25.0);
        EXPECT_DOUBLE_EQ(ntsc.frameRate, 30000.0 / 1001);
        EXPECT_EQ(pal.constrainedParameters, preset == EncoderPreset::kVideoCd ? 1 : 0);
        EXPECT_EQ(pal.firstFramePictures, 0);
    }
}

TEST(FrameRatesTest, TheEightCodes) {
    const double expected[] = {0,  24000.0 / 1001, 24, 25, 30000.0 / 1001, 30,
                               50, 60000.0 / 1001, 60, 0};
    for (int code = 0; code <= 9; ++code) {
        EXPECT_DOUBLE_EQ(korvan::FrameRateOfCode(code), expected[code]) << code;
    }
    EXPECT_EQ(korvan::FrameRateOfCode(-1), 0);
}

TEST(EncoderPresetsTest, EveryPresetPassesValidation) {
    for (EncoderPreset preset : kPresets) {
        for (TvSystem system : kSystems) {
            EncoderSettings settings = PresetSettings(preset, system);
            EXPECT_EQ(korvan::VideoSettingsFault(settings), "") << settings.description;
            EXPECT_EQ(korvan::AudioSettingsFault(settings), "") << settings.description;
            // Also with the picture the preset is made for.
            settings.horizontalSize = settings.displayHorizontalSize;
            settings.verticalSize = settings.displayVerticalSize;
            EXPECT_EQ(korvan::VideoSettingsFault(settings), "") << settings.description;
        }
    }
}

// A preset must not leave anything of what the record held before: applied
// over two different records it gives the same one.
TEST(EncoderPresetsTest, APresetOverwritesEveryField) {
    EncoderSettings scrambled;
    for (const korvan::SettingsKey& key : korvan::SettingsKeysOf(scrambled)) {
        if (key.integer) *key.integer = 77;
        if (key.bitrate) *key.bitrate = 77;
        if (key.text) korvan::SetSettingsText(*key.text, "scrambled");
    }
    scrambled.constrainedParameters = 1;
    scrambled.frameRate = 7;
    scrambled.firstFramePictures = 7;
    scrambled.motion[15].backVertFCode = 9;
    for (EncoderPreset preset : kPresets) {
        for (TvSystem system : kSystems) {
            EncoderSettings settings = scrambled;
            korvan::ApplyPreset(settings, preset, system);
            EXPECT_TRUE(settings == PresetSettings(preset, system)) << settings.description;
        }
    }
}

TEST(EncoderPresetsTest, ThePictureSizeOfTheInputIsKept) {
    EncoderSettings settings;
    settings.horizontalSize = 640;
    settings.verticalSize = 360;
    korvan::ApplyPreset(settings, EncoderPreset::kDvd, TvSystem::kPal);
    EXPECT_EQ(settings.horizontalSize, 640);
    EXPECT_EQ(settings.verticalSize, 360);
}

TEST(MotionGeometryTest, ThreePelsOfMovementWithTwoBPictures) {
    for (EncoderPreset preset : kPresets) {
        const EncoderSettings settings = PresetSettings(preset, TvSystem::kPal);
        const korvan::MotionRecord& p = settings.motion[0];
        EXPECT_EQ(p.forwHorzSearch, 9);
        EXPECT_EQ(p.forwVertSearch, 9);
        EXPECT_EQ(p.forwHorzFCode, 2);
        EXPECT_EQ(p.forwVertFCode, 2);
        const korvan::MotionRecord& b1 = settings.motion[1];
        EXPECT_EQ(b1.forwHorzSearch, 3);
        EXPECT_EQ(b1.forwVertSearch, 3);
        EXPECT_EQ(b1.forwHorzFCode, 1);
        EXPECT_EQ(b1.forwVertFCode, 1);
        EXPECT_EQ(b1.backHorzSearch, 6);
        EXPECT_EQ(b1.backVertSearch, 6);
        EXPECT_EQ(b1.backHorzFCode, 1);
        EXPECT_EQ(b1.backVertFCode, 1);
        const korvan::MotionRecord& b2 = settings.motion[2];
        EXPECT_EQ(b2.forwHorzSearch, 6);
        EXPECT_EQ(b2.backHorzSearch, 3);
        for (int d = 3; d < korvan::kMotionRecords; ++d) {
            EXPECT_TRUE(settings.motion[d] == korvan::MotionRecord{}) << d;
        }
    }
}

TEST(MotionGeometryTest, WindowsGrowWithDistanceAndMovement) {
    EncoderSettings settings = PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    settings.ipFrameDistance = 4;
    settings.iFramesInGOP = 12;
    settings.horzPelMovement = 10;
    settings.vertPelMovement = 2;
    korvan::DeriveMotionGeometry(settings);
    EXPECT_EQ(settings.motion[0].forwHorzSearch, 40);
    EXPECT_EQ(settings.motion[0].forwHorzFCode, 4);
    EXPECT_EQ(settings.motion[0].forwVertSearch, 8);
    EXPECT_EQ(settings.motion[0].forwVertFCode, 2);
    EXPECT_EQ(settings.motion[3].forwHorzSearch, 30);
    EXPECT_EQ(settings.motion[3].forwHorzFCode, 3);
    EXPECT_EQ(settings.motion[3].backHorzSearch, 10);
    EXPECT_EQ(settings.motion[3].backHorzFCode, 2);
    EXPECT_EQ(settings.motion[3].backVertSearch, 2);
    EXPECT_EQ(settings.motion[3].backVertFCode, 1);
    EXPECT_TRUE(korvan::ValidateVideoSettings(settings));
}

TEST(MotionGeometryTest, HorizontalFCodesFollowSyntaxLevelAndConstraint) {
    EncoderSettings mpeg2 = PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    struct Case {
        int window;
        int fCode;
    };
    for (Case c : {Case{7, 1}, Case{8, 2}, Case{15, 2}, Case{16, 3}, Case{31, 3}, Case{32, 4},
                   Case{63, 4}, Case{64, 5}, Case{127, 5}, Case{128, 6}, Case{255, 6}, Case{256, 7},
                   Case{511, 7}, Case{512, 8}, Case{4000, 8}}) {
        EXPECT_EQ(korvan::HorizontalFCodeForWindow(c.window, mpeg2), c.fCode) << c.window;
    }
    mpeg2.level = korvan::kLevelHigh;
    EXPECT_EQ(korvan::HorizontalFCodeForWindow(1023, mpeg2), 8);
    EXPECT_EQ(korvan::HorizontalFCodeForWindow(1024, mpeg2), 9);
    EXPECT_EQ(korvan::HorizontalFCodeForWindow(2047, mpeg2), 9);
    EXPECT_EQ(korvan::HorizontalFCodeForWindow(2048, mpeg2), 1);
    mpeg2.level = korvan::kLevelLow;
    EXPECT_EQ(korvan::HorizontalFCodeForWindow(600, mpeg2), 7);

    EncoderSettings mpeg1 = PresetSettings(EncoderPreset::kMpeg1, TvSystem::kPal);
    EXPECT_EQ(korvan::HorizontalFCodeForWindow(600, mpeg1), 7);
    EXPECT_EQ(korvan::HorizontalFCodeForWindow(200, mpeg1), 6);
    EncoderSettings vcd = PresetSettings(EncoderPreset::kVideoCd, TvSystem::kPal);
    EXPECT_EQ(korvan::HorizontalFCodeForWindow(31, vcd), 3);
    EXPECT_EQ(korvan::HorizontalFCodeForWindow(200, vcd), 4);
}

TEST(MotionGeometryTest, VerticalFCodesStopAtFiveOrAtFour) {
    EncoderSettings mpeg2 = PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    for (auto [window, fCode] :
         {std::pair{7, 1}, {8, 2}, {16, 3}, {32, 4}, {63, 4}, {64, 5}, {3000, 5}}) {
        EXPECT_EQ(korvan::VerticalFCodeForWindow(window, mpeg2), fCode) << window;
    }
    mpeg2.level = korvan::kLevelLow;
    EXPECT_EQ(korvan::VerticalFCodeForWindow(100, mpeg2), 4);
    EncoderSettings vcd = PresetSettings(EncoderPreset::kVideoCd, TvSystem::kPal);
    EXPECT_EQ(korvan::VerticalFCodeForWindow(100, vcd), 4);
    EXPECT_EQ(korvan::VerticalFCodeForWindow(20, vcd), 3);
}

}  // namespace
