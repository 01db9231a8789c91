// What a job's "mediatype" asks for: the encoder's target kind, the form of
// the output, and the picture size when the target fixes one.
#pragma once

#include <optional>

namespace korvan {

// The encoder's target kinds.
enum TargetKind : int {
    kTargetMpeg1 = 1,
    kTargetMpeg2 = 2,
    kTargetDvd = 3,
    kTargetVideoCd = 4,
    kTargetSuperVcd = 5,
};

enum class OutputForm : int {
    kMpeg = 1,  // an MPEG program stream
    kAvi = 2,   // an AVI file
    kMp3 = 4,   // an MP3 of the sound, made by the audio converter from an AVI
};

struct PictureSize {
    int width = 0;
    int height = 0;
};

struct MediaDispatch {
    TargetKind targetKind = kTargetMpeg1;
    OutputForm form = OutputForm::kMpeg;
    // The target's size for NTSC and PAL; absent: the source's size.
    std::optional<PictureSize> ntscSize;
    std::optional<PictureSize> palSize;

    std::optional<PictureSize> SizeFor(bool pal) const { return pal ? palSize : ntscSize; }
};

// Media types 0..6; any other value is empty (the job cannot be run).
std::optional<MediaDispatch> DispatchMediaType(int mediaType);

// The picture size of an encode: the target's, or the source's, rounded down
// to multiples of 4 for an AVI output.
PictureSize OutputPictureSize(const MediaDispatch& dispatch, bool pal, PictureSize source);

}  // namespace korvan
