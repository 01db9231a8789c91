// What the file system says about a path, for callers that only ask.
#pragma once

#include <string>

namespace platform {

// The size of the regular file (a link followed), or -1 when there is none.
long long FileSizeBytes(const std::string& path);

// True for a folder (a link followed).
bool IsFolder(const std::string& path);

// Makes the folder (and its parents) when missing and writes and removes a
// file of its own in it: "" when that worked, else the system's words for
// why not ("Permission denied", "No space left on device").
std::string FolderWriteError(const std::string& folder);

}  // namespace platform
