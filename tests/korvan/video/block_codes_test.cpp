// The coefficient codes built apart from the stream: a row that keeps only
// the sizes must take exactly the bits of the codes themselves, since a
// measured GOP's size decides its next quantiser.
#include "korvan/mpegenc/video/block_codes.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "korvan/mpegenc/common/video_kernels.h"

namespace {

using korvan::BlockCode;
using korvan::CodeKeeping;

TEST(BlockCodesTest, SizesOnlyTakeTheBitsOfTheCodes) {
    const korvan::DctArithmetic integer = korvan::DctArithmetic::kInteger;
    // The sizes come from the magnitudes kernel of every table this
    // processor runs.
    const korvan::CpuFlags detected = korvan::DetectCpuFlags();
    for (korvan::CpuFlags flags :
         {korvan::CpuFlags::kNone, detected & korvan::CpuFlags::kSse2, detected}) {
        const korvan::VideoKernels& k = korvan::SelectVideoKernels(flags, integer);
        std::mt19937 random(22);
        korvan::RowCodes codes;
        korvan::RowCodes sizes;
        korvan::BitWriter written;
        korvan::BitWriter measured;
        int escapes = 0;
        int failures = 0;
        int dense = 0;
        for (int n = 0; n < 400; ++n) {
            // Sparse and dense blocks; levels from +-1 up to the escaped
            // +-2047 of MPEG-2 and +-255 of MPEG-1, and now and then one
            // beyond them that cannot be coded.
            const bool mpeg1 = n % 4 == 3;
            const korvan::BlockCodeSyntax syntax{
                mpeg1 ? korvan::MpegSyntax::kMpeg1 : korvan::MpegSyntax::kMpeg2,
                !mpeg1 && n % 2 == 0, !mpeg1 && n % 3 == 0};
            const bool intra = n % 5 < 2;
            const int largest = n % 7 == 0 ? (mpeg1 ? 255 : 2047) : 3 + n % 40;
            int16_t levels[64] = {};
            const int density = 1 + n % 16;
            for (int16_t& level : levels) {
                if (static_cast<int>(random() % 16) >= density) continue;
                level = static_cast<int16_t>(1 + random() % largest);
                if (random() % 2) level = static_cast<int16_t>(-level);
                escapes += level > 40 || level < -40;
            }
            if (n % 23 == 5) {
                const int16_t beyond[] = {256, -256, -2048, 2048, -32768};
                levels[1 + n % 63] = beyond[n % 5];
            }
            const uint64_t mask = k.scanMask(levels, syntax.alternateScan);
            if (mask == 0 && !intra) continue;
            dense += __builtin_popcountll(mask) >= 32;
            codes.Clear(CodeKeeping::kCodes, k);
            sizes.Clear(CodeKeeping::kSizesOnly, k);
            BlockCode built;
            BlockCode sized;
            codes.Build(syntax, intra, levels, mask, n, built);
            sizes.Build(syntax, intra, levels, mask, n, sized);
            EXPECT_EQ(sized.bits, built.bits) << n;
            EXPECT_EQ(sized.dc, built.dc) << n;
            EXPECT_EQ(sizes.FailureOf(n).code, codes.FailureOf(n).code) << n;
            EXPECT_EQ(sizes.FailureOf(n).message, codes.FailureOf(n).message) << n;
            failures += !codes.FailureOf(n).IsOk();
            // Both after a few odd bits, so that every offset in a byte is met.
            const int lead = static_cast<int>(random() % 13);
            written.Put(0x5A5, lead);
            measured.Put(0x5A5, lead);
            codes.Write(built, written);
            sizes.Write(sized, measured);
            ASSERT_EQ(measured.BitCount(), written.BitCount()) << n;
        }
        EXPECT_GT(escapes, 100);
        EXPECT_GT(failures, 5);
        EXPECT_GT(dense, 100);
    }
}

}  // namespace
