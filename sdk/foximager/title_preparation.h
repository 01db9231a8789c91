// What a file needs before dvdauthor takes it: a DVD program stream of the
// disc's standard is used as it is; MPEG-2 video that a DVD may hold is
// copied into a DVD program stream (its sound re-encoded only when a DVD
// cannot carry it, silence added when it has none, its aspect ratio
// rewritten in the stream headers when it is not one a DVD knows);
// anything else is re-encoded to the standard. Pure functions of the facts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sdk/foximager/media_facts.h"
#include "sdk/foximager/program_stream_scan.h"

namespace foximager {

enum class VideoStandard { kPal, kNtsc };

std::string_view StandardName(VideoStandard standard);  // "pal", "ntsc"

// 25 pictures a second (or 576 / 288 lines) is PAL; everything else NTSC.
VideoStandard StandardOf(const MediaFacts& facts);

// A menu must fill the picture, so that its buttons land where they were
// drawn; titles may also be half or quarter size.
enum class TitleRole { kTitle, kMenu };

enum class Preparation { kUseAsItIs, kRemux, kReencode };

struct PreparationPlan {
    Preparation how = Preparation::kReencode;
    bool wide = false;        // 16:9 rather than 4:3
    bool setAspect = false;   // remux: rewrite the aspect ratio
    bool copyAudio = false;   // remux: the sound can be kept as it is
    bool addSilence = false;  // the file has no sound
    std::string failure;      // why the file cannot be used at all, else ""
};

PreparationPlan PlanPreparation(const MediaFacts& facts, const ProgramStreamFacts& stream,
                                VideoStandard standard, TitleRole role);

// The ffmpeg command that makes `output` from `input` (not for
// kUseAsItIs); it reports its progress on its standard output as
// "out_time_us=" lines.
std::vector<std::string> PreparationArguments(const PreparationPlan& plan, VideoStandard standard,
                                              const std::string& input, const std::string& output);

}  // namespace foximager
