#include "korvan/cli/wav_reader.h"

#include <cstring>

namespace korvan::cli {

namespace {

constexpr int kExtensibleTag = 0xFFFE;

uint32_t Le16(const unsigned char* p) { return p[0] | (uint32_t{p[1]} << 8); }
uint32_t Le32(const unsigned char* p) { return Le16(p) | (Le16(p + 2) << 16); }

}  // namespace

std::string ReadWavFormat(std::FILE* file, WavFormat& format) {
    format = WavFormat{};
    if (std::fseek(file, 0, SEEK_END) != 0) return "not a WAV file";
    const long end = std::ftell(file);
    unsigned char riff[12];
    if (end < 12 || std::fseek(file, 0, SEEK_SET) != 0 || std::fread(riff, 1, 12, file) != 12 ||
        std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return "not a WAV file";
    }
    bool haveFormat = false;
    // Every chunk moves at least 8 bytes on, so the walk ends at the file's end.
    uint64_t at = 12;
    while (at + 8 <= static_cast<uint64_t>(end)) {
        unsigned char head[8];
        if (std::fseek(file, static_cast<long>(at), SEEK_SET) != 0 ||
            std::fread(head, 1, 8, file) != 8) {
            break;
        }
        const uint64_t length = Le32(head + 4);
        const uint64_t body = at + 8;
        if (std::memcmp(head, "fmt ", 4) == 0) {
            unsigned char fmt[40] = {};
            const size_t wanted = length < sizeof fmt ? static_cast<size_t>(length) : sizeof fmt;
            if (length < 16 || std::fread(fmt, 1, wanted, file) != wanted) {
                return "damaged WAV format chunk";
            }
            format.formatTag = static_cast<int>(Le16(fmt));
            format.channels = static_cast<int>(Le16(fmt + 2));
            format.sampleRateHz = static_cast<int>(Le32(fmt + 4));
            format.bitsPerSample = static_cast<int>(Le16(fmt + 14));
            // An extensible header names its real format in the first two
            // bytes of its sub-format.
            if (format.formatTag == kExtensibleTag && length >= 26) {
                format.formatTag = static_cast<int>(Le16(fmt + 24));
            }
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (!haveFormat) return "WAV data before its format";
            format.dataOffset = body;
            // Streamed files may give a length beyond their end.
            const uint64_t held = static_cast<uint64_t>(end) - body;
            format.dataBytes = length < held ? length : held;
            return {};
        }
        at = body + length + (length & 1);
    }
    return haveFormat ? "no WAV data chunk" : "no WAV format chunk";
}

}  // namespace korvan::cli
