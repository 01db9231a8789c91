// JPEG pictures through libjpeg (the 6b interface of libjpeg62-turbo).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ui/picture.h"

// A pure function of the bytes: any input gives a picture or nothing.
// Grey and CMYK pictures come out as RGB; a picture cut short is kept with
// what could be read, as viewers show it.
std::optional<Picture> DecodeJpeg(std::span<const std::uint8_t> bytes);
std::optional<Picture> LoadJpeg(const std::string& path);

// Baseline JPEG, quality 1..100; empty when the picture is.
std::vector<std::uint8_t> EncodeJpeg(const Picture& picture, int quality);
// False when the file could not be written whole.
bool SaveJpeg(const std::string& path, const Picture& picture, int quality);
