// A scratch folder for one test, removed with everything in it afterwards.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace test {

class TempDir {
public:
    // `name` becomes part of the folder's name, so tests can put blanks and
    // non-ASCII letters into their paths.
    explicit TempDir(const std::string& name = "zarvo test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (name + " XXXXXX")).string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder with a trailing "/".
    std::string Folder() const { return path_ + "/"; }
    std::string operator/(const std::string& name) const { return Folder() + name; }

private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names in a folder, sorted, without `except` (a sub-folder, say).
inline std::vector<std::string> FileNamesIn(const std::string& folder,
                                            const std::string& except = "") {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename();
        if (name != except) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace test
