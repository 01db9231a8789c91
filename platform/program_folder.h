// The folder of the running executable, with a trailing "/". The program's
// relative file names (settings, profiles, tools, help) are resolved against
// it; a library uses the folder of the program that loaded it.
#pragma once

#include <string>

namespace platform {

const std::string& ProgramFolder();

}  // namespace platform
