// What the multiplexer tests need from the outside world: elementary streams
// made by ffmpeg, shaped for each target and shared by the test programs of a
// run, and the real clients that judge a program stream (ffprobe, ffmpeg,
// dvdauthor with lsdvd, vcdimager with vcdxrip).
#pragma once

#include <string>
#include <vector>

#include "korvan/mpegenc/mux/multiplexer.h"
#include "korvan/mpegenc/settings/encoder_presets.h"

namespace test {

// The path of a test stream, made on first use. Names:
//   "<target>-<pal|ntsc>.m1v|.m2v" for mpeg1, vcd, mpeg2, svcd and dvd: two
//   seconds of video shaped for the target;
//   "dvd-long-pal.m2v", "svcd-long-pal.m2v": twelve seconds with closed GOPs;
//   "mp2-44100.mp2", "mp2-48000.mp2", "ac3-48000.ac3": two seconds of the
//   first audio stream; "second-*" the same at a lower bitrate for a
//   second stream; "*-long.*": twelve seconds.
// Empty when ffmpeg could not make it.
std::string MuxMedia(const std::string& name);

// The video and first audio stream a target is tested with.
std::string VideoFor(korvan::EncoderPreset preset, korvan::TvSystem system);
std::string AudioFor(korvan::EncoderPreset preset);
std::string SecondAudioFor(korvan::EncoderPreset preset);

// Multiplexes the streams that are not empty paths into `programPath`, with
// the unit files in `unitFolder`.
korvan::mux::MuxReport RunMultiplex(const korvan::EncoderSettings& settings,
                                    const std::string& video, const std::string& audio,
                                    const std::string& secondAudio, const std::string& programPath,
                                    const std::string& unitFolder);

struct ToolRun {
    int exitCode = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};
// Runs a program found in PATH, without a shell, with its output and errors
// apart and, when given, "NAME=value" settings for its environment.
ToolRun RunInstalled(const std::string& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment = {});

struct ProbedStream {
    std::string codec;
    double durationSeconds = -1;  // -1 when ffprobe gives none
    double frames = 0;            // as ffprobe counts them
};
std::vector<ProbedStream> ProbeStreams(const std::string& path);

// What "ffmpeg -v error" prints while it decodes every stream; empty for a
// clean stream.
std::string DecodeErrors(const std::string& path);

struct DvdAuthoring {
    std::string complaints;    // dvdauthor's ERR and WARN lines
    double titleSeconds = -1;  // lsdvd's length of title 1
};
// Builds a VIDEO_TS folder in `folder` from the program stream and reads it back.
DvdAuthoring AuthorDvd(const std::string& path, const std::string& folder, korvan::TvSystem system);

// Builds a VideoCD ("vcd2") or SuperVCD ("svcd") image in `folder` and
// returns vcdimager's WARN and ERROR lines.
std::string VcdImagerComplaints(const std::string& path, const std::string& folder,
                                const std::string& type,
                                const std::vector<std::string>& options = {});

// The pictures or frames of an elementary stream and the seconds they
// last, as ffprobe counts them.
struct StreamLength {
    double frames = 0;
    double seconds = 0;
};
StreamLength MeasureStream(const std::string& path);

// Lines holding any of `markers`.
std::string LinesWith(const std::string& text, const std::vector<std::string>& markers);

}  // namespace test
