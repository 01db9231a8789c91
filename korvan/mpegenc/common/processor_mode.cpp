#include "korvan/mpegenc/common/processor_mode.h"

#include <cpuid.h>

#include <cstring>

namespace korvan {
namespace {

constexpr uint32_t kMmxBit = 1u << 23;
constexpr uint32_t kSseBit = 1u << 25;
constexpr uint32_t kExtendedFeatureLeaf = 0x80000001;
constexpr uint32_t kAmdMmxExtensionsBit = 1u << 22;
constexpr uint32_t k3DNowExtendedBit = 1u << 30;
constexpr uint32_t k3DNowBit = 1u << 31;

}  // namespace

CpuidAnswers AskProcessor() {
    CpuidAnswers answers;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0, eax, ebx, ecx, edx);
    answers.maxLeaf = eax;
    // The vendor string is spelled across ebx, edx, ecx in that order.
    std::memcpy(answers.vendor, &ebx, 4);
    std::memcpy(answers.vendor + 4, &edx, 4);
    std::memcpy(answers.vendor + 8, &ecx, 4);
    if (answers.maxLeaf >= 1) {
        __cpuid(1, eax, ebx, ecx, edx);
        answers.featureEdx = edx;
    }
    __cpuid(0x80000000, eax, ebx, ecx, edx);
    answers.maxExtendedLeaf = eax;
    if (answers.maxExtendedLeaf >= kExtendedFeatureLeaf) {
        __cpuid(kExtendedFeatureLeaf, eax, ebx, ecx, edx);
        answers.extendedFeatureEdx = edx;
    }
    return answers;
}

ProcessorFeatures FeaturesOf(const CpuidAnswers& answers) {
    ProcessorFeatures features;
    if (answers.maxLeaf >= 1) {
        features.mmx = answers.featureEdx & kMmxBit;
        features.sse = answers.featureEdx & kSseBit;
    }
    if (answers.maxExtendedLeaf >= kExtendedFeatureLeaf) {
        features.threeDNow = answers.extendedFeatureEdx & k3DNowBit;
        if (std::strncmp(answers.vendor, "AuthenticAMD", 12) == 0) {
            features.threeDNowExtended = answers.extendedFeatureEdx & k3DNowExtendedBit;
            features.amdMmxExtensions = answers.extendedFeatureEdx & kAmdMmxExtensionsBit;
        }
    }
    return features;
}

ProcessorMode ModeOf(const ProcessorFeatures& features) {
    ProcessorMode mode = kProcessorPlain;
    if (features.sse || features.amdMmxExtensions) {
        mode = kProcessorMmxExtended;
    } else if (features.mmx) {
        mode = kProcessorMmx;
    }
    if (features.threeDNowExtended) {
        mode = kProcessor3DNowExtended;
    } else if (features.threeDNow) {
        mode = kProcessor3DNow;
    }
    return mode;
}

ProcessorMode DetectProcessorMode() { return ModeOf(FeaturesOf(AskProcessor())); }

}  // namespace korvan
