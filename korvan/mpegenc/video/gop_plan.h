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
};

// The plan for `pictureCount` pictures with N = `gopSize`, M = `referenceDistance`.
std::vector<PlannedPicture> PlanTransmissionOrder(int pictureCount, int gopSize,
                                                  int referenceDistance);

}  // namespace korvan
