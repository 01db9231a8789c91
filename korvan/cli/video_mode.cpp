#include <cstdio>
#include <string>

#include "korvan/cli/cli_modes.h"
#include "korvan/cli/mode_not_available.h"
#include "korvan/cli/video_encode.h"
#include "korvan/media/y4m_reader.h"
#include "korvan/mpegenc/common/processor_mode.h"
#include "korvan/mpegenc/settings/encode_input_check.h"
#include "korvan/mpegenc/settings/settings_validation.h"

namespace korvan::cli {
namespace {

int Fail(int code, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str());
    return code;
}

}  // namespace

int RunVideoMode(ModeContext& context) {
    const CliOptions& o = context.options;
    EncoderSettings& settings = context.settings;
    if (o.videoInput.empty()) return Fail(kExitUsage, "--video-es and -o need --video IN.y4m");
    // Sound beside the pictures goes into a program stream, which needs the
    // multiplexer; refuse before spending time on the video.
    if (!o.audioInput.empty() || !o.programOutput.empty()) {
        return ReportModeNotAvailable("multiplexing");
    }
    if (o.videoStreamOutput.empty())
        return Fail(kExitUsage, "nothing to write: give --video-es OUT");

    Y4mReader probe;
    std::string error;
    if (!probe.Open(o.videoInput, error)) return Fail(kExitUsage, error);
    settings.horizontalSize = probe.Header().width;
    settings.verticalSize = probe.Header().height;
    const InputVerdict verdict = CheckEncodeInput(settings, {.video = true}, context.messages);
    if (!verdict.videoAccepted) return kExitUsage;
    if (!ValidateVideoSettings(settings)) {
        return Fail(kExitUsage, "Invalid settings, running settings ...");
    }

    VideoModeFiles files;
    files.input = o.videoInput;
    files.elementary = o.videoStreamOutput;
    files.reconstruction = o.reconOutput;
    const VideoResult result = EncodeVideoFile(settings, files, DetectProcessorMode());
    if (!result.Ok()) return Fail(kExitFailure, result.message);
    return kExitSuccess;
}

}  // namespace korvan::cli
