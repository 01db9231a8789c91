#include "korvan/mpegenc/video/gop_plan.h"

namespace korvan {

std::vector<PlannedPicture> PlanTransmissionOrder(int pictureCount, int gopSize,
                                                  int referenceDistance) {
    std::vector<PlannedPicture> plan;
    if (pictureCount <= 0 || gopSize <= 0 || referenceDistance <= 0) return plan;
    plan.reserve(pictureCount);

    int gopFirst = 0;
    int previousReference = -1;
    while (previousReference < pictureCount - 1) {
        int reference = previousReference < 0 ? 0 : previousReference + referenceDistance;
        if (reference > pictureCount - 1) reference = pictureCount - 1;
        // N is a multiple of M, so the regular references meet every
        // multiple of N, where the I pictures are.
        const bool intra = reference % gopSize == 0;
        PlannedPicture anchor;
        anchor.displayIndex = reference;
        anchor.type = intra ? kPictureI : kPictureP;
        anchor.frameType = anchor.type;
        if (intra) {
            anchor.startsGop = true;
            anchor.closedGop = reference == 0;
            gopFirst = previousReference + 1;
        }
        anchor.gopFirstDisplay = gopFirst;
        anchor.temporalReference = reference - gopFirst;
        anchor.forwardDistance = intra ? 0 : reference - previousReference;
        plan.push_back(anchor);

        for (int b = previousReference + 1; b < reference; ++b) {
            PlannedPicture bidirectional;
            bidirectional.displayIndex = b;
            bidirectional.type = kPictureB;
            bidirectional.frameType = kPictureB;
            bidirectional.gopFirstDisplay = gopFirst;
            bidirectional.temporalReference = b - gopFirst;
            bidirectional.forwardDistance = b - previousReference;
            bidirectional.backwardDistance = reference - b;
            plan.push_back(bidirectional);
        }
        previousReference = reference;
    }
    return plan;
}

std::vector<PlannedPicture> SplitIntoFields(const std::vector<PlannedPicture>& frames,
                                            bool topFieldFirst) {
    std::vector<PlannedPicture> fields;
    fields.reserve(2 * frames.size());
    for (const PlannedPicture& frame : frames) {
        PlannedPicture first = frame;
        first.structure = topFieldFirst ? 1 : 2;
        PlannedPicture second = frame;
        second.structure = topFieldFirst ? 2 : 1;
        second.secondField = true;
        second.startsGop = false;
        if (frame.type == kPictureI) second.type = kPictureP;
        fields.push_back(first);
        fields.push_back(second);
    }
    return fields;
}

}  // namespace korvan
