#include "app/profiles/encoder_options.h"

#include "app/profiles/device_limits.h"
#include "app/profiles/ffmpeg_adaptations.h"
#include "app/profiles/profile_values.h"

namespace {

std::string AudioBitRateOption(const ProfileValues& values) {
    if (!values.hasAudio) return " -an";
    if (values.audioBitRateKbps == 0) return {};
    return " -ab " + std::to_string(AudioBitRateOptionValue(values.audioBitRateKbps));
}

}  // namespace

std::string BuildEncoderOptions(const ProfileFiles& files, int target, int profileIndex) {
    const ProfileValues values = ReadProfileValues(files, target, profileIndex);
    const DeviceFit fit = FitToDevice(target, values);

    std::string options = " -vcodec " + std::string(EncoderVideoCodec(values.videoCodec));
    if (!KeepsInputFrameSize(values.widthPx, values.heightPx)) {
        options += " -s " + std::to_string(values.widthPx) + "x" + std::to_string(values.heightPx);
    }
    options += " -r " + std::string(values.frameRate);
    options += " -b " + std::to_string(values.videoBitRateKbps * 1000);
    options += " -acodec " + std::string(values.audioCodec);
    options += AudioBitRateOption(values);
    options += " -ac " + std::to_string(values.channels);
    options += " -ar " + std::to_string(values.sampleRateHz);
    options += " -f " + std::string(EncoderFormatName(fit, values));
    // After the design's options, so that its command line stays as it was.
    return options + DeviceEncoderOptions(fit, values) + " ";
}

std::string ProfileVideoCodec(const ProfileFiles& files, int target, int profileIndex) {
    return std::string(
        EncoderVideoCodec(ReadProfileValues(files, target, profileIndex).videoCodec));
}

std::string DeviceLimitWarning(const ProfileFiles& files, int target, int profileIndex) {
    return DeviceWarning(FitToDevice(target, ReadProfileValues(files, target, profileIndex)));
}
