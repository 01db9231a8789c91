#include "korvan/mpegenc/audio/frame_packer.h"

#include <algorithm>

#include "korvan/mpegenc/audio/audio_crc.h"
#include "korvan/mpegenc/common/bit_writer.h"

namespace korvan::audio {

namespace {

constexpr int kCrcBits = 16;

void WriteHeader(const FrameHeader& h, BitWriter& w) {
    w.Put(0xFFF, 12);
    w.Put(1, 1);  // ID: MPEG-1
    w.Put(h.layer == 1 ? 3 : 2, 2);
    w.Put(h.errorProtection ? 0 : 1, 1);
    w.Put(h.bitrateIndex, 4);
    w.Put(h.samplingCode, 2);
    w.Put(h.padded ? 1 : 0, 1);
    w.Put(h.privateBit, 1);
    w.Put(h.mode, 2);
    w.Put(h.modeExtension, 2);
    w.Put(h.copyrightBit, 1);
    w.Put(h.originalBit, 1);
    w.Put(h.emphasis, 2);
}

// The midtread quantiser: -1..1 in `levels` equal steps, codes 0..levels-1.
inline int Quantize(float sample, float scaleToSteps, int levels) {
    const float t = sample * scaleToSteps + 0.5f * levels;
    const int code = static_cast<int>(t);
    return std::clamp(code, 0, levels - 1);
}

class Packer {
public:
    Packer(const FrameContent& frame, BitWriter& writer)
        : f_(frame),
          in_(*frame.layout),
          q_(*frame.layout->quantizers),
          alloc_(frame.allocation->value),
          w_(writer) {}

    // Returns the bits of the side information the check word covers.
    int WriteSideInfo() {
        const int start = static_cast<int>(w_.BitCount());
        for (int sb = 0; sb < q_.sblimit; ++sb) {
            for (int ch = 0; ch < ChannelsAt(sb); ++ch)
                w_.Put(alloc_[ch][sb], q_.bands[sb].fieldBits);
        }
        if (q_.layer == 2) {
            for (int sb = 0; sb < q_.sblimit; ++sb) {
                for (int ch = 0; ch < in_.channels; ++ch) {
                    if (alloc_[ch][sb]) w_.Put(f_.patterns[ch][sb].selection, 2);
                }
            }
        }
        return static_cast<int>(w_.BitCount()) - start;
    }

    void WriteScaleFactors() {
        for (int sb = 0; sb < q_.sblimit; ++sb) {
            for (int ch = 0; ch < in_.channels; ++ch) {
                if (!alloc_[ch][sb]) continue;
                const ScaleFactorPattern& p = f_.patterns[ch][sb];
                if (q_.layer == 1) {
                    w_.Put(p.used[0], 6);
                    continue;
                }
                switch (p.selection) {
                    case 0:
                        w_.Put(p.used[0], 6);
                        w_.Put(p.used[1], 6);
                        w_.Put(p.used[2], 6);
                        break;
                    case 1:
                        w_.Put(p.used[0], 6);
                        w_.Put(p.used[2], 6);
                        break;
                    case 2:
                        w_.Put(p.used[0], 6);
                        break;
                    default:
                        w_.Put(p.used[0], 6);
                        w_.Put(p.used[1], 6);
                        break;
                }
            }
        }
    }

    void WriteSamples() {
        PrepareSteps();
        if (q_.layer == 1) {
            for (int slot = 0; slot < 12; ++slot) {
                for (int sb = 0; sb < q_.sblimit; ++sb) {
                    for (int ch = 0; ch < ChannelsAt(sb); ++ch) {
                        if (!alloc_[ch][sb]) continue;
                        const QuantClass* c = q_.bands[sb].classes[alloc_[ch][sb]];
                        w_.Put(Code(ch, sb, 0, slot, c->levels), c->codewordBits);
                    }
                }
            }
            return;
        }
        for (int granule = 0; granule < 12; ++granule) {
            const int part = granule / 4;
            for (int sb = 0; sb < q_.sblimit; ++sb) {
                for (int ch = 0; ch < ChannelsAt(sb); ++ch) {
                    if (!alloc_[ch][sb]) continue;
                    const QuantClass* c = q_.bands[sb].classes[alloc_[ch][sb]];
                    const int slot = granule * 3;
                    const int a = Code(ch, sb, part, slot, c->levels);
                    const int b = Code(ch, sb, part, slot + 1, c->levels);
                    const int d = Code(ch, sb, part, slot + 2, c->levels);
                    if (c->grouped) {
                        w_.Put(static_cast<uint32_t>(a + c->levels * (b + c->levels * d)),
                               c->codewordBits);
                    } else {
                        w_.Put(a, c->codewordBits);
                        w_.Put(b, c->codewordBits);
                        w_.Put(d, c->codewordBits);
                    }
                }
            }
        }
    }

private:
    // From the bound on, one field and one set of samples serve both
    // channels.
    int ChannelsAt(int sb) const { return sb < in_.bound ? in_.channels : 1; }
    bool Shared(int sb) const { return sb >= in_.bound; }

    void PrepareSteps() {
        const int parts = q_.layer == 1 ? 1 : 3;
        for (int sb = 0; sb < q_.sblimit; ++sb) {
            for (int ch = 0; ch < ChannelsAt(sb); ++ch) {
                if (!alloc_[ch][sb]) continue;
                const int levels = q_.bands[sb].classes[alloc_[ch][sb]]->levels;
                for (int part = 0; part < parts; ++part) {
                    const int index = Shared(sb) ? f_.sharedScale[part * kSubbands + sb]
                                                 : f_.patterns[ch][sb].used[part];
                    steps_[ch][part][sb] = levels / (2.0f * ScaleFactorValue(index));
                }
            }
        }
    }

    int Code(int ch, int sb, int part, int slot, int levels) const {
        const float* samples = Shared(sb) ? f_.sharedSamples : f_.samples[ch];
        return Quantize(samples[slot * kSubbands + sb], steps_[ch][part][sb], levels);
    }

    const FrameContent& f_;
    const AllocationInput& in_;
    const QuantizerTable& q_;
    const std::array<std::array<int, kSubbands>, kMaxChannels>& alloc_;
    BitWriter& w_;
    float steps_[kMaxChannels][3][kSubbands] = {};
};

}  // namespace

int PackFrame(const FrameContent& frame, int frameBits, std::vector<uint8_t>& out) {
    BitWriter writer;
    WriteHeader(frame.header, writer);
    if (frame.header.errorProtection) writer.Put(0, kCrcBits);
    Packer packer(frame, writer);
    const int sideInfoBits = packer.WriteSideInfo();
    packer.WriteScaleFactors();
    packer.WriteSamples();
    const int used = static_cast<int>(writer.BitCount());
    writer.AlignToByte();
    std::vector<uint8_t> bytes = writer.TakeBytes();
    bytes.resize(frameBits / 8, 0);
    if (frame.header.errorProtection) {
        const uint16_t crc = FrameCrc(bytes.data(), sideInfoBits);
        bytes[4] = static_cast<uint8_t>(crc >> 8);
        bytes[5] = static_cast<uint8_t>(crc & 0xFF);
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
    return used;
}

}  // namespace korvan::audio
