// 16-bit PCM helpers for checking coded audio: reading WAV files, decoding
// a stream with ffmpeg, and the signal-to-noise ratio of a decoded result
// against its input once the coder's delay is taken out.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/program_lookup.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace test {

struct Pcm {
    int sampleRateHz = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
    size_t Frames() const { return channels > 0 ? samples.size() / channels : 0; }
};

// Reads a 16-bit PCM WAV file; an empty result for anything else.
inline Pcm ReadWav(const std::string& path) {
    Pcm pcm;
    const std::string data = ReadFile(path);
    auto u16 = [&](size_t at) {
        return uint32_t(uint8_t(data[at])) | uint32_t(uint8_t(data[at + 1])) << 8;
    };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    if (data.size() < 12 || data.compare(0, 4, "RIFF") != 0 || data.compare(8, 4, "WAVE") != 0) {
        return pcm;
    }
    size_t at = 12;
    bool formatOk = false;
    while (at + 8 <= data.size()) {
        const uint32_t length = u32(at + 4);
        const size_t body = at + 8;
        if (data.compare(at, 4, "fmt ") == 0 && body + 16 <= data.size()) {
            const uint32_t format = u16(body);
            pcm.channels = static_cast<int>(u16(body + 2));
            pcm.sampleRateHz = static_cast<int>(u32(body + 4));
            formatOk = (format == 1 || format == 0xFFFE) && u16(body + 14) == 16;
        } else if (data.compare(at, 4, "data") == 0 && formatOk) {
            const size_t bytes = std::min<size_t>(length, data.size() - body) / 2 * 2;
            pcm.samples.resize(bytes / 2);
            std::memcpy(pcm.samples.data(), data.data() + body, bytes);
            return pcm;
        }
        at = body + length + (length & 1);
    }
    return Pcm{};
}

// Decodes `stream` with ffmpeg to interleaved 16-bit PCM with `channels`
// channels; `errors` receives what ffmpeg printed.
inline Pcm DecodeWithFfmpeg(const std::string& stream, int channels, std::string* errors) {
    TempDir folder("zarvo decode");
    const std::string raw = folder / "decoded.raw";
    const ProgramRun run =
        RunProgram({platform::FindProgram("ffmpeg", ""), "-nostdin", "-v", "error", "-i", stream,
                    "-f", "s16le", "-ac", std::to_string(channels), raw});
    if (errors) *errors = run.out + run.err;
    Pcm pcm;
    pcm.channels = channels;
    const std::string data = ReadFile(raw);
    pcm.samples.resize(data.size() / 2);
    std::memcpy(pcm.samples.data(), data.data(), pcm.samples.size() * 2);
    return pcm;
}

struct AlignedSnr {
    int delay = 0;  // decoded sample frames before the input's first
    double snrDb = 0;
};

// The SNR of `decoded` against `reference` (same channel count) at the
// delay, up to `maxDelay` sample frames, that fits them best. The delay is
// found on the loudest stretch of up to a second, then the SNR is taken over
// everything both hold.
inline AlignedSnr CompareAligned(const Pcm& reference, const Pcm& decoded, int maxDelay) {
    const int ch = reference.channels;
    const size_t n = reference.Frames();
    const size_t m = decoded.Frames();
    AlignedSnr best{0, -1e9};
    if (ch <= 0 || decoded.channels != ch || n == 0 || m == 0) return best;
    const size_t probe = std::min<size_t>(n, static_cast<size_t>(reference.sampleRateHz));
    // Start of the probe: the loudest of the first eight seconds' one-second
    // stretches, so a silent start does not decide the delay.
    size_t probeStart = 0;
    double loudest = -1;
    for (size_t start = 0; start + probe <= n && start < 8 * probe; start += probe / 2 + 1) {
        double energy = 0;
        for (size_t i = start; i < start + probe; i += 7) {
            energy += double(reference.samples[i * ch]) * reference.samples[i * ch];
        }
        if (energy > loudest) {
            loudest = energy;
            probeStart = start;
        }
    }
    auto snrAt = [&](int delay, size_t first, size_t count) {
        double signal = 0;
        double noise = 0;
        for (size_t i = first; i < first + count && i < n && i + delay < m; ++i) {
            for (int c = 0; c < ch; ++c) {
                const double a = reference.samples[i * ch + c];
                const double b = decoded.samples[(i + delay) * ch + c];
                signal += a * a;
                noise += (a - b) * (a - b);
            }
        }
        return 10.0 * std::log10((signal + 1e-9) / (noise + 1e-9));
    };
    for (int delay = 0; delay <= maxDelay; ++delay) {
        const double snr = snrAt(delay, probeStart, probe);
        if (snr > best.snrDb) best = {delay, snr};
    }
    best.snrDb = snrAt(best.delay, 0, n);
    return best;
}

}  // namespace test
