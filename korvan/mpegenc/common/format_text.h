// printf-style formatting of the fixed message and progress texts, which
// keep their printf form so that they read exactly as the user sees them.
#pragma once

#include <string>

namespace korvan {

std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace korvan
