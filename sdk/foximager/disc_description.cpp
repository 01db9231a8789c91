#include "sdk/foximager/disc_description.h"

#include <charconv>

#include "platform/ini_text.h"

namespace foximager {
namespace {

std::optional<std::string_view> Value(std::string_view text, std::string_view section,
                                      std::string_view key) {
    const auto span = platform::ini::FindSection(text, section);
    if (!span) return std::nullopt;
    const auto found = platform::ini::FindKey(text, *span, key);
    if (!found) return std::nullopt;
    return platform::ini::Unquote(found->value);
}

// A whole decimal number, blanks around it allowed.
std::optional<int> ParseInt(std::string_view text) {
    text = platform::ini::Trim(text);
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || text.empty()) return std::nullopt;
    return value;
}

// "x,y"
std::optional<std::pair<int, int>> ParsePoint(std::string_view text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string_view::npos) return std::nullopt;
    const auto x = ParseInt(text.substr(0, comma));
    const auto y = ParseInt(text.substr(comma + 1));
    if (!x || !y) return std::nullopt;
    return std::pair{*x, *y};
}

}  // namespace

std::optional<DiscDescription> ParseDiscDescription(std::string_view text, std::string& error) {
    DiscDescription description;
    description.menu = std::string(Value(text, "Infos", "Menu").value_or(""));
    if (description.menu.empty()) {
        error = "The description names no menu and no title.";
        return std::nullopt;
    }
    int count = 0;
    if (const auto selections = Value(text, "Infos", "Selections")) {
        const auto parsed = ParseInt(*selections);
        if (!parsed || *parsed < 0 || *parsed > kMaxTitles) {
            error = "The description's title count \"" + std::string(*selections) +
                    "\" is not a number from 0 to " + std::to_string(kMaxTitles) + ".";
            return std::nullopt;
        }
        count = *parsed;
    }
    for (int i = 0; i < count; ++i) {
        const std::string section = std::to_string(i);
        const std::string name = "Title " + std::to_string(i + 1);
        DiscTitle title;
        title.file = std::string(Value(text, section, "file").value_or(""));
        if (title.file.empty()) {
            error = name + " of the description has no file.";
            return std::nullopt;
        }
        const auto topLeft = ParsePoint(Value(text, section, "TopLeft").value_or(""));
        const auto rightBottom = ParsePoint(Value(text, section, "RightBottom").value_or(""));
        if (!topLeft || !rightBottom || rightBottom->first <= topLeft->first ||
            rightBottom->second <= topLeft->second) {
            error = name + " of the description has no button rectangle.";
            return std::nullopt;
        }
        title.button = {topLeft->first, topLeft->second, rightBottom->first, rightBottom->second};
        if (const auto lineWidth = Value(text, section, "LineWidth")) {
            title.lineWidth = ParseInt(*lineWidth).value_or(title.lineWidth);
        }
        description.titles.push_back(std::move(title));
    }
    return description;
}

}  // namespace foximager
