#include "ui/bmp_file.h"

#include <bit>
#include <vector>

#include "platform/file_bytes.h"

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kCoreHeaderBytes = 12;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kUncompressed = 0;
constexpr std::uint32_t kBitFields = 3;
// The largest file worth reading: a picture of kMaxPixels at 32 bits.
constexpr std::size_t kMaxFileBytes = Picture::kMaxPixels * 4 + (1 << 20);

std::uint32_t Read16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8);
}

std::uint32_t Read32(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// One colour channel under a bit mask, brought to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t maximum = 0;

    explicit Channel(std::uint32_t m) : mask(m) {
        if (mask == 0) return;
        shift = std::countr_zero(mask);
        maximum = mask >> shift;
    }
    std::uint8_t Of(std::uint32_t pixel) const {
        if (maximum == 0) return 0;
        return static_cast<std::uint8_t>(((pixel & mask) >> shift) * 255 / maximum);
    }
};

struct Layout {
    long long width = 0;
    long long height = 0;  // negative: rows from top to bottom
    int bitCount = 0;
    std::uint32_t compression = kUncompressed;
    std::size_t paletteAt = 0;
    std::size_t paletteEntryBytes = 4;
    std::size_t paletteCount = 0;
    std::uint32_t masks[3] = {0, 0, 0};
};

std::optional<Layout> ReadLayout(std::span<const std::uint8_t> b) {
    if (b.size() < kFileHeaderBytes + 4 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
    const std::size_t headerBytes = Read32(b, kFileHeaderBytes);
    if (headerBytes < kCoreHeaderBytes || b.size() < kFileHeaderBytes + headerBytes) {
        return std::nullopt;
    }
    Layout layout;
    const std::size_t h = kFileHeaderBytes;
    if (headerBytes == kCoreHeaderBytes) {
        layout.width = Read16(b, h + 4);
        layout.height = Read16(b, h + 6);
        layout.bitCount = static_cast<int>(Read16(b, h + 10));
        layout.paletteEntryBytes = 3;
    } else if (headerBytes >= kInfoHeaderBytes) {
        layout.width = static_cast<std::int32_t>(Read32(b, h + 4));
        layout.height = static_cast<std::int32_t>(Read32(b, h + 8));
        layout.bitCount = static_cast<int>(Read16(b, h + 14));
        layout.compression = Read32(b, h + 16);
        layout.paletteCount = Read32(b, h + 32);
    } else {
        return std::nullopt;
    }
    layout.paletteAt = h + headerBytes;
    if (layout.compression == kBitFields) {
        // Version 2 and later headers hold the masks; the first one has
        // them right after it.
        std::size_t masksAt = h + kInfoHeaderBytes;
        if (headerBytes == kInfoHeaderBytes) layout.paletteAt += 12;
        if (b.size() < masksAt + 12) return std::nullopt;
        for (int i = 0; i < 3; ++i) layout.masks[i] = Read32(b, masksAt + 4 * i);
    } else if (layout.bitCount == 16) {
        layout.masks[0] = 0x7C00;
        layout.masks[1] = 0x03E0;
        layout.masks[2] = 0x001F;
    } else if (layout.bitCount == 32) {
        layout.masks[0] = 0x00FF0000;
        layout.masks[1] = 0x0000FF00;
        layout.masks[2] = 0x000000FF;
    }
    const bool indexed = layout.bitCount == 1 || layout.bitCount == 4 || layout.bitCount == 8;
    const bool direct = layout.bitCount == 16 || layout.bitCount == 24 || layout.bitCount == 32;
    if (!indexed && !direct) return std::nullopt;
    if (layout.compression != kUncompressed &&
        !(layout.compression == kBitFields && (layout.bitCount == 16 || layout.bitCount == 32))) {
        return std::nullopt;
    }
    if (indexed) {
        const std::size_t full = std::size_t{1} << layout.bitCount;
        if (layout.paletteCount == 0 || layout.paletteCount > full) layout.paletteCount = full;
    } else {
        layout.paletteCount = 0;
    }
    const long long rows = layout.height < 0 ? -layout.height : layout.height;
    if (!IsPictureSize(layout.width, rows)) return std::nullopt;
    return layout;
}

}  // namespace

std::optional<Picture> DecodeBmp(std::span<const std::uint8_t> b) {
    const std::optional<Layout> layout = ReadLayout(b);
    if (!layout) return std::nullopt;
    const int width = static_cast<int>(layout->width);
    const int height = static_cast<int>(layout->height < 0 ? -layout->height : layout->height);
    const std::size_t rowBytes =
        (static_cast<std::size_t>(width) * static_cast<std::size_t>(layout->bitCount) + 31) / 32 *
        4;
    const std::size_t pixelsAt = Read32(b, 10);
    if (pixelsAt > b.size() ||
        (b.size() - pixelsAt) / rowBytes < static_cast<std::size_t>(height)) {
        return std::nullopt;
    }

    std::vector<Rgb> palette(layout->paletteCount);
    const std::size_t entry = layout->paletteEntryBytes;
    if (layout->paletteAt + palette.size() * entry > b.size()) return std::nullopt;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const std::size_t at = layout->paletteAt + i * entry;
        palette[i] = {b[at + 2], b[at + 1], b[at]};
    }
    const Channel red(layout->masks[0]);
    const Channel green(layout->masks[1]);
    const Channel blue(layout->masks[2]);

    Picture picture(width, height);
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* in = b.data() + pixelsAt + static_cast<std::size_t>(row) * rowBytes;
        const int y = layout->height < 0 ? row : height - 1 - row;
        for (int x = 0; x < width; ++x) {
            const auto ux = static_cast<std::size_t>(x);
            Rgb colour;
            switch (layout->bitCount) {
                case 24:
                    colour = {in[ux * 3 + 2], in[ux * 3 + 1], in[ux * 3]};
                    break;
                case 16:
                case 32: {
                    const std::uint32_t pixel =
                        layout->bitCount == 16
                            ? static_cast<std::uint32_t>(in[ux * 2] | in[ux * 2 + 1] << 8)
                            : static_cast<std::uint32_t>(in[ux * 4]) |
                                  static_cast<std::uint32_t>(in[ux * 4 + 1]) << 8 |
                                  static_cast<std::uint32_t>(in[ux * 4 + 2]) << 16 |
                                  static_cast<std::uint32_t>(in[ux * 4 + 3]) << 24;
                    colour = {red.Of(pixel), green.Of(pixel), blue.Of(pixel)};
                    break;
                }
                default: {
                    const std::size_t bit = ux * static_cast<std::size_t>(layout->bitCount);
                    const int shift = 8 - layout->bitCount - static_cast<int>(bit % 8);
                    const std::size_t index =
                        (in[bit / 8] >> shift) & ((1u << layout->bitCount) - 1);
                    // An index past the palette is black, as Windows draws it.
                    if (index < palette.size()) colour = palette[index];
                    break;
                }
            }
            picture.SetPixel(x, y, colour);
        }
    }
    return picture;
}

std::optional<Picture> LoadBmp(const std::string& path) {
    const auto bytes = platform::ReadFileBytes(path, kMaxFileBytes);
    if (!bytes) return std::nullopt;
    return DecodeBmp(*bytes);
}
