#include "app/profiles/encoder_options.h"

#include "app/profiles/device_limits.h"
#include "app/profiles/disc_profiles.h"
#include "app/profiles/ffmpeg_adaptations.h"
#include "app/profiles/profile_values.h"
#include "app/profiles/source_fit.h"

namespace {

std::string AudioBitRateOption(const ProfileValues& values) {
    if (!values.hasAudio) return " -an";
    if (values.audioBitRateKbps == 0) return {};
    return " -ab " + std::to_string(AudioBitRateOptionValue(values.audioBitRateKbps));
}

// ffmpeg's disc target for a SuperVCD or VideoCD profile of the DVD target,
// or "". A plain "-f mpeg" file has 2048-byte packs, no rate limits and an
// MPEG-1 multiplex even for MPEG-2 video, which no SuperVCD or VideoCD
// player (nor vcdimager) takes; the disc target sets the multiplex (2324-byte
// packs at the disc's rate) and the video buffer and rate limits, and the
// profile's own options, which follow it, keep their values.
std::string DiscTarget(int target, int profileIndex, std::string_view frameRate) {
    if (target != kTargetDvd) return {};
    const char* standard = frameRate == "25" ? "pal-" : "ntsc-";
    if (IsSuperVcdProfile(profileIndex)) return std::string(standard) + "svcd";
    if (IsVideoCdProfile(profileIndex)) return std::string(standard) + "vcd";
    return {};
}

}  // namespace

EncoderProfile ReadEncoderProfile(const ProfileFiles& files, int target, int profileIndex) {
    return {target, profileIndex, files.ReadInt(target, profileIndex, "FileType"),
            ReadProfileValues(files, target, profileIndex)};
}

std::string EncoderOptions(const EncoderProfile& profile) {
    const ProfileValues& values = profile.values;
    const DeviceFit fit = FitToDevice(profile.target, values);

    const std::string discTarget = DiscTarget(profile.target, profile.index, values.frameRate);
    std::string options = discTarget.empty() ? std::string() : " -target " + discTarget;
    options += " -vcodec " + std::string(EncoderVideoCodec(values.videoCodec));
    if (!KeepsInputFrameSize(values.widthPx, values.heightPx)) {
        options += " -s " + std::to_string(values.widthPx) + "x" + std::to_string(values.heightPx);
    }
    options += " -r " + std::string(EncoderFrameRate(values.frameRate));
    options += " -b " + std::to_string(values.videoBitRateKbps * 1000);
    options += " -acodec " + std::string(values.audioCodec);
    options += AudioBitRateOption(values);
    options += " -ac " + std::to_string(values.channels);
    options += " -ar " + std::to_string(values.sampleRateHz);
    // The disc target chose the format already.
    if (discTarget.empty()) options += " -f " + std::string(EncoderFormatName(fit, values));
    // Last, so that the profile's own options keep their order and text.
    return options + DeviceEncoderOptions(fit, values) + " ";
}

std::string BuildEncoderOptions(const ProfileFiles& files, int target, int profileIndex) {
    return EncoderOptions(ReadEncoderProfile(files, target, profileIndex));
}

std::string SourceOptions(const EncoderProfile& profile, const MediaInfo& source) {
    const std::string options = EncoderOptions(profile);
    const SourceFit fit = FitSource(profile.values, profile.target, profile.index, source);
    if (fit.outputOptions.empty()) return fit.inputOptions + options;
    // The profile's options end in a blank.
    return fit.inputOptions + options.substr(0, options.size() - 1) + fit.outputOptions + " ";
}

std::string ProfileVideoCodec(const EncoderProfile& profile) {
    return std::string(EncoderVideoCodec(profile.values.videoCodec));
}

std::string ProfileVideoCodec(const ProfileFiles& files, int target, int profileIndex) {
    return ProfileVideoCodec(ReadEncoderProfile(files, target, profileIndex));
}

std::string DeviceLimitWarning(const EncoderProfile& profile) {
    return DeviceWarning(FitToDevice(profile.target, profile.values));
}

std::string DeviceLimitWarning(const ProfileFiles& files, int target, int profileIndex) {
    return DeviceLimitWarning(ReadEncoderProfile(files, target, profileIndex));
}
