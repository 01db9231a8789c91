#include "korvan/media/bitmap_header.h"

#include <cstdlib>
#include <cstring>

#include "korvan/media/little_endian.h"

namespace korvan::media {

namespace {

// Pictures larger than this are not bitmaps any producer makes.
constexpr int32_t kLargestSide = 16384;

}  // namespace

PackedBitmap ParsePackedBitmap(std::span<const uint8_t> bytes) {
    PackedBitmap bitmap;
    if (bytes.size() < kBitmapHeaderBytes) return bitmap;
    const uint8_t* p = bytes.data();
    BitmapInfoHeader& h = bitmap.header;
    h.size = ReadLe32(p);
    h.width = static_cast<int32_t>(ReadLe32(p + 4));
    h.height = static_cast<int32_t>(ReadLe32(p + 8));
    h.planes = ReadLe16(p + 12);
    h.bitCount = ReadLe16(p + 14);
    h.compression = ReadLe32(p + 16);
    h.sizeImage = ReadLe32(p + 20);
    h.xPelsPerMeter = static_cast<int32_t>(ReadLe32(p + 24));
    h.yPelsPerMeter = static_cast<int32_t>(ReadLe32(p + 28));
    h.clrUsed = ReadLe32(p + 32);
    h.clrImportant = ReadLe32(p + 36);
    if (h.size < kBitmapHeaderBytes || h.size > bytes.size()) return bitmap;
    if (h.width <= 0 || h.width > kLargestSide || h.height == 0 || h.height < -kLargestSide ||
        h.height > kLargestSide) {
        return bitmap;
    }
    if (h.compression != kBitmapRgb || (h.bitCount != 24 && h.bitCount != 32)) return bitmap;
    const std::size_t palette = static_cast<std::size_t>(h.clrUsed) * 4;
    const std::size_t start = h.size + palette;
    const std::size_t image = DibRowBytes(h.width, h.bitCount) * std::abs(h.height);
    if (h.clrUsed > 256 || start > bytes.size() || bytes.size() - start < image) return bitmap;
    bitmap.pixels = bytes.subspan(start, image);
    bitmap.valid = true;
    return bitmap;
}

void PackBitmap32(int width, int height, std::span<const uint8_t> bottomUpRows,
                  std::span<uint8_t> out) {
    uint8_t* p = out.data();
    std::memset(p, 0, kBitmapHeaderBytes);
    const std::size_t image = DibRowBytes(width, 32) * static_cast<std::size_t>(height);
    WriteLe32(p, kBitmapHeaderBytes);
    WriteLe32(p + 4, static_cast<uint32_t>(width));
    WriteLe32(p + 8, static_cast<uint32_t>(height));
    p[12] = 1;
    p[14] = 32;
    WriteLe32(p + 20, static_cast<uint32_t>(image));
    std::memcpy(p + kBitmapHeaderBytes, bottomUpRows.data(), image);
}

}  // namespace korvan::media
