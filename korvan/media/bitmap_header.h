// Device-independent bitmaps as the AVI writer takes them: the fields of a
// BITMAPINFOHEADER, then biClrUsed colour entries of 4 bytes, then the pixel
// rows, each padded to 4 bytes, bottom row first when the height is
// positive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace korvan::media {

inline constexpr uint32_t kBitmapHeaderBytes = 40;
inline constexpr uint32_t kBitmapRgb = 0;  // biCompression of uncompressed rows

struct BitmapInfoHeader {
    uint32_t size = kBitmapHeaderBytes;
    int32_t width = 0;
    int32_t height = 0;  // negative: top row first
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = kBitmapRgb;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};

// Bytes of one row of `bitsPerPixel` pels, padded to 4 bytes.
constexpr std::size_t DibRowBytes(int width, int bitsPerPixel) {
    return ((static_cast<std::size_t>(width) * bitsPerPixel + 31) / 32) * 4;
}

// The header of a packed bitmap and where its pixels start; `valid` is
// false when the bytes are too short for what the header says or the header
// is not one of uncompressed 24- or 32-bit rows.
struct PackedBitmap {
    bool valid = false;
    BitmapInfoHeader header;
    std::span<const uint8_t> pixels;
};

PackedBitmap ParsePackedBitmap(std::span<const uint8_t> bytes);

// A packed 32-bit bottom-up bitmap of the given rows (what the readers hand
// out), for the writer's bitmap form.
void PackBitmap32(int width, int height, std::span<const uint8_t> bottomUpRows,
                  std::span<uint8_t> out);
inline std::size_t PackedBitmap32Bytes(int width, int height) {
    return kBitmapHeaderBytes + DibRowBytes(width, 32) * static_cast<std::size_t>(height);
}

}  // namespace korvan::media
