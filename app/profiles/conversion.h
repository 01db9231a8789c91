// One conversion, or one thumbnail, run through ffmpeg with a run's profile. Both return when the
// tool has ended; their outcome shows as the output file existing, and a failure as the progress
// notification -2 posted to the notify target (ConvertFile also answers
// whether the tool failed).
//
// Paths reach ffmpeg unquoted, so an input or output whose path holds a
// blank goes through a fixed temporary name in the drive root instead:
// "aa.mpg" (a conversion's input), "aa.3gp" (a conversion's output, or a
// thumbnail's source) and "bb.THM" (a thumbnail). Only one conversion may run
// at a time; the conversion queue sees to that.
#pragma once

#include <string>

#include "app/profiles/encoder_options.h"
#include "app/tools/command_target.h"
#include "app/tools/media_info.h"

struct RunContext;

// Where a run's tools run: not one profile's, the same for all.
struct ConversionSetup {
    RunContext& context;
    // Folder for the temporary names, ending in "/" and free of blanks (the
    // main window's DriveRoot()).
    std::string driveRoot;
    // Receives the progress notifications (kCommandMessage,
    // kProgressNotification, 1..100 or -2); may be null.
    CommandTarget* notifyTarget = nullptr;
};

inline constexpr const char* kConversionInputName = "aa.mpg";
inline constexpr const char* kConversionOutputName = "aa.3gp";
inline constexpr const char* kThumbnailSourceName = "aa.3gp";
inline constexpr const char* kThumbnailName = "bb.THM";

// "ffmpeg -y -i input" + the profile's options + output, with what the
// input needs beyond them to come out right (BuildSourceOptions), learnt
// from a probe of the input and, where its field order is not said, an idet
// pass over its first pictures. False when the tool could not start or
// failed (it reported an error or did not exit with status 0), or its output
// could not be put in place; a tool that was stopped has not failed.
bool ConvertFile(const ConversionSetup& setup, const EncoderProfile& profile,
                 const std::string& input, const std::string& output);

// The same with the facts of a probe of `input` already made.
bool ConvertProbedFile(const ConversionSetup& setup, const EncoderProfile& profile,
                       const MediaInfo& source, const std::string& input,
                       const std::string& output);

// A 160 x 120 picture taken 5 seconds into `source`, written beside the
// converted file as ThumbnailPath(convertedOutput).
void MakeThumbnail(const ConversionSetup& setup, const std::string& source,
                   const std::string& convertedOutput);

// The converted file's path up to and including its last "." followed by
// "THM": "/out/Movie.File.mp4" gives "/out/Movie.File.THM". A file name
// without "." gets ".THM" appended.
std::string ThumbnailPath(const std::string& convertedOutput);
