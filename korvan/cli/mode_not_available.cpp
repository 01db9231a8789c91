#include "korvan/cli/mode_not_available.h"

#include <cstdio>
#include <string>

#include "korvan/cli/cli_modes.h"

namespace korvan::cli {

int ReportModeNotAvailable(std::string_view what) {
    std::fprintf(stderr, "%s: %s is not available yet\n", kProgramName, std::string(what).c_str());
    return kExitUsage;
}

}  // namespace korvan::cli
