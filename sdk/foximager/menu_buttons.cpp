#include "sdk/foximager/menu_buttons.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace foximager {
namespace {

int ScaleCoordinate(int value, int size, int pictureSize) {
    return static_cast<int>(std::lround(static_cast<double>(value) * size / pictureSize));
}

void Append32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void AppendChunk(std::vector<std::uint8_t>& png, const char* type,
                 const std::vector<std::uint8_t>& data) {
    Append32(png, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeAt = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const uLong crc = crc32(0, png.data() + typeAt, static_cast<uInt>(png.size() - typeAt));
    Append32(png, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::vector<ButtonRect> ButtonsOnVideo(const std::vector<DiscTitle>& titles, int videoWidth,
                                       int videoHeight) {
    std::vector<ButtonRect> buttons;
    for (const DiscTitle& title : titles) {
        const ButtonRect& r = title.button;
        ButtonRect b;
        b.left =
            std::clamp(ScaleCoordinate(r.left, videoWidth, kMenuPictureWidth), 0, videoWidth - 2);
        b.right = std::clamp(ScaleCoordinate(r.right, videoWidth, kMenuPictureWidth), b.left + 1,
                             videoWidth - 1);
        b.top = std::clamp(ScaleCoordinate(r.top, videoHeight, kMenuPictureHeight), 0,
                           videoHeight - 2) &
                ~1;
        b.bottom = std::clamp(ScaleCoordinate(r.bottom, videoHeight, kMenuPictureHeight), b.top + 1,
                              videoHeight - 1) |
                   1;
        b.bottom = std::min(b.bottom, videoHeight - 1);
        buttons.push_back(b);
    }
    return buttons;
}

std::vector<std::uint8_t> ButtonFramesPng(int width, int height,
                                          const std::vector<ButtonRect>& buttons,
                                          const std::vector<DiscTitle>& titles,
                                          FrameColour colour) {
    // Every row starts with its filter byte (0: none); index 0 is
    // transparent, index 1 the frame.
    const std::size_t rowBytes = static_cast<std::size_t>(width) + 1;
    std::vector<std::uint8_t> rows(rowBytes * static_cast<std::size_t>(height), 0);
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const ButtonRect& b = buttons[i];
        const int lineWidth = i < titles.size() ? titles[i].lineWidth : 100;
        const int thickness = std::clamp(
            lineWidth / 100, 1, std::max(1, std::min(b.right - b.left, b.bottom - b.top) / 2));
        for (int y = std::max(0, b.top); y <= std::min(height - 1, b.bottom); ++y) {
            const bool edgeRow = y < b.top + thickness || y > b.bottom - thickness;
            for (int x = std::max(0, b.left); x <= std::min(width - 1, b.right); ++x) {
                if (edgeRow || x < b.left + thickness || x > b.right - thickness) {
                    rows[static_cast<std::size_t>(y) * rowBytes + 1 + static_cast<std::size_t>(x)] =
                        1;
                }
            }
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<std::uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()),
                  Z_BEST_SPEED) != Z_OK) {
        return {};
    }
    packed.resize(packedSize);

    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    Append32(header, static_cast<std::uint32_t>(width));
    Append32(header, static_cast<std::uint32_t>(height));
    // 8 bits per index, colour type 3 (palette), deflate, no filter
    // choice, not interlaced.
    header.insert(header.end(), {8, 3, 0, 0, 0});
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "PLTE", {0, 0, 0, colour.red, colour.green, colour.blue});
    AppendChunk(png, "tRNS", {0, 255});
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", {});
    return png;
}

std::string XmlEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            case '\'':
                escaped += "&apos;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

std::string SpumuxXml(const std::string& highlightPng, const std::string& selectPng,
                      const std::vector<ButtonRect>& buttons) {
    std::string xml =
        "<subpictures>\n <stream>\n  <spu force=\"yes\" start=\"00:00:00.00\" "
        "highlight=\"" +
        XmlEscaped(highlightPng) + "\" select=\"" + XmlEscaped(selectPng) + "\">\n";
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const ButtonRect& b = buttons[i];
        xml += "   <button name=\"" + std::to_string(i + 1) + "\" x0=\"" + std::to_string(b.left) +
               "\" y0=\"" + std::to_string(b.top) + "\" x1=\"" + std::to_string(b.right) +
               "\" y1=\"" + std::to_string(b.bottom) + "\"/>\n";
    }
    return xml + "  </spu>\n </stream>\n</subpictures>\n";
}

}  // namespace foximager
