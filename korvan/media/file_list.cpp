#include "korvan/media/file_list.h"

#include <charconv>

namespace korvan::media {

namespace {

// Between single quotes everything is literal but the quote itself, which
// ends the quoted part, is written escaped, and begins the next one.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

}  // namespace

std::vector<std::string> ParseFileList(std::string_view text, const std::string& listFolder) {
    std::vector<std::string> files;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        // Lists written on other systems end their lines in CR LF.
        const std::size_t first = line.find_first_not_of(" \t");
        const std::size_t last = line.find_last_not_of(" \t\r");
        line = first == std::string_view::npos ? std::string_view()
                                               : line.substr(first, last - first + 1);
        // A NUL cannot be part of a file name.
        if (line.empty() || line.front() == '#' || line.find('\0') != std::string_view::npos) {
            continue;
        }
        files.push_back(line.front() == '/' ? std::string(line) : listFolder + std::string(line));
    }
    return files;
}

std::string ConcatScript(const std::vector<ListedFile>& files) {
    std::string script = "ffconcat version 1.0\n";
    for (const ListedFile& file : files) {
        // The protocol keeps a name with a ":" from reading as a URL.
        script += "file " + Quoted("file:" + file.path) + "\n";
        // Written the same whatever the locale (a host with Qt has the
        // user's, which may write a decimal comma).
        char duration[64];
        const std::to_chars_result written =
            std::to_chars(duration, duration + sizeof duration, file.durationSeconds,
                          std::chars_format::fixed, 6);
        if (written.ec == std::errc()) {
            script += "duration " + std::string(duration, written.ptr) + "\n";
        }
    }
    return script;
}

}  // namespace korvan::media
