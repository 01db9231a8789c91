// Reading the console text of ffmpeg and mencoder: tool failures, progress,
// and the media facts of an input. The runner hands every piece of output
// (at most 1024 bytes, ending at a line end where it can) to one of the two
// chunk parsers; they are pure functions of the text and the state given.
//
// The text is searched for fixed markers, not parsed line by line. Two
// generations of ffmpeg text are understood:
// - older ffmpeg: "Stream #0.1[0x80]: Audio: ac3, ...", progress
//   "time=5.12 bitrate=...", probes ending in "...at least one output file";
// - ffmpeg 5.1 (Debian 12): "Stream #0:1[0x80]: Audio: ac3, ...", codec
//   fields with descriptions ("mpeg4 (Simple Profile) (FMP4 / 0x34504D46)"),
//   progress "time=00:00:05.12 bitrate=..." ending in CR, probes ending in
//   "At least one output file must be ...", and failures of its own
//   wording ("x.avi: No such file or directory").
#pragma once

#include <string>
#include <string_view>

#include "app/tools/media_info.h"
#include "app/tools/probe_text.h"
#include "app/tools/run_context.h"

enum ParseMode : int { FfmpegOutput = 0, PositionOutput = 1 };

// The part of a ToolRunner the parser reads and writes.
struct ToolOutputState {
    bool success = true;  // false once the tool reported a failure
    double positionSeconds = 0;
    int percent = 0;  // last computed progress; 0 = nothing to report yet
    MediaInfo media;
    ProbeText probeText;
    std::string preferredAudioId;  // empty = take the first audio stream
    bool probeOnly = false;
    // What the idet filter's summary of the run found, when it ran.
    FieldOrder detectedFieldOrder = FieldOrder::kUnknown;
};

// An ffmpeg run's chunk: failure, else progress from its newest progress line
// (once the duration is known), else gathering of the media facts (only while the audio stream has
// not been taken and the command is an ffmpeg one). A probe reads the facts when its closing line
// arrives, any other run after every gathered chunk.
void ParseFfmpegChunk(std::string_view chunk, std::string_view commandPrefix,
                      ToolOutputState& state, ProgressClock& clock);

// A mencoder run's chunk: failure, else progress from its newest
// "Pos:  12.3s" against the duration the caller set.
void ParsePositionChunk(std::string_view chunk, ToolOutputState& state, ProgressClock& clock);

// Reads the media facts from the whole text gathered so far.
void ParseMediaDescription(std::string_view text, const std::string& preferredAudioId,
                           MediaInfo& media);

// The field order the idet filter's summary line finds ("Multi frame
// detection: TFF: 25 BFF: 0 Progressive: 0 Undetermined: 0"): the pictures
// are taken as interlaced when more show two fields than one; kUnknown when
// the text holds no summary or it counted nothing.
FieldOrder ReadFieldDetection(std::string_view text);

// True when a line of the chunk says the tool gave up.
bool ReportsToolFailure(std::string_view chunk);

// "h:m:s" as seconds: hours before the first ":", minutes between the first
// and the last, seconds after the last, each a decimal number that may have
// leading blanks and a fraction. Text without ":" and numbers that cannot be
// read give 0. Independent of the program's locale.
double ParseTimeString(std::string_view text);
