#include "korvan/cli/cli_modes.h"
#include "korvan/cli/mode_not_available.h"

namespace korvan::cli {

int RunMuxMode(ModeContext&) {
    // TEMPORARY until the multiplexer lands.
    return ReportModeNotAvailable("multiplexing");
}

}  // namespace korvan::cli
