// A file list of any content: every name it gives is a whole path of one
// line, and the concat script made of them holds each one, quoted, on a
// line of its own.
#include <algorithm>
#include <string>
#include <string_view>

#include "korvan/media/file_list.h"
#include "tests/fuzz/fuzz_input.h"

namespace media = korvan::media;

void FuzzInput(const uint8_t* data, size_t size) {
    const std::string folder = "/list folder/";
    const std::vector<std::string> names =
        media::ParseFileList(std::string_view(reinterpret_cast<const char*>(data), size), folder);
    std::vector<media::ListedFile> files;
    for (const std::string& name : names) {
        FUZZ_CHECK(!name.empty() && name.front() == '/');
        FUZZ_CHECK(name.find('\n') == std::string::npos);
        FUZZ_CHECK(name.find('\0') == std::string::npos);
        FUZZ_CHECK(name != folder);
        files.push_back({name, static_cast<double>(name.size())});
    }
    const std::string script = media::ConcatScript(files);
    FUZZ_CHECK(script.rfind("ffconcat version 1.0\n", 0) == 0);
    // A header line, and a name and a length for each file.
    FUZZ_CHECK(static_cast<std::size_t>(std::count(script.begin(), script.end(), '\n')) ==
               1 + 2 * files.size());
}
