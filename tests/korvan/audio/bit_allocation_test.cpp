#include "korvan/mpegenc/audio/bit_allocation.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "korvan/mpegenc/audio/scale_factors.h"

namespace {

using namespace korvan::audio;

struct Layout {
    int layer;
    int samplingCode;
    int kbpsPerChannel;
};

std::vector<QuantizerTable> AllQuantizerTables() {
    std::vector<QuantizerTable> tables;
    tables.push_back(MakeQuantizerTable(1, nullptr));
    for (const Layout& l :
         {Layout{2, 1, 64}, Layout{2, 0, 112}, Layout{2, 0, 32}, Layout{2, 2, 32}}) {
        tables.push_back(
            MakeQuantizerTable(2, &SelectLayerTwoTable(l.samplingCode, l.kbpsPerChannel)));
    }
    return tables;
}

// Counts the bits of an allocation from scratch, the way the frame packer
// writes them.
int CountBits(const AllocationInput& input, const Allocation& a) {
    const QuantizerTable& q = *input.quantizers;
    int bits = 0;
    for (int sb = 0; sb < q.sblimit; ++sb) {
        const bool shared = sb >= input.bound;
        bits += q.bands[sb].fieldBits * (shared ? 1 : input.channels);
        for (int ch = 0; ch < input.channels; ++ch) {
            const int v = a.value[ch][sb];
            if (v == 0) continue;
            bits += q.layer == 1 ? 6 : 2 + 6 * input.scaleFactorsSent[ch][sb];
            if (!shared || ch == 0) bits += q.bands[sb].sampleBits[v];
        }
    }
    return bits;
}

TEST(BitAllocationTest, NeverExceedsTheBudget) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> smr(-30.0f, 90.0f);
    std::uniform_int_distribution<int> sent(1, 3);
    for (const QuantizerTable& q : AllQuantizerTables()) {
        for (int channels : {1, 2}) {
            for (int bound : {4, 8, 12, 16, 32}) {
                if (channels == 1 && bound != 32) continue;
                for (int budget : {100, 300, 700, 1500, 3000, 6000, 12000}) {
                    AllocationInput input;
                    input.quantizers = &q;
                    input.channels = channels;
                    input.bound = std::min(bound, q.sblimit);
                    input.availableBits = budget;
                    for (int ch = 0; ch < channels; ++ch) {
                        for (int sb = 0; sb < kSubbands; ++sb) {
                            input.smrDb[ch][sb] = smr(random);
                            input.scaleFactorsSent[ch][sb] = q.layer == 1 ? 1 : sent(random);
                        }
                    }
                    if (AllocationFieldBits(input) > budget) continue;
                    const Allocation a = AllocateBits(input);
                    ASSERT_LE(a.bitsUsed, budget);
                    ASSERT_EQ(a.bitsUsed, CountBits(input, a));
                    for (int sb = input.bound; sb < q.sblimit && channels == 2; ++sb) {
                        ASSERT_EQ(a.value[0][sb], a.value[1][sb]);
                    }
                    for (int sb = q.sblimit; sb < kSubbands; ++sb) {
                        ASSERT_EQ(a.value[0][sb], 0);
                    }
                    // The greedy fill leaves less than the dearest step unused,
                    // unless every subband has its finest quantiser already.
                    bool allFinest = true;
                    for (int ch = 0; ch < channels; ++ch) {
                        for (int sb = 0; sb < q.sblimit; ++sb) {
                            allFinest = allFinest && a.value[ch][sb] == q.bands[sb].maxValue;
                        }
                    }
                    if (!allFinest) {
                        ASSERT_LT(budget - a.bitsUsed, 36 * 16 + 2 * 20);
                    }
                }
            }
        }
    }
}

TEST(BitAllocationTest, PlentyOfBitsGiveEverySubbandItsFinestQuantiser) {
    for (const QuantizerTable& q : AllQuantizerTables()) {
        AllocationInput input;
        input.quantizers = &q;
        input.channels = 2;
        input.bound = q.sblimit;
        input.availableBits = 100000;
        for (auto& row : input.scaleFactorsSent) row.fill(3);
        const Allocation a = AllocateBits(input);
        for (int sb = 0; sb < q.sblimit; ++sb) {
            EXPECT_EQ(a.value[0][sb], q.bands[sb].maxValue);
            EXPECT_EQ(a.value[1][sb], q.bands[sb].maxValue);
        }
    }
}

