// The rate controllers on their own: Test Model 5's start values, targets
// and quantisers, the VBV model's delays and limits, and the bounded
// variable mode's verdicts.
#include "korvan/mpegenc/video/rate_control.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "korvan/mpegenc/video/gop_rate_bounds.h"
#include "korvan/mpegenc/video/stream_headers.h"
#include "korvan/mpegenc/video/vbv_model.h"

namespace {

using korvan::kPictureB;
using korvan::kPictureI;
using korvan::kPictureP;
using korvan::Quantiser;

korvan::RateParameters Constant(double bitRate) {
    korvan::RateParameters r;
    r.mode = korvan::RateMode::kConstantBitrate;
    r.bitRate = bitRate;
    return r;
}

TEST(Tm5RateControlTest, StartValuesFollowFromTheBitRate) {
    const korvan::Tm5RateControl rc(Constant(6000000), 25, 1620);
    EXPECT_EQ(rc.Complexity(kPictureI), 8347826);
    EXPECT_EQ(rc.Complexity(kPictureP), 3130435);
    EXPECT_EQ(rc.Complexity(kPictureB), 2191304);
    EXPECT_EQ(rc.ReactionParameter(), 480000);
    EXPECT_EQ(rc.Fullness(kPictureI), 154839);
    EXPECT_EQ(rc.Fullness(kPictureP), 154839);
    EXPECT_EQ(rc.Fullness(kPictureB), 216774);
    EXPECT_EQ(rc.AverageActivity(), 400.0);

    korvan::RateParameters set = Constant(6000000);
    set.reactionParameter = 1000;
    set.initialComplexity[1] = 77;
    set.initialFullness[2] = 55;
    set.initialAverageActivity = 300;
    const korvan::Tm5RateControl configured(set, 25, 1620);
    EXPECT_EQ(configured.ReactionParameter(), 1000);
    EXPECT_EQ(configured.Complexity(kPictureP), 77);
    EXPECT_EQ(configured.Fullness(kPictureB), 55);
    EXPECT_EQ(configured.AverageActivity(), 300.0);
}

TEST(Tm5RateControlTest, GopBudgetAndTheResetOfThePAndBBuffers) {
    korvan::Tm5RateControl rc(Constant(6000000), 25, 1620);
    rc.StartGop(3, 8, 12);
    EXPECT_EQ(rc.Remaining(), 12 * 240000.0);
    // With the reset and fullness 0 configured, P and B start empty; I keeps.
    EXPECT_EQ(rc.Fullness(kPictureP), 0);
    EXPECT_EQ(rc.Fullness(kPictureB), 0);
    EXPECT_EQ(rc.Fullness(kPictureI), 154839);

    // I target: R / (1 + Np Xp / Xi + Nb Xb / (1.4 Xi)).
    rc.StartPicture(kPictureI, false, 0, INT64_MAX);
    const double xi = 8347826, xp = 3130435, xb = 2191304;
    EXPECT_EQ(rc.Target(),
              static_cast<int64_t>(2880000 / (1 + 3 * xp / xi + 8 * xb / (1.4 * xi)) + 0.5));
    for (int j = 0; j < 1620; ++j) {
        rc.MacroblockQuantiser(j, j * 400, 400);
        rc.MacroblockDone(8);
    }
    rc.EndPicture(700000);
    EXPECT_EQ(rc.Remaining(), 2880000.0 - 700000);
    EXPECT_EQ(rc.Complexity(kPictureI), 700000 * 4);  // S x mean mquant / 2
    // Savings are not carried over; overspending is.
    rc.StartGop(3, 8, 12);
    EXPECT_EQ(rc.Remaining(), 2880000.0);

    korvan::RateParameters keep = Constant(6000000);
    keep.resetPBIVBF = false;
    korvan::Tm5RateControl kept(keep, 25, 1620);
    kept.StartGop(3, 8, 12);
    EXPECT_EQ(kept.Fullness(kPictureP), 154839);
}

TEST(Tm5RateControlTest, TargetsStayWithinTheBufferLimits) {
    korvan::Tm5RateControl rc(Constant(6000000), 25, 1620);
    rc.StartGop(3, 8, 12);
    rc.StartPicture(kPictureI, false, 0, 300000);
    EXPECT_EQ(rc.Target(), 300000);
    rc.StartPicture(kPictureB, false, 1900000, 4000000);
    EXPECT_EQ(rc.Target(), 1900000);
}

TEST(Tm5RateControlTest, QuantisersFromTheVirtualBufferAndActivity) {
    korvan::RateParameters r = Constant(6000000);
    korvan::Tm5RateControl rc(r, 25, 100);
    rc.StartGop(0, 0, 1);
    // d0i = 154839, r = 480000: 2 * floor(10.0 + 0.5) = 20.
    EXPECT_EQ(rc.StartPicture(kPictureI, false, 0, INT64_MAX), (Quantiser{20, 10}));
    // Average activity: the quantiser of the virtual buffer alone.
    EXPECT_EQ(rc.MacroblockQuantiser(0, 0, 400).mquant, 20);
    // Within 4 of the previous one (and 7 or more): kept.
    const int64_t bitsFor22 = static_cast<int64_t>(11.0 * 480000 / 31 - 154839);
    EXPECT_EQ(rc.MacroblockQuantiser(0, bitsFor22, 400).mquant, 20);
    // A flat macroblock gets a finer quantiser, a busy one a coarser one.
    EXPECT_LT(rc.MacroblockQuantiser(0, 0, 1).mquant, 20);
    EXPECT_GT(rc.MacroblockQuantiser(0, 0, 100000).mquant, 30);
    // Near the buffer's limit the rest of the picture is coded coarsely.
    rc.StartPicture(kPictureI, false, 0, 10000);
    EXPECT_EQ(rc.MacroblockQuantiser(50, 9000, 400), (Quantiser{62, 31}));
    // So it is when the picture, at the rate it has cost so far, would end
    // beyond the limit: 50 macroblocks of 1500 bits, 50 to come, 100 000
    // allowed.
    rc.StartPicture(kPictureI, false, 0, 100000);
    for (int j = 0; j < 50; ++j) rc.MacroblockDone(20);
    EXPECT_EQ(rc.MacroblockQuantiser(50, 75000, 400), (Quantiser{62, 31}));
    rc.StartPicture(kPictureI, false, 0, 200000);
    for (int j = 0; j < 50; ++j) rc.MacroblockDone(20);
    EXPECT_LT(rc.MacroblockQuantiser(50, 75000, 400).mquant, 62);

    // Non-linear: index floor(d * 62 / r + 0.5) = 20, the nearest scale 20.
    EXPECT_EQ(rc.StartPicture(kPictureI, true, 0, INT64_MAX), (Quantiser{20, 14}));
}

TEST(Tm5RateControlTest, QuantiserScales) {
    EXPECT_EQ(korvan::QuantiserOfCode(31, false), (Quantiser{62, 31}));
    EXPECT_EQ(korvan::QuantiserOfCode(31, true), (Quantiser{112, 31}));
    EXPECT_EQ(korvan::QuantiserOfCode(0, false), (Quantiser{2, 1}));
    EXPECT_EQ(korvan::NonLinearCodeFor(1), 1);
    EXPECT_EQ(korvan::NonLinearCodeFor(9), 8);  // 8 and 10 are as near; the finer wins
    EXPECT_EQ(korvan::NonLinearCodeFor(60), 24);
    EXPECT_EQ(korvan::NonLinearCodeFor(112), 31);
    EXPECT_EQ(korvan::RaiseQuantiser({8, 4}, false), (Quantiser{10, 5}));
    EXPECT_EQ(korvan::RaiseQuantiser({8, 8}, true), (Quantiser{10, 9}));
    EXPECT_EQ(korvan::RaiseQuantiser({104, 30}, true), (Quantiser{112, 31}));
    EXPECT_EQ(korvan::RaiseQuantiser({112, 31}, true), (Quantiser{112, 31}));
    EXPECT_EQ(korvan::RaiseQuantiser({62, 31}, false), (Quantiser{62, 31}));
}

TEST(VbvModelTest, DelaysAndLimitsOfAConstantStream) {
    // 1.15 Mbit/s, 20 x 16384 bits: decoding starts 0.249 s in.
    korvan::VbvModel vbv(1150000, 20, 25);
    const double start = 20 * 14336.0 * 90000 / 1150000;
    korvan::VbvLimits first = vbv.StartPicture(800, kPictureI, 3600);
    EXPECT_EQ(first.vbvDelay, static_cast<int>(start - 800 * 90000.0 / 1150000));
    EXPECT_EQ(first.maxBits, 8 * static_cast<int64_t>((1150000 * start / 90000 - 800) / 8) - 100);
    // Seven eighths full: two pictures' worth of arrival must find room.
    const double duration = 20 * 16384.0 * 90000 / 1150000;
    EXPECT_EQ(
        first.minBits,
        8 * static_cast<int64_t>(
                ((first.vbvDelay - duration) * 1150000 / 90000 + 2 * 1150000 / 25.0 + 7) / 8));
    EXPECT_GT(first.minBits, 0);
    // Second picture, one frame later; the first took 200 000 bits.
    korvan::VbvLimits second = vbv.StartPicture(200800, kPictureP, 3600);
    EXPECT_EQ(second.vbvDelay, static_cast<int>(start + 3600 - 200800 * 90000.0 / 1150000));
    EXPECT_EQ(vbv.Underflows(), 0);
    EXPECT_EQ(vbv.Overflows(), 0);

    // A picture that starts after its decoding time: underflow, delay 0.
    korvan::VbvLimits late = vbv.StartPicture(2000000, kPictureB, 3600);
    EXPECT_EQ(late.vbvDelay, 0);
    EXPECT_EQ(vbv.Underflows(), 1);

    // Nothing arriving for long: the buffer would overflow, so the picture
    // must be large.
    korvan::VbvModel idle(1150000, 20, 25);
    idle.StartPicture(0, kPictureI, 3600);
    for (int i = 0; i < 20; ++i) idle.StartPicture(32, kPictureB, 3600);
    EXPECT_GT(idle.Overflows(), 0);
    EXPECT_GT(idle.StartPicture(32, kPictureB, 3600).minBits, 100000);
}

TEST(VbvModelTest, BuffersLongerThanSixteenBitsOfDelayAreUsedOnlyThatFar) {
    // 112 x 16384 bits at 2 Mbit/s take 82 575 ticks to arrive.
    korvan::VbvModel vbv(2000000, 112, 25);
    const korvan::VbvLimits first = vbv.StartPicture(32, kPictureI, 3600);
    EXPECT_EQ(first.vbvDelay, static_cast<int>(65535.0 * 7 / 8 - 32 * 90000.0 / 2000000));
    EXPECT_EQ(vbv.Overflows(), 0);
}

TEST(VbvModelTest, DisplayPeriods) {
    korvan::DisplayPeriod p;
    p.frameRate = 25;
    EXPECT_EQ(korvan::DisplayTicks(p), 3600);
    p.fieldPicture = true;
    EXPECT_EQ(korvan::DisplayTicks(p), 1800);
    p.fieldPicture = false;
    p.repeatFirstField = true;
    EXPECT_EQ(korvan::DisplayTicks(p), 7200);
    p.topFieldFirst = true;
    EXPECT_EQ(korvan::DisplayTicks(p), 10800);
    p.progressiveSequence = false;
    EXPECT_EQ(korvan::DisplayTicks(p), 5400);
}

TEST(GopRateBoundsTest, AGopFarAboveTheBoundIsCodedAgainCoarser) {
    korvan::RateParameters r;
    r.mode = korvan::RateMode::kBoundedVariable;
    r.maxBitrate = 2500000;
    r.mquantValue = 4;
    korvan::GopRateBounds bounds(r, 12, 25, 25);
    const uint64_t upper = 2500000 * 12 / 25;
    // Half over the bound: at least 1.5 times the quantiser.
    std::vector<uint64_t> pictures(12, upper * 3 / 2 / 12);
    EXPECT_EQ(bounds.Judge(pictures), korvan::GopRateBounds::Verdict::kCodeAgain);
    EXPECT_GE(bounds.QuantiserCode(), 6);
    // Far over: never beyond 31.
    std::vector<uint64_t> huge(12, upper * 20);
    EXPECT_EQ(bounds.Judge(huge), korvan::GopRateBounds::Verdict::kCodeAgain);
    EXPECT_EQ(bounds.QuantiserCode(), 31);
    // Accepted: back to the configured quantiser for the next GOP.
    std::vector<uint64_t> fitting(12, upper / 24);
    EXPECT_EQ(bounds.Judge(fitting), korvan::GopRateBounds::Verdict::kAccept);
    EXPECT_EQ(bounds.QuantiserCode(), 4);
}

TEST(GopRateBoundsTest, ASecondCrowdedAcrossTwoGopsIsCodedAgain) {
    korvan::RateParameters r;
    r.mode = korvan::RateMode::kBoundedVariable;
    r.maxBitrate = 2400000;
    r.mquantValue = 4;
    korvan::GopRateBounds bounds(r, 12, 25, 25);
    // Each GOP alone is within its 1 152 000 bits, but the big last picture
    // of one, the next GOP and the big first picture of the third share a
    // second.
    std::vector<uint64_t> first(12, 10000);
    first[11] = 1000000;
    EXPECT_EQ(bounds.Judge(first), korvan::GopRateBounds::Verdict::kAccept);
    EXPECT_EQ(bounds.Judge(std::vector<uint64_t>(12, 95000)),
              korvan::GopRateBounds::Verdict::kAccept);
    std::vector<uint64_t> third(12, 10000);
    third[0] = 1000000;
    EXPECT_EQ(bounds.Judge(third), korvan::GopRateBounds::Verdict::kCodeAgain);
    EXPECT_GT(bounds.QuantiserCode(), 4);
}

// A GOP whose first pictures are already over a bound is only measured
// from there on; that is sound only if the whole GOP is then always coded
// again. And a verdict foreseen is the one the judge then gives.
TEST(GopRateBoundsTest, FirstPicturesOverABoundForetellTheVerdict) {
    std::mt19937 random(7);
    int foretold = 0;
    int passed = 0;
    for (int n = 0; n < 300; ++n) {
        korvan::RateParameters r;
        r.mode = korvan::RateMode::kBoundedVariable;
        r.maxBitrate = 2000000;
        r.avgBitrate = n % 2 ? 1500000 : 0;
        r.mquantValue = 4 + n % 20;
        korvan::GopRateBounds bounds(r, 12, 25, 25);
        // A GOP or two accepted first, so the bank and the last second count.
        for (int accepted = n % 3; accepted > 0; --accepted) {
            EXPECT_EQ(bounds.Judge(std::vector<uint64_t>(12, 20000)),
                      korvan::GopRateBounds::Verdict::kAccept);
        }
        std::vector<uint64_t> gop(12);
        for (uint64_t& bits : gop) bits = 10000 + random() % (40000 + 20000 * (n % 10));
        // Foreseeing the verdict changes nothing: the judge then gives it.
        {
            korvan::GopRateBounds judged = bounds;
            const korvan::GopRateBounds::Verdict foreseen = judged.Foresee(gop);
            EXPECT_EQ(judged.QuantiserCode(), bounds.QuantiserCode());
            EXPECT_EQ(judged.Judge(gop), foreseen) << n;
            passed += foreseen == korvan::GopRateBounds::Verdict::kAccept ? 1 : 0;
        }
        for (size_t first = 1; first <= gop.size(); ++first) {
            const std::vector<uint64_t> prefix(gop.begin(), gop.begin() + first);
            if (!bounds.CodedAgainWhatever(prefix)) continue;
            ++foretold;
            korvan::GopRateBounds judged = bounds;
            EXPECT_EQ(judged.Judge(gop), korvan::GopRateBounds::Verdict::kCodeAgain) << n;
            break;
        }
    }
    EXPECT_GT(foretold, 50);
    EXPECT_GT(passed, 20);
}

TEST(GopRateBoundsTest, SmallGopsAreCodedFinerAndTheBankKeepsTheAverage) {
    korvan::RateParameters r;
    r.mode = korvan::RateMode::kBoundedVariable;
    r.minBitrate = 1000000;
    r.mquantValue = 10;
    korvan::GopRateBounds low(r, 10, 25, 25);
    std::vector<uint64_t> small(10, 20000);  // half of the lower bound
    EXPECT_EQ(low.Judge(small), korvan::GopRateBounds::Verdict::kCodeAgain);
    EXPECT_EQ(low.QuantiserCode(), 6);  // floor(0.5 * 10 + 0.5) + 1

    korvan::RateParameters a;
    a.mode = korvan::RateMode::kBoundedVariable;
    a.avgBitrate = 1000000;
    a.mquantValue = 4;
    korvan::GopRateBounds average(a, 25, 25, 25);
    EXPECT_EQ(average.Bank(), 40000000);
    std::vector<uint64_t> under(25, 20000);
    EXPECT_EQ(average.Judge(under), korvan::GopRateBounds::Verdict::kAccept);
    EXPECT_EQ(average.Bank(), 40000000 + 1000000 - 500000);
    // U = bank / 10 + average = 5 050 000: a GOP beyond it is coded again.
    std::vector<uint64_t> over(25, 5100000 / 25);
    EXPECT_EQ(average.Judge(over), korvan::GopRateBounds::Verdict::kCodeAgain);
}

TEST(DisplayFlagsTest, PulldownCadence) {
    korvan::CodingParameters p;
    p.syntax = korvan::MpegSyntax::kMpeg2;
    p.progressiveSequence = false;
    p.topFieldFirst = true;
    p.progressiveFrame = false;
    EXPECT_FALSE(korvan::DisplayFlagsOf(p, 0).repeatFirstField);
    EXPECT_FALSE(korvan::DisplayFlagsOf(p, 0).progressiveFrame);
    p.pulldown = 1;
    const bool tff[4] = {true, false, false, true};
    const bool rff[4] = {true, false, true, false};
    int fields = 0;
    for (int i = 0; i < 8; ++i) {
        const korvan::DisplayFlags d = korvan::DisplayFlagsOf(p, i);
        EXPECT_EQ(d.topFieldFirst, tff[i % 4]) << i;
        EXPECT_EQ(d.repeatFirstField, rff[i % 4]) << i;
        EXPECT_TRUE(d.progressiveFrame);
        fields += d.repeatFirstField ? 3 : 2;
    }
    EXPECT_EQ(fields, 20);  // eight film pictures, ten frames
    p.progressiveSequence = true;
    int frames = 0;
    for (int i = 0; i < 8; ++i) frames += korvan::DisplayFlagsOf(p, i).repeatFirstField ? 2 : 1;
    EXPECT_EQ(frames, 10);
}

}  // namespace
