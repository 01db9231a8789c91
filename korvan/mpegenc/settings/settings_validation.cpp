#include "korvan/mpegenc/settings/settings_validation.h"

#include "korvan/mpegenc/settings/frame_rates.h"
#include "korvan/mpegenc/settings/mpeg_levels.h"

namespace korvan {
namespace {

constexpr double kMaxMpeg2Bitrate = 400.0 * ((1 << 30) - 1);  // 30-bit bit_rate in 400 bit/s
constexpr double kMaxMpeg1Bitrate = 400.0 * ((1 << 18) - 1);  // 18-bit bit_rate

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

bool IsColourCode(int value) { return InRange(value, 1, 7) && value != 3; }

// One direction of one motion record: its two f-codes and two windows.
struct MotionHalf {
    int horzFCode;
    int vertFCode;
    int horzSearch;
    int vertSearch;
};

// Calls `check` on every half the coder uses: the forward half of the P
// record and both halves of the B records 1..M-1; stops at the first that
// fails. M must already be valid.
template <typename Check>
bool EveryUsedMotionHalf(const EncoderSettings& s, Check check) {
    const MotionRecord& p = s.motion[0];
    if (!check(MotionHalf{p.forwHorzFCode, p.forwVertFCode, p.forwHorzSearch, p.forwVertSearch})) {
        return false;
    }
    for (int d = 1; d < s.ipFrameDistance; ++d) {
        const MotionRecord& b = s.motion[d];
        if (!check(
                MotionHalf{b.forwHorzFCode, b.forwVertFCode, b.forwHorzSearch, b.forwVertSearch}) ||
            !check(
                MotionHalf{b.backHorzFCode, b.backVertFCode, b.backHorzSearch, b.backVertSearch})) {
            return false;
        }
    }
    return true;
}

// A window w can be searched with f-code f when w <= 4 * 2^f - 1.
bool WindowFits(int windowPels, int fCode) {
    return windowPels > 0 && windowPels <= 4 * (1 << fCode) - 1;
}

std::string_view GopFault(const EncoderSettings& s) {
    if (!InRange(s.iFramesInGOP, 1, 32)) return "iFramesInGOP must be 1..32";
    if (!InRange(s.ipFrameDistance, 1, 16)) return "ipFrameDistance must be 1..16";
    if (s.iFramesInGOP % s.ipFrameDistance != 0) {
        return "iFramesInGOP must be a multiple of ipFrameDistance";
    }
    return {};
}

std::string_view RangeFault(const EncoderSettings& s) {
    const bool mpeg2 = s.IsMpeg2();
    if (!InRange(s.aspectRatio, 1, mpeg2 ? 4 : 14)) return "aspectRatio out of range";
    if (!InRange(s.frameRateCode, 1, 8)) return "frameRateCode must be 1..8";
    if (!(s.constBitrate > 0 && s.constBitrate <= (mpeg2 ? kMaxMpeg2Bitrate : kMaxMpeg1Bitrate))) {
        return "constBitrate out of range";
    }
    // The bounds of the variable modes go into headers and GOP budgets, where
    // a negative figure has no meaning.
    if (s.maxBitrate < 0 || s.avgBitrate < 0 || s.minBitrate < 0) {
        return "maxBitrate, avgBitrate and minBitrate must not be negative";
    }
    // Without constant bitrate every macroblock is quantised with mquantValue.
    if (!s.constBitrateFlag && !InRange(s.mquantValue, 1, 31)) return "mquantValue must be 1..31";
    if (!InRange(s.vbvBufferSize, 1, mpeg2 ? 262143 : 1023)) return "vbvBufferSize out of range";
    if (!InRange(s.chromaFormat, 1, 3)) return "chromaFormat must be 1..3";
    if (!InRange(s.videoFormat, 0, 4)) return "videoFormat must be 0..4";
    if (!IsColourCode(s.colorPrimaries) || !IsColourCode(s.transferCharacteristics) ||
        !IsColourCode(s.matrixCoefficients)) {
        return "colour codes must be 1..7 but not 3";
    }
    if (!InRange(s.displayHorizontalSize, 0, 16383) || !InRange(s.displayVerticalSize, 0, 16383)) {
        return "display sizes must be 0..16383";
    }
    if (!InRange(s.intraDCPrec, 0, 3)) return "intraDCPrec must be 0..3";
    return {};
}

std::string_view MotionFault(const EncoderSettings& s) {
    const int maxFCode = s.IsMpeg2() ? 9 : 7;
    const bool fits = EveryUsedMotionHalf(s, [&](const MotionHalf& half) {
        return InRange(half.horzFCode, 1, maxFCode) && InRange(half.vertFCode, 1, maxFCode) &&
               WindowFits(half.horzSearch, half.horzFCode) &&
               WindowFits(half.vertSearch, half.vertFCode);
    });
    return fits ? std::string_view{} : "motion f-codes and search windows do not fit";
}

std::string_view ConstrainedFault(const EncoderSettings& s) {
    if (s.IsMpeg2() || !s.constrainedParameters) return {};
    const long long width = s.horizontalSize;
    const long long height = s.verticalSize;
    const long long macroblocks = ((width + 15) / 16) * ((height + 15) / 16);
    const double rate = FrameRateOfCode(s.frameRateCode);
    if (width > 768 || height > 576) return "constrained parameters: picture too large";
    if (macroblocks > 396) return "constrained parameters: more than 396 macroblocks";
    if (macroblocks * rate > 11880) return "constrained parameters: macroblock rate too high";
    if (rate > 30) return "constrained parameters: frame rate above 30";
    const bool smallFCodes = EveryUsedMotionHalf(
        s, [](const MotionHalf& half) { return half.horzFCode <= 4 && half.vertFCode <= 4; });
    if (!smallFCodes) return "constrained parameters: f-code above 4";
    return {};
}

bool IsProfileLevelAllowed(int profile, int level) {
    switch (profile) {
        case kProfileHigh:
            return level == kLevelHigh || level == kLevelHigh1440 || level == kLevelMain;
        case kProfileMain:
            return true;
        case kProfileSimple:
            return level == kLevelMain;
        default:
            return false;
    }
}

std::string_view Mpeg2Fault(const EncoderSettings& s) {
    if (!s.IsMpeg2()) return {};
    if (s.constrainedParameters) return "MPEG-2 has no constrained parameters";
    if (s.profile != kProfileHigh && s.profile != kProfileMain && s.profile != kProfileSimple) {
        return "profile must be 1, 4 or 5";
    }
    const LevelLimits* limits = LimitsOfLevel(s.level);
    if (!limits) return "level must be 4, 6, 8 or 10";
    if (!IsProfileLevelAllowed(s.profile, s.level)) return "profile and level do not combine";
    if (s.profile == kProfileSimple && s.ipFrameDistance != 1) {
        return "Simple profile has no B pictures";
    }
    if (s.profile == kProfileHigh ? (s.chromaFormat > 2) : (s.chromaFormat != 1)) {
        return "chroma format not allowed in this profile";
    }
    if (s.profile != kProfileHigh && s.repeatFirstField &&
        (s.frameRateCode <= 2 || (s.progressiveSequence && s.frameRateCode <= 6))) {
        return "repeatFirstField not allowed at this frame rate";
    }
    if (s.intraDCPrec == 3 && s.profile != kProfileHigh) return "intraDCPrec 3 needs High profile";
    if (s.frameRateCode > 5 && s.level >= kLevelMain) return "frame rate too high for the level";
    const bool fCodesFit = EveryUsedMotionHalf(s, [&](const MotionHalf& half) {
        return half.horzFCode <= limits->maxHorizontalFCode &&
               half.vertFCode <= limits->maxVerticalFCode;
    });
    if (!fCodesFit) return "f-code above the level's";
    if (s.horizontalSize > limits->maxWidth || s.verticalSize > limits->maxHeight) {
        return "picture larger than the level allows";
    }
    const double sampleRate =
        static_cast<double>(s.horizontalSize) * s.verticalSize * FrameRateOfCode(s.frameRateCode);
    if (sampleRate > limits->maxSampleRate) return "sample rate above the level's";
    if (s.constBitrate > limits->maxBitrate) return "bitrate above the level's";
    if (s.vbvBufferSize > limits->maxVbvBufferSize) return "vbvBufferSize above the level's";
    return {};
}

std::string_view Mpeg1ToolsFault(const EncoderSettings& s) {
    if (s.IsMpeg2()) return {};
    if (s.progressiveSequence != 1) return "MPEG-1 needs progressiveSequence";
    if (s.chromaFormat != 1) return "MPEG-1 needs 4:2:0";
    if (s.intraDCPrec != 0) return "MPEG-1 needs intraDCPrec 0";
    if (s.quantizationScaleI || s.quantizationScaleP || s.quantizationScaleB || s.intraVLCFormatI ||
        s.intraVLCFormatP || s.intraVLCFormatB || s.alternateScanI || s.alternateScanP ||
        s.alternateScanB) {
        return "MPEG-1 has no q_scale_type, intra_vlc_format or alternate_scan";
    }
    return {};
}

std::string_view ProgressiveFault(const EncoderSettings& s) {
    if (s.progressiveSequence && !s.progressiveFrame) {
        return "a progressive sequence needs progressive frames";
    }
    if (s.progressiveFrame && s.fieldPictures) return "progressive frames exclude field pictures";
    if (s.repeatFirstField && !s.progressiveFrame) {
        return "repeatFirstField needs progressive frames";
    }
    if (s.progressiveFrame && !(s.framePredDCTI && s.framePredDCTP && s.framePredDCTB)) {
        return "progressive frames need framePredDCT for every picture type";
    }
    if (s.progressiveSequence && !s.repeatFirstField && s.topFieldFirst) {
        return "a progressive sequence without repeatFirstField must not set topFieldFirst";
    }
    return {};
}

}  // namespace

std::string_view VideoSettingsFault(const EncoderSettings& settings) {
    // Later groups index the motion records by M and rely on valid codes, so
    // the order matters.
    for (auto group : {GopFault, RangeFault, MotionFault, ConstrainedFault, Mpeg2Fault,
                       Mpeg1ToolsFault, ProgressiveFault}) {
        std::string_view fault = group(settings);
        if (!fault.empty()) return fault;
    }
    return {};
}

std::string_view AudioSettingsFault(const EncoderSettings& s) {
    if (!InRange(s.audioLayer, 1, 2)) return "audioLayer must be 1 or 2";
    if (!InRange(s.psychModel, 1, 2)) return "psychModel must be 1 or 2";
    if (!InRange(s.audioBitrate, 0, 14)) return "audioBitrate must be 0..14";
    if (s.deEmphasis != 0 && s.deEmphasis != 1 && s.deEmphasis != 3) {
        return "deEmphasis must be 0, 1 or 3";
    }
    if (!InRange(s.privateBit, 0, 1) || !InRange(s.copyrightBit, 0, 1) ||
        !InRange(s.originalBit, 0, 1) || !InRange(s.errorProtection, 0, 1)) {
        return "privateBit, copyrightBit, originalBit and errorProtection must be 0 or 1";
    }
    // The coder's tables are indexed by the mode.
    if (!InRange(s.audioMode, 0, 3)) return "audioMode must be 0..3";
    return {};
}

}  // namespace korvan
