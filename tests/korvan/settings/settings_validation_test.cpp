#include "korvan/mpegenc/settings/settings_validation.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/settings/motion_geometry.h"

namespace {

using korvan::EncoderPreset;
using korvan::EncoderSettings;
using korvan::TvSystem;

EncoderSettings Mpeg1() { return korvan::PresetSettings(EncoderPreset::kMpeg1, TvSystem::kPal); }
EncoderSettings VideoCd() {
    return korvan::PresetSettings(EncoderPreset::kVideoCd, TvSystem::kPal);
}
EncoderSettings Mpeg2() { return korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal); }

// The record after `change` is refused for a reason that mentions `fault`.
void ExpectRefused(EncoderSettings settings, const std::function<void(EncoderSettings&)>& change,
                   const std::string& fault) {
    change(settings);
    EXPECT_NE(std::string(korvan::VideoSettingsFault(settings)).find(fault), std::string::npos)
        << "fault was: '" << korvan::VideoSettingsFault(settings) << "', expected: " << fault;
}

void ExpectAccepted(EncoderSettings settings, const std::function<void(EncoderSettings&)>& change) {
    change(settings);
    EXPECT_EQ(korvan::VideoSettingsFault(settings), "");
}

TEST(VideoValidationTest, GopStructure) {
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.iFramesInGOP = 0; }, "iFramesInGOP must be 1..32");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.iFramesInGOP = 33; }, "iFramesInGOP must be 1..32");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.ipFrameDistance = 0; }, "ipFrameDistance");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.ipFrameDistance = 17; }, "ipFrameDistance");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.iFramesInGOP = 16; }, "multiple of ipFrameDistance");
    ExpectAccepted(Mpeg2(), [](auto& s) {
        s.iFramesInGOP = 32;
        s.ipFrameDistance = 16;
        korvan::DeriveMotionGeometry(s);
    });
    ExpectAccepted(Mpeg2(), [](auto& s) {
        s.iFramesInGOP = 1;
        s.ipFrameDistance = 1;
        korvan::DeriveMotionGeometry(s);
    });
}

TEST(VideoValidationTest, CodesAndSizesInRange) {
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.aspectRatio = 5; }, "aspectRatio");
    ExpectAccepted(Mpeg1(), [](auto& s) { s.aspectRatio = 14; });
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.aspectRatio = 15; }, "aspectRatio");
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.aspectRatio = 0; }, "aspectRatio");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.frameRateCode = 0; }, "frameRateCode");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.frameRateCode = 9; }, "frameRateCode");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.chromaFormat = 0; }, "chromaFormat");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.chromaFormat = 4; }, "chromaFormat");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.videoFormat = 5; }, "videoFormat");
    ExpectAccepted(Mpeg2(), [](auto& s) { s.videoFormat = 0; });
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.colorPrimaries = 3; }, "colour");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.transferCharacteristics = 8; }, "colour");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.matrixCoefficients = 0; }, "colour");
    ExpectAccepted(Mpeg2(), [](auto& s) { s.matrixCoefficients = 7; });
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.displayHorizontalSize = 16384; }, "display");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.displayVerticalSize = -1; }, "display");
    ExpectAccepted(Mpeg2(), [](auto& s) { s.displayVerticalSize = 16383; });
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.intraDCPrec = 4; }, "intraDCPrec");
}

TEST(VideoValidationTest, BitrateAndBufferLimitsOfEachSyntax) {
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.constBitrate = 0; }, "constBitrate");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.constBitrate = -1; }, "constBitrate");
    ExpectAccepted(Mpeg1(), [](auto& s) { s.constBitrate = 104857200; });
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.constBitrate = 104857201; }, "constBitrate");
    ExpectAccepted(Mpeg1(), [](auto& s) { s.vbvBufferSize = 1023; });
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.vbvBufferSize = 1024; }, "vbvBufferSize");
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.vbvBufferSize = 0; }, "vbvBufferSize");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.vbvBufferSize = 262144; }, "vbvBufferSize out");
    // Bounds of the variable modes and the fixed quantiser must make sense.
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.maxBitrate = -1; }, "negative");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.minBitrate = -5; }, "negative");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.mquantValue = 0; }, "mquantValue");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.mquantValue = 32; }, "mquantValue");
    ExpectAccepted(VideoCd(), [](auto& s) { s.mquantValue = 0; });  // constant bitrate
}

