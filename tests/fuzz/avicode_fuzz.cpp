// A saved compressor choice ("avicode.dat") of any content: it loads as
// nothing or as a record that saves and loads back unchanged.
#include "korvan/media/avi_compressor.h"
#include "tests/fuzz/fuzz_input.h"

namespace media = korvan::media;

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::WriteScratchFile(media::kCompressorFileName,
                           std::string_view(reinterpret_cast<const char*>(data), size));
    const std::optional<media::CompressorOptions> loaded =
        media::LoadCompressorOptions(fuzz::ScratchFolder());
    FUZZ_CHECK(loaded.has_value() ==
               media::ParseCompressorOptions(std::span<const uint8_t>(data, size)).has_value());
    if (!loaded) return;
    media::FindCompressor(loaded->handler);
    const std::vector<uint8_t> saved = media::SerializeCompressorOptions(*loaded);
    FUZZ_CHECK(saved.size() <= size);
    const std::optional<media::CompressorOptions> again = media::ParseCompressorOptions(saved);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(media::SerializeCompressorOptions(*again) == saved);
}
