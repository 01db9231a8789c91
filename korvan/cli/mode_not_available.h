// TEMPORARY: stands in for the modes whose coder has not landed yet. Each
// mode file drops its call when its coder lands; the last one deletes this
// file and its line in CMakeLists.txt.
#pragma once

#include <string_view>

namespace korvan::cli {

// Prints "zarvo-mpegenc: <what> is not available yet" and returns kExitUsage.
int ReportModeNotAvailable(std::string_view what);

}  // namespace korvan::cli
