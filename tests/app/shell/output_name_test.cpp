#include "app/run/output_name.h"

#include <gtest/gtest.h>

#include "app/profiles/conversion_target.h"

namespace {

TEST(OutputNameTest, FixedTargetsShowTheirOwnExtension) {
    EXPECT_EQ(OutputNameFor("/Video/My.Clip.avi", kTargetMpeg, 5), "My.Clip.mpg");
    EXPECT_EQ(OutputNameFor("/Video/My.Clip.avi", kTargetAvi, 2), "My.Clip.avi");
    EXPECT_EQ(OutputNameFor("/Video/clip.mpg", kTargetWmv, 2), "clip.wmv");
    EXPECT_EQ(OutputNameFor("/Video/clip.mpg", kTargetDvd, 0), "clip.mpg");
}

TEST(OutputNameTest, DeviceTargetsFollowTheProfilesFileType) {
    EXPECT_EQ(OutputNameFor("/v/a b.avi", kTarget3gp, 0), "a b.3gp");
    EXPECT_EQ(OutputNameFor("/v/a b.avi", kTarget3gp, 1), "a b.3g2");
    EXPECT_EQ(OutputNameFor("/v/clip.avi", kTargetPsp, 3), "clip.mp4");
    EXPECT_EQ(OutputNameFor("/v/clip.avi", kTargetZune, 4), "clip.wmv");
    EXPECT_EQ(OutputNameFor("/v/clip.avi", kTargetIpod, 7), "clip.");
    EXPECT_EQ(OutputNameFor("/v/clip.avi", kTargetIphone, -1), "clip.");
}

TEST(OutputNameTest, BaseNameIsTakenFromTheLastPathComponent) {
    EXPECT_EQ(OutputNameFor("/v.d/noext", kTargetAvi, 5), "noext.avi");
    EXPECT_EQ(OutputNameFor("clip.x.vob", kTargetMpeg, 6), "clip.x.mpg");
}

TEST(OutputNameTest, ConvertedFileAlwaysTakesTheFileTypesExtension) {
    EXPECT_EQ(ConvertedFilePath("/out/", "/in/Clip.avi", 2), "/out/Clip.mp4");
    EXPECT_EQ(ConvertedFilePath("/out ü/", "/in/a b.c.mov", 6), "/out ü/a b.c.mpg");
    EXPECT_EQ(ConvertedFilePath("/out/", "/in/x.avi", 9), "/out/x.");
}

TEST(OutputNameTest, NumberedNamesKeepTheExtension) {
    EXPECT_EQ(NumberedName("/out put/clip.avi", 2), "/out put/clip (2).avi");
    EXPECT_EQ(NumberedName("/out/My.Clip.mp4", 10), "/out/My.Clip (10).mp4");
    EXPECT_EQ(NumberedName("/o.d/noext", 3), "/o.d/noext (3)");
    EXPECT_EQ(NumberedName("clip.", 2), "clip (2).");
}

}  // namespace
