#include "korvan/realmedia/yuv_to_rgb.h"

#include <algorithm>
#include <array>

namespace korvan::realmedia {
namespace {

// The chroma products for every value of U or V (offset by 128).
struct ChromaTables {
    std::array<int, 256> blueU{};
    std::array<int, 256> greenU{};
    std::array<int, 256> greenV{};
    std::array<int, 256> redV{};

    ChromaTables() {
        for (int value = 0; value < 256; ++value) {
            const int centred = value - 128;
            // Integer division truncates toward zero, as the tables must.
            blueU[value] = 1700 * centred / 1000;
            greenU[value] = 340 * centred / 1000;
            greenV[value] = 700 * centred / 1000;
            redV[value] = 1400 * centred / 1000;
        }
    }
};

const ChromaTables& Tables() {
    static const ChromaTables tables;
    return tables;
}

uint8_t Clamp(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

}  // namespace

void PlanarYuvToBottomUpRgb24(const uint8_t* planes, int width, int height, uint8_t* rgb,
                              std::size_t stride) {
    const ChromaTables& tables = Tables();
    const std::size_t chromaWidth = static_cast<std::size_t>(width / 2);
    const std::size_t chromaSize = chromaWidth * static_cast<std::size_t>(height / 2);
    const uint8_t* yPlane = planes;
    const uint8_t* uPlane = planes + static_cast<std::size_t>(width) * height;
    const uint8_t* vPlane = uPlane + chromaSize;
    for (int y = 0; y < height; ++y) {
        const uint8_t* luma = yPlane + static_cast<std::size_t>(y) * width;
        const std::size_t chromaRow = chromaWidth * static_cast<std::size_t>(y / 2);
        uint8_t* out = rgb + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            const std::size_t chroma = chromaRow + static_cast<std::size_t>(x / 2);
            const int u = uPlane[chroma];
            const int v = vPlane[chroma];
            const int lum = luma[x];
            out[0] = Clamp(lum + tables.blueU[u]);
            out[1] = Clamp(lum - tables.greenU[u] - tables.greenV[v]);
            out[2] = Clamp(lum + tables.redV[v]);
            out += 3;
        }
    }
}

}  // namespace korvan::realmedia
