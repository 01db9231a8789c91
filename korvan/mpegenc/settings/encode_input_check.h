// What an encode accepts from its input, tested before each encode: the
// picture size and the audio sample rate. A picture that passes may raise the
// level and lower the frame rate so that the stream stays within its level.
#pragma once

#include "korvan/mpegenc/settings/encoder_messages.h"
#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

inline constexpr int kLargestPictureWidth = 1920;                     // pels
inline constexpr int kLargestPictureHeight = 1152;                    // pels
inline constexpr int kAcceptedSampleRates[] = {32000, 44100, 48000};  // Hz
inline constexpr int kAcceptedBitsPerSample = 16;

inline constexpr char kHorizontalSizeRangeMessage[] =
    "Horizontal size must be in the range 1 .. 1920.";
inline constexpr char kVerticalSizeRangeMessage[] = "Vertical size must be in the range 1 .. 1152.";
inline constexpr char kHorizontalSizeEvenMessage[] = "Horizontal size must be a even.";
inline constexpr char kVerticalSizeEvenMessage[] = "Vertical size must be a even.";
inline constexpr char kSampleRateMessage[] = "Audio sample rate must be 32, 44.1 or 48 kHz.";

bool IsAcceptedPictureSize(int width, int height);
bool IsAcceptedSampleRate(int sampleRateHz);

// Which streams to test. The picture size is the record's horizontalSize and
// verticalSize.
struct EncodeInput {
    bool video = false;
    bool audio = false;
    int sampleRateHz = 0;
};

struct InputVerdict {
    bool videoAccepted = true;
    bool audioAccepted = true;
};

// Tests the streams the encode will code. Every failed test is shown; a
// refused picture size refuses the video, a refused sample rate the audio.
// An accepted picture raises the level (RaiseLevelToFit) and lowers the frame
// rate (LowerFrameRateToFit); single-channel audio gets at most bitrate
// index 10.
InputVerdict CheckEncodeInput(EncoderSettings& settings, const EncodeInput& input,
                              const MessageSink& messages);

// Raises the level to the lowest one whose picture size fits: above 1440 pels
// wide High, above 720 × 576 at least High-1440, above 352 × 288 at least
// Main. A Simple profile raised to High or High-1440 becomes Main.
void RaiseLevelToFit(EncoderSettings& settings);

// Lowers frame_rate_code one step at a time, never below 3 (25 Hz), while the
// luminance sample rate exceeds the level's; the frame rate follows the code.
void LowerFrameRateToFit(EncoderSettings& settings);

}  // namespace korvan
