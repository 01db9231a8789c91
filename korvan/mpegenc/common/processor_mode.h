// Which kernel set the encoder runs, chosen once from what the processor
// reports through CPUID. The per-user value "MMXMode" can replace it (0 forces
// the plain kernels).
#pragma once

#include <cstdint>

namespace korvan {

enum ProcessorMode : int {
    kProcessorPlain = 0,
    kProcessorMmx = 1,
    kProcessor3DNow = 2,
    kProcessorMmxExtended = 3,  // MMX with the integer SSE or AMD MMX extensions
    kProcessor3DNowExtended = 4,
};

inline constexpr int kProcessorModes = 5;

// The CPUID answers the mode depends on.
struct CpuidAnswers {
    char vendor[13] = {};             // leaf 0, e.g. "GenuineIntel"
    uint32_t maxLeaf = 0;             // leaf 0, eax
    uint32_t featureEdx = 0;          // leaf 1, edx
    uint32_t maxExtendedLeaf = 0;     // leaf 0x80000000, eax
    uint32_t extendedFeatureEdx = 0;  // leaf 0x80000001, edx
};

// The features that decide the mode.
struct ProcessorFeatures {
    bool mmx = false;
    bool sse = false;
    bool amdMmxExtensions = false;
    bool threeDNow = false;
    bool threeDNowExtended = false;
};

// The answers of this processor.
CpuidAnswers AskProcessor();

// Leaf 1 counts only when the processor has it, the extended leaf only when
// it exists, and its AMD-defined bits only from "AuthenticAMD".
ProcessorFeatures FeaturesOf(const CpuidAnswers& answers);

// 3 with SSE or the AMD MMX extensions, else 1 with MMX; then 4 with extended
// 3DNow!, else 2 with 3DNow!; 0 otherwise.
ProcessorMode ModeOf(const ProcessorFeatures& features);

ProcessorMode DetectProcessorMode();

}  // namespace korvan
