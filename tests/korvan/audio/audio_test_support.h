// Shared pieces of the audio encoder tests: test signals, encoding from
// memory, and an independent reading of the frames of a stream.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "korvan/mpegenc/audio/audio_encoder.h"
#include "korvan/mpegenc/settings/encoder_settings.h"
#include "tests/support/pcm_compare.h"

namespace audiotest {

// Two tones a fifth apart, different in each channel, with a little noise
// and a click every tenth of a second: something of everything the models
// look at.
inline test::Pcm MakeSignal(int sampleRateHz, int channels, double seconds) {
    test::Pcm pcm;
    pcm.sampleRateHz = sampleRateHz;
    pcm.channels = channels;
    const size_t frames = static_cast<size_t>(seconds * sampleRateHz);
    pcm.samples.resize(frames * channels);
    const double pi = std::acos(-1.0);
    uint32_t noise = 12345;
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / sampleRateHz;
        for (int c = 0; c < channels; ++c) {
            noise = noise * 1664525u + 1013904223u;
            const double hiss = (int32_t(noise) / 2147483648.0) * 0.01;
            const double click = (i % (sampleRateHz / 10)) < 20 ? 0.3 : 0.0;
            const double a = 0.35 * std::sin(2 * pi * (c == 0 ? 440.0 : 554.37) * t);
            const double b = 0.2 * std::sin(2 * pi * (c == 0 ? 660.0 : 2093.0) * t);
            pcm.samples[i * channels + c] =
                static_cast<int16_t>(std::lround(32767 * (a + b + hiss + click) * 0.8));
        }
    }
    return pcm;
}

// The standard allows layer II only some bitrates in each mode: a single
// channel up to 192 kbit/s, two channels from 64 kbit/s but not 80; layer I
// allows all.
inline bool IsBitrateAllowed(int layer, int mode, int index) {
    static const int kLayerTwoKbps[15] = {0,   32,  48,  56,  64,  80,  96, 112,
                                          128, 160, 192, 224, 256, 320, 384};
    if (layer == 1) return true;
    const int kbps = kLayerTwoKbps[index];
    return mode == 3 ? kbps <= 192 : kbps == 64 || kbps >= 96;
}

inline korvan::EncoderSettings AudioSettings(int layer, int mode, int bitrateIndex, int model,
                                             int crc = 0) {
    korvan::EncoderSettings settings;
    settings.audioLayer = layer;
    settings.audioMode = mode;
    settings.audioBitrate = bitrateIndex;
    settings.psychModel = model;
    settings.errorProtection = crc;
    return settings;
}

// Encodes `pcm` into `path`, handing it over in blocks of `blockBytes`.
inline korvan::audio::AudioEncodeResult EncodePcm(const korvan::EncoderSettings& settings,
                                                  const test::Pcm& pcm, const std::string& path,
                                                  size_t blockBytes = 65536) {
    using namespace korvan::audio;
    const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.samples.data());
    const size_t total = pcm.samples.size() * 2;
    size_t offset = 0;
    AudioCallbacks callbacks;
    callbacks.fetch = [&](PcmBlock& block) {
        if (offset >= total) return FetchResult::kEnd;
        block.bytes = bytes + offset;
        block.byteCount = std::min(blockBytes, total - offset);
        offset += block.byteCount;
        return FetchResult::kBlock;
    };
    return EncodeAudioStream(settings, AudioFormat{pcm.sampleRateHz, pcm.channels}, path,
                             callbacks);
}

// One frame header as read from the stream, with the frame's length worked
// out from the standard's formula.
struct FrameHeaderInfo {
    size_t offset = 0;
    size_t length = 0;
    int layer = 0;
    bool protectedByCrc = false;
    int bitrateIndex = 0;
    int samplingCode = 0;
    bool padded = false;
    int privateBit = 0;
    int mode = 0;
    int modeExtension = 0;
    int copyrightBit = 0;
    int originalBit = 0;
    int emphasis = 0;
};

// Walks the stream frame by frame from its first byte; stops at the first
// position that holds no valid header (`complete` is then false unless that
// position is the stream's end).
inline std::vector<FrameHeaderInfo> ReadFrames(const std::string& stream, bool* complete) {
    static const int kLayerOneKbps[15] = {0,   32,  64,  96,  128, 160, 192, 224,
                                          256, 288, 320, 352, 384, 416, 448};
    static const int kLayerTwoKbps[15] = {0,   32,  48,  56,  64,  80,  96, 112,
                                          128, 160, 192, 224, 256, 320, 384};
    static const int kRates[3] = {44100, 48000, 32000};
    std::vector<FrameHeaderInfo> frames;
    size_t at = 0;
    *complete = false;
    while (at + 4 <= stream.size()) {
        const auto* p = reinterpret_cast<const uint8_t*>(stream.data() + at);
        if (p[0] != 0xFF || (p[1] & 0xF0) != 0xF0 || !(p[1] & 0x08)) break;
        FrameHeaderInfo f;
        f.offset = at;
        f.layer = 4 - ((p[1] >> 1) & 3);
        f.protectedByCrc = !(p[1] & 1);
        f.bitrateIndex = p[2] >> 4;
        f.samplingCode = (p[2] >> 2) & 3;
        f.padded = (p[2] >> 1) & 1;
        f.privateBit = p[2] & 1;
        f.mode = p[3] >> 6;
        f.modeExtension = (p[3] >> 4) & 3;
        f.copyrightBit = (p[3] >> 3) & 1;
        f.originalBit = (p[3] >> 2) & 1;
        f.emphasis = p[3] & 3;
        if (f.layer < 1 || f.layer > 2 || f.bitrateIndex < 1 || f.bitrateIndex > 14 ||
            f.samplingCode > 2) {
            break;
        }
        const int rate = kRates[f.samplingCode];
        if (f.layer == 1) {
            f.length = (12 * kLayerOneKbps[f.bitrateIndex] * 1000 / rate + f.padded) * 4;
        } else {
            f.length = 144 * kLayerTwoKbps[f.bitrateIndex] * 1000 / rate + f.padded;
        }
        if (at + f.length > stream.size()) break;
        frames.push_back(f);
        at += f.length;
    }
    *complete = at == stream.size();
    return frames;
}

}  // namespace audiotest
