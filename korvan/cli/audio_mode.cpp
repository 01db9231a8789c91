#include <cstdio>

#include "korvan/cli/cli_modes.h"
#include "korvan/cli/file_encode_steps.h"
#include "korvan/cli/sequence_run.h"

namespace korvan::cli {

int RunAudioMode(ModeContext& context) {
    const CliOptions& o = context.options;
    if (o.audioInput.empty()) {
        const bool program = !o.programOutput.empty();
        std::fprintf(stderr, "%s: %s needs an input (%s)\n", kProgramName,
                     program ? "-o" : "--audio-es",
                     program ? "--video IN.y4m or --audio IN.wav" : "--audio IN.wav");
        return kExitUsage;
    }
    FileEncodeSteps steps;
    if (const int refused = steps.Open(context); refused != kExitSuccess) return refused;
    return RunFileEncode(context, steps);
}

}  // namespace korvan::cli
