#include "korvan/cli/cli_errors.h"
#include "korvan/cli/cli_modes.h"
#include "korvan/cli/file_encode_steps.h"
#include "korvan/cli/sequence_run.h"

namespace korvan::cli {

int RunMuxMode(ModeContext& context) {
    const CliOptions& options = context.options;
    if (options.programOutput.empty()) return RefuseUsage("option '-o' is required to multiplex");
    if (options.muxAudioInput.empty() && !options.muxAudio1Input.empty()) {
        return RefuseUsage("a second audio stream needs a first one (--mux-audio)");
    }
    EncodeStreamNames names;
    names.video = options.muxVideoInput;
    names.audio = options.muxAudioInput;
    names.secondAudio = options.muxAudio1Input;
    names.program = options.programOutput;
    EncoderSettings& settings = context.settings;
    settings.userEncodeVideo = 0;
    settings.userEncodeAudio = 0;
    settings.multiplexVideo = !names.video.empty();
    settings.multiplexAudio = !names.audio.empty();
    // Ready streams are only multiplexed: the steps have nothing to code.
    FileEncodeSteps steps;
    return RunSequence(context, names, steps);
}

}  // namespace korvan::cli
