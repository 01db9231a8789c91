#include "app/script/script_line.h"

ScriptLine ParseScriptLine(std::string_view line) {
    ScriptLine parsed;
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) return parsed;
    line.remove_prefix(start);
    const std::size_t end = line.find_first_of(" \t");
    parsed.command = std::string(line.substr(0, end));
    if (end == std::string_view::npos) return parsed;
    // One separator after the command word; the rest is kept as written, so
    // that a path may start or end with a blank.
    parsed.rest = std::string(line.substr(end + 1));
    std::size_t from = 0;
    while (from <= parsed.rest.size()) {
        std::size_t tab = parsed.rest.find('\t', from);
        if (tab == std::string::npos) tab = parsed.rest.size();
        if (tab > from) parsed.arguments.push_back(parsed.rest.substr(from, tab - from));
        from = tab + 1;
    }
    return parsed;
}
