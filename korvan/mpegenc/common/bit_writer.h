// Writes bit fields most significant bit first into a growing byte buffer,
// the order every MPEG syntax element uses. The video coder, the audio coder
// and the multiplexer all write through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvan {

class BitWriter {
public:
    // Appends the low `bits` bits of `value` (0 <= bits <= 32).
    void Put(uint32_t value, int bits) {
        if (bits <= 0) return;
        const uint64_t field = bits == 32 ? value : (value & ((uint32_t{1} << bits) - 1));
        accumulator_ = (accumulator_ << bits) | field;
        pending_ += bits;
        while (pending_ >= 8) {
            pending_ -= 8;
            bytes_.push_back(static_cast<uint8_t>(accumulator_ >> pending_));
        }
    }

    void PutBit(bool bit) { Put(bit ? 1u : 0u, 1); }

    // Pads with zero bits to the next byte boundary.
    void AlignToByte() {
        if (pending_ > 0) Put(0, 8 - pending_);
    }

    bool IsByteAligned() const { return pending_ == 0; }
    // Every bit written, including bytes already handed out by TakeBytes.
    uint64_t BitCount() const {
        return (takenBytes_ + bytes_.size()) * 8 + static_cast<unsigned>(pending_);
    }

    // The whole bytes written so far (a partial last byte is not included).
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

    // Hands out the whole bytes and keeps a partial byte pending, so a long
    // stream can be written to a file in pieces.
    std::vector<uint8_t> TakeBytes() {
        std::vector<uint8_t> taken;
        taken.swap(bytes_);
        takenBytes_ += taken.size();
        return taken;
    }

private:
    std::vector<uint8_t> bytes_;
    uint64_t takenBytes_ = 0;
    uint64_t accumulator_ = 0;
    int pending_ = 0;  // bits in the accumulator not yet in bytes_ (0..7)
};

}  // namespace korvan
