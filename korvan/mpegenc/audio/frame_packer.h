// Quantises one frame's subband samples and writes the frame: header,
// check word, bit allocation, scale factor selection, scale factors and
// samples, filled with zero bits to the frame's size.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "korvan/mpegenc/audio/bit_allocation.h"
#include "korvan/mpegenc/audio/scale_factors.h"

namespace korvan::audio {

struct FrameHeader {
    int layer = 2;
    bool errorProtection = false;
    int bitrateIndex = 0;
    int samplingCode = 0;
    bool padded = false;
    int privateBit = 0;
    int mode = 0;
    int modeExtension = 0;
    int copyrightBit = 0;
    int originalBit = 0;
    int emphasis = 0;
};

struct FrameContent {
    FrameHeader header;
    const AllocationInput* layout = nullptr;  // quantisers, channels, bound
    const Allocation* allocation = nullptr;
    // Scale factors per channel and subband as sent; layer I uses used[0].
    std::array<std::array<ScaleFactorPattern, kSubbands>, kMaxChannels> patterns{};
    // Subband samples, [slot * 32 + band], per channel and for the bands
    // both channels share; the shared ones are quantised against their own
    // scale factor indexes, [part * 32 + band].
    std::array<const float*, kMaxChannels> samples{};
    const float* sharedSamples = nullptr;
    const int* sharedScale = nullptr;
};

// Appends the frame, `frameBits` long, to `out` and returns the bits it used
// before the zero fill. The allocation must fit the frame; the stream keeps
// its frame lengths even if it did not.
int PackFrame(const FrameContent& frame, int frameBits, std::vector<uint8_t>& out);

}  // namespace korvan::audio