TEST(BitAllocationTest, BitsGoWhereTheNoiseIsMostAudible) {
    const QuantizerTable q = MakeQuantizerTable(2, &SelectLayerTwoTable(0, 112));
    AllocationInput input;
    input.quantizers = &q;
    input.channels = 1;
    input.bound = q.sblimit;
    input.availableBits = 1500;
    for (int sb = 0; sb < kSubbands; ++sb) {
        input.smrDb[0][sb] = -20.0f;
        input.scaleFactorsSent[0][sb] = 1;
    }
    input.smrDb[0][4] = 40.0f;
    input.smrDb[0][5] = 20.0f;
    const Allocation a = AllocateBits(input);
    EXPECT_GT(a.value[0][4], a.value[0][5]);
    EXPECT_GT(a.value[0][5], 0);
    EXPECT_GE(q.bands[4].snrDb[a.value[0][4]], 40.0f);
}

TEST(BitAllocationTest, BitsForMaskedNoiseAreEnoughToMaskIt) {
    std::mt19937 random(9);
    std::uniform_real_distribution<float> smr(-10.0f, 60.0f);
    for (const QuantizerTable& q : AllQuantizerTables()) {
        AllocationInput input;
        input.quantizers = &q;
        input.channels = 2;
        input.bound = q.sblimit;
        for (int ch = 0; ch < 2; ++ch) {
            for (int sb = 0; sb < kSubbands; ++sb) {
                input.smrDb[ch][sb] = smr(random);
                input.scaleFactorsSent[ch][sb] = 2;
            }
        }
        input.availableBits = BitsForMaskedNoise(input);
        const Allocation a = AllocateBits(input);
        for (int ch = 0; ch < 2; ++ch) {
            for (int sb = 0; sb < q.sblimit; ++sb) {
                const int v = a.value[ch][sb];
                EXPECT_TRUE(q.bands[sb].snrDb[v] >= input.smrDb[ch][sb] ||
                            v == q.bands[sb].maxValue)
                    << "subband " << sb;
            }
        }
    }
}

TEST(ScaleFactorPatternTest, SharedScaleFactorsNeverClip) {
    for (int a = 0; a < 63; a += 1) {
        for (int b = 0; b < 63; b += 2) {
            for (int c = 0; c < 63; c += 3) {
                const ScaleFactorPattern p = SelectScaleFactorPattern({a, b, c});
                const int indexes[3] = {a, b, c};
                for (int part = 0; part < 3; ++part) {
                    ASSERT_LE(p.used[part], indexes[part]);
                }
                switch (p.selection) {
                    case 0:
                        ASSERT_EQ(p.sent, 3);
                        break;
                    case 1:
                        ASSERT_EQ(p.sent, 2);
                        ASSERT_EQ(p.used[0], p.used[1]);
                        break;
                    case 2:
                        ASSERT_EQ(p.sent, 1);
                        ASSERT_EQ(p.used[0], p.used[2]);
                        ASSERT_EQ(p.used[1], p.used[2]);
                        break;
                    default:
                        ASSERT_EQ(p.sent, 2);
                        ASSERT_EQ(p.used[1], p.used[2]);
                        break;
                }
            }
        }
    }
    EXPECT_EQ(SelectScaleFactorPattern({10, 10, 10}).selection, 2);
    EXPECT_EQ(SelectScaleFactorPattern({10, 11, 30}).selection, 1);
    EXPECT_EQ(SelectScaleFactorPattern({30, 10, 11}).selection, 3);
    EXPECT_EQ(SelectScaleFactorPattern({10, 20, 30}).selection, 0);
}

TEST(ScaleFactorTest, EachPartTakesItsPeak) {
    std::vector<float> samples(36 * kSubbands, 0.0f);
    samples[5 * kSubbands + 3] = 0.9f;    // first twelve slots
    samples[20 * kSubbands + 3] = -0.3f;  // second twelve
    samples[35 * kSubbands + 7] = 1.5f;   // last twelve
    int indexes[3 * kSubbands];
    ComputeScaleFactors(samples.data(), 3, 12, indexes);
    EXPECT_EQ(indexes[3], ScaleFactorIndexFor(0.9f));
    EXPECT_EQ(indexes[kSubbands + 3], ScaleFactorIndexFor(0.3f));
    EXPECT_EQ(indexes[2 * kSubbands + 3], 62);
    EXPECT_EQ(indexes[2 * kSubbands + 7], ScaleFactorIndexFor(1.5f));
    EXPECT_EQ(indexes[0], 62);
}

}  // namespace
