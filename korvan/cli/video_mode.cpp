#include "korvan/cli/cli_modes.h"
#include "korvan/cli/mode_not_available.h"

namespace korvan::cli {

int RunVideoMode(ModeContext&) {
    // TEMPORARY until the video coder lands.
    return ReportModeNotAvailable("video encoding");
}

}  // namespace korvan::cli
