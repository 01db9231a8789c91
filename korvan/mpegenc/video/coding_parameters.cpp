#include "korvan/mpegenc/video/coding_parameters.h"

#include <algorithm>
#include <cmath>

namespace korvan {
namespace {

// The largest f-codes the level allows (MPEG-1: the syntax's 7, or 4 with
// constrained parameters).
void SetFCodeLimits(const EncoderSettings& s, CodingParameters& p) {
    if (!s.IsMpeg2()) {
        p.maxHorizontalFCode = p.maxVerticalFCode = s.constrainedParameters ? 4 : 7;
        return;
    }
    switch (s.level) {
        case kLevelHigh:
        case kLevelHigh1440:
            p.maxHorizontalFCode = 9;
            p.maxVerticalFCode = 5;
            break;
        case kLevelLow:
            p.maxHorizontalFCode = 7;
            p.maxVerticalFCode = 4;
            break;
        default:
            p.maxHorizontalFCode = 8;
            p.maxVerticalFCode = 5;
            break;
    }
}

PictureTypeChoices MakeChoices(int framePredDct, int nonLinear, int intraVlc, int alternate,
                               bool mpeg2) {
    PictureTypeChoices c;
    c.framePredFrameDct = !mpeg2 || framePredDct != 0;
    c.nonLinearScale = mpeg2 && nonLinear != 0;
    c.intraVlcFormat = mpeg2 && intraVlc != 0;
    c.alternateScan = mpeg2 && alternate != 0;
    return c;
}

}  // namespace

Status DeriveCodingParameters(const EncoderSettings& s, int width, int height,
                              CodingParameters& p) {
    const bool mpeg2 = s.IsMpeg2();
    const bool saneSize = width >= 1 && height >= 1 && width <= 4095 && height <= 4095;
    const bool saneGop = s.iFramesInGOP >= 1 && s.ipFrameDistance >= 1 &&
                         s.ipFrameDistance < kMotionRecords &&
                         s.iFramesInGOP % s.ipFrameDistance == 0;
    const bool saneFormat = s.chromaFormat >= kChroma420 && s.chromaFormat <= kChroma444 &&
                            (mpeg2 || s.chromaFormat == kChroma420) && s.intraDCPrec >= 0 &&
                            s.intraDCPrec <= (mpeg2 ? 3 : 0) && s.frameRateCode >= 1 &&
                            s.frameRateCode <= 8;
    // The fixed quantiser serves only without a constant bitrate.
    const bool saneQuantiser = s.constBitrateFlag || (s.mquantValue >= 1 && s.mquantValue <= 31);
    if (!saneSize || !saneGop || !saneFormat || !saneQuantiser) {
        return Status::Failed(StatusCode::kInvalidSettings,
                              "Invalid settings, running settings ...");
    }

    p.syntax = mpeg2 ? MpegSyntax::kMpeg2 : MpegSyntax::kMpeg1;
    p.progressiveSequence = !mpeg2 || s.progressiveSequence != 0;
    p.geometry = MakeCodingGeometry(width, height, s.chromaFormat, !p.progressiveSequence);
    // Fields need interlaced frames: a whole number of macroblock rows each.
    p.fieldPictures = s.fieldPictures != 0;
    if (p.fieldPictures && (!mpeg2 || p.progressiveSequence || s.progressiveFrame)) {
        return Status::Failed(StatusCode::kInvalidSettings,
                              "Invalid settings, running settings ...");
    }
    p.gopSize = s.iFramesInGOP;
    p.referenceDistance = s.ipFrameDistance;

    p.aspectRatio = s.aspectRatio;
    static constexpr double kFrameRates[9] = {0,  24000.0 / 1001, 24, 25, 30000.0 / 1001, 30,
                                              50, 60000.0 / 1001, 60};
    p.frameRate = kFrameRates[s.frameRateCode];
    // 24 Hz material shown with pulldown is announced at the display rate.
    p.frameRateCode = s.videoPulldownFlag ? (s.frameRateCode == 1 ? 4 : 5) : s.frameRateCode;
    if (s.constBitrateFlag) {
        p.bitRateValue = static_cast<uint32_t>(std::ceil(s.constBitrate * 0.0025));
    } else if (!mpeg2) {
        p.bitRateValue = 0x3FFFF;
    } else {
        p.bitRateValue = static_cast<uint32_t>(std::ceil(s.maxBitrate * 0.0025));
    }
    p.vbvBufferSize = s.vbvBufferSize;
    p.constrainedParameters = !mpeg2 && s.constrainedParameters != 0;
    p.profileAndLevel = (s.profile << 4) | s.level;
    p.writeSequenceDisplayExt = mpeg2 && s.writeSequenceDisplayExt != 0;
    p.videoFormat = s.videoFormat;
    p.colourPrimaries = s.colorPrimaries;
    p.transferCharacteristics = s.transferCharacteristics;
    p.matrixCoefficients = s.matrixCoefficients;
    p.displayWidth = s.displayHorizontalSize;
    p.displayHeight = s.displayVerticalSize;

    p.intraDcPrecision = mpeg2 ? s.intraDCPrec : 0;
    p.topFieldFirst = mpeg2 && s.topFieldFirst != 0;
    p.repeatFirstField = mpeg2 && s.repeatFirstField != 0;
    p.progressiveFrame = !mpeg2 || s.progressiveFrame != 0;
    p.writePictureDisplayExt =
        mpeg2 && s.writePictureDisplayExt != 0 && s.writeSequenceDisplayExt != 0;
    p.frameCentreHorizontalOffset = s.frameCentreHorizontalOffset;
    p.frameCentreVerticalOffset = s.frameCentreVerticalOffset;
    p.perType[kPictureI - 1] = MakeChoices(s.framePredDCTI, s.quantizationScaleI, s.intraVLCFormatI,
                                           s.alternateScanI, mpeg2);
    p.perType[kPictureP - 1] = MakeChoices(s.framePredDCTP, s.quantizationScaleP, s.intraVLCFormatP,
                                           s.alternateScanP, mpeg2);
    p.perType[kPictureB - 1] = MakeChoices(s.framePredDCTB, s.quantizationScaleB, s.intraVLCFormatB,
                                           s.alternateScanB, mpeg2);
    RateParameters& rate = p.rate;
    if (s.constBitrateFlag) {
        rate.mode = RateMode::kConstantBitrate;
    } else if (s.maxBitrate > 0 || s.avgBitrate > 0 || s.minBitrate > 0) {
        rate.mode = RateMode::kBoundedVariable;
    } else {
        rate.mode = RateMode::kFixedQuantiser;
    }
    rate.bitRate = s.constBitrate;
    rate.maxBitrate = s.maxBitrate;
    rate.avgBitrate = s.avgBitrate;
    rate.minBitrate = s.minBitrate;
    rate.mquantValue = s.mquantValue;
    rate.reactionParameter = s.reactionParameter;
    rate.initialAverageActivity = s.initialAverageActivity;
    rate.initialComplexity[0] = s.initialIComplexity;
    rate.initialComplexity[1] = s.initialPComplexity;
    rate.initialComplexity[2] = s.initialBComplexity;
    rate.initialFullness[0] = s.initialIFullness;
    rate.initialFullness[1] = s.initialPFullness;
    rate.initialFullness[2] = s.initialBFullness;
    rate.resetPBIVBF = s.resetPBIVBF != 0;
    if (rate.mode == RateMode::kConstantBitrate && (!(s.constBitrate > 0) || s.vbvBufferSize < 1)) {
        return Status::Failed(StatusCode::kInvalidSettings,
                              "Invalid settings, running settings ...");
    }
    // Only the constant-bitrate controller runs a VBV model; without it no
    // picture can announce a true decoding delay.
    p.forceVbvDelay = rate.mode != RateMode::kConstantBitrate || s.forceVBVDelay != 0;

    // MPEG-2 slices never span macroblock rows.
    p.sliceEveryRow = mpeg2 || s.sliceHdrEveryMBrow != 0;
    p.embedSvcdUserData = s.embedSVCDUserBlocks != 0;
    p.writeSequenceEndCode = s.writeSequenceEndCode != 0;

    p.firstFramePictures = s.firstFramePictures;
    p.pulldown = s.videoPulldownFlag;

    p.variableMaxMotion = s.variableMaxMotion;
    p.motion = s.motion;
    SetFCodeLimits(s, p);
    p.floatingPointDct = s.useFloatingPoint != 0;

    return LoadSequenceMatrices(s.intraQuantMatrix, s.nonIntraQuantMatrix, p.matrices);
}

}  // namespace korvan
