#include "app/tools/time_display.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeDisplayTest, FinishedAndRemainAreHoursMinutesSeconds) {
    const TimeDisplay texts = TimeDisplayTexts({3723, 7384}, "/a/b.avi");
    EXPECT_EQ(texts.finished, " Finished: 01:02:03");
    EXPECT_EQ(texts.remain, " Remain: 01:01:01");
    EXPECT_EQ(texts.converting, " Converting /a/b.avi Now...");
    // Hours are not limited to two digits.
    EXPECT_EQ(TimeDisplayTexts({360000, 360000}, "").finished, " Finished: 100:00:00");
}

TEST(TimeDisplayTest, APositionPastTheEndLeavesNothingToRemain) {
    EXPECT_EQ(TimeDisplayTexts({247, 246}, "x").remain, " Remain: 00:00:00");
    EXPECT_EQ(TimeDisplayTexts({INT_MIN, INT_MAX}, "x").finished, " Finished: 00:00:00");
}

TEST(TimeDisplayTest, LongTextsAreCutAfter70Characters) {
    // " Converting " + 58 letters + " Now..." is 80 characters.
    const std::string name(58, 'n');
    const std::string cut = ConvertingText(name);
    EXPECT_EQ(cut, (" Converting " + name + " Now...").substr(0, 70) + "...");
    // Exactly 70 stays as it is.
    const std::string fits(48, 'f');
    EXPECT_EQ(ConvertingText(fits), " Converting " + fits + " Now...");
    // Letters outside ASCII count as one character each and are never split.
    const std::string umlauts =
        ConvertingText(std::string(30, 'a') + "üüüüüüüüüüüüüüüüüüüüüüüüüüüüüü");
    EXPECT_EQ(umlauts, " Converting " + std::string(30, 'a') + "üüüüüüüüüüüüüüüüüüüüüüüüüüüü...");
}

}  // namespace
