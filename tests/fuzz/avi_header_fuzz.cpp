// The first bytes of an AVI file of any content: the walk to the video
// stream's rate finds a field inside them or nothing, and the patch writes
// exactly there.
#include <algorithm>

#include "korvan/media/avi_rate_patch.h"
#include "korvan/media/little_endian.h"
#include "tests/fuzz/fuzz_input.h"

namespace media = korvan::media;

void FuzzInput(const uint8_t* data, size_t size) {
    // The patch reads the file's first 64 KiB; the headers end well before.
    const size_t head = std::min<size_t>(size, 1 << 16);
    const long long offset = media::FindVideoRateOffset(std::span<const uint8_t>(data, head));
    FUZZ_CHECK(offset >= -1);
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string path = fuzz::WriteScratchFile("video.avi", bytes);
    const bool patched = media::PatchAviVideoRate(path, 29970);
    if (offset < 0) {
        FUZZ_CHECK(!patched);
        return;
    }
    FUZZ_CHECK(offset >= 4 && static_cast<size_t>(offset) + 4 <= head);
    FUZZ_CHECK(patched);
    FILE* file = std::fopen(path.c_str(), "rb");
    FUZZ_CHECK(file != nullptr);
    std::string after(size, '\0');
    FUZZ_CHECK(std::fread(after.data(), 1, size, file) == size);
    std::fclose(file);
    const auto* field = reinterpret_cast<const uint8_t*>(after.data()) + offset;
    FUZZ_CHECK(media::ReadLe32(field - 4) == media::kVideoScale);
    FUZZ_CHECK(media::ReadLe32(field) == 29970);
    FUZZ_CHECK(after.substr(0, offset - 4) == bytes.substr(0, offset - 4));
    FUZZ_CHECK(after.substr(offset + 4) == bytes.substr(offset + 4));
}
