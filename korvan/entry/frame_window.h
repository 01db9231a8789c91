// Which pictures of an input a job converts: the trim marks of the input's
// clip file, then the job's own time window over them.
#pragma once

#include <cstdint>
#include <string>

namespace korvan {

// A clip file: export folder + the input's file title + ".clip", an INI file
// whose section "zarvo" holds the chosen start and end and the input's length,
// in whole seconds. A missing file or key reads as 0.
struct ClipMarks {
    int startSeconds = 0;     // "time1"
    int endSeconds = 0;       // "time2"
    int durationSeconds = 0;  // "duration"
};

std::string ClipFilePath(const std::string& exportFolder, const std::string& input);
ClipMarks ReadClipMarks(const std::string& clipPath);

// The input's pictures, first and last, numbered as its reader numbers them.
struct FrameWindow {
    std::uint32_t first = 0;
    std::uint32_t last = 0;

    bool operator==(const FrameWindow&) const = default;
};

// The window the clip marks choose. Without marks (or with a length of 0)
// the computed end lies below 0; compared as unsigned 32-bit numbers it is
// beyond the last picture and the whole input is converted.
FrameWindow ClipFrameWindow(const ClipMarks& marks, double framesPerSecond, FrameWindow input);

// The job's "stime" and "etime" over the clip's window: when they differ
// (swapped when the end is the smaller), a non-zero start moves the start
// later and the end replaces the clip's end (0: the last picture). Equal
// times leave the clip's window as it is.
FrameWindow JobFrameWindow(FrameWindow clip, int startSeconds, int endSeconds,
                           double framesPerSecond, FrameWindow input);

}  // namespace korvan
