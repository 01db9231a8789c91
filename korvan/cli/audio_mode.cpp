#include "korvan/cli/cli_errors.h"
#include "korvan/cli/cli_modes.h"
#include "korvan/cli/file_encode_steps.h"
#include "korvan/cli/sequence_run.h"

namespace korvan::cli {

int RunAudioMode(ModeContext& context) {
    const CliOptions& o = context.options;
    if (o.audioInput.empty()) {
        return RefuseUsage(o.programOutput.empty()
                               ? "--audio-es needs an input (--audio IN.wav)"
                               : "-o needs an input (--video IN.y4m or --audio IN.wav)");
    }
    FileEncodeSteps steps;
    if (const int refused = steps.Open(context); refused != kExitSuccess) return refused;
    return RunFileEncode(context, steps);
}

}  // namespace korvan::cli
