#include "korvan/mpegenc/audio/audio_crc.h"

namespace korvan::audio {

void AudioCrc::AddBits(const uint8_t* bytes, int firstBit, int bitCount) {
    constexpr uint16_t kGenerator = 0x8005;
    for (int i = firstBit; i < firstBit + bitCount; ++i) {
        const bool bit = (bytes[i >> 3] >> (7 - (i & 7))) & 1;
        const bool top = (crc_ & 0x8000) != 0;
        crc_ = static_cast<uint16_t>(crc_ << 1);
        if (top != bit) crc_ ^= kGenerator;
    }
}

uint16_t FrameCrc(const uint8_t* frame, int sideInfoBits) {
    AudioCrc crc;
    crc.AddBits(frame, 16, 16);
    crc.AddBits(frame, 48, sideInfoBits);
    return crc.Value();
}

}  // namespace korvan::audio
