#include "sdk/foxburner/stream_facts.h"

#include <array>
#include <cstdint>
#include <string>

namespace foxburner {
namespace {

constexpr std::size_t kMaxVideoBytes = 256 * 1024;
constexpr std::size_t kMaxAudioBytes = 16 * 1024;

std::uint8_t At(std::string_view bytes, std::size_t i) {
    return static_cast<std::uint8_t>(bytes[i]);
}

bool IsStartCode(std::string_view bytes, std::size_t i) {
    return i + 3 < bytes.size() && At(bytes, i) == 0 && At(bytes, i + 1) == 0 &&
           At(bytes, i + 2) == 1;
}

constexpr std::array<double, 9> kFrameRates = {0,  24000.0 / 1001, 24, 25, 30000.0 / 1001, 30,
                                               50, 60000.0 / 1001, 60};

// The sequence extension, when it is the next start code after the header
// at `at` (quantiser matrices may lie between them).
void ReadSequenceExtension(std::string_view es, std::size_t at, VideoFacts& video) {
    for (std::size_t i = at; i + 9 < es.size(); ++i) {
        if (!IsStartCode(es, i)) continue;
        if (At(es, i + 3) != 0xB5 || (At(es, i + 4) >> 4) != 1) return;
        const std::size_t e = i + 4;
        const int horizontalExtension = ((At(es, e + 1) & 0x01) << 1) | (At(es, e + 2) >> 7);
        const int verticalExtension = (At(es, e + 2) >> 5) & 0x03;
        const long long bitRateExtension = ((At(es, e + 2) & 0x1F) << 7) | (At(es, e + 3) >> 1);
        const int rateN = (At(es, e + 5) >> 5) & 0x03;
        const int rateD = At(es, e + 5) & 0x1F;
        video.mpegVersion = 2;
        video.width += horizontalExtension << 12;
        video.height += verticalExtension << 12;
        video.bitRate += (bitRateExtension << 18) * 400;
        video.frameRate = video.frameRate * (rateN + 1) / (rateD + 1);
        return;
    }
}

VideoFacts ReadVideoFacts(std::string_view es) {
    VideoFacts video;
    for (std::size_t i = 0; i + 12 <= es.size(); ++i) {
        if (!IsStartCode(es, i) || At(es, i + 3) != 0xB3) continue;
        const std::size_t h = i + 4;
        const int width = (At(es, h) << 4) | (At(es, h + 1) >> 4);
        const int height = ((At(es, h + 1) & 0x0F) << 8) | At(es, h + 2);
        const int frameRateCode = At(es, h + 3) & 0x0F;
        // A header with impossible values is a chance match of the bytes.
        if (width == 0 || height == 0 || frameRateCode == 0 || frameRateCode > 8) continue;
        video.found = true;
        video.mpegVersion = 1;
        video.width = width;
        video.height = height;
        video.aspectRatioCode = At(es, h + 3) >> 4;
        video.frameRateCode = frameRateCode;
        video.frameRate = kFrameRates[static_cast<std::size_t>(frameRateCode)];
        const long long rateValue =
            (At(es, h + 4) << 10) | (At(es, h + 5) << 2) | (At(es, h + 6) >> 6);
        video.bitRate = rateValue * 400;
        // After the header: two quantiser matrices at most (2 x 64 bytes).
        std::size_t after = h + 8;
        const bool intraMatrix = (At(es, h + 7) & 0x02) != 0;
        if (intraMatrix) after += 64;
        if (after <= es.size()) ReadSequenceExtension(es, after, video);
        // Only MPEG-1 has a "variable" marker; in MPEG-2 all ones is a rate.
        video.variableBitRate = video.mpegVersion == 1 && rateValue == 0x3FFFF;
        return video;
    }
    return video;
}

int AudioBitRateKbps(int version, int layer, int index) {
    static constexpr int kVersion1[3][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
    static constexpr int kVersion2[2][15] = {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};
    if (version == 1) return kVersion1[layer - 1][index];
    return kVersion2[layer == 1 ? 0 : 1][index];
}

struct AudioHeader {
    AudioFacts facts;
    std::size_t frameBytes = 0;
};

// The MPEG audio frame header at `i`, if there is a valid one.
bool ReadAudioHeader(std::string_view es, std::size_t i, AudioHeader& header) {
    if (i + 4 > es.size() || At(es, i) != 0xFF || (At(es, i + 1) & 0xE0) != 0xE0) return false;
    const int versionBits = (At(es, i + 1) >> 3) & 0x03;
    const int layerBits = (At(es, i + 1) >> 1) & 0x03;
    const int bitRateIndex = At(es, i + 2) >> 4;
    const int sampleRateIndex = (At(es, i + 2) >> 2) & 0x03;
    // Free format (index 0) has no frame length to check against.
    if (versionBits == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 ||
        sampleRateIndex == 3) {
        return false;
    }
    static constexpr int kSampleRates[3] = {44100, 48000, 32000};
    const int version = versionBits == 3 ? 1 : 2;
    const int divisor = versionBits == 3 ? 1 : (versionBits == 2 ? 2 : 4);
    const int layer = 4 - layerBits;
    const int sampleRate = kSampleRates[sampleRateIndex] / divisor;
    const int bitRate = AudioBitRateKbps(version, layer, bitRateIndex) * 1000;
    const int padding = (At(es, i + 2) >> 1) & 0x01;
    std::size_t frameBytes = 0;
    if (layer == 1) {
        frameBytes = static_cast<std::size_t>((12 * bitRate / sampleRate + padding) * 4);
    } else {
        const int factor = layer == 3 && version != 1 ? 72 : 144;
        frameBytes = static_cast<std::size_t>(factor * bitRate / sampleRate + padding);
    }
    header.facts.found = true;
    header.facts.layer = layer;
    header.facts.sampleRateHz = sampleRate;
    header.facts.bitRate = bitRate;
    header.facts.channels = (At(es, i + 3) >> 6) == 3 ? 1 : 2;
    header.frameBytes = frameBytes;
    return true;
}

AudioFacts ReadAudioFacts(std::string_view es) {
    for (std::size_t i = 0; i + 4 <= es.size(); ++i) {
        AudioHeader header;
        if (!ReadAudioHeader(es, i, header)) continue;
        // A header counts when the next frame starts where this one ends
        // (or the bytes end before it).
        AudioHeader next;
        const std::size_t following = i + header.frameBytes;
        if (following + 4 > es.size() || ReadAudioHeader(es, following, next)) {
            return header.facts;
        }
    }
    return {};
}

// The payload of a PES packet (MPEG-1 or MPEG-2 header) in [begin, end).
std::string_view PesPayload(std::string_view bytes, std::size_t begin, std::size_t end) {
    std::size_t i = begin;
    if (i < end && (At(bytes, i) & 0xC0) == 0x80) {
        if (i + 3 > end) return {};
        i += 3 + At(bytes, i + 2);
        return i <= end ? bytes.substr(i, end - i) : std::string_view();
    }
    while (i < end && At(bytes, i) == 0xFF) ++i;
    if (i < end && (At(bytes, i) & 0xC0) == 0x40) i += 2;
    if (i < end) {
        const std::uint8_t flags = At(bytes, i) & 0xF0;
        if (flags == 0x20) {
            i += 5;
        } else if (flags == 0x30) {
            i += 10;
        } else if (At(bytes, i) == 0x0F) {
            i += 1;
        }
    }
    return i <= end ? bytes.substr(i, end - i) : std::string_view();
}

}  // namespace

StreamFacts ReadStreamFacts(std::string_view bytes) {
    StreamFacts facts;
    std::string video;
    std::string audio;
    int audioStream = -1;
    std::size_t i = 0;
    while (i + 4 <= bytes.size()) {
        if (!IsStartCode(bytes, i)) {
            ++i;
            continue;
        }
        const std::uint8_t code = At(bytes, i + 3);
        if (code == 0xBA) {
            if (i + 5 > bytes.size()) break;
            const std::uint8_t marker = At(bytes, i + 4);
            if ((marker & 0xC0) == 0x40) {
                if (i + 14 > bytes.size()) break;
                if (facts.packVersion == 0) facts.packVersion = 2;
                i += 14 + (At(bytes, i + 13) & 0x07);
            } else if ((marker & 0xF0) == 0x20) {
                if (facts.packVersion == 0) facts.packVersion = 1;
                i += 12;
            } else {
                ++i;
            }
            continue;
        }
        if (code < 0xBB) {
            ++i;
            continue;
        }
        if (i + 6 > bytes.size()) break;
        const std::size_t length =
            (static_cast<std::size_t>(At(bytes, i + 4)) << 8) | At(bytes, i + 5);
        const std::size_t begin = i + 6;
        const std::size_t end = std::min(begin + length, bytes.size());
        if (code >= 0xE0 && code <= 0xEF && video.size() < kMaxVideoBytes) {
            video += PesPayload(bytes, begin, end);
        } else if (code >= 0xC0 && code <= 0xDF && audio.size() < kMaxAudioBytes &&
                   (audioStream < 0 || audioStream == code)) {
            audioStream = code;
            audio += PesPayload(bytes, begin, end);
        } else if (code == 0xBD) {
            facts.privateStreamAudio = true;
        }
        i = begin + length;
    }
    // Without a multiplex the bytes may be an elementary stream: its facts
    // still tell the user what the file is.
    facts.video = ReadVideoFacts(facts.packVersion != 0 ? std::string_view(video) : bytes);
    facts.audio = ReadAudioFacts(audio);
    return facts;
}

}  // namespace foxburner
