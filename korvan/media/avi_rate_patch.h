// The frame-rate patch of a finished AVI: the video stream header's scale
// and rate are rewritten so that the file plays at the rate at which its
// frames were delivered.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace korvan::media {

// The video stream header's scale while the file is written, and its rate
// (15 frames per second) until the patch.
inline constexpr uint32_t kVideoScale = 1000;
inline constexpr uint32_t kUnpatchedVideoRate = 15000;

// frames / (duration s) × 1000, to the nearest integer, exact halves toward
// zero. 0 when the duration is not positive.
uint32_t PatchedFrameRate(long long frameCount, long long durationMs);

// The byte offset of the first video stream header's rate field (dwRate;
// its dwScale is the 4 bytes before), found by walking the RIFF chunks of
// the file's first bytes; -1 when the bytes hold no such header.
long long FindVideoRateOffset(std::span<const uint8_t> fileStart);

// Writes kVideoScale and `rate` into the file's video stream header. False
// when the file cannot be updated or has no video stream header.
bool PatchAviVideoRate(const std::string& path, uint32_t rate);

}  // namespace korvan::media
