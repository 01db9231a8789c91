#include "temp_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace platform {
namespace {

// Only a real folder that belongs to this user and that nobody else may enter
// is used: a folder or link planted in /tmp by another user is refused.
bool IsPrivateFolder(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
           (info.st_mode & 077) == 0;
}

// The variable that hands a program's own folder to what it starts.
constexpr char kProgramFolderVariable[] = "ZARVO_TEMP_FOLDER";

const std::string& UserTempFolder() {
    static const std::string folder = [] {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::string chosen = runtime ? MakePrivateFolder(runtime) : std::string();
        if (chosen.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            chosen = tmp ? MakePrivateFolder(tmp) : std::string();
        }
        return chosen.empty() ? MakePrivateFolder("/tmp") : chosen;
    }();
    return folder;
}

}  // namespace

std::string MakePrivateFolder(const std::string& base) {
    if (base.empty() || base.find(' ') != std::string::npos || base.front() != '/') return {};
    std::string folder = base;
    if (folder.back() != '/') folder.push_back('/');
    folder += "zarvo-" + std::to_string(getuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    if (!IsPrivateFolder(folder)) return {};
    return folder + "/";
}

const std::string& TempFolder() {
    static const std::string folder = [] {
        const std::string& user = UserTempFolder();
        // Only a private folder inside the user's own is taken from the
        // environment: the variable may have been set by someone else.
        const char* own = std::getenv(kProgramFolderVariable);
        if (user.empty() || !own || !std::string_view(own).starts_with(user) ||
            std::string_view(own).find(' ') != std::string_view::npos || !IsPrivateFolder(own)) {
            return user;
        }
        std::string chosen = own;
        if (chosen.back() != '/') chosen.push_back('/');
        return chosen;
    }();
    return folder;
}

ProgramTempFolder::ProgramTempFolder() {
    if (UserTempFolder().empty()) return;
    std::string pattern = UserTempFolder() + "program-XXXXXX";
    if (!mkdtemp(pattern.data())) return;
    path_ = pattern;
    setenv(kProgramFolderVariable, path_.c_str(), 1);
}

ProgramTempFolder::~ProgramTempFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ScratchFolder::ScratchFolder() {
    if (TempFolder().empty()) return;
    std::string pattern = TempFolder() + "run-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern + "/";
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace platform
