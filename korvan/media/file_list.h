// A file list: a text file naming media files, one a line, that are read
// one after another as one source. Blank lines and lines starting with "#"
// name nothing, blanks around a name are not part of it, and a name without
// a leading "/" is taken from the list's own folder. The media layer reads
// such a source through libavformat's concat reader, from a script written
// for it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvan::media {

inline constexpr char kFileListExtension[] = ".lst";
// Larger files are not lists of names.
inline constexpr std::size_t kLargestFileListBytes = 1 << 20;

// The files `text` names, each as a path; `listFolder` ends in "/".
std::vector<std::string> ParseFileList(std::string_view text, const std::string& listFolder);

struct ListedFile {
    std::string path;
    double durationSeconds = 0;
};

// The concat reader's script for `files`: each file as a local file
// whatever its name holds (blanks, quotes, a ":"), and with its length, so
// that each one starts where the one before ends.
std::string ConcatScript(const std::vector<ListedFile>& files);

}  // namespace korvan::media
