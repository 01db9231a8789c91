#include "program_folder.h"

#include <unistd.h>

#include <climits>

namespace platform {
namespace {

std::string ReadProgramFolder() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "./";
    std::string exe(path, static_cast<std::size_t>(length));
    return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace

const std::string& ProgramFolder() {
    static const std::string folder = ReadProgramFolder();
    return folder;
}

}  // namespace platform
