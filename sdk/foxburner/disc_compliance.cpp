#include "sdk/foxburner/disc_compliance.h"

#include <array>
#include <cstdio>

#include "sdk/foxburner/tool_output.h"

namespace foxburner {
namespace {

struct PictureFormat {
    int width;
    int height;
    int frameRateCode;
};

// VideoCD: MPEG-1 SIF pictures. SuperVCD: MPEG-2 at 480 pixels across, or
// SIF, at the PAL or NTSC rate (23.976 Hz film is carried at 29.97 Hz).
constexpr std::array<PictureFormat, 3> kVideoCdPictures = {
    {{352, 288, 3}, {352, 240, 4}, {352, 240, 1}}};
constexpr std::array<PictureFormat, 4> kSuperVcdPictures = {
    {{480, 576, 3}, {480, 480, 4}, {352, 288, 3}, {352, 240, 4}}};

// The highest video bit rates the players' buffers are made for.
constexpr long long kVideoCdMaxVideoBitRate = 1150000;
constexpr long long kSuperVcdMaxVideoBitRate = 2600000;
constexpr int kDiscAudioSampleRateHz = 44100;

std::string Format(const char* format, long long a, long long b = 0, double c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

template <std::size_t N>
bool IsAllowedPicture(const std::array<PictureFormat, N>& formats, const VideoFacts& video) {
    for (const PictureFormat& format : formats) {
        if (format.width == video.width && format.height == video.height &&
            format.frameRateCode == video.frameRateCode) {
            return true;
        }
    }
    return false;
}

// Warnings about what vcdimager mends or does not care about.
bool IsHarmlessWarning(std::string_view line) {
    constexpr std::array<std::string_view, 3> kHarmless = {"exist already", "seem to be the same",
                                                           "d-character"};
    for (std::string_view part : kHarmless) {
        if (line.find(part) != std::string_view::npos) return true;
    }
    return false;
}

}  // namespace

std::string_view VcdImagerType(VideoDiscFormat format) {
    return format == VideoDiscFormat::kVideoCd ? "vcd2" : "svcd";
}

std::string ComplianceProblem(const StreamFacts& facts, VideoDiscFormat format) {
    const bool videoCd = format == VideoDiscFormat::kVideoCd;
    const int wantedVersion = videoCd ? 1 : 2;
    const char* formatName = videoCd ? "VideoCD" : "SuperVCD";
    if (facts.packVersion == 0) return "the file is not an MPEG program stream";
    if (facts.packVersion != wantedVersion) {
        return std::string("a ") + formatName + " needs an MPEG-" +
               (videoCd ? "1 system" : "2 program") + " stream";
    }
    const VideoFacts& video = facts.video;
    if (!video.found) return "the file holds no MPEG video";
    if (video.mpegVersion != wantedVersion) {
        return std::string("a ") + formatName + " needs MPEG-" + (videoCd ? "1" : "2") + " video";
    }
    const bool pictureAllowed = videoCd ? IsAllowedPicture(kVideoCdPictures, video)
                                        : IsAllowedPicture(kSuperVcdPictures, video);
    if (!pictureAllowed) {
        return Format("pictures of %lld x %lld at %.2f frames/s are not allowed", video.width,
                      video.height, video.frameRate);
    }
    if (video.variableBitRate) return "the video has no fixed bit rate";
    const long long maxBitRate = videoCd ? kVideoCdMaxVideoBitRate : kSuperVcdMaxVideoBitRate;
    if (video.bitRate <= 0) return "the video gives no bit rate";
    if (video.bitRate > maxBitRate) {
        return Format("a video bit rate of %lld bit/s is above the %lld bit/s allowed",
                      video.bitRate, maxBitRate);
    }
    const AudioFacts& audio = facts.audio;
    if (!audio.found) {
        return facts.privateStreamAudio ? "the sound is not MPEG audio"
                                        : "the file holds no MPEG audio";
    }
    if (audio.layer != 2)
        return Format("the sound is MPEG audio layer %lld, not layer II", audio.layer);
    if (audio.sampleRateHz != kDiscAudioSampleRateHz) {
        return Format("the sound is sampled at %lld Hz, not 44100 Hz", audio.sampleRateHz);
    }
    return {};
}

std::string VcdImagerProblem(std::string_view output, int exitCode) {
    for (std::string_view line : OutputLines(output)) {
        const bool warning = line.find("WARN") != std::string_view::npos;
        if (!warning || IsHarmlessWarning(line)) continue;
        // The warnings that state a rule of the format.
        for (std::string_view rule : {"should", "requires", "invalid", "not supported"}) {
            if (line.find(rule) != std::string_view::npos) return std::string(line);
        }
    }
    return ToolFailure(Tool::kVcdimager, output, exitCode);
}

}  // namespace foxburner
