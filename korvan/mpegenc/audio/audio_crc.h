// The 16-bit check word of protected MPEG audio frames.
#pragma once

#include <cstdint>

namespace korvan::audio {

// CRC with generator x^16 + x^15 + x^2 + 1, starting from all ones, fed most
// significant bit first.
class AudioCrc {
public:
    // Feeds `bitCount` bits of `bytes`, starting at bit `firstBit` (bit 0 is
    // the most significant bit of bytes[0]).
    void AddBits(const uint8_t* bytes, int firstBit, int bitCount);
    uint16_t Value() const { return crc_; }

private:
    uint16_t crc_ = 0xFFFF;
};

// The check word of a frame in `frame`: it covers the header after the
// syncword, ID, layer and protection bit (bits 16..31), then the
// `sideInfoBits` bits that follow the check word itself (bit allocation and,
// in layer II, scale factor selection).
uint16_t FrameCrc(const uint8_t* frame, int sideInfoBits);

}  // namespace korvan::audio
