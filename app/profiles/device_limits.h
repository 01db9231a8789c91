// What the devices of the 3GP, iPod, PSP, iPhone and Zune targets play, as
// their makers (or, for phones, 3GPP) published it, and how a profile fares
// against it: the coding its device needs, and what of the profile lies
// outside the device's limits.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/profiles/coding_levels.h"
#include "app/profiles/profile_values.h"

enum class VideoProfile {
    kUnsignalled,  // the stream names no profile or level we could set
    kH264Baseline,
    kH264Main,
    kMpeg4Simple,
};

// One way of coding video that the device plays.
struct DeviceVideoLimits {
    std::string_view codec;  // the profile list's name
    VideoProfile profile;
    int maxLevel;  // the level's number (CodingLevel::number); 0 when unsignalled
    int maxWidthPx;
    int maxHeightPx;
    double maxFramesPerSecond;
    int maxBitRateKbps;
    int maxReferenceFrames;       // 0: as many as the level allows
    std::string_view formatName;  // the output format the device needs; "" keeps the profile's
};

struct DeviceLimits {
    int target;
    std::string_view device;  // as the status line names it: "the PSP"
    // For a codec with several entries, the smaller limits come first.
    std::span<const DeviceVideoLimits> video;
    std::span<const std::string_view> audioCodecs;  // the profile list's names
    std::span<const int> sampleRatesHz;
    int maxAudioBitRateKbps;  // 0 where none was published
};

// The device of a target, or null for the targets without one.
const DeviceLimits* DeviceLimitsOf(int target);

// The levels of a video profile; empty when it is unsignalled.
std::span<const CodingLevel> LevelsOf(VideoProfile profile);

// A profile against its target's device.
struct DeviceFit {
    const DeviceLimits* device = nullptr;      // null: the target has no device
    const DeviceVideoLimits* video = nullptr;  // null: the device plays no such video
    // The level the stream is to carry: the smallest that holds the profile
    // (for the "Original" size, the most the device decodes); null when the
    // codec is unsignalled or the device does not play it.
    const CodingLevel* level = nullptr;
    // Why the file may not play, one phrase each; empty when the profile
    // stays inside the device's limits.
    std::vector<std::string> problems;
};

DeviceFit FitToDevice(int target, const ProfileValues& values);

// The status line's text for a fit with problems ("May not play on the PSP:
// ..."), or "".
std::string DeviceWarning(const DeviceFit& fit);
