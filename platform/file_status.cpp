#include "platform/file_status.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace platform {

long long FileSizeBytes(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<long long>(info.st_size);
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string FolderWriteError(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return error.message();
    if (!IsFolder(folder)) return std::strerror(ENOTDIR);
    std::string probe = folder;
    if (probe.back() != '/') probe.push_back('/');
    probe += ".zarvo-write-check-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0) return std::strerror(errno);
    // Some room, not just a name: a full disk still takes an empty file.
    const std::vector<char> block(64 * 1024, 0);
    const ssize_t written = write(fd, block.data(), block.size());
    const int writeErrno =
        written < 0 ? errno : (written < static_cast<ssize_t>(block.size()) ? ENOSPC : 0);
    const int closeErrno = close(fd) == 0 ? 0 : errno;
    unlink(probe.c_str());
    if (writeErrno != 0) return std::strerror(writeErrno);
    if (closeErrno != 0) return std::strerror(closeErrno);
    return {};
}

}  // namespace platform
