#include "korvan/mpegenc/audio/audio_tables.h"

#include <cmath>

namespace korvan::audio {

namespace {

constexpr int kClassCount = 17;
constexpr uint16_t kAllLevels[kClassCount] = {3,   5,    7,    9,    15,   31,    63,    127,  255,
                                              511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};

// Signal-to-noise ratio of a full-scale sine through the midtread quantiser
// with `levels` steps over -1..1, the quantiser every class uses.
float SineSnrDb(int levels) {
    constexpr int kPoints = 8192;
    const double pi = std::acos(-1.0);
    double signal = 0;
    double noise = 0;
    for (int i = 0; i < kPoints; ++i) {
        const double x = std::sin(2 * pi * (i + 0.5) / kPoints);
        const double step = std::floor((x + 1) * levels / 2);
        const double code = std::fmin(step, levels - 1);
        const double decoded = 2 * (code - (levels - 1) / 2.0) / levels;
        signal += x * x;
        noise += (x - decoded) * (x - decoded);
    }
    return static_cast<float>(10 * std::log10(signal / noise));
}

const std::array<QuantClass, kClassCount>& Classes() {
    static const std::array<QuantClass, kClassCount> classes = [] {
        std::array<QuantClass, kClassCount> made{};
        for (int i = 0; i < kClassCount; ++i) {
            QuantClass& c = made[i];
            c.levels = kAllLevels[i];
            c.grouped = c.levels == 3 || c.levels == 5 || c.levels == 9;
            if (c.grouped) {
                // Three samples share one codeword of the fewest bits that
                // hold levels^3 values.
                const int combinations = c.levels * c.levels * c.levels;
                while ((1 << c.codewordBits) < combinations) ++c.codewordBits;
            } else {
                while ((1 << c.codewordBits) - 1 < c.levels) ++c.codewordBits;
            }
            c.snrDb = SineSnrDb(c.levels);
        }
        return made;
    }();
    return classes;
}

// Allocation value → levels, per row of the layer II tables.
constexpr uint16_t kRowHighRateLow[16] = {0,   3,    7,    15,   31,   63,    127,   255,
                                          511, 1023, 2047, 4095, 8191, 16383, 32767, 65535};
constexpr uint16_t kRowHighRateMid[16] = {0,   3,   5,   7,    9,    15,   31,   63,
                                          127, 255, 511, 1023, 2047, 4095, 8191, 65535};
constexpr uint16_t kRowHighRateUpper[8] = {0, 3, 5, 7, 9, 15, 31, 65535};
constexpr uint16_t kRowHighRateTop[4] = {0, 3, 5, 65535};
constexpr uint16_t kRowLowRateLow[16] = {0,   3,   5,    9,    15,   31,   63,    127,
                                         255, 511, 1023, 2047, 4095, 8191, 16383, 32767};
constexpr uint16_t kRowLowRateUpper[8] = {0, 3, 5, 9, 15, 31, 63, 127};

struct Row {
    int firstSubband;
    int bits;
    const uint16_t* levels;
};

template <int N>
LayerTwoTable MakeTable(int sblimit, const Row (&rows)[N]) {
    LayerTwoTable table;
    table.sblimit = sblimit;
    for (int r = 0; r < N; ++r) {
        const int end = r + 1 < N ? rows[r + 1].firstSubband : sblimit;
        for (int sb = rows[r].firstSubband; sb < end; ++sb) {
            table.allocationBits[sb] = rows[r].bits;
            table.levels[sb] = rows[r].levels;
        }
    }
    return table;
}

}  // namespace

int BitrateKbps(int layer, int index) {
    static constexpr int kLayerTwo[15] = {0,   32,  48,  56,  64,  80,  96, 112,
                                          128, 160, 192, 224, 256, 320, 384};
    if (index < 0 || index > 14) return 0;
    return layer == 1 ? 32 * index : kLayerTwo[index];
}

int SamplingFrequencyCode(int sampleRateHz) {
    switch (sampleRateHz) {
        case 44100:
            return 0;
        case 48000:
            return 1;
        case 32000:
            return 2;
        default:
            return -1;
    }
}

float ScaleFactorValue(int index) {
    static const std::array<float, kScaleFactorCount> values = [] {
        std::array<float, kScaleFactorCount> made{};
        for (int i = 0; i < kScaleFactorCount; ++i) {
            made[i] = static_cast<float>(std::exp2(1.0 - i / 3.0));
        }
        return made;
    }();
    return values[index];
}

int ScaleFactorIndexFor(float peak) {
    if (!(peak < 2.0f)) return 0;
    if (peak <= ScaleFactorValue(kScaleFactorCount - 1)) return kScaleFactorCount - 1;
    // The estimate from the logarithm can be one off either way at the
    // boundaries; the table decides.
    int index = static_cast<int>(std::floor(3.0 * (1.0 - std::log2(peak))));
    if (index < 0) index = 0;
    if (index > kScaleFactorCount - 1) index = kScaleFactorCount - 1;
    while (index > 0 && ScaleFactorValue(index) < peak) --index;
    while (index < kScaleFactorCount - 1 && ScaleFactorValue(index + 1) >= peak) ++index;
    return index;
}

const QuantClass& LayerTwoClass(int levels) {
    for (const QuantClass& c : Classes()) {
        if (c.levels == levels) return c;
    }
    return Classes()[0];
}

const QuantClass& LayerOneClass(int allocation) {
    // Layer I sends every sample on its own, the 3-level class too.
    static const std::array<QuantClass, 15> classes = [] {
        std::array<QuantClass, 15> made{};
        for (int a = 1; a <= 14; ++a) {
            made[a] = LayerTwoClass((1 << (a + 1)) - 1);
            made[a].grouped = false;
            made[a].codewordBits = a + 1;
        }
        return made;
    }();
    return classes[allocation >= 1 && allocation <= 14 ? allocation : 1];
}

const LayerTwoTable& SelectLayerTwoTable(int samplingCode, int kbpsPerChannel) {
    static const LayerTwoTable kHighRate27 =
        MakeTable(27, {Row{0, 4, kRowHighRateLow}, Row{3, 4, kRowHighRateMid},
                       Row{11, 3, kRowHighRateUpper}, Row{23, 2, kRowHighRateTop}});
    static const LayerTwoTable kHighRate30 =
        MakeTable(30, {Row{0, 4, kRowHighRateLow}, Row{3, 4, kRowHighRateMid},
                       Row{11, 3, kRowHighRateUpper}, Row{23, 2, kRowHighRateTop}});
    static const LayerTwoTable kLowRate8 =
        MakeTable(8, {Row{0, 4, kRowLowRateLow}, Row{2, 3, kRowLowRateUpper}});
    static const LayerTwoTable kLowRate12 =
        MakeTable(12, {Row{0, 4, kRowLowRateLow}, Row{2, 3, kRowLowRateUpper}});

    const bool is48k = samplingCode == 1;
    const bool is32k = samplingCode == 2;
    if ((is48k && kbpsPerChannel >= 56) || (kbpsPerChannel >= 56 && kbpsPerChannel <= 80)) {
        return kHighRate27;
    }
    if (!is48k && kbpsPerChannel >= 96) return kHighRate30;
    if (!is32k && kbpsPerChannel <= 48) return kLowRate8;
    return kLowRate12;
}

}  // namespace korvan::audio