TEST(VideoValidationTest, MotionRecordsInUse) {
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.motion[0].forwHorzFCode = 0; }, "motion");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.motion[0].forwVertFCode = 10; }, "motion");
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.motion[0].forwHorzFCode = 8; }, "motion");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.motion[1].forwHorzSearch = 0; }, "motion");
    // f-code 2 reaches 4 * 2^2 - 1 = 15 pels.
    ExpectAccepted(Mpeg2(), [](auto& s) { s.motion[0].forwHorzSearch = 15; });
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.motion[0].forwHorzSearch = 16; }, "motion");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.motion[2].backVertSearch = 8; }, "motion");
    // The P record's backward half and the records from M on are not used.
    ExpectAccepted(Mpeg2(), [](auto& s) {
        s.motion[0].backHorzFCode = 0;
        s.motion[0].backHorzSearch = 0;
        s.motion[3].forwHorzFCode = 0;
    });
}

TEST(VideoValidationTest, ConstrainedParametersOfMpeg1) {
    auto size = [](int width, int height) {
        return [=](EncoderSettings& s) {
            s.horizontalSize = width;
            s.verticalSize = height;
        };
    };
    ExpectAccepted(VideoCd(), size(352, 288));
    ExpectRefused(VideoCd(), size(770, 16), "picture too large");
    ExpectRefused(VideoCd(), size(16, 578), "picture too large");
    ExpectRefused(VideoCd(), size(352, 304), "396 macroblocks");
    ExpectAccepted(VideoCd(), [](auto& s) {
        s.horizontalSize = 352;
        s.verticalSize = 288;
        s.frameRateCode = 5;  // 396 macroblocks at 30 Hz is exactly the limit
    });
    ExpectRefused(
        VideoCd(),
        [](auto& s) {
            s.horizontalSize = 352;
            s.verticalSize = 288;
            s.frameRateCode = 6;
        },
        "macroblock rate");
    ExpectRefused(
        VideoCd(),
        [](auto& s) {
            s.horizontalSize = 176;
            s.verticalSize = 144;
            s.frameRateCode = 6;
        },
        "frame rate above 30");
    ExpectRefused(
        VideoCd(), [](auto& s) { s.motion[0].forwHorzFCode = 5; }, "f-code above 4");
    // Without the flag MPEG-1 takes all of that.
    ExpectAccepted(Mpeg1(), [](auto& s) {
        s.horizontalSize = 768;
        s.verticalSize = 576;
        s.frameRateCode = 6;
        s.motion[0].forwHorzFCode = 5;
    });
}

TEST(VideoValidationTest, Mpeg2ProfilesAndLevels) {
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.constrainedParameters = 1; }, "constrained");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.profile = 2; }, "profile must be");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.profile = 3; }, "profile must be");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.level = 5; }, "level must be");
    ExpectRefused(
        Mpeg2(),
        [](auto& s) {
            s.profile = korvan::kProfileHigh;
            s.level = korvan::kLevelLow;
        },
        "do not combine");
    ExpectRefused(
        Mpeg2(),
        [](auto& s) {
            s.profile = korvan::kProfileSimple;
            s.level = korvan::kLevelHigh1440;
        },
        "do not combine");
    for (int level :
         {korvan::kLevelHigh, korvan::kLevelHigh1440, korvan::kLevelMain, korvan::kLevelLow}) {
        ExpectAccepted(Mpeg2(), [=](auto& s) {
            s.level = level;
            if (level == korvan::kLevelLow) {
                s.constBitrate = 4000000;
                s.vbvBufferSize = 29;
            }
        });
    }
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.profile = korvan::kProfileSimple; }, "no B pictures");
    ExpectAccepted(Mpeg2(), [](auto& s) {
        s.profile = korvan::kProfileSimple;
        s.ipFrameDistance = 1;
        korvan::DeriveMotionGeometry(s);
    });
}

