// Whole small files in memory: pictures, description files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The file's bytes; nothing when it is not a regular file, cannot be read,
// or is longer than `maxBytes` (a reader of outside files must not be made
// to swallow a disk).
std::optional<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path,
                                                       std::size_t maxBytes);

// Writes the bytes under a temporary name beside `path` and renames it, so
// that no reader ever sees half a file; false (and nothing left behind) when
// the folder is not writable or the disk is full.
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace platform
