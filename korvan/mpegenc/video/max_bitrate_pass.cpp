#include "korvan/mpegenc/video/max_bitrate_pass.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "korvan/mpegenc/common/format_text.h"

namespace korvan {

Status EmbedMaxBitrate(const std::string& streamPath, const std::vector<uint64_t>& offsets,
                       uint64_t maxBitsPerSecond, int vbvBufferSize,
                       const std::function<void(int header, int headers)>& progress) {
    if (offsets.empty()) return {};
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(streamPath.c_str(), "r+b"), std::fclose);
    if (!file) return Status::Failed(StatusCode::kSourceFailed, "Unable to open video stream.");
    // The field has 18 bits here; the sequence extension's high bits stay 0.
    const uint32_t value = static_cast<uint32_t>(
        std::min<double>(std::ceil(static_cast<double>(maxBitsPerSecond) * 0.0025), 0x3FFFF));
    const uint8_t bytes[3] = {
        static_cast<uint8_t>(value >> 10),
        static_cast<uint8_t>((value >> 2) & 0xFF),
        static_cast<uint8_t>(((value << 6) & 0xC0) | 0x20 | ((vbvBufferSize >> 5) & 0x1F)),
    };
    const int headers = static_cast<int>(offsets.size());
    for (int header = 0; header < headers; ++header) {
        const uint64_t offset = offsets[header];
        if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0) {
            return Status::Failed(StatusCode::kSourceFailed,
                                  FormatText("Unable to seek in video stream, offset = %u.",
                                             static_cast<unsigned>(offset)));
        }
        if (std::fwrite(bytes, 1, 3, file.get()) != 3) {
            return Status::Failed(StatusCode::kSourceFailed, "Unable to write to video stream");
        }
        if (progress) progress(header + 1, headers);
    }
    if (std::fclose(file.release()) != 0) {
        return Status::Failed(StatusCode::kSourceFailed, "Unable to write to video stream");
    }
    return {};
}

}  // namespace korvan
