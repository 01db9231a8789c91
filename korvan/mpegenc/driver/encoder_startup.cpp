#include "korvan/mpegenc/driver/encoder_startup.h"

#include "korvan/mpegenc/settings/encoder_settings_file.h"
#include "korvan/mpegenc/settings/video_stream_extension.h"
#include "platform/user_profile.h"

namespace korvan {

std::string DefaultSettingsPath() { return platform::UserProfileFolder() + "default.ini"; }

CpuFlags ChosenCpuFlags() {
    // Without a stored mode every detected set is used.
    constexpr int kNoStoredMode = -1;
    return FlagsForProcessorMode(
        platform::GetProfileInt(kApplicationTitle, "MMXMode", kNoStoredMode), DetectCpuFlags());
}

void StartUpEncoder(EncoderState& state, const MessageSink& messages) {
    state.palDefaults = platform::GetProfileInt(kApplicationTitle, "PALDefaults", 0) != 0;
    state.batch = platform::GetProfileInt(kApplicationTitle, "Batch", 0);
    state.kernelFlags = ChosenCpuFlags();

    ApplyEncoderPreset(state, EncoderPreset::kVideoCd, TvSystem::kNtsc);
    if (!LoadEncoderSettings(state.settings, DefaultSettingsPath(), messages)) {
        ApplyEncoderPreset(state, EncoderPreset::kMpeg1,
                           state.palDefaults ? TvSystem::kPal : TvSystem::kNtsc);
    }
}

void ShutDownEncoder(const EncoderState& state) {
    platform::WriteProfileString(kApplicationTitle, "Batch", std::to_string(state.batch));
}

void ApplyEncoderPreset(EncoderState& state, EncoderPreset preset, TvSystem system) {
    ApplyPreset(state.settings, preset, system);
    state.videoStreamName = WithVideoStreamExtension(state.videoStreamName, state.settings);
}

}  // namespace korvan
