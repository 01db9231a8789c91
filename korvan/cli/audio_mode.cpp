#include "korvan/cli/cli_modes.h"
#include "korvan/cli/mode_not_available.h"

namespace korvan::cli {

int RunAudioMode(ModeContext&) {
    // TEMPORARY until the audio coder lands.
    return ReportModeNotAvailable("audio encoding");
}

}  // namespace korvan::cli
