#include "file_identity.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

namespace platform {

std::optional<FileIdentity> IdentityOf(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

std::string ResolvedPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal().string() : resolved.string();
}

}  // namespace platform
