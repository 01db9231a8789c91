// Any command line: the words are the input's NUL-separated fields. Either
// one line of error, or a value whose parts agree with each other.
#include <string>
#include <vector>

#include "app/cli/convert_options.h"
#include "app/profiles/profile.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    std::vector<std::string> words = {kConvertProgramName};
    while (!fields.Rest().empty()) words.emplace_back(fields.Field());
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    argv.push_back(nullptr);

    const ConvertParse parse = ParseConvertOptions(static_cast<int>(words.size()), argv.data());
    if (!parse.error.empty()) {
        FUZZ_CHECK(parse.error.find('\n') == std::string::npos);
        FUZZ_CHECK(parse.error.find('\r') == std::string::npos);
        FUZZ_CHECK(parse.error.size() < 400);
        FUZZ_CHECK(parse.options.files.empty());
        return;
    }
    const ConvertOptions& o = parse.options;
    FUZZ_CHECK(o.target != kTargetReserved && InfoOfTarget(o.target).has_value());
    if (o.action != ConvertAction::kConvert) return;
    // Files or a DVD title, never both, never neither.
    FUZZ_CHECK(o.files.empty() != o.dvdTitleFolder.empty());
    for (const std::string& file : o.files) FUZZ_CHECK(!file.empty());
    FUZZ_CHECK(o.profile.index.has_value() != !o.profile.name.empty());
    if (o.profile.index) FUZZ_CHECK(*o.profile.index >= 0 && *o.profile.index < kMaxProfiles);
    if (o.audioStream) {
        FUZZ_CHECK(!o.dvdTitleFolder.empty());
        FUZZ_CHECK(*o.audioStream >= 0 && *o.audioStream < kDvdAudioStreamCount);
    }
    if (o.target != kTargetDvd) {
        FUZZ_CHECK(o.imageFolder.empty());
        FUZZ_CHECK(o.dvdFolderAnswer == DvdFolderAnswer::kKeep);
    }
}
