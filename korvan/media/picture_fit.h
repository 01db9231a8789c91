// Where a picture goes in a frame of another size so that it keeps its
// display shape: as large as the frame allows, centred, the rest left for
// black bars (letterbox or pillarbox). Shapes are given by the pels' own
// shape, width over height (the sample aspect ratio).
#pragma once

namespace korvan::media {

struct PictureShape {
    int width = 0;  // pels
    int height = 0;
    double pelAspect = 1;  // a pel's width over its height
};

struct PictureRect {
    int left = 0;  // from the frame's left and top edges, pels
    int top = 0;
    int width = 0;
    int height = 0;

    bool operator==(const PictureRect&) const = default;
};

// The rectangle of `frame` the picture fills. Its sides and offsets are
// even (whole chroma samples of the 4:2:0 coding) and its sides at least 2
// pels; a side that differs from the frame's by less than a pel is the
// frame's.
PictureRect FitPicture(const PictureShape& picture, const PictureShape& frame);

}  // namespace korvan::media
