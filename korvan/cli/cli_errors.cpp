#include "korvan/cli/cli_errors.h"

#include <cstdio>

#include "korvan/cli/cli_modes.h"

namespace korvan::cli {

void PrintError(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str());
}

int RefuseUsage(const std::string& text) {
    PrintError(text);
    return kExitUsage;
}

}  // namespace korvan::cli