TEST(VideoValidationTest, Mpeg2ChromaRepeatFieldsAndPrecision) {
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.chromaFormat = 2; }, "chroma format");
    ExpectAccepted(Mpeg2(), [](auto& s) {
        s.profile = korvan::kProfileHigh;
        s.chromaFormat = 2;
    });
    ExpectRefused(
        Mpeg2(),
        [](auto& s) {
            s.profile = korvan::kProfileHigh;
            s.chromaFormat = 3;
        },
        "chroma format");

    auto repeatFirstField = [](int frameRateCode, int progressiveSequence, int profile) {
        return [=](EncoderSettings& s) {
            s.profile = profile;
            s.frameRateCode = frameRateCode;
            s.progressiveSequence = progressiveSequence;
            s.progressiveFrame = 1;
            s.repeatFirstField = 1;
        };
    };
    ExpectRefused(Mpeg2(), repeatFirstField(2, 0, korvan::kProfileMain), "repeatFirstField");
    ExpectAccepted(Mpeg2(), repeatFirstField(3, 0, korvan::kProfileMain));
    ExpectRefused(Mpeg2(), repeatFirstField(4, 1, korvan::kProfileMain), "repeatFirstField");
    ExpectAccepted(Mpeg2(), repeatFirstField(2, 0, korvan::kProfileHigh));
    ExpectAccepted(Mpeg2(), repeatFirstField(4, 1, korvan::kProfileHigh));

    ExpectRefused(
        Mpeg2(), [](auto& s) { s.intraDCPrec = 3; }, "High profile");
    ExpectAccepted(Mpeg2(), [](auto& s) {
        s.profile = korvan::kProfileHigh;
        s.intraDCPrec = 3;
    });
}

TEST(VideoValidationTest, Mpeg2LimitsOfTheLevel) {
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.frameRateCode = 6; }, "frame rate too high");
    ExpectAccepted(Mpeg2(), [](auto& s) {
        s.level = korvan::kLevelHigh1440;
        s.frameRateCode = 6;
    });
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.motion[0].forwHorzFCode = 9; }, "f-code above");
    ExpectRefused(
        Mpeg2(),
        [](auto& s) {
            s.level = korvan::kLevelLow;
            s.motion[0].forwVertFCode = 5;
        },
        "f-code above");
    ExpectAccepted(Mpeg2(), [](auto& s) {
        s.level = korvan::kLevelHigh;
        s.motion[0].forwHorzFCode = 9;
    });
    auto size = [](int width, int height, int frameRateCode) {
        return [=](EncoderSettings& s) {
            s.horizontalSize = width;
            s.verticalSize = height;
            s.frameRateCode = frameRateCode;
        };
    };
    ExpectAccepted(Mpeg2(), size(720, 576, 3));
    ExpectRefused(Mpeg2(), size(722, 576, 3), "larger than the level");
    ExpectRefused(Mpeg2(), size(720, 578, 3), "larger than the level");
    ExpectRefused(Mpeg2(), size(720, 576, 4), "sample rate");
    ExpectAccepted(Mpeg2(), size(720, 480, 4));
    ExpectAccepted(Mpeg2(), [](auto& s) { s.constBitrate = 15000000; });
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.constBitrate = 15000001; }, "bitrate above");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.vbvBufferSize = 113; }, "vbvBufferSize above");
    ExpectAccepted(Mpeg2(), [](auto& s) {
        s.level = korvan::kLevelHigh;
        s.vbvBufferSize = 597;
        s.constBitrate = 80000000;
    });
    ExpectRefused(
        Mpeg2(),
        [](auto& s) {
            s.level = korvan::kLevelLow;
            s.vbvBufferSize = 30;
            s.constBitrate = 4000000;
        },
        "vbvBufferSize above");
}

