#include "ini_text.h"

#include <algorithm>

namespace platform::ini {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

// One line of the text: [begin, contentEnd) without its line break, lineEnd
// after it.
struct Line {
    std::size_t begin;
    std::size_t contentEnd;
    std::size_t lineEnd;
};

class Lines {
public:
    explicit Lines(std::string_view text, std::size_t from = 0) : text_(text), pos_(from) {}

    bool Next(Line& line) {
        if (pos_ >= text_.size()) return false;
        std::size_t newline = text_.find('\n', pos_);
        line.begin = pos_;
        line.lineEnd = newline == std::string_view::npos ? text_.size() : newline + 1;
        line.contentEnd = newline == std::string_view::npos ? text_.size() : newline;
        if (line.contentEnd > line.begin && text_[line.contentEnd - 1] == '\r') --line.contentEnd;
        pos_ = line.lineEnd;
        return true;
    }

    std::string_view Content(const Line& line) const {
        return text_.substr(line.begin, line.contentEnd - line.begin);
    }

private:
    std::string_view text_;
    std::size_t pos_;
};

// The name of a section header line, or nothing when the line is not one.
std::optional<std::string_view> HeaderName(std::string_view content) {
    std::string_view trimmed = Trim(content);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    std::size_t close = trimmed.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(trimmed.substr(1, close - 1));
}

struct KeyLine {
    std::string_view name;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view content) {
    std::string_view trimmed = Trim(content);
    if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
    std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    KeyLine key{Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1))};
    if (key.name.empty()) return std::nullopt;
    return key;
}

std::string KeyLineText(std::string_view key, std::string_view value) {
    std::string line;
    line.reserve(key.size() + value.size() + 1);
    line.append(key).append("=").append(value);
    return line;
}

bool IsWritableName(std::string_view name) {
    return !name.empty() && name.find_first_of("\r\n") == name.npos && Trim(name) == name;
}

bool EndsWithLineBreak(std::string_view text) { return !text.empty() && text.back() == '\n'; }

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlankChar(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
    return text;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != text.npos; }

bool IsWritableSectionName(std::string_view section) {
    return IsWritableName(section) && section.find(']') == section.npos;
}

bool IsWritableKeyName(std::string_view key) {
    return IsWritableName(key) && key.find('=') == key.npos && key.front() != '[' &&
           key.front() != ';';
}

std::optional<SectionSpan> FindSection(std::string_view text, std::string_view section) {
    Lines lines(text);
    Line line{};
    std::optional<SectionSpan> span;
    while (lines.Next(line)) {
        std::optional<std::string_view> header = HeaderName(lines.Content(line));
        if (span) {
            if (header) break;
            if (!Trim(lines.Content(line)).empty()) span->lastContentEnd = line.lineEnd;
            span->end = line.lineEnd;
        } else if (header && EqualsIgnoringCase(*header, section)) {
            span = SectionSpan{line.begin, line.lineEnd, line.lineEnd, line.lineEnd};
        }
    }
    return span;
}

std::optional<KeySpan> FindKey(std::string_view text, const SectionSpan& span,
                               std::string_view key) {
    Lines lines(text.substr(0, span.end), span.bodyBegin);
    Line line{};
    while (lines.Next(line)) {
        std::optional<KeyLine> parsed = ParseKeyLine(lines.Content(line));
        if (parsed && EqualsIgnoringCase(parsed->name, key)) {
            return KeySpan{line.begin, line.lineEnd, line.contentEnd, parsed->name, parsed->value};
        }
    }
    return std::nullopt;
}

std::vector<std::string> SectionNames(std::string_view text) {
    std::vector<std::string> names;
    Lines lines(text);
    Line line{};
    while (lines.Next(line)) {
        std::optional<std::string_view> header = HeaderName(lines.Content(line));
        if (!header) continue;
        bool known = std::any_of(names.begin(), names.end(), [&](const std::string& name) {
            return EqualsIgnoringCase(name, *header);
        });
        if (!known) names.emplace_back(*header);
    }
    return names;
}

std::string_view LineBreakOf(std::string_view text) {
    std::size_t newline = text.find('\n');
    if (newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r') {
        return "\r\n";
    }
    return "\n";
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string WithValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value) {
    const std::string_view lineBreak = LineBreakOf(text);
    std::string result;
    result.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    std::optional<SectionSpan> span = FindSection(text, section);
    if (!span) {
        result.append(text);
        if (!result.empty() && !EndsWithLineBreak(result)) result.append(lineBreak);
        result.append("[").append(section).append("]").append(lineBreak);
        result.append(KeyLineText(key, value)).append(lineBreak);
        return result;
    }

    if (std::optional<KeySpan> found = FindKey(text, *span, key)) {
        if (found->value == value) return std::string(text);
        result.append(text.substr(0, found->lineBegin));
        result.append(KeyLineText(found->name, value));
        result.append(text.substr(found->contentEnd));
        return result;
    }

    const std::size_t at = span->lastContentEnd;
    result.append(text.substr(0, at));
    if (!EndsWithLineBreak(result)) result.append(lineBreak);
    result.append(KeyLineText(key, value)).append(lineBreak);
    result.append(text.substr(at));
    return result;
}

std::string WithoutKey(std::string_view text, std::string_view section, std::string_view key) {
    std::optional<SectionSpan> span = FindSection(text, section);
    if (!span) return std::string(text);
    std::optional<KeySpan> found = FindKey(text, *span, key);
    if (!found) return std::string(text);
    std::string result(text.substr(0, found->lineBegin));
    result.append(text.substr(found->lineEnd));
    return result;
}

std::string WithoutSection(std::string_view text, std::string_view section) {
    std::optional<SectionSpan> span = FindSection(text, section);
    if (!span) return std::string(text);
    std::string result(text.substr(0, span->headerBegin));
    result.append(text.substr(span->end));
    return result;
}

}  // namespace platform::ini
