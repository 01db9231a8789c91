// Finding the program a command line starts: the program folder first, then
// the folders of PATH, as the Windows process start did for a bare name.
#pragma once

#include <string>

namespace platform {

// The full path of an executable file called `name`, or empty when there is
// none. A name holding "/" is taken as a path of its own.
std::string FindProgram(const std::string& name, const std::string& programFolder);

}  // namespace platform
