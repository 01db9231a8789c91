#include "korvan/mpegenc/common/processor_mode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

using korvan::CpuidAnswers;

constexpr uint32_t kMmx = 1u << 23;
constexpr uint32_t kSse = 1u << 25;
constexpr uint32_t kAmdMmxExtensions = 1u << 22;
constexpr uint32_t k3DNowExtended = 1u << 30;
constexpr uint32_t k3DNow = 1u << 31;

CpuidAnswers Answers(const char* vendor, uint32_t featureEdx, uint32_t extendedFeatureEdx,
                     uint32_t maxLeaf = 1, uint32_t maxExtendedLeaf = 0x80000008) {
    CpuidAnswers answers;
    std::memcpy(answers.vendor, vendor, std::min<std::size_t>(std::strlen(vendor), 12));
    answers.maxLeaf = maxLeaf;
    answers.featureEdx = featureEdx;
    answers.maxExtendedLeaf = maxExtendedLeaf;
    answers.extendedFeatureEdx = extendedFeatureEdx;
    return answers;
}

int ModeFor(const CpuidAnswers& answers) { return korvan::ModeOf(korvan::FeaturesOf(answers)); }

TEST(ProcessorModeTest, ModesOfKnownProcessors) {
    EXPECT_EQ(ModeFor(Answers("GenuineIntel", 0, 0)), korvan::kProcessorPlain);
    EXPECT_EQ(ModeFor(Answers("GenuineIntel", kMmx, 0)), korvan::kProcessorMmx);
    EXPECT_EQ(ModeFor(Answers("GenuineIntel", kMmx | kSse, 0)), korvan::kProcessorMmxExtended);
    // K6-2: MMX and 3DNow!.
    EXPECT_EQ(ModeFor(Answers("AuthenticAMD", kMmx, k3DNow)), korvan::kProcessor3DNow);
    // Athlon: the AMD MMX extensions and extended 3DNow!.
    EXPECT_EQ(ModeFor(Answers("AuthenticAMD", kMmx, kAmdMmxExtensions | k3DNow | k3DNowExtended)),
              korvan::kProcessor3DNowExtended);
    // An AMD processor with the MMX extensions but no 3DNow! counts like SSE.
    EXPECT_EQ(ModeFor(Answers("AuthenticAMD", kMmx, kAmdMmxExtensions)),
              korvan::kProcessorMmxExtended);
    // 3DNow! decides over SSE.
    EXPECT_EQ(ModeFor(Answers("AuthenticAMD", kMmx | kSse, k3DNow)), korvan::kProcessor3DNow);
}

TEST(ProcessorModeTest, AmdBitsCountOnlyOnAmd) {
    // Other vendors define bits 22 and 30 of the extended leaf differently.
    EXPECT_EQ(ModeFor(Answers("CyrixInstead", kMmx, kAmdMmxExtensions | k3DNowExtended)),
              korvan::kProcessorMmx);
    EXPECT_EQ(ModeFor(Answers("CyrixInstead", kMmx, k3DNow | k3DNowExtended)),
              korvan::kProcessor3DNow);
}

TEST(ProcessorModeTest, LeavesThatAreNotThereDoNotCount) {
    EXPECT_EQ(ModeFor(Answers("GenuineIntel", kMmx | kSse, 0, 0)), korvan::kProcessorPlain);
    EXPECT_EQ(ModeFor(Answers("AuthenticAMD", kMmx, k3DNow, 1, 0x80000000)), korvan::kProcessorMmx);
}

// The mode of this machine, worked out from what the kernel reports.
TEST(ProcessorModeTest, ThisProcessorAgreesWithTheKernel) {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    std::string vendor;
    std::set<std::string> flags;
    while (std::getline(cpuinfo, line)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        if (line.rfind("vendor_id", 0) == 0 && vendor.empty()) vendor = line.substr(colon + 2);
        if (line.rfind("flags", 0) == 0 && flags.empty()) {
            std::istringstream words(line.substr(colon + 1));
            for (std::string flag; words >> flag;) flags.insert(flag);
        }
    }
    if (flags.empty()) GTEST_SKIP() << "no /proc/cpuinfo flags";
    int expected = korvan::kProcessorPlain;
    if (flags.count("sse") || (vendor == "AuthenticAMD" && flags.count("mmxext"))) {
        expected = korvan::kProcessorMmxExtended;
    } else if (flags.count("mmx")) {
        expected = korvan::kProcessorMmx;
    }
    if (vendor == "AuthenticAMD" && flags.count("3dnowext")) {
        expected = korvan::kProcessor3DNowExtended;
    } else if (flags.count("3dnow")) {
        expected = korvan::kProcessor3DNow;
    }
    EXPECT_EQ(korvan::DetectProcessorMode(), expected);
    EXPECT_EQ(std::string(korvan::AskProcessor().vendor), vendor);
}

}  // namespace