TEST(VideoValidationTest, Mpeg1HasNoMpeg2Tools) {
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.progressiveSequence = 0; }, "MPEG-1 needs progressive");
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.chromaFormat = 2; }, "4:2:0");
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.intraDCPrec = 1; }, "intraDCPrec 0");
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.quantizationScaleB = 1; }, "q_scale_type");
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.intraVLCFormatP = 1; }, "intra_vlc_format");
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.alternateScanI = 1; }, "alternate_scan");
}

TEST(VideoValidationTest, ProgressiveRules) {
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.progressiveSequence = 1; }, "needs progressive frames");
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.fieldPictures = 1; }, "exclude field pictures");
    ExpectRefused(
        Mpeg2(), [](auto& s) { s.repeatFirstField = 1; },
        "repeatFirstField needs progressive frames");
    ExpectRefused(
        Mpeg1(), [](auto& s) { s.framePredDCTB = 0; }, "framePredDCT");
    ExpectRefused(
        Mpeg2(),
        [](auto& s) {
            s.progressiveSequence = 1;
            s.progressiveFrame = 1;
        },
        "must not set topFieldFirst");
    // Interlaced MPEG-2 may code field pictures and choose field DCT.
    ExpectAccepted(Mpeg2(), [](auto& s) {
        s.fieldPictures = 1;
        s.framePredDCTP = 0;
    });
}

TEST(AudioValidationTest, EveryRule) {
    const EncoderSettings valid = Mpeg2();
    EXPECT_EQ(korvan::AudioSettingsFault(valid), "");
    auto refused = [&](const std::function<void(EncoderSettings&)>& change) {
        EncoderSettings settings = valid;
        change(settings);
        return !korvan::ValidateAudioSettings(settings) && korvan::ValidateVideoSettings(settings);
    };
    EXPECT_TRUE(refused([](auto& s) { s.audioLayer = 0; }));
    EXPECT_TRUE(refused([](auto& s) { s.audioLayer = 3; }));
    EXPECT_TRUE(refused([](auto& s) { s.psychModel = 0; }));
    EXPECT_TRUE(refused([](auto& s) { s.psychModel = 3; }));
    EXPECT_TRUE(refused([](auto& s) { s.audioBitrate = -1; }));
    EXPECT_TRUE(refused([](auto& s) { s.audioBitrate = 15; }));
    EXPECT_TRUE(refused([](auto& s) { s.deEmphasis = 2; }));
    EXPECT_TRUE(refused([](auto& s) { s.deEmphasis = 4; }));
    EXPECT_TRUE(refused([](auto& s) { s.privateBit = 2; }));
    EXPECT_TRUE(refused([](auto& s) { s.copyrightBit = -1; }));
    EXPECT_TRUE(refused([](auto& s) { s.originalBit = 2; }));
    EXPECT_TRUE(refused([](auto& s) { s.errorProtection = 2; }));
    EXPECT_TRUE(refused([](auto& s) { s.audioMode = 4; }));

    EncoderSettings edges = valid;
    edges.audioLayer = 1;
    edges.psychModel = 1;
    edges.audioBitrate = 14;
    edges.deEmphasis = 3;
    edges.audioMode = 3;
    edges.privateBit = edges.copyrightBit = edges.originalBit = edges.errorProtection = 1;
    EXPECT_EQ(korvan::AudioSettingsFault(edges), "");
    edges.audioBitrate = 0;
    edges.deEmphasis = 1;
    EXPECT_EQ(korvan::AudioSettingsFault(edges), "");
}

}  // namespace
