#include "korvan/mpegenc/common/quantise.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>

namespace {

using korvan::MpegSyntax;

const korvan::QuantiserMatrix& Intra() {
    static const korvan::QuantiserMatrix m =
        korvan::MakeQuantiserMatrix(korvan::kDefaultIntraMatrix);
    return m;
}
const korvan::QuantiserMatrix& NonIntra() {
    static const korvan::QuantiserMatrix m =
        korvan::MakeQuantiserMatrix(korvan::kTm5NonIntraMatrix);
    return m;
}

TEST(QuantiseTest, IntraDcIsRoundedByThePrecisionsStep) {
    int16_t in[64] = {};
    int16_t out[64];
    in[0] = 1020;  // a mid-grey block
    korvan::QuantiseIntraBlock(in, out, Intra(), 8, 0, MpegSyntax::kMpeg1);
    EXPECT_EQ(out[0], 128);  // 1020 / 8 = 127.5, rounded up
    korvan::QuantiseIntraBlock(in, out, Intra(), 8, 3, MpegSyntax::kMpeg2);
    EXPECT_EQ(out[0], 1020);
    in[0] = 1021;
    korvan::QuantiseIntraBlock(in, out, Intra(), 8, 2, MpegSyntax::kMpeg2);
    EXPECT_EQ(out[0], 511);  // 1021 / 2 = 510.5, rounded up
}

TEST(QuantiseTest, IntraAcFollowsTheRoundingFormula) {
    int16_t in[64] = {};
    int16_t out[64];
    in[1] = 100;   // w = 16
    in[8] = -100;  // w = 16
    in[63] = 500;  // w = 83
    const int mquant = 4;
    korvan::QuantiseIntraBlock(in, out, Intra(), mquant, 0, MpegSyntax::kMpeg2);
    // ((32*100 + 8) / 16 + (3*4 + 2) / 4) / 8 = (200 + 3) / 8 = 25
    EXPECT_EQ(out[1], 25);
    EXPECT_EQ(out[8], -25);
    // ((32*500 + 41) / 83 + 3) / 8 = (193 + 3) / 8 = 24
    EXPECT_EQ(out[63], 24);
}

TEST(QuantiseTest, LevelsSaturateAtTheSyntaxLimit) {
    int16_t in[64] = {};
    int16_t out[64];
    in[1] = 2047;
    EXPECT_TRUE(korvan::QuantiseIntraBlock(in, out, Intra(), 1, 0, MpegSyntax::kMpeg1));
    EXPECT_EQ(out[1], 255);
    EXPECT_FALSE(korvan::QuantiseIntraBlock(in, out, Intra(), 1, 0, MpegSyntax::kMpeg2));
    EXPECT_EQ(out[1], 2047);
    in[1] = -2048;
    EXPECT_TRUE(korvan::QuantiseNonIntraBlock(
        in, out, korvan::MakeQuantiserMatrix(korvan::kFlatNonIntraMatrix), 1, MpegSyntax::kMpeg1));
    EXPECT_EQ(out[1], -255);
}

TEST(QuantiseTest, NonIntraRoundsTowardZeroAndReportsEmptyBlocks) {
    int16_t in[64] = {};
    int16_t out[64];
    in[0] = 15;  // 32 * 15 / 16 = 30 < 2 * 16: zero
    EXPECT_FALSE(korvan::QuantiseNonIntraBlock(in, out, NonIntra(), 16, MpegSyntax::kMpeg2));
    in[0] = -40;  // 80 / 32 = 2.5 toward zero: -2
    EXPECT_TRUE(korvan::QuantiseNonIntraBlock(in, out, NonIntra(), 16, MpegSyntax::kMpeg2));
    EXPECT_EQ(out[0], -2);
}

TEST(QuantiseTest, NonIntraLevelsAreExactQuotientsForEveryQuantiserAndMagnitude) {
    // Weights 1 (the largest scaled values), 16 and 255, every coefficient
    // magnitude, every quantiser_scale either scale reaches.
    korvan::Matrix64 weights{};
    for (int i = 0; i < 64; ++i)
        weights[i] = static_cast<uint8_t>(i % 3 == 0 ? 1 : i % 3 == 1 ? 16 : 255);
    const korvan::QuantiserMatrix matrix = korvan::MakeQuantiserMatrix(weights);
    int16_t in[64];
    int16_t out[64];
    for (int mquant = 1; mquant <= 112; ++mquant) {
        for (int start = -2048; start <= 2047; start += 64) {
            for (int i = 0; i < 64; ++i) in[i] = static_cast<int16_t>(start + i);
            korvan::QuantiseNonIntraBlock(in, out, matrix, mquant, MpegSyntax::kMpeg2);
            for (int i = 0; i < 64; ++i) {
                const uint32_t scaled =
                    (32u * static_cast<uint32_t>(std::abs(in[i])) * matrix.reciprocals[i]) >> 16;
                const int level = std::min(static_cast<int>(scaled / (2 * mquant)), 2047);
                ASSERT_EQ(out[i], in[i] < 0 ? -level : level) << mquant << " " << in[i];
            }
        }
    }
}

TEST(QuantiseTest, IntraLevelsAreExactQuotientsForEveryQuantiserAndMagnitude) {
    korvan::Matrix64 weights{};
    for (int i = 0; i < 64; ++i)
        weights[i] = static_cast<uint8_t>(i % 3 == 0 ? 1 : i % 3 == 1 ? 19 : 255);
    const korvan::QuantiserMatrix matrix = korvan::MakeQuantiserMatrix(weights);
    int16_t in[64];
    int16_t out[64];
    for (int mquant = 1; mquant <= 112; ++mquant) {
        for (int start = -2048; start <= 2047; start += 63) {
            for (int i = 0; i < 64; ++i) in[i] = static_cast<int16_t>(std::min(start + i, 2047));
            korvan::QuantiseIntraBlock(in, out, matrix, mquant, 0, MpegSyntax::kMpeg2);
            for (int i = 1; i < 64; ++i) {
                const int w = weights[i];
                int level =
                    ((32 * std::abs(in[i]) + w / 2) / w + (3 * mquant + 2) / 4) / (2 * mquant);
                level = std::min(level, 2047);
                ASSERT_EQ(out[i], in[i] < 0 ? -level : level) << mquant << " " << in[i];
            }
        }
    }
}

TEST(DequantiseTest, Mpeg2MakesTheCoefficientSumOdd) {
    int16_t levels[64] = {};
    int16_t coefficients[64];
    levels[0] = 1;  // w 16, mquant 16: (2 + 1) * 16 * 16 / 32 = 24, an even sum
    korvan::DequantiseNonIntraBlock(levels, coefficients, NonIntra(), 16, MpegSyntax::kMpeg2);
    EXPECT_EQ(coefficients[0], 24);
    EXPECT_EQ(coefficients[63], 1);  // toggled to make the sum odd
    int sum = 0;
    for (int16_t c : coefficients) sum += c;
    EXPECT_EQ(sum & 1, 1);
}

TEST(DequantiseTest, Mpeg1KeepsEveryCoefficientOdd) {
    int16_t levels[64] = {};
    int16_t coefficients[64];
    levels[1] = 1;
    levels[2] = -3;
    korvan::DequantiseIntraBlock(levels, coefficients, Intra(), 8, 0, MpegSyntax::kMpeg1);
    EXPECT_EQ(coefficients[1], 7);    // 1 * 16 * 8 / 16 = 8, made odd toward zero
    EXPECT_EQ(coefficients[2], -27);  // -3 * 19 * 8 / 16 = -28 (toward zero), made odd
}

TEST(DequantiseTest, ReconstructionsStayInRangeForEveryLevel) {
    std::mt19937 random(3);
    std::uniform_int_distribution<int> level(-2047, 2047);
    for (MpegSyntax syntax : {MpegSyntax::kMpeg1, MpegSyntax::kMpeg2}) {
        for (int n = 0; n < 200; ++n) {
            int16_t levels[64];
            for (int16_t& l : levels)
                l = static_cast<int16_t>(level(random) %
                                         (syntax == MpegSyntax::kMpeg1 ? 256 : 2048));
            int16_t coefficients[64];
            korvan::DequantiseNonIntraBlock(levels, coefficients, NonIntra(), 112, syntax);
            for (int16_t c : coefficients) {
                EXPECT_GE(c, -2048);
                EXPECT_LE(c, 2047);
            }
        }
    }
}

TEST(QuantiseTest, QuantisingAndReconstructingStaysCloseToTheCoefficient) {
    std::mt19937 random(5);
    std::uniform_int_distribution<int> coefficient(-1000, 1000);
    for (int mquant : {2, 8, 31}) {
        int16_t in[64];
        for (int16_t& c : in) c = static_cast<int16_t>(coefficient(random));
        in[0] = 1000;
        int16_t levels[64];
        int16_t back[64];
        korvan::QuantiseIntraBlock(in, levels, Intra(), mquant, 0, MpegSyntax::kMpeg2);
        korvan::DequantiseIntraBlock(levels, back, Intra(), mquant, 0, MpegSyntax::kMpeg2);
        for (int i = 1; i < 63; ++i) {
            // One quantiser step is w * mquant / 16.
            EXPECT_LE(std::abs(back[i] - in[i]), Intra().weights[i] * mquant / 16 + 1) << i;
        }
        EXPECT_LE(std::abs(back[0] - in[0]), 4);
    }
}

}  // namespace
