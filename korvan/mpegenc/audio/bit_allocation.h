// Distribution of a frame's bits over the subbands: each step goes to the
// band whose quantisation noise stands highest above its masking threshold,
// until no further step fits.
#pragma once

#include <array>

#include "korvan/mpegenc/audio/audio_tables.h"

namespace korvan::audio {

// The quantisers each subband may use and what they cost, fixed for a
// stream: layer I offers 14 to every subband, layer II what its allocation
// table lists.
struct QuantizerTable {
    struct Band {
        int fieldBits = 0;  // width of the allocation field
        int maxValue = 0;
        std::array<const QuantClass*, 16> classes{};  // by allocation value; 0 has none
        std::array<float, 16> snrDb{};
        std::array<int, 16> sampleBits{};  // of one channel for the whole frame
    };
    int layer = 2;
    int sblimit = kSubbands;  // subbands that carry data
    std::array<Band, kSubbands> bands{};
};

// `table` is the layer II allocation table; layer I needs none.
QuantizerTable MakeQuantizerTable(int layer, const LayerTwoTable* table);

struct AllocationInput {
    const QuantizerTable* quantizers = nullptr;
    int channels = 1;
    int bound = kSubbands;  // first subband whose samples both channels share
    int availableBits = 0;  // the frame's budget less header and check word
    std::array<std::array<float, kSubbands>, kMaxChannels> smrDb{};
    // Scale factors each band sends once it has samples (1 in layer I).
    std::array<std::array<int, kSubbands>, kMaxChannels> scaleFactorsSent{};
};

struct Allocation {
    // The allocation field of each channel and subband; both channels hold
    // the same value from the bound on.
    std::array<std::array<int, kSubbands>, kMaxChannels> value{};
    int bitsUsed = 0;  // bit allocation, selection, scale factors and samples
};

Allocation AllocateBits(const AllocationInput& input);

// Bits (counted as in Allocation::bitsUsed) that bring every subband's
// noise below its masking threshold, or as close as the quantisers allow.
int BitsForMaskedNoise(const AllocationInput& input);

// Bits of the allocation fields alone.
int AllocationFieldBits(const AllocationInput& input);

}  // namespace korvan::audio
