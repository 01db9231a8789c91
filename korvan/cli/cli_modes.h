// The modes of zarvo-mpegenc. Each lives in its own file and gets the parsed
// command line and the settings record (preset, then settings file, validated).
#pragma once

#include "korvan/base/status.h"
#include "korvan/cli/cli_options.h"
#include "korvan/mpegenc/settings/encoder_messages.h"
#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the work was tried and failed
inline constexpr int kExitUsage = 2;    // bad command line, missing file, refused settings

// The exit status of an encode that did not succeed: refused settings are
// the command line's fault.
inline int FailureExitCode(const Status& status) {
    return status.code == StatusCode::kRefused ? kExitUsage : kExitFailure;
}

struct ModeContext {
    const CliOptions& options;
    EncoderSettings& settings;
    const MessageSink& messages;  // prints each message as one line on standard error
};

// --video IN.y4m [--audio IN.wav] [--video-es OUT] [--audio-es OUT]
// [-o OUT.mpg]: the video stream, the audio stream when there is sound, and
// with -o the program stream made of them; the elementary streams are then
// named after it unless named on the command line (video_mode.cpp).
int RunVideoMode(ModeContext& context);

// --audio IN.wav [--audio-es OUT] [-o OUT.mpg]: the audio stream and, with -o,
// a program stream of sound alone (audio_mode.cpp).
int RunAudioMode(ModeContext& context);

// [--mux-video ES] [--mux-audio ES] [--mux-audio1 ES] -o OUT.mpg: a program
// stream from ready elementary streams (mux_mode.cpp).
int RunMuxMode(ModeContext& context);

// --input FILE (-o OUT.mpg | --avi OUT.avi) [--size-limit MB]
// [--duration-limit S]: the library's encode driver over the readers, as
// the job driver runs it (input_mode.cpp).
int RunInputMode(ModeContext& context);

}  // namespace korvan::cli
