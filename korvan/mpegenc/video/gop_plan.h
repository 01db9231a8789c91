// The order in which pictures are coded: GOPs of N pictures with reference
// pictures every M pictures, the B pictures between two references coded
// after the later one. The first GOP is closed and has no leading B
// pictures; the last picture of the sequence is always a reference, so no B
// picture is left without the reference that follows it.
#pragma once

#include <vector>

#include "korvan/mpegenc/common/vlc_tables.h"

namespace korvan {

struct PlannedPicture {
    int displayIndex = 0;
    PictureCodingType type = kPictureI;
    int temporalReference = 0;
    bool startsGop = false;    // a GOP header goes before this picture
    bool closedGop = false;    // that GOP is closed
    int gopFirstDisplay = 0;   // display index of the GOP's first picture
    int forwardDistance = 0;   // pictures since the previous reference (P and B)
    int backwardDistance = 0;  // pictures until the next reference (B)
    // Field pictures: picture_structure (1 top, 2 bottom; 3 a frame) and
    // whether this is the frame's second field.
    int structure = 3;
    bool secondField = false;
    PictureCodingType frameType = kPictureI;  // the type of the frame (of both its fields)
};

// The plan for `pictureCount` pictures with N = `gopSize`, M = `referenceDistance`.
std::vector<PlannedPicture> PlanTransmissionOrder(int pictureCount, int gopSize,
                                                  int referenceDistance);

// The same plan in field pictures: each frame as two fields, the first one
// the top field when `topFieldFirst`. The second field of an I frame is a
// P field predicted from the first.
std::vector<PlannedPicture> SplitIntoFields(const std::vector<PlannedPicture>& frames,
                                            bool topFieldFirst);

}  // namespace korvan
