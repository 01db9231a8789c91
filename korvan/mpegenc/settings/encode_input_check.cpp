#include "korvan/mpegenc/settings/encode_input_check.h"

#include "korvan/mpegenc/settings/frame_rates.h"
#include "korvan/mpegenc/settings/mpeg_levels.h"

namespace korvan {
namespace {

constexpr int kSingleChannelMode = 3;
constexpr int kSingleChannelLargestBitrateIndex = 10;

bool IsEven(int value) { return value % 2 == 0; }

// Lower level values are the higher levels.
void RaiseLevelTo(EncoderSettings& s, int level) {
    if (s.level <= level) return;
    s.level = level;
    if ((level == kLevelHigh || level == kLevelHigh1440) && s.profile == kProfileSimple) {
        s.profile = kProfileMain;
    }
}

}  // namespace

bool IsAcceptedPictureSize(int width, int height) {
    return width >= 1 && width <= kLargestPictureWidth && height >= 1 &&
           height <= kLargestPictureHeight && IsEven(width) && IsEven(height);
}

bool IsAcceptedSampleRate(int sampleRateHz) {
    for (int rate : kAcceptedSampleRates) {
        if (rate == sampleRateHz) return true;
    }
    return false;
}

void RaiseLevelToFit(EncoderSettings& s) {
    const int width = s.horizontalSize;
    const int height = s.verticalSize;
    if (width > 1440) {
        RaiseLevelTo(s, kLevelHigh);
    } else if (width > 720 || height > 576) {
        RaiseLevelTo(s, kLevelHigh1440);
    } else if (width > 352 || height > 288) {
        RaiseLevelTo(s, kLevelMain);
    }
}

void LowerFrameRateToFit(EncoderSettings& s) {
    const LevelLimits* limits = LimitsOfLevel(s.level);
    if (!limits) return;
    const double samplesPerPicture = static_cast<double>(s.horizontalSize) * s.verticalSize;
    while (s.frameRateCode > 3 && s.frameRateCode <= 8 &&
           samplesPerPicture * FrameRateOfCode(s.frameRateCode) > limits->maxSampleRate) {
        --s.frameRateCode;
    }
    s.frameRate = FrameRateOfCode(s.frameRateCode);
}

InputVerdict CheckEncodeInput(EncoderSettings& s, const EncodeInput& input,
                              const MessageSink& messages) {
    InputVerdict verdict;
    if (input.video) {
        const int width = s.horizontalSize;
        const int height = s.verticalSize;
        const bool widthInRange = width >= 1 && width <= kLargestPictureWidth;
        const bool heightInRange = height >= 1 && height <= kLargestPictureHeight;
        if (!widthInRange) ShowMessage(messages, kHorizontalSizeRangeMessage);
        if (!heightInRange) ShowMessage(messages, kVerticalSizeRangeMessage);
        if (!IsEven(width)) ShowMessage(messages, kHorizontalSizeEvenMessage);
        if (!IsEven(height)) ShowMessage(messages, kVerticalSizeEvenMessage);
        verdict.videoAccepted = IsAcceptedPictureSize(width, height);
        if (verdict.videoAccepted) {
            RaiseLevelToFit(s);
            LowerFrameRateToFit(s);
        }
    }
    if (input.audio) {
        if (s.audioMode == kSingleChannelMode &&
            s.audioBitrate > kSingleChannelLargestBitrateIndex) {
            s.audioBitrate = kSingleChannelLargestBitrateIndex;
        }
        if (!IsAcceptedSampleRate(input.sampleRateHz)) {
            ShowMessage(messages, kSampleRateMessage);
            verdict.audioAccepted = false;
        }
    }
    return verdict;
}

}  // namespace korvan
