// The modes of zarvo-mpegenc. Each lives in its own file and gets the parsed
// command line and the settings record (preset, then settings file, validated).
#pragma once

#include "korvan/cli/cli_options.h"
#include "korvan/mpegenc/settings/encoder_messages.h"
#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;  // the work was tried and failed
inline constexpr int kExitUsage = 2;    // bad command line, missing file, refused settings

struct ModeContext {
    const CliOptions& options;
    EncoderSettings& settings;
    const MessageSink& messages;  // prints each message as one line on standard error
};

// --video IN.y4m [--audio IN.wav] [--video-es OUT] [-o OUT.mpg]: the video
// elementary stream and, with -o, the whole program stream (video_mode.cpp).
int RunVideoMode(ModeContext& context);

// --audio IN.wav [--audio-es OUT]: the audio elementary stream (audio_mode.cpp).
int RunAudioMode(ModeContext& context);

// [--mux-video ES] [--mux-audio ES] [--mux-audio1 ES] -o OUT.mpg: a program
// stream from ready elementary streams (mux_mode.cpp).
int RunMuxMode(ModeContext& context);

}  // namespace korvan::cli
