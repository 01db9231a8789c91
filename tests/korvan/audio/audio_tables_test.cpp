#include "korvan/mpegenc/audio/audio_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <set>

#include "korvan/mpegenc/audio/audio_crc.h"

namespace {

using namespace korvan::audio;

TEST(AudioTablesTest, BitratesOfBothLayers) {
    for (int i = 0; i <= 14; ++i) EXPECT_EQ(BitrateKbps(1, i), 32 * i);
    const int layerTwo[15] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    for (int i = 0; i <= 14; ++i) EXPECT_EQ(BitrateKbps(2, i), layerTwo[i]);
    EXPECT_EQ(BitrateKbps(2, 15), 0);
    EXPECT_EQ(BitrateKbps(2, -1), 0);

    EXPECT_EQ(SamplingFrequencyCode(44100), 0);
    EXPECT_EQ(SamplingFrequencyCode(48000), 1);
    EXPECT_EQ(SamplingFrequencyCode(32000), 2);
    EXPECT_EQ(SamplingFrequencyCode(22050), -1);
}

TEST(AudioTablesTest, ScaleFactorIndexIsTheSmallestThatHoldsThePeak) {
    EXPECT_FLOAT_EQ(ScaleFactorValue(0), 2.0f);
    EXPECT_FLOAT_EQ(ScaleFactorValue(3), 1.0f);
    EXPECT_NEAR(ScaleFactorValue(62), std::exp2(1.0 - 62.0 / 3.0), 1e-12);
    EXPECT_EQ(ScaleFactorIndexFor(5.0f), 0);
    EXPECT_EQ(ScaleFactorIndexFor(0.0f), 62);
    for (int i = 0; i < kScaleFactorCount; ++i) {
        EXPECT_EQ(ScaleFactorIndexFor(ScaleFactorValue(i)), i);
    }
    std::mt19937 random(7);
    std::uniform_real_distribution<float> exponent(-21.0f, 1.0f);
    for (int n = 0; n < 20000; ++n) {
        const float peak = std::exp2(exponent(random));
        const int index = ScaleFactorIndexFor(peak);
        ASSERT_GE(ScaleFactorValue(index), peak);
        if (index < kScaleFactorCount - 1) {
            ASSERT_LT(ScaleFactorValue(index + 1), peak);
        }
    }
}

TEST(AudioTablesTest, QuantisationClasses) {
    struct Expected {
        int levels;
        bool grouped;
        int bits;
    };
    for (const Expected& e :
         {Expected{3, true, 5}, Expected{5, true, 7}, Expected{7, false, 3}, Expected{9, true, 10},
          Expected{15, false, 4}, Expected{65535, false, 16}}) {
        const QuantClass& c = LayerTwoClass(e.levels);
        EXPECT_EQ(c.levels, e.levels);
        EXPECT_EQ(c.grouped, e.grouped) << e.levels;
        EXPECT_EQ(c.codewordBits, e.bits) << e.levels;
    }
    // Layer I allocation a quantises with a + 1 bits.
    for (int a = 1; a <= 14; ++a) {
        EXPECT_EQ(LayerOneClass(a).codewordBits, a + 1);
        EXPECT_FALSE(LayerOneClass(a).grouped);
    }
    // Finer classes are better; fine ones follow 6.02 dB per bit + 1.76.
    float previous = 0;
    for (int levels :
         {3, 5, 7, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535}) {
        EXPECT_GT(LayerTwoClass(levels).snrDb, previous) << levels;
        previous = LayerTwoClass(levels).snrDb;
    }
    EXPECT_NEAR(LayerTwoClass(4095).snrDb, 6.02 * 12 + 1.76, 0.2);
}

TEST(AudioTablesTest, LayerTwoTableSelection) {
    struct Case {
        int samplingCode;
        int kbpsPerChannel;
        int sblimit;
    };
    for (const Case& c : {Case{1, 56, 27}, Case{1, 192, 27}, Case{0, 56, 27}, Case{0, 80, 27},
                          Case{2, 64, 27}, Case{0, 96, 30}, Case{0, 192, 30}, Case{2, 112, 30},
                          Case{0, 32, 8}, Case{1, 48, 8}, Case{2, 32, 12}, Case{2, 48, 12}}) {
        EXPECT_EQ(SelectLayerTwoTable(c.samplingCode, c.kbpsPerChannel).sblimit, c.sblimit)
            << c.samplingCode << " " << c.kbpsPerChannel;
    }
    const LayerTwoTable& wide = SelectLayerTwoTable(0, 112);
    EXPECT_EQ(wide.allocationBits[0], 4);
    EXPECT_EQ(wide.allocationBits[10], 4);
    EXPECT_EQ(wide.allocationBits[11], 3);
    EXPECT_EQ(wide.allocationBits[23], 2);
    EXPECT_EQ(wide.allocationBits[29], 2);
    EXPECT_EQ(wide.levels[0][1], 3);
    EXPECT_EQ(wide.levels[0][15], 65535);
    EXPECT_EQ(wide.levels[5][2], 5);
    EXPECT_EQ(wide.levels[5][15], 65535);
    EXPECT_EQ(wide.levels[20][7], 65535);
    EXPECT_EQ(wide.levels[25][3], 65535);
    const LayerTwoTable& narrow = SelectLayerTwoTable(2, 32);
    EXPECT_EQ(narrow.allocationBits[1], 4);
    EXPECT_EQ(narrow.allocationBits[2], 3);
    EXPECT_EQ(narrow.levels[0][15], 32767);
    EXPECT_EQ(narrow.levels[11][7], 127);
    // Every class a table names exists.
    for (const LayerTwoTable* t : {&wide, &narrow, &SelectLayerTwoTable(0, 32)}) {
        for (int sb = 0; sb < t->sblimit; ++sb) {
            for (int v = 1; v < (1 << t->allocationBits[sb]); ++v) {
                EXPECT_EQ(LayerTwoClass(t->levels[sb][v]).levels, t->levels[sb][v]);
            }
        }
    }
}

TEST(AudioCrcTest, MatchesTheCatalogueCheckValue) {
    // x^16 + x^15 + x^2 + 1 from all ones, unreflected: 0xAEE7 for "123456789".
    const uint8_t text[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    AudioCrc crc;
    crc.AddBits(text, 0, 72);
    EXPECT_EQ(crc.Value(), 0xAEE7);

    // Fed in odd pieces it gives the same.
    AudioCrc pieces;
    pieces.AddBits(text, 0, 5);
    pieces.AddBits(text, 5, 30);
    pieces.AddBits(text, 35, 37);
    EXPECT_EQ(pieces.Value(), 0xAEE7);
}

TEST(AudioCrcTest, FrameCheckCoversHeaderTailAndSideInfo) {
    uint8_t frame[16] = {0xFF, 0xFD, 0xB4, 0x04, 0x00, 0x00, 0x12, 0x34, 0x56};
    const uint16_t before = FrameCrc(frame, 24);
    frame[0] = 0x00;  // the syncword is not covered
    frame[4] = 0xAB;  // nor is the check word itself
    frame[9] = 0x77;  // nor what follows the side information
    EXPECT_EQ(FrameCrc(frame, 24), before);
    frame[3] ^= 0x10;  // the mode extension is
    EXPECT_NE(FrameCrc(frame, 24), before);
    frame[3] ^= 0x10;
    frame[8] ^= 0x01;  // and the last side information bit
    EXPECT_NE(FrameCrc(frame, 24), before);
}

}  // namespace
