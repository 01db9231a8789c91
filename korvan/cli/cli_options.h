// zarvo-mpegenc's command line, parsed into plain data that the modes read.
#pragma once

#include <string>

#include "korvan/mpegenc/settings/encoder_presets.h"

namespace korvan::cli {

inline constexpr char kProgramName[] = "zarvo-mpegenc";
inline constexpr char kUsage[] =
    "usage: zarvo-mpegenc --target mpeg1|mpeg2|dvd|vcd|svcd [--ntsc] [--settings FILE.ini]\n"
    "                     [--print-settings] [--video IN.y4m] [--audio IN.wav] [-o OUT.mpg]\n"
    "                     [--video-es OUT] [--audio-es OUT] [--mux-video ES] [--mux-audio ES]\n"
    "                     [--recon OUT.y4m] [--mux-audio1 ES] [--threads N]\n"
    "       zarvo-mpegenc --target KIND [--ntsc] [--settings FILE.ini] --input FILE\n"
    "                     (-o OUT.mpg | --avi OUT.avi) [--size-limit MB] [--duration-limit S]\n"
    "                     [--threads N]\n"
    "  --input reads any video file the library's readers decode (sound is converted to\n"
    "  the target's rate) and runs the library's whole encode, printing its progress;\n"
    "  the TV system is the source's (25 or 50 Hz PAL, 23.976, 29.97 or 59.94 Hz NTSC,\n"
    "  --ntsc for other rates), and dvd, svcd and vcd get its frame size with the\n"
    "  picture at its own shape and black around it;\n"
    "  --avi writes an AVI with the compressor saved in avicode.dat (or the default);\n"
    "  a limit reached ends the output early and says so.\n";

struct CliOptions {
    std::string target;                            // --target, as given
    bool ntsc = false;                             // --ntsc
    EncoderPreset preset = EncoderPreset::kMpeg1;  // the target's preset
    TvSystem system = TvSystem::kPal;              // PAL unless --ntsc
    std::string settingsPath;                      // --settings: loaded over the preset
    bool printSettings = false;                    // --print-settings
    bool help = false;                             // --help, -h
    std::string threads;                           // --threads N, as given
    int threadCount = 0;                           // N; 0 when not given: every core

    std::string videoInput;         // --video IN.y4m
    std::string audioInput;         // --audio IN.wav
    std::string programOutput;      // -o OUT.mpg
    std::string videoStreamOutput;  // --video-es OUT
    std::string reconOutput;        // --recon OUT.y4m: the video coder's own pictures
    std::string audioStreamOutput;  // --audio-es OUT
    std::string muxVideoInput;      // --mux-video ES
    std::string muxAudioInput;      // --mux-audio ES
    std::string muxAudio1Input;     // --mux-audio1 ES: a second audio stream

    std::string sourceInput;          // --input FILE: any file the readers decode
    std::string aviOutput;            // --avi OUT.avi
    std::string sizeLimit;            // --size-limit MB, as given
    std::string durationLimit;        // --duration-limit S, as given
    double sizeLimitMB = 0;           // 0: no limit
    double durationLimitSeconds = 0;  // 0: no limit
};

// What a command line asks for: the multiplex of ready streams, an encode
// with video (and sound beside it when given), an encode of sound alone, or
// only the settings. An encode with -o ends in a program stream.
// --input runs the library's whole encode from a file the readers decode.
enum class CliMode { kSettingsOnly, kMux, kVideo, kAudio, kInput };

struct CliParse {
    CliOptions options;
    std::string error;  // one line; empty when the command line is sound
};

// Options take their value as the next argument or after "=" ("--target=dvd").
CliParse ParseCliOptions(int argc, const char* const* argv);

CliMode ModeOf(const CliOptions& options);

}  // namespace korvan::cli
