#include "korvan/mpegenc/video/gop_plan.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using korvan::PlannedPicture;

std::string Types(const std::vector<PlannedPicture>& plan) {
    std::string s;
    for (const PlannedPicture& p : plan) s += " IPB"[p.type];
    return s;
}

std::string Displays(const std::vector<PlannedPicture>& plan) {
    std::string s;
    for (const PlannedPicture& p : plan) s += std::to_string(p.displayIndex) + " ";
    return s;
}

TEST(GopPlanTest, FirstGopIsClosedAndShorterThenFullGopsFollow) {
    // N = 12, M = 3 over 30 pictures.
    const auto plan = korvan::PlanTransmissionOrder(30, 12, 3);
    EXPECT_EQ(Types(plan), "IPBBPBBPBBIBBPBBPBBPBBIBBPBBPB");
    EXPECT_EQ(Displays(plan),
              "0 3 1 2 6 4 5 9 7 8 12 10 11 15 13 14 18 16 17 21 19 20 24 22 23 27 25 "
              "26 29 28 ");
    int gops = 0;
    int firstGopPictures = 0;
    for (const PlannedPicture& p : plan) {
        if (p.startsGop) ++gops;
        if (gops == 1) ++firstGopPictures;
        EXPECT_EQ(p.startsGop, p.type == korvan::kPictureI);
        EXPECT_EQ(p.closedGop, p.displayIndex == 0);
    }
    EXPECT_EQ(gops, 3);
    // N - M + 1 pictures: I0 ... P9 and the B pictures between.
    EXPECT_EQ(firstGopPictures, 10);
}

TEST(GopPlanTest, TemporalReferencesCountFromTheGopsFirstDisplayedPicture) {
    const auto plan = korvan::PlanTransmissionOrder(16, 12, 3);
    for (const PlannedPicture& p : plan) {
        if (p.displayIndex < 10) {
            EXPECT_EQ(p.temporalReference, p.displayIndex);
        } else {
            // The second GOP starts with the B pictures 10 and 11 before I12.
            EXPECT_EQ(p.temporalReference, p.displayIndex - 10);
        }
    }
}

TEST(GopPlanTest, TheLastPictureIsAlwaysAReference) {
    for (int count = 1; count <= 20; ++count) {
        const auto plan = korvan::PlanTransmissionOrder(count, 15, 3);
        ASSERT_EQ(plan.size(), static_cast<size_t>(count));
        std::set<int> shown;
        for (const PlannedPicture& p : plan) shown.insert(p.displayIndex);
        EXPECT_EQ(shown.size(), static_cast<size_t>(count));
        int lastReference = -1;
        for (const PlannedPicture& p : plan) {
            if (p.type != korvan::kPictureB) lastReference = p.displayIndex;
            if (p.type == korvan::kPictureB) {
                EXPECT_LT(p.displayIndex, lastReference);
                EXPECT_EQ(p.forwardDistance + p.backwardDistance,
                          lastReference - (p.displayIndex - p.forwardDistance));
            }
        }
        EXPECT_EQ(lastReference, count - 1);
    }
}

TEST(GopPlanTest, OnlyReferencesWithMOneAndOnlyIntraWithNOne) {
    EXPECT_EQ(Types(korvan::PlanTransmissionOrder(7, 3, 1)), "IPPIPPI");
    EXPECT_EQ(Types(korvan::PlanTransmissionOrder(4, 1, 1)), "IIII");
    EXPECT_TRUE(korvan::PlanTransmissionOrder(0, 12, 3).empty());
}

TEST(GopPlanTest, FieldPicturesSplitEachFrameInTwo) {
    const auto frames = korvan::PlanTransmissionOrder(7, 6, 3);
    const auto fields = korvan::SplitIntoFields(frames, false);
    ASSERT_EQ(fields.size(), 2 * frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        const korvan::PlannedPicture& first = fields[2 * i];
        const korvan::PlannedPicture& second = fields[2 * i + 1];
        EXPECT_EQ(first.displayIndex, frames[i].displayIndex);
        EXPECT_EQ(second.displayIndex, frames[i].displayIndex);
        EXPECT_EQ(first.structure, 2);  // bottom field first
        EXPECT_EQ(second.structure, 1);
        EXPECT_FALSE(first.secondField);
        EXPECT_TRUE(second.secondField);
        EXPECT_EQ(first.startsGop, frames[i].startsGop);
        EXPECT_FALSE(second.startsGop);
        EXPECT_EQ(first.type, frames[i].type);
        EXPECT_EQ(first.frameType, frames[i].type);
        EXPECT_EQ(second.frameType, frames[i].type);
        // The second field of an I frame is predicted from the first.
        EXPECT_EQ(second.type,
                  frames[i].type == korvan::kPictureI ? korvan::kPictureP : frames[i].type);
        EXPECT_EQ(second.temporalReference, first.temporalReference);
    }
    EXPECT_EQ(korvan::SplitIntoFields(frames, true)[0].structure, 1);
}

}  // namespace
