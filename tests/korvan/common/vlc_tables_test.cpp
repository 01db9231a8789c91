#include "korvan/mpegenc/common/vlc_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using korvan::VlcCode;

std::string Text(const VlcCode& c) {
    std::string s;
    for (int i = c.length - 1; i >= 0; --i) s += ((c.bits >> i) & 1) ? '1' : '0';
    return s;
}

// No code may be the beginning of another, or a decoder could not tell them
// apart; returns the first clash.
std::string FindPrefixClash(const std::vector<std::string>& codes) {
    for (size_t i = 0; i < codes.size(); ++i) {
        for (size_t j = 0; j < codes.size(); ++j) {
            if (i != j && codes[j].compare(0, codes[i].size(), codes[i]) == 0) {
                return codes[i] + " / " + codes[j];
            }
        }
    }
    return "";
}

// Sum of 2^-length: 1 for a table that leaves no bit pattern unused.
double CodeSpace(const std::vector<std::string>& codes) {
    double sum = 0;
    for (const std::string& c : codes) sum += 1.0 / static_cast<double>(1ULL << c.size());
    return sum;
}

std::vector<std::string> CoefficientCodes(int table) {
    std::vector<std::string> codes;
    for (int run = 0; run <= 31; ++run) {
        for (int level = 1; level <= 40; ++level) {
            const VlcCode c = korvan::DctCoefficientCode(table, run, level);
            if (c.length == 0) continue;
            codes.push_back(Text(c) + "0");
            codes.push_back(Text(c) + "1");
        }
    }
    codes.push_back(Text(table == 0 ? korvan::kEndOfBlockTableZero : korvan::kEndOfBlockTableOne));
    codes.push_back(Text(korvan::kDctEscape));
    return codes;
}

TEST(VlcTablesTest, CoefficientTablesArePrefixFreeAndFillTheirCodeSpace) {
    const std::vector<std::string> zero = CoefficientCodes(0);
    EXPECT_EQ(FindPrefixClash(zero), "");
    EXPECT_EQ(zero.size(), 2u * 111 + 2);
    // Table zero uses every pattern except the twelve zeros of start codes.
    EXPECT_DOUBLE_EQ(CodeSpace(zero), 1.0 - 1.0 / 4096);

    const std::vector<std::string> one = CoefficientCodes(1);
    EXPECT_EQ(FindPrefixClash(one), "");
    EXPECT_EQ(one.size(), 2u * 111 + 2);
    // Table one leaves unused, besides the start-code zeros, the long codes of
    // the pairs it moved to short codes: six of 12 bits, one of 12 and two of
    // 13 bits in the zero-prefixed region.
    EXPECT_DOUBLE_EQ(CodeSpace(one), 1.0 - 9.0 / 4096);
}

TEST(VlcTablesTest, WellKnownCoefficientCodes) {
    EXPECT_EQ(Text(korvan::DctCoefficientCode(0, 0, 1)), "11");
    EXPECT_EQ(Text(korvan::DctCoefficientCode(0, 1, 1)), "011");
    EXPECT_EQ(Text(korvan::DctCoefficientCode(1, 0, 1)), "10");
    EXPECT_EQ(Text(korvan::DctCoefficientCode(0, 31, 1)), "0000000000011011");
    EXPECT_EQ(Text(korvan::DctCoefficientCode(1, 31, 1)), "0000000000011011");
    EXPECT_EQ(korvan::DctCoefficientCode(0, 0, 41).length, 0);  // escaped
    EXPECT_EQ(korvan::DctCoefficientCode(0, 2, 6).length, 0);
    EXPECT_EQ(korvan::DctCoefficientCode(0, 32, 1).length, 0);
}

TEST(VlcTablesTest, MacroblockLayerTablesArePrefixFree) {
    std::vector<std::string> increments;
    for (int i = 1; i <= 33; ++i) increments.push_back(Text(korvan::AddressIncrementCode(i)));
    increments.push_back(Text(korvan::kMacroblockEscape));
    EXPECT_EQ(FindPrefixClash(increments), "");

    std::vector<std::string> patterns;
    for (int p = 0; p < 64; ++p) {
        ASSERT_GT(korvan::CodedBlockPatternCode(p).length, 0) << p;
        patterns.push_back(Text(korvan::CodedBlockPatternCode(p)));
    }
    EXPECT_EQ(FindPrefixClash(patterns), "");
    EXPECT_DOUBLE_EQ(CodeSpace(patterns), 1.0 - 1.0 / 512);

    std::vector<std::string> motion;
    for (int m = -16; m <= 16; ++m) motion.push_back(Text(korvan::MotionCode(m)));
    EXPECT_EQ(FindPrefixClash(motion), "");
    EXPECT_EQ(Text(korvan::MotionCode(-1)), "011");
    EXPECT_EQ(Text(korvan::MotionCode(16)), "00000011000");

    for (auto table : {korvan::DcSizeLuminanceCode, korvan::DcSizeChrominanceCode}) {
        std::vector<std::string> sizes;
        for (int s = 0; s <= 11; ++s) sizes.push_back(Text(table(s)));
        EXPECT_EQ(FindPrefixClash(sizes), "");
        EXPECT_DOUBLE_EQ(CodeSpace(sizes), 1.0);
    }
}

TEST(VlcTablesTest, MacroblockTypesOfEachPictureType) {
    using namespace korvan;
    EXPECT_EQ(Text(MacroblockTypeCode(kPictureI, kMbIntra)), "1");
    EXPECT_EQ(Text(MacroblockTypeCode(kPictureP, kMbForward)), "001");
    EXPECT_EQ(Text(MacroblockTypeCode(kPictureP, kMbPattern)), "01");
    EXPECT_EQ(Text(MacroblockTypeCode(kPictureB, kMbForward | kMbBackward)), "10");
    EXPECT_EQ(MacroblockTypeCode(kPictureI, kMbForward).length, 0);
    EXPECT_EQ(MacroblockTypeCode(kPictureB, kMbPattern).length, 0);
    for (PictureCodingType type : {kPictureI, kPictureP, kPictureB}) {
        std::vector<std::string> codes;
        for (int flags = 0; flags < 32; ++flags) {
            const VlcCode c = MacroblockTypeCode(type, flags);
            if (c.length) codes.push_back(Text(c));
        }
        EXPECT_EQ(FindPrefixClash(codes), "");
    }
}

}  // namespace
