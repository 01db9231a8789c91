#include "korvan/media/avi_rate_patch.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "korvan/media/little_endian.h"

namespace korvan::media {

namespace {

// The headers of a file this writer makes end well before this.
constexpr std::size_t kHeaderBytes = 1 << 16;

uint32_t Read32(std::span<const uint8_t> bytes, std::size_t at) { return ReadLe32(&bytes[at]); }

bool IsCode(std::span<const uint8_t> bytes, std::size_t at, const char (&code)[5]) {
    return at + 4 <= bytes.size() && bytes[at] == static_cast<uint8_t>(code[0]) &&
           bytes[at + 1] == static_cast<uint8_t>(code[1]) &&
           bytes[at + 2] == static_cast<uint8_t>(code[2]) &&
           bytes[at + 3] == static_cast<uint8_t>(code[3]);
}

// Field offsets inside a stream header's data.
constexpr std::size_t kStreamTypeField = 0;
constexpr std::size_t kRateField = 24;
constexpr std::size_t kStreamHeaderBytes = 56;

// Walks the chunks in [begin, end): descends into LIST 'hdrl' and LIST
// 'strl' and looks at each 'strh'.
long long FindIn(std::span<const uint8_t> bytes, std::size_t begin, std::size_t end) {
    std::size_t at = begin;
    while (at + 8 <= end) {
        const std::size_t size = Read32(bytes, at + 4);
        const std::size_t data = at + 8;
        if (size > end - data) return -1;  // a chunk that runs past its parent
        if (IsCode(bytes, at, "LIST") && size >= 4 &&
            (IsCode(bytes, data, "hdrl") || IsCode(bytes, data, "strl"))) {
            const long long found = FindIn(bytes, data + 4, data + size);
            if (found >= 0) return found;
        } else if (IsCode(bytes, at, "strh") && size >= kStreamHeaderBytes &&
                   IsCode(bytes, data + kStreamTypeField, "vids")) {
            return static_cast<long long>(data + kRateField);
        }
        at = data + size + (size & 1);
    }
    return -1;
}

}  // namespace

uint32_t PatchedFrameRate(long long frameCount, long long durationMs) {
    if (durationMs <= 0 || frameCount <= 0) return 0;
    // rate × 1000 = frames × 10^6 / ms; nearest with halves down is
    // floor((2N + d - 1) / 2d), done in integers so that a half is exact.
    const unsigned long long n = static_cast<unsigned long long>(frameCount) * 1'000'000ULL;
    const auto d = static_cast<unsigned long long>(durationMs);
    const unsigned long long rate = (2 * n + d - 1) / (2 * d);
    return rate > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(rate);
}

long long FindVideoRateOffset(std::span<const uint8_t> fileStart) {
    if (fileStart.size() < 12 || !IsCode(fileStart, 0, "RIFF") || !IsCode(fileStart, 8, "AVI ")) {
        return -1;
    }
    const std::size_t riffEnd = std::min<std::size_t>(fileStart.size(), 8 + Read32(fileStart, 4));
    return FindIn(fileStart, 12, riffEnd);
}

bool PatchAviVideoRate(const std::string& path, uint32_t rate) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "r+b"), std::fclose);
    if (!file) return false;
    std::vector<uint8_t> head(kHeaderBytes);
    head.resize(std::fread(head.data(), 1, head.size(), file.get()));
    const long long rateOffset = FindVideoRateOffset(head);
    if (rateOffset < 0) return false;
    uint8_t fields[8];
    WriteLe32(fields, kVideoScale);
    WriteLe32(fields + 4, rate);
    return std::fseek(file.get(), static_cast<long>(rateOffset - 4), SEEK_SET) == 0 &&
           std::fwrite(fields, 1, sizeof fields, file.get()) == sizeof fields &&
           std::fflush(file.get()) == 0;
}

}  // namespace korvan::media
