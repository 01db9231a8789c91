#include "korvan/cli/file_encode_steps.h"

#include "korvan/cli/cli_errors.h"
#include "korvan/cli/video_encode.h"
#include "korvan/media/y4m_reader.h"
#include "korvan/mpegenc/driver/encoder_startup.h"
#include "korvan/mpegenc/settings/encode_input_check.h"

namespace korvan::cli {

int FileEncodeSteps::Open(ModeContext& context) {
    const CliOptions& options = context.options;
    EncoderSettings& settings = context.settings;
    EncodeInput input;
    if (!options.videoInput.empty()) {
        Y4mReader probe;
        if (const Status opened = probe.Open(options.videoInput); !opened.IsOk()) {
            return RefuseUsage(opened.message);
        }
        settings.horizontalSize = probe.Header().width;
        settings.verticalSize = probe.Header().height;
        videoInput_ = options.videoInput;
        reconstruction_ = options.reconOutput;
        threads_ = options.threadCount;
        input.video = true;
    }
    if (!options.audioInput.empty()) {
        if (const std::string problem = audio_.Open(options.audioInput); !problem.empty()) {
            return RefuseUsage(problem);
        }
        TakeAudioModeFromInput(settings, audio_.Format().channels, options.settingsPath);
        input.audio = true;
        input.sampleRateHz = audio_.Format().sampleRateHz;
    }
    // Both streams are tested before either is coded, so a refused sound
    // never costs the time of a video encode.
    const InputVerdict verdict = CheckEncodeInput(settings, input, context.messages);
    return verdict.videoAccepted && verdict.audioAccepted ? kExitSuccess : kExitUsage;
}

Status FileEncodeSteps::EncodeVideo(const EncoderSettings& settings,
                                    const std::string& streamPath) {
    const Status result =
        EncodeVideoFile(settings, VideoModeFiles{videoInput_, streamPath, reconstruction_},
                        ChosenCpuFlags(), nullptr, threads_);
    if (result.IsOk()) return {};
    return Status::Failed(result.message);
}

Status FileEncodeSteps::EncodeAudio(const EncoderSettings& settings,
                                    const std::string& streamPath) {
    const audio::AudioEncodeResult result = audio_.EncodeInto(settings, streamPath);
    if (result.status.code == StatusCode::kSourceFailed) {
        return Status::Failed("Could not read audio input " + audio_.Path() + ".");
    }
    return result.status;
}

}  // namespace korvan::cli
