// The INI functions under the settings, profile and job files: any text,
// any names. A key that is set reads back as set, by the text functions and
// through a file; setting it again changes nothing; no other section is
// lost; deleting takes a line away.
#include <algorithm>

#include "platform/ini_text.h"
#include "platform/private_profile.h"
#include "tests/fuzz/fuzz_input.h"

namespace ini = platform::ini;

namespace {

bool HasSection(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return ini::EqualsIgnoringCase(n, name); });
}

// Reading the text through a file gives what the text functions give.
void CheckFileReads(std::string_view text, std::string_view section, std::string_view key) {
    const fuzz::MemoryFile file(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    std::string expected = "default";
    if (const auto span = ini::FindSection(text, section)) {
        if (const auto found = ini::FindKey(text, *span, key)) {
            expected = std::string(ini::Unquote(found->value));
        }
    }
    FUZZ_CHECK(platform::GetPrivateProfileString(section, key, "default", 100000, file.Path()) ==
               expected);
    const std::string cut =
        platform::GetPrivateProfileString(section, key, "default", 4, file.Path());
    FUZZ_CHECK(cut == expected.substr(0, 3));
    platform::GetPrivateProfileInt(section, key, 7, file.Path());
    FUZZ_CHECK(platform::GetPrivateProfileSectionNames(file.Path()) == ini::SectionNames(text));
}

}  // namespace

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    const std::string_view section = fields.Field();
    const std::string_view key = fields.Field();
    const std::string_view value = fields.Field();
    const std::string_view text = fields.Rest();

    const std::vector<std::string> sections = ini::SectionNames(text);
    ini::LineBreakOf(text);
    CheckFileReads(text, section, key);

    const std::string removed = ini::WithoutSection(text, section);
    FUZZ_CHECK(removed.size() <= text.size());
    FUZZ_CHECK(ini::WithoutKey(text, section, key).size() <= text.size());

    if (!ini::IsWritableSectionName(section) || !ini::IsWritableKeyName(key) ||
        ini::HasLineBreak(value)) {
        return;
    }
    const std::string written = ini::WithValue(text, section, key, value);
    const auto span = ini::FindSection(written, section);
    FUZZ_CHECK(span.has_value());
    const auto found = ini::FindKey(written, *span, key);
    FUZZ_CHECK(found.has_value());
    FUZZ_CHECK(found->value == ini::Trim(value));
    FUZZ_CHECK(ini::WithValue(written, section, key, value) == written);

    const std::vector<std::string> after = ini::SectionNames(written);
    for (const std::string& name : sections) FUZZ_CHECK(HasSection(after, name));
    FUZZ_CHECK(HasSection(after, section));

    FUZZ_CHECK(ini::WithoutKey(written, section, key).size() < written.size());
}
