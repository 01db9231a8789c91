#include <string>

#include "korvan/cli/cli_errors.h"
#include "korvan/cli/cli_modes.h"
#include "korvan/cli/file_encode_steps.h"
#include "korvan/cli/sequence_run.h"

namespace korvan::cli {

int RunVideoMode(ModeContext& context) {
    const CliOptions& o = context.options;
    if (o.videoInput.empty()) return RefuseUsage("--video-es needs an input (--video IN.y4m)");
    if (o.videoStreamOutput.empty() && o.programOutput.empty())
        return RefuseUsage("nothing to write: give --video-es OUT or -o OUT.mpg");
    FileEncodeSteps steps;
    if (const int refused = steps.Open(context); refused != kExitSuccess) return refused;
    return RunFileEncode(context, steps);
}

}  // namespace korvan::cli
