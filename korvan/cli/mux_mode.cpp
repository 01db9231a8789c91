#include <cstdio>

#include "korvan/cli/cli_modes.h"
#include "korvan/cli/file_encode_steps.h"
#include "korvan/cli/sequence_run.h"

namespace korvan::cli {

int RunMuxMode(ModeContext& context) {
    const CliOptions& options = context.options;
    if (options.programOutput.empty()) {
        std::fprintf(stderr, "%s: option '-o' is required to multiplex\n", kProgramName);
        return kExitUsage;
    }
    if (options.muxAudioInput.empty() && !options.muxAudio1Input.empty()) {
        std::fprintf(stderr, "%s: a second audio stream needs a first one (--mux-audio)\n",
                     kProgramName);
        return kExitUsage;
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
