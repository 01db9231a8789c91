#include "korvan/mpegenc/audio/bit_allocation.h"

#include <algorithm>

namespace korvan::audio {

namespace {

// One allocation field: a subband of one channel, or from the bound on a
// subband both channels share (channel -1).
struct Unit {
    int subband;
    int channel;
    float smrDb;
    int sideBits;  // selection and scale factors sent with the first step
};

// At most one unit per subband and channel.
struct Units {
    std::array<Unit, kSubbands * kMaxChannels> list;
    int count = 0;
};

int SideBits(const AllocationInput& input, int channel, int subband) {
    if (input.quantizers->layer == 1) return 6;
    return 2 + 6 * input.scaleFactorsSent[channel][subband];
}

void MakeUnits(const AllocationInput& input, Units& units) {
    units.count = 0;
    for (int sb = 0; sb < input.quantizers->sblimit; ++sb) {
        if (sb < input.bound) {
            for (int ch = 0; ch < input.channels; ++ch) {
                units.list[units.count++] = {sb, ch, input.smrDb[ch][sb], SideBits(input, ch, sb)};
            }
            continue;
        }
        Unit unit{sb, -1, input.smrDb[0][sb], 0};
        for (int ch = 0; ch < input.channels; ++ch) {
            unit.smrDb = std::max(unit.smrDb, input.smrDb[ch][sb]);
            unit.sideBits += SideBits(input, ch, sb);
        }
        units.list[units.count++] = unit;
    }
}

int StepBits(const QuantizerTable::Band& band, const Unit& unit, int value) {
    const int samples = band.sampleBits[value + 1] - band.sampleBits[value];
    return value == 0 ? samples + unit.sideBits : samples;
}

}  // namespace

QuantizerTable MakeQuantizerTable(int layer, const LayerTwoTable* table) {
    QuantizerTable q;
    q.layer = layer;
    q.sblimit = layer == 1 ? kSubbands : table->sblimit;
    for (int sb = 0; sb < q.sblimit; ++sb) {
        QuantizerTable::Band& band = q.bands[sb];
        band.fieldBits = layer == 1 ? 4 : table->allocationBits[sb];
        band.maxValue = layer == 1 ? 14 : (1 << band.fieldBits) - 1;
        for (int value = 1; value <= band.maxValue; ++value) {
            const QuantClass& c =
                layer == 1 ? LayerOneClass(value) : LayerTwoClass(table->levels[sb][value]);
            band.classes[value] = &c;
            band.snrDb[value] = c.snrDb;
            // Layer I frames hold 12 samples per subband, layer II frames 36,
            // grouped classes three to a codeword.
            band.sampleBits[value] = layer == 1  ? 12 * c.codewordBits
                                     : c.grouped ? 12 * c.codewordBits
                                                 : 36 * c.codewordBits;
        }
    }
    return q;
}

int AllocationFieldBits(const AllocationInput& input) {
    const QuantizerTable& q = *input.quantizers;
    int bits = 0;
    for (int sb = 0; sb < q.sblimit; ++sb) {
        bits += q.bands[sb].fieldBits * (sb < input.bound ? input.channels : 1);
    }
    return bits;
}

Allocation AllocateBits(const AllocationInput& input) {
    const QuantizerTable& q = *input.quantizers;
    Units units;
    MakeUnits(input, units);
    // Candidates in a heap, lowest noise-to-mask margin on top; of equal
    // margins the lower subband goes first.
    struct Candidate {
        float mnr;
        int unit;
    };
    auto after = [](const Candidate& a, const Candidate& b) {
        return a.mnr > b.mnr || (a.mnr == b.mnr && a.unit > b.unit);
    };
    Candidate heap[kSubbands * kMaxChannels];
    int heapSize = 0;
    int value[kSubbands * kMaxChannels] = {};
    for (int u = 0; u < units.count; ++u) {
        if (q.bands[units.list[u].subband].maxValue > 0) {
            heap[heapSize++] = {-units.list[u].smrDb, u};
        }
    }
    std::make_heap(heap, heap + heapSize, after);
    int used = AllocationFieldBits(input);
    while (heapSize > 0) {
        std::pop_heap(heap, heap + heapSize, after);
        const int u = heap[--heapSize].unit;
        const Unit& unit = units.list[u];
        const QuantizerTable::Band& band = q.bands[unit.subband];
        const int step = StepBits(band, unit, value[u]);
        if (used + step > input.availableBits) continue;
        used += step;
        if (++value[u] < band.maxValue) {
            heap[heapSize++] = {band.snrDb[value[u]] - unit.smrDb, u};
            std::push_heap(heap, heap + heapSize, after);
        }
    }
    Allocation result;
    for (int u = 0; u < units.count; ++u) {
        for (int ch = 0; ch < input.channels; ++ch) {
            if (units.list[u].channel < 0 || units.list[u].channel == ch) {
                result.value[ch][units.list[u].subband] = value[u];
            }
        }
    }
    result.bitsUsed = used;
    return result;
}

int BitsForMaskedNoise(const AllocationInput& input) {
    const QuantizerTable& q = *input.quantizers;
    Units units;
    MakeUnits(input, units);
    int bits = AllocationFieldBits(input);
    for (int u = 0; u < units.count; ++u) {
        const Unit& unit = units.list[u];
        const QuantizerTable::Band& band = q.bands[unit.subband];
        for (int v = 0; v < band.maxValue && band.snrDb[v] < unit.smrDb; ++v) {
            bits += StepBits(band, unit, v);
        }
    }
    return bits;
}

}  // namespace korvan::audio
