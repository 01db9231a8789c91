// The numbers of script lines: whole ones as written, with nothing around
// them, and numbers of seconds.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>

inline std::optional<int> ParseScriptInt(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end) return std::nullopt;
    return value;
}

// From 0 to a day.
inline std::optional<double> ParseScriptSeconds(std::string_view text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || !(value >= 0) || value > 86400) return std::nullopt;
    return value;
}
