#include "app/window/dropped_files.h"

#include <dirent.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>

#include "platform/file_names.h"
#include "platform/file_status.h"

namespace {

// Those of the open-file dialog's filters, and what cameras, phones and the
// web make today.
constexpr std::array<std::string_view, 28> kVideoExtensions = {
    ".avi", ".asf",  ".wmv", ".avs",  ".mpg",  ".mpeg", ".m2p", ".m1v", ".m2v", ".dat",
    ".vob", ".rm",   ".ram", ".rmvb", ".mov",  ".mp4",  ".m4v", ".mkv", ".flv", ".3gp",
    ".3g2", ".webm", ".ts",  ".mts",  ".m2ts", ".ogv",  ".dv",  ".divx"};

std::vector<std::string> VideoFilesIn(const std::string& folder) {
    std::vector<std::string> files;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return files;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string path = folder + entry->d_name;
        if (HasVideoExtension(path) && platform::FileSizeBytes(path) >= 0) files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

bool HasVideoExtension(const std::string& path) {
    return std::any_of(kVideoExtensions.begin(), kVideoExtensions.end(),
                       [&path](std::string_view extension) {
                           return platform::EndsWithIgnoringCase(path, extension);
                       });
}

std::vector<std::string> FilesOfDrop(const std::vector<std::string>& paths) {
    std::vector<std::string> files;
    for (const std::string& path : paths) {
        if (platform::IsFolder(path)) {
            const std::vector<std::string> inFolder =
                VideoFilesIn(platform::WithTrailingSlash(path));
            files.insert(files.end(), inFolder.begin(), inFolder.end());
        } else if (platform::FileSizeBytes(path) >= 0) {
            files.push_back(path);
        }
    }
    return files;
}
