#include "app/tools/tool_failure.h"

#include <array>

namespace {

// Lines ffmpeg and mencoder print on every run, failed or not, or as a mere
// conclusion after the line that says why.
constexpr std::array<std::string_view, 16> kNotAReason = {
    "frame=",
    "size=",
    "video:",
    "Press [q]",
    "Conversion failed!",
    "Exiting",
    "Input #",
    "Output #",
    "Stream mapping:",
    "ffmpeg version",
    "built with",
    "configuration:",
    "At least one output file must be specified",
    "MEncoder ",
    "MPlayer ",
    "encoded ",
};

bool IsNoReason(std::string_view line) {
    if (line.empty() || line.front() == ' ' || line.front() == '\t') return true;
    for (const std::string_view start : kNotAReason) {
        if (line.starts_with(start)) return true;
    }
    return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

// "[mpeg @ 0x55d1c0a3e2c0] no frame!" gives "no frame!".
std::string_view WithoutComponent(std::string_view line) {
    while (line.starts_with('[')) {
        const std::size_t end = line.find("] ");
        if (end == std::string_view::npos) break;
        line.remove_prefix(end + 2);
    }
    return line;
}

// "/tmp/run-x/aa.mpg: Invalid data..." gives "Invalid data...": the path is
// often a temporary name that would only puzzle the reader.
std::string_view WithoutPath(std::string_view line) {
    if (!line.starts_with('/')) return line;
    const std::size_t colon = line.rfind(": ");
    if (colon == std::string_view::npos || colon + 2 >= line.size()) return line;
    return line.substr(colon + 2);
}

}  // namespace

std::string ToolFailureLine(std::string_view output) {
    // Only so much of a line is worth showing in a status pane.
    constexpr std::size_t kLongestLine = 300;
    while (!output.empty()) {
        std::size_t start = output.find_last_of("\r\n", output.size() - 1);
        start = start == std::string_view::npos ? 0 : start + 1;
        std::string_view line = output.substr(start);
        output = output.substr(0, start == 0 ? 0 : start - 1);
        if (IsNoReason(line)) continue;
        line = WithoutPath(WithoutComponent(line));
        while (!line.empty() && (line.back() == ' ' || line.back() == '.')) line.remove_suffix(1);
        if (line.empty()) continue;
        return std::string(line.substr(0, kLongestLine));
    }
    return {};
}
