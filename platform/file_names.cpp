#include "file_names.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "file_identity.h"
#include "ini_text.h"

namespace platform {

std::string ResolveFileName(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) == 0) return path;

    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string_view name = std::string_view(path).substr(slash + 1);

    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return path;
    while (const dirent* entry = readdir(dir.get())) {
        if (ini::EqualsIgnoringCase(entry->d_name, name)) {
            return slash == std::string::npos ? std::string(entry->d_name) : folder + entry->d_name;
        }
    }
    return path;
}

std::string BaseName(std::string_view path) {
    std::string_view name = path.substr(path.rfind('/') + 1);
    return std::string(name.substr(0, name.rfind('.')));
}

std::string FileName(std::string_view path) {
    return std::string(path.substr(path.rfind('/') + 1));
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           ini::EqualsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string WithTrailingSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder.push_back('/');
    return folder;
}

bool SameFile(const std::string& a, const std::string& b) {
    const std::optional<FileIdentity> first = IdentityOf(a);
    return first && first == IdentityOf(b);
}

void MakeEmptyFolder(const std::string& folder,
                     const std::function<void(const std::string&)>& remove) {
    mkdir(folder.c_str(), 0777);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string path = folder + entry->d_name;
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) continue;
        if (remove) {
            remove(path);
        } else {
            unlink(path.c_str());
        }
    }
}

}  // namespace platform
