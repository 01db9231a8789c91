// What one source needs beyond its profile's options to come out right on
// the target: the profile names a bare frame size, which stretches a picture
// of another shape, scales interlaced pictures field-blended, and leaves a
// file without sound where the target's container or player needs one.
//
// Where the picture already fits (its display shape is the frame's, it is
// progressive, and it has sound or needs none), nothing is added and the
// profile's command line runs as it is.
#pragma once

#include <string>

#include "app/profiles/profile_values.h"
#include "app/tools/media_info.h"

struct SourceFit {
    // Before the profile's options, so that they stay the output's: a
    // silent sound source (" -f lavfi -i anullsrc=r=44100:cl=stereo").
    std::string inputOptions;
    // After the profile's options: the picture's filters and display aspect
    // (" -vf bwdif=...,scale=320:180,pad=...,setsar=1 -aspect 16:9"), and
    // " -shortest" with the silent track.
    std::string outputOptions;
};

// A display shape the frame can show: its frame size and the width:height
// of the picture as shown.
struct FrameShape {
    int widthPx = 0;
    int heightPx = 0;
    int aspectWidth = 0;  // display aspect, 4:3 or 16:9 for disc frames
    int aspectHeight = 0;
};

// The frame a fixed-size profile gives `source`: square pixels, except the
// DVD target's discs, shown at 4:3, or at 16:9 where the disc allows it and
// the picture is wide. Width 0 for a profile that keeps the input's size.
FrameShape TargetFrame(const ProfileValues& values, int target, int profileIndex,
                       const PictureFacts& source);

// The width:height of the picture as shown, its pixel shape and rotation
// taken into account; 0 when the size is not known.
double DisplayShape(const PictureFacts& picture);

// True when the source's field order is unknown but decides its command
// line: an idet pass is worth its time.
bool NeedsFieldDetection(const MediaInfo& source);

SourceFit FitSource(const ProfileValues& values, int target, int profileIndex,
                    const MediaInfo& source);
