#include "app/profiles/ffmpeg_adaptations.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 1> kRenamedVideoEncoders = {{
    {"xvid", "libxvid"},
}};

// The list's texts for NTSC's rate, its half and film's rate slowed to it.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kNtscFrameRates = {{
    {"29.976", "30000/1001"},
    {"23.976", "24000/1001"},
    {"14.985", "15000/1001"},
}};

std::string ProfileOption(VideoProfile profile) {
    switch (profile) {
        case VideoProfile::kH264Baseline:
            return " -profile:v baseline";
        case VideoProfile::kH264Main:
            return " -profile:v main";
        case VideoProfile::kMpeg4Simple:
            return " -profile:v 0";  // Simple Profile
        case VideoProfile::kUnsignalled:
            break;
    }
    return {};
}

bool IsH264(VideoProfile profile) {
    return profile == VideoProfile::kH264Baseline || profile == VideoProfile::kH264Main;
}

// The decoder's buffer for the rate: the device's bit rate where the profile
// stays under it, else the profile's own, never beyond the level; the buffer
// holds as many seconds of it as the level's buffer holds of the level's rate.
std::string BufferOptions(const CodingLevel& level, const DeviceVideoLimits& video,
                          long long bitRateKbps) {
    // Beyond every level the rate control is left alone: ffmpeg refuses a
    // peak below the average.
    if (bitRateKbps > level.maxBitRateKbps) return {};
    const long long peakKbps = std::min<long long>(
        level.maxBitRateKbps, std::max<long long>(bitRateKbps, video.maxBitRateKbps));
    const long long bufferBits = level.bufferBits * peakKbps / level.maxBitRateKbps;
    return " -maxrate " + std::to_string(peakKbps * 1000) + " -bufsize " +
           std::to_string(bufferBits);
}

}  // namespace

std::string_view EncoderVideoCodec(std::string_view profileCodec) {
    for (const auto& [name, encoder] : kRenamedVideoEncoders) {
        if (name == profileCodec) return encoder;
    }
    return profileCodec;
}

std::string_view EncoderFrameRate(std::string_view profileRate) {
    for (const auto& [text, rate] : kNtscFrameRates) {
        if (text == profileRate) return rate;
    }
    return profileRate;
}

bool KeepsInputFrameSize(int frameWidth, int frameHeight) {
    return frameWidth == 0 && frameHeight == 0;
}

int AudioBitRateOptionValue(int bitRateKbps) { return bitRateKbps * 1000; }

std::string DeviceEncoderOptions(const DeviceFit& fit, const ProfileValues& values) {
    if (!fit.video || !fit.level) return {};
    const DeviceVideoLimits& video = *fit.video;
    std::string options = ProfileOption(video.profile);
    options += " -level " + std::to_string(fit.level->number);
    if (IsH264(video.profile)) {
        // libx264 keeps the input's pixel format; 4:2:2 or 4:4:4 would leave
        // every profile these devices decode.
        options += " -pix_fmt yuv420p";
        if (video.profile == VideoProfile::kH264Baseline) options += " -bf 0";
        if (video.maxReferenceFrames > 0) {
            options += " -refs " + std::to_string(video.maxReferenceFrames);
            // x264 keeps a B picture as a reference in its pyramid, one more
            // frame than the device holds.
            if (video.profile == VideoProfile::kH264Main) options += " -b-pyramid none";
        }
    }
    return options + BufferOptions(*fit.level, video, values.videoBitRateKbps);
}

std::string_view EncoderFormatName(const DeviceFit& fit, const ProfileValues& values) {
    if (!fit.video || fit.video->formatName.empty() || values.formatName != "mp4") {
        return values.formatName;
    }
    // ffmpeg's "ipod" is its MP4 with the iPod's additions, and it refuses
    // sound the iPod does not play (MP3): such a profile keeps plain MP4.
    if (values.hasAudio && values.audioCodec != "aac") return values.formatName;
    return fit.video->formatName;
}
