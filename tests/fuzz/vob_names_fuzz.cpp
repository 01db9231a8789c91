// The file names of a DVD folder, whatever they are: every VOB lands in one
// of the title groups or is left out, and the longest group is one of them.
#include "app/disc/dvd_titles.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    std::vector<std::string> names;
    while (!fields.Rest().empty()) names.emplace_back(fields.Field());
    const DvdTitleGroups groups = GroupVobFiles(names);
    size_t grouped = 0;
    for (const std::vector<std::string>& group : groups) grouped += group.size();
    FUZZ_CHECK(grouped <= names.size());
    const int longest = LongestGroup(
        groups, [](const std::string& path) { return static_cast<double>(path.size()); });
    FUZZ_CHECK(longest >= 0 && longest < kDvdTitleGroups);
}
