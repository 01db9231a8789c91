// Planar 4:2:0 pictures (I420, YV12) to bottom-up 24-bit rows, the way the
// engine's pictures become AVI frames: integer tables of the four chroma
// products, each a product divided by 1000 and truncated toward zero.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvan::realmedia {

// `planes`: the Y plane (width × height), then the U plane, then the V
// plane, each (width / 2) × (height / 2). The output is height rows of
// `stride` bytes, bottom row first, each B, G, R per pel.
void PlanarYuvToBottomUpRgb24(const uint8_t* planes, int width, int height, uint8_t* rgb,
                              std::size_t stride);

}  // namespace korvan::realmedia
