// The fixed numbers of MPEG-1 audio layers I and II: bitrates, sampling
// frequency codes, scale factors, quantisation classes and the layer II
// allocation tables.
#pragma once

#include <array>
#include <cstdint>

namespace korvan::audio {

inline constexpr int kSubbands = 32;
inline constexpr int kScaleFactorCount = 63;
inline constexpr int kMaxChannels = 2;

// audioMode and the header's mode field.
enum AudioMode : int {
    kModeStereo = 0,
    kModeJointStereo = 1,
    kModeDualChannel = 2,
    kModeSingleChannel = 3,
};

// Bitrate of `index` (0..14) in kbit/s for `layer` (1 or 2); index 0 is the
// free format and gives 0.
int BitrateKbps(int layer, int index);

// The header's sampling_frequency code: 0 for 44 100 Hz, 1 for 48 000 Hz,
// 2 for 32 000 Hz, -1 for every other rate.
int SamplingFrequencyCode(int sampleRateHz);

// Value of scale factor `index` (0..62): 2^(1 - index / 3).
float ScaleFactorValue(int index);

// Smallest index whose scale factor is at least `peak`, so that samples
// divided by it stay within -1..1; 0 for peaks of 2 and above.
int ScaleFactorIndexFor(float peak);

// A quantiser with `levels` steps (2^n - 1 for n bits, or 3, 5 and 9, whose
// samples are sent in groups of three).
struct QuantClass {
    int levels = 0;
    bool grouped = false;
    int codewordBits = 0;  // per sample, or per group of three when grouped
    float snrDb = 0;       // for a full-scale sine
};

const QuantClass& LayerTwoClass(int levels);
// Layer I allocation `allocation` (1..14) quantises with 2^(allocation+1) - 1
// levels.
const QuantClass& LayerOneClass(int allocation);

// One of the four layer II allocation tables: how many subbands carry data,
// how wide each subband's allocation field is, and the number of levels each
// allocation value selects (0 for "no samples").
struct LayerTwoTable {
    int sblimit = 0;
    std::array<int, kSubbands> allocationBits{};
    std::array<const uint16_t*, kSubbands> levels{};
};

// The table for a sampling frequency code and a bitrate per channel in kbit/s.
const LayerTwoTable& SelectLayerTwoTable(int samplingCode, int kbpsPerChannel);

}  // namespace korvan::audio
