// A packed bitmap of any content, as the AVI writer takes pictures: refused,
// or a header whose rows all lie inside the bytes.
#include "korvan/media/bitmap_header.h"
#include "tests/fuzz/fuzz_input.h"

namespace media = korvan::media;

void FuzzInput(const uint8_t* data, size_t size) {
    const media::PackedBitmap bitmap =
        media::ParsePackedBitmap(std::span<const uint8_t>(data, size));
    if (!bitmap.valid) return;
    const media::BitmapInfoHeader& h = bitmap.header;
    FUZZ_CHECK(h.width > 0 && h.height != 0);
    FUZZ_CHECK(bitmap.pixels.data() >= data &&
               bitmap.pixels.data() + bitmap.pixels.size() <= data + size);
    const size_t rows =
        static_cast<size_t>(h.height < 0 ? -static_cast<int64_t>(h.height) : h.height);
    FUZZ_CHECK(media::DibRowBytes(h.width, h.bitCount) * rows <= bitmap.pixels.size());
}
