// One-line errors of zarvo-mpegenc on standard error, each led by the
// program's name.
#pragma once

#include <string>

namespace korvan::cli {

void PrintError(const std::string& text);

// Prints the error and gives the exit code of a refused command line.
int RefuseUsage(const std::string& text);

}  // namespace korvan::cli
