#include "korvan/mpegenc/audio/frame_padding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "korvan/mpegenc/audio/audio_tables.h"

namespace {

using korvan::audio::BitrateKbps;
using korvan::audio::FramePadding;

TEST(FramePaddingTest, LayerTwoAt44kHzPadsThreeFramesInSeven) {
    // 1152 / 44.1 * 224 / 8 = 731.43 slots.
    FramePadding padding(1152, 224000, 44100, 8);
    EXPECT_EQ(padding.WholeSlots(), 731);
    std::string pattern;
    for (int i = 0; i < 14; ++i) pattern += padding.NextFramePadded() ? 'P' : '-';
    EXPECT_EQ(pattern, "-P-P-P--P-P-P-");
    int padded = 0;
    for (int i = 0; i < 7000; ++i) padded += padding.NextFramePadded();
    EXPECT_EQ(padded, 3000);
}

TEST(FramePaddingTest, LayerTwoAt48kHzNeverPads) {
    FramePadding padding(1152, 224000, 48000, 8);
    EXPECT_EQ(padding.WholeSlots(), 672);
    for (int i = 0; i < 5000; ++i) ASSERT_FALSE(padding.NextFramePadded());
}

// With F the fractional slots per frame, the lag rule pads frame i exactly
// when floor((i + 2) F) > floor((i + 1) F): the padded frames so far always
// number floor((i + 1) F), so the stream never drifts a slot from the rate.
TEST(FramePaddingTest, EveryRateFollowsTheSlotLag) {
    for (int layer : {1, 2}) {
        const int samples = layer == 1 ? 384 : 1152;
        const int slotBits = layer == 1 ? 32 : 8;
        for (int rate : {32000, 44100, 48000}) {
            for (int index = 1; index <= 14; ++index) {
                const int64_t bitRate = BitrateKbps(layer, index) * 1000;
                const int64_t unit = int64_t{rate} * slotBits;
                const int64_t fraction = samples * bitRate % unit;
                FramePadding padding(samples, static_cast<int>(bitRate), rate, slotBits);
                ASSERT_EQ(padding.WholeSlots(), samples * bitRate / unit);
                for (int64_t i = 0; i < 3000; ++i) {
                    const bool expected = (i + 2) * fraction / unit > (i + 1) * fraction / unit;
                    ASSERT_EQ(padding.NextFramePadded(), expected)
                        << "layer " << layer << " rate " << rate << " index " << index << " frame "
                        << i;
                }
            }
        }
    }
}

}  // namespace
