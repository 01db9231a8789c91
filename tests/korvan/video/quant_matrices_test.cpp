#include "korvan/mpegenc/video/quant_matrices.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

std::string Numbers(int first, int count, int value) {
    std::string text = std::to_string(first);
    for (int i = 1; i < count; ++i) text += (i % 8 ? " " : "\r\n") + std::to_string(value);
    return text + "\n";
}

TEST(QuantMatricesTest, EmptyNamesGiveTheStandardIntraAndTestModelNonIntraMatrices) {
    korvan::SequenceMatrices m;
    ASSERT_TRUE(korvan::LoadSequenceMatrices("", "", m).IsOk());
    EXPECT_FALSE(m.loadIntra);
    EXPECT_TRUE(m.loadNonIntra);
    EXPECT_EQ(m.intra.weights, korvan::kDefaultIntraMatrix);
    EXPECT_EQ(m.nonIntra.weights[0], 16);
    EXPECT_EQ(m.nonIntra.weights[63], 33);
    EXPECT_EQ(m.nonIntra.reciprocals[63], 65536u / 33);

    ASSERT_TRUE(korvan::LoadSequenceMatrices("", "mpeg default", m).IsOk());
    EXPECT_FALSE(m.loadNonIntra);
    EXPECT_EQ(m.nonIntra.weights, korvan::kFlatNonIntraMatrix);
}

TEST(QuantMatricesTest, FilesAreReadInRasterOrderAndTransmitted) {
    test::TempDir dir("zarvo matrices ä");
    const std::string intra = dir / "intra matrix.txt";
    const std::string nonIntra = dir / "non intra.txt";
    test::WriteFile(intra, Numbers(8, 64, 20));
    test::WriteFile(nonIntra, "  " + Numbers(255, 64, 1));
    korvan::SequenceMatrices m;
    ASSERT_TRUE(korvan::LoadSequenceMatrices(intra, nonIntra, m).IsOk());
    EXPECT_TRUE(m.loadIntra);
    EXPECT_TRUE(m.loadNonIntra);
    EXPECT_EQ(m.intra.weights[0], 8);
    EXPECT_EQ(m.intra.weights[63], 20);
    EXPECT_EQ(m.nonIntra.weights[0], 255);
    EXPECT_EQ(m.nonIntra.weights[1], 1);
}

TEST(QuantMatricesTest, BadFilesEndWithTheirMessages) {
    test::TempDir dir;
    const std::string missing = dir / "missing.txt";
    korvan::SequenceMatrices m;
    korvan::Status r = korvan::LoadSequenceMatrices(missing, "", m);
    EXPECT_EQ(r.code, korvan::StatusCode::kMatrixFile);
    EXPECT_EQ(r.message, "Could not open intra quant matrix file " + missing + ".");
    r = korvan::LoadSequenceMatrices("", missing, m);
    EXPECT_EQ(r.message, "Could not open non-intra quant matrix file " + missing + ".");

    const std::string bad = dir / "bad.txt";
    for (const std::string& text :
         {Numbers(16, 63, 16), Numbers(0, 64, 16), Numbers(16, 64, 256), std::string("16 x 16"),
          std::string(""), Numbers(16, 10, 16) + "1" + std::string(100000, '0')}) {
        test::WriteFile(bad, text);
        r = korvan::LoadSequenceMatrices(bad, "", m);
        EXPECT_EQ(r.message, "Invalid value in intra quant matrix file " + bad + ".");
        r = korvan::LoadSequenceMatrices("", bad, m);
        EXPECT_EQ(r.message, "Invalid value in non-intra quant matrix file " + bad + ".");
    }
}

}  // namespace
