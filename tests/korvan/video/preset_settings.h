// The video part of the encoder presets, filled in by hand for the tests:
// the values of the preset table for each target, PAL or NTSC.
#pragma once

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace test {

enum class Target { kMpeg1, kVcd, kMpeg2, kSvcd, kDvd };

inline korvan::EncoderSettings PresetSettings(Target target, bool pal) {
    korvan::EncoderSettings s;
    const int t = static_cast<int>(target);
    s.videoType = t;
    s.constrainedParameters = target == Target::kVcd ? 1 : 0;
    s.iFramesInGOP = target == Target::kDvd && !pal ? 15 : (target == Target::kDvd ? 12 : 15);
    s.ipFrameDistance = 3;
    const bool mpeg1 = t <= 1;
    s.aspectRatio = mpeg1 ? (pal ? 8 : 12) : 2;
    s.frameRateCode = pal ? 3 : 4;
    s.frameRate = pal ? 25.0 : 30000.0 / 1001;
    s.videoFormat = pal ? 1 : 2;
    s.colorPrimaries = s.transferCharacteristics = pal ? 5 : 4;
    s.matrixCoefficients = 5;
    s.displayHorizontalSize = mpeg1 ? 352 : 720;
    s.displayVerticalSize = mpeg1 ? (pal ? 288 : 240) : (pal ? 576 : 480);
    s.progressiveSequence = s.progressiveFrame = mpeg1 ? 1 : 0;
    s.intraDCPrec = mpeg1 ? 0 : 1;
    s.topFieldFirst = mpeg1 ? 0 : 1;
    s.sliceHdrEveryMBrow = mpeg1 ? 0 : 1;
    s.quantizationScaleI = s.quantizationScaleP = s.quantizationScaleB = mpeg1 ? 0 : 1;
    s.alternateScanI = s.alternateScanP = s.alternateScanB = mpeg1 ? 0 : 1;
    s.intraVLCFormatI = mpeg1 ? 0 : 1;
    s.intraVLCFormatP = s.intraVLCFormatB = 0;
    s.framePredDCTI = s.framePredDCTP = s.framePredDCTB = 1;
    s.writeSequenceDisplayExt = target == Target::kSvcd ? 0 : 1;
    static constexpr double kConstBitrate[] = {1800000, 1150000, 6000000, 2300000, 6000000};
    static constexpr double kMaxBitrate[] = {0, 1151929, 0, 2376000, 9800000};
    static constexpr int kVbv[] = {23, 20, 112, 112, 112};
    s.constBitrate = kConstBitrate[t];
    s.maxBitrate = kMaxBitrate[t];
    s.vbvBufferSize = kVbv[t];
    s.forceVBVDelay = mpeg1 ? 0 : 1;
    s.constBitrateFlag = target == Target::kVcd ? 1 : 0;
    s.mquantValue = target == Target::kSvcd ? 10 : 4;
    s.embedSVCDUserBlocks = 0;
    s.variableMaxMotion = 58;
    s.profile = korvan::kProfileMain;
    s.level = korvan::kLevelMain;
    s.chromaFormat = 1;
    s.writeSequenceEndCode = 1;
    // Pel movement 3 with M = 3: P window 9 (f-code 2), B windows 3 and 6.
    s.motion[0] = {2, 2, 9, 9, 1, 1, 0, 0};
    s.motion[1] = {1, 1, 3, 3, 1, 1, 6, 6};
    s.motion[2] = {1, 1, 6, 6, 1, 1, 3, 3};
    return s;
}

}  // namespace test
