// The instruction sets the kernels are chosen from: what a stored processor
// mode leaves of them, what this processor reports, and the table each set
// picks.
#include "korvan/mpegenc/common/cpu_flags.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "korvan/mpegenc/common/video_kernels.h"
#include "korvan/mpegenc/video/colour_kernels.h"

namespace {

using korvan::CpuFlags;

constexpr CpuFlags kBoth = CpuFlags::kSse2 | CpuFlags::kAvx2;

TEST(CpuFlagsTest, StoredModesOnlyTakeFlagsAway) {
    for (CpuFlags detected : {CpuFlags::kNone, CpuFlags::kSse2, kBoth}) {
        EXPECT_EQ(korvan::FlagsForProcessorMode(0, detected), CpuFlags::kNone);
        for (int mmxOr3DNow : {1, 2})
            EXPECT_EQ(korvan::FlagsForProcessorMode(mmxOr3DNow, detected),
                      detected & CpuFlags::kSse2);
        // The extended sets, and numbers that name no mode, keep them all.
        for (int other : {3, 4, 5, -1, 1000})
            EXPECT_EQ(korvan::FlagsForProcessorMode(other, detected), detected) << other;
    }
    EXPECT_TRUE(korvan::HasFlags(kBoth, CpuFlags::kAvx2));
    EXPECT_FALSE(korvan::HasFlags(CpuFlags::kSse2, kBoth));
    EXPECT_TRUE(korvan::HasFlags(CpuFlags::kNone, CpuFlags::kNone));
}

// The flags of this machine, as the kernel lists them.
TEST(CpuFlagsTest, ThisProcessorAgreesWithTheKernel) {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::set<std::string> flags;
    for (std::string line; std::getline(cpuinfo, line) && flags.empty();) {
        if (line.rfind("flags", 0) != 0) continue;
        std::istringstream words(line.substr(line.find(':') + 1));
        for (std::string flag; words >> flag;) flags.insert(flag);
    }
    if (flags.empty()) GTEST_SKIP() << "no x86 flags in /proc/cpuinfo";
    CpuFlags expected = CpuFlags::kNone;
    if (flags.count("sse2")) expected = expected | CpuFlags::kSse2;
    if (flags.count("avx2")) expected = expected | CpuFlags::kAvx2;
    EXPECT_EQ(korvan::DetectCpuFlags(), expected);
}

// No flags pick the plain tables; each further set this processor has picks
// a table of its own, so that its kernels really run.
TEST(CpuFlagsTest, EachDetectedSetPicksATableOfItsOwn) {
    const auto integer = korvan::DctArithmetic::kInteger;
    EXPECT_EQ(&korvan::SelectVideoKernels(CpuFlags::kNone, integer),
              &korvan::PlainVideoKernels(integer));
    EXPECT_EQ(&korvan::SelectColourKernels(CpuFlags::kNone), &korvan::PlainColourKernels());
    const CpuFlags detected = korvan::DetectCpuFlags();
    if (!korvan::HasFlags(detected, CpuFlags::kSse2)) GTEST_SKIP() << "no SSE2";
    EXPECT_NE(&korvan::SelectVideoKernels(CpuFlags::kSse2, integer),
              &korvan::PlainVideoKernels(integer));
    EXPECT_NE(&korvan::SelectColourKernels(CpuFlags::kSse2), &korvan::PlainColourKernels());
    if (!korvan::HasFlags(detected, kBoth)) return;
    EXPECT_NE(&korvan::SelectVideoKernels(kBoth, integer),
              &korvan::SelectVideoKernels(CpuFlags::kSse2, integer));
    // AVX2 alone (a mask that leaves it) is not enough for the AVX2 table.
    EXPECT_EQ(&korvan::SelectVideoKernels(CpuFlags::kAvx2, integer),
              &korvan::PlainVideoKernels(integer));
}

}  // namespace
