// The text of an INI file as lines, with the byte ranges that a change has to
// touch. Pure functions of the text: the file handling lives in
// private_profile.cpp.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::ini {

bool EqualsIgnoringCase(std::string_view a, std::string_view b);
std::string_view Trim(std::string_view text);

// Where a section stands in the text: its header line and the end of its last
// line that is not blank (insertion point for a new key), and the end of the
// section (the start of the next header, or the end of the text).
struct SectionSpan {
    std::size_t headerBegin = 0;
    std::size_t bodyBegin = 0;       // first byte after the header line
    std::size_t lastContentEnd = 0;  // end of the last non-blank line, line break included
    std::size_t end = 0;
};

struct KeySpan {
    std::size_t lineBegin = 0;
    std::size_t lineEnd = 0;     // line break included
    std::size_t contentEnd = 0;  // line break excluded
    std::string_view name;       // as spelled in the file
    std::string_view value;      // trimmed, quotes kept
};

std::optional<SectionSpan> FindSection(std::string_view text, std::string_view section);
std::optional<KeySpan> FindKey(std::string_view text, const SectionSpan& span,
                               std::string_view key);
std::vector<std::string> SectionNames(std::string_view text);

bool HasLineBreak(std::string_view text);
// Names a write may use: they read back as themselves. A key may not hold
// "=" or start a section header or a comment; a section name may not hold
// "]"; neither may hold a line break or surrounding blanks.
bool IsWritableSectionName(std::string_view section);
bool IsWritableKeyName(std::string_view key);

// "\r\n" when the file's first line ends that way, else "\n".
std::string_view LineBreakOf(std::string_view text);

// The value as a reader sees it: one pair of matching surrounding quotes removed.
std::string_view Unquote(std::string_view value);

// The new text after setting, deleting a key or deleting a section.
std::string WithValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view value);
std::string WithoutKey(std::string_view text, std::string_view section, std::string_view key);
std::string WithoutSection(std::string_view text, std::string_view section);

}  // namespace platform::ini
