// Whether a name leads to a given file: through a symbolic link, a hard link
// or another spelling of its path. Files are told apart as the kernel tells
// them apart, by device and inode.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace platform {

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The file the path leads to, symbolic links followed; none when there is no
// such file.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// The absolute path with ".", ".." and the symbolic links of its existing
// part resolved; what does not exist yet is kept as written.
std::string ResolvedPath(const std::string& path);

}  // namespace platform
