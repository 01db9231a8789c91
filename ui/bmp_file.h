// Windows bitmap files (BMP): 1, 4, 8, 16, 24 and 32 bits per pixel,
// uncompressed or with bit fields, bottom-up or top-down. Compressed (RLE)
// bitmaps are not read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "ui/picture.h"

// A pure function of the bytes: any input gives a picture or nothing.
std::optional<Picture> DecodeBmp(std::span<const std::uint8_t> bytes);

std::optional<Picture> LoadBmp(const std::string& path);
