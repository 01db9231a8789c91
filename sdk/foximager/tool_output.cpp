#include "sdk/foximager/tool_output.h"

#include <charconv>
#include <cmath>

namespace foximager {
namespace {

std::optional<double> Number(std::string_view text) {
    double value = 0;
    const auto [ptr, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || ptr == text.data() || !std::isfinite(value) || value < 0) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<double> FfmpegProgressSeconds(std::string_view line) {
    constexpr std::string_view kKey = "out_time_us=";
    if (!line.starts_with(kKey)) return std::nullopt;
    const auto microseconds = Number(line.substr(kKey.size()));
    if (!microseconds) return std::nullopt;
    return *microseconds / 1e6;
}

std::optional<double> DvdauthorMegabytes(std::string_view line) {
    if (!line.starts_with("STAT: VOBU ")) return std::nullopt;
    const std::size_t at = line.find(" at ");
    if (at == std::string_view::npos) return std::nullopt;
    return Number(line.substr(at + 4));
}

std::optional<std::string> DvdauthorFile(std::string_view line) {
    constexpr std::string_view kKey = "STAT: Processing ";
    if (!line.starts_with(kKey) || !line.ends_with("...")) return std::nullopt;
    return std::string(line.substr(kKey.size(), line.size() - kKey.size() - 3));
}

std::optional<double> SpumuxSeconds(std::string_view line) {
    constexpr std::string_view kKey = "STAT: ";
    if (!line.starts_with(kKey)) return std::nullopt;
    std::string_view rest = line.substr(kKey.size());
    // h:mm:ss.fff
    double seconds = 0;
    for (int part = 0; part < 3; ++part) {
        const std::size_t colon = part < 2 ? rest.find(':') : rest.size();
        if (colon == std::string_view::npos) return std::nullopt;
        const auto value = Number(rest.substr(0, colon));
        if (!value) return std::nullopt;
        seconds = seconds * 60 + *value;
        if (part < 2) rest.remove_prefix(colon + 1);
    }
    return seconds;
}

bool IsErrorLine(std::string_view line) { return line.starts_with("ERR:"); }

}  // namespace foximager
