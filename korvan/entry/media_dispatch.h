// What a job's "mediatype" asks for: the encoder's target kind, the form of
// the output, and the picture size when the target fixes one.
#pragma once

#include <optional>

#include "korvan/mpegenc/driver/compile_request.h"

namespace korvan {

struct PictureSize {
    int width = 0;
    int height = 0;
};

struct MediaDispatch {
    TargetKind targetKind = kTargetMpeg1;
    OutputForm form = OutputForm::kMpeg;  // MP3: an AVI for the audio converter
    // The target's size for NTSC and PAL; absent: the source's size.
    std::optional<PictureSize> ntscSize;
    std::optional<PictureSize> palSize;

    std::optional<PictureSize> SizeFor(bool pal) const { return pal ? palSize : ntscSize; }
};

// Media types 0..6; any other value is empty (the job cannot be run).
std::optional<MediaDispatch> DispatchMediaType(int mediaType);

// What a media type with this target kind and output form asks for; a form
// no media type pairs with the kind keeps the kind's sizes. Empty for an
// unknown kind.
std::optional<MediaDispatch> DispatchTarget(TargetKind targetKind, OutputForm form);

// The TV system an input is coded for: the one of its picture rate, so that
// no picture is repeated or dropped (a 25 Hz input coded at 29.97 Hz repeats
// every fifth picture); `palDefault` for rates of neither.
bool IsPalRate(double framesPerSecond, bool palDefault);

// The picture size of an encode: the target's, or the source's, rounded down
// to multiples of 4 for an AVI output.
PictureSize OutputPictureSize(const MediaDispatch& dispatch, bool pal, PictureSize source);

}  // namespace korvan
