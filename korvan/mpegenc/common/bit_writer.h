// Writes bit fields most significant bit first into a growing byte buffer,
// the order every MPEG syntax element uses. The video coder, the audio coder
// and the multiplexer all write through it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
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
        if (pending_ < 8) return;
        // The whole bytes (one to four) go out as one big-endian word, of
        // which only they count.
        const int whole = pending_ >> 3;
        pending_ &= 7;
        const uint32_t word = __builtin_bswap32(
            static_cast<uint32_t>((accumulator_ >> pending_) << (32 - 8 * whole)));
        std::memcpy(stage_ + staged_, &word, 4);
        staged_ += whole;
        if (staged_ >= kStageBytes) Spill();
    }

    void PutBit(bool bit) { Put(bit ? 1u : 0u, 1); }

    // Appends `bits` bits held in whole 32-bit words, first bit most
    // significant, the last word's remainder in its low bits.
    void PutWords(const uint32_t* words, uint32_t bits) {
        for (; bits >= 32; bits -= 32) {
            // A whole word moves four whole bytes out and leaves the bits
            // pending as they were.
            accumulator_ = (accumulator_ << 32) | *words++;
            const uint32_t word =
                __builtin_bswap32(static_cast<uint32_t>(accumulator_ >> pending_));
            std::memcpy(stage_ + staged_, &word, 4);
            staged_ += 4;
            if (staged_ >= kStageBytes) Spill();
        }
        if (bits > 0) Put(*words, static_cast<int>(bits));
    }

    // Appends `bits` zero bits: a stretch whose length matters and whose
    // content does not.
    void PutZeros(uint64_t bits) {
        const int head = static_cast<int>(std::min<uint64_t>(bits, (8 - pending_) & 7));
        Put(0, head);
        bits -= static_cast<uint64_t>(head);
        if (bits >= 8) {
            Spill();
            bytes_.resize(bytes_.size() + static_cast<size_t>(bits / 8));
            bits &= 7;
        }
        Put(0, static_cast<int>(bits));
    }

    // Pads with zero bits to the next byte boundary.
    void AlignToByte() {
        if (pending_ > 0) Put(0, 8 - pending_);
    }

    bool IsByteAligned() const { return pending_ == 0; }
    // Every bit written, including bytes already handed out by TakeBytes.
    uint64_t BitCount() const {
        return (takenBytes_ + bytes_.size() + static_cast<unsigned>(staged_)) * 8 +
               static_cast<unsigned>(pending_);
    }

    // The whole bytes written so far (a partial last byte is not included).
    const std::vector<uint8_t>& Bytes() const {
        Spill();
        return bytes_;
    }

    // Hands out the whole bytes and keeps a partial byte pending, so a long
    // stream can be written to a file in pieces.
    std::vector<uint8_t> TakeBytes() {
        Spill();
        std::vector<uint8_t> taken;
        taken.swap(bytes_);
        takenBytes_ += taken.size();
        return taken;
    }

    // Hands out the whole bytes before absolute byte `end` (at most all
    // whole bytes held), keeping the rest: what may still be rewritten stays.
    std::vector<uint8_t> TakeBytesBefore(uint64_t end) {
        Spill();
        if (end <= takenBytes_) return {};
        const size_t count =
            static_cast<size_t>(std::min<uint64_t>(end - takenBytes_, bytes_.size()));
        std::vector<uint8_t> taken(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(count));
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<ptrdiff_t>(count));
        takenBytes_ += count;
        return taken;
    }

    // A point to come back to, so that a stretch of the stream can be
    // written again.
    struct Position {
        uint64_t bytes = 0;  // whole bytes written before it
        uint64_t accumulator = 0;
        int pending = 0;
    };
    Position Save() const {
        Spill();
        return {takenBytes_ + bytes_.size(), accumulator_, pending_};
    }

    // Drops everything written after `position`. Fails (and changes
    // nothing) when bytes after it were already handed out.
    bool Restore(const Position& position) {
        Spill();
        if (position.bytes < takenBytes_ || position.bytes > takenBytes_ + bytes_.size())
            return false;
        bytes_.resize(static_cast<size_t>(position.bytes - takenBytes_));
        accumulator_ = position.accumulator;
        pending_ = position.pending;
        return true;
    }

private:
    // Whole bytes gather in a small array first and move to bytes_ in
    // bulk: appending to the vector a byte at a time was the block coder's
    // main cost.
    static constexpr int kStageBytes = 256;
    void Spill() const {
        bytes_.insert(bytes_.end(), stage_, stage_ + staged_);
        staged_ = 0;
    }

    mutable std::vector<uint8_t> bytes_;
    mutable uint8_t stage_[kStageBytes + 4] = {};  // room for one word past the mark
    mutable int staged_ = 0;
    uint64_t takenBytes_ = 0;
    uint64_t accumulator_ = 0;
    int pending_ = 0;  // bits in the accumulator not yet in whole bytes (0..7)
};

}  // namespace korvan
