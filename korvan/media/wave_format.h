// The audio format record of the readers and the AVI writer: the fields of
// a WAVEFORMATEX. The readers only hand out PCM.
#pragma once

#include <cstdint>

namespace korvan::media {

inline constexpr uint16_t kWaveFormatPcm = 1;

struct WaveFormat {
    uint16_t formatTag = kWaveFormatPcm;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;  // bytes of one sample frame
    uint16_t bitsPerSample = 0;
};

constexpr WaveFormat PcmFormat(uint32_t samplesPerSec, uint16_t channels, uint16_t bitsPerSample) {
    const auto blockAlign = static_cast<uint16_t>(channels * (bitsPerSample / 8));
    return WaveFormat{kWaveFormatPcm, channels,     samplesPerSec, samplesPerSec * blockAlign,
                      blockAlign,     bitsPerSample};
}

// What the encoder takes, and what a source without sound is read as.
inline constexpr WaveFormat kEncoderPcmFormat = PcmFormat(44100, 2, 16);

}  // namespace korvan::media
