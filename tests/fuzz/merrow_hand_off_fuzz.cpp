// The audio converter's hand-off file of any content: it is refused with a
// reason or read into a request whose source and target are two different
// paths, and the ffmpeg words carry the source as the only input, the
// partial MP3 as the only output, and the cut exactly as asked.
#include <algorithm>

#include "hosts/merrow/mp3_request.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

// The words that follow `option`, counting how often it appears.
int CountOption(const std::vector<std::string>& words, const std::string& option,
                std::string* value) {
    int count = 0;
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        if (words[i] != option) continue;
        ++count;
        *value = words[i + 1];
    }
    return count;
}

}  // namespace

void FuzzInput(const uint8_t* data, size_t size) {
    const fuzz::MemoryFile file(data, size);
    const merrow::Mp3Request request = merrow::ReadMp3Request(file.Path());
    if (request.status != audio_hand_off::kMp3Written) {
        FUZZ_CHECK(request.status == audio_hand_off::kNothingToDo);
        FUZZ_CHECK(!request.refusal.empty());
        return;
    }
    FUZZ_CHECK(request.refusal.empty());
    FUZZ_CHECK(!request.source.empty() && !request.target.empty());
    FUZZ_CHECK(request.source != request.target);

    const std::string partial = request.target + ".part";
    const std::vector<std::string> words = merrow::Mp3EncoderArguments(request, partial);
    FUZZ_CHECK(!words.empty() && words.front() == "ffmpeg");
    FUZZ_CHECK(words.back() == "file:" + partial);
    std::string value;
    FUZZ_CHECK(CountOption(words, "-i", &value) == 1 && value == "file:" + request.source);
    const int starts = CountOption(words, "-ss", &value);
    FUZZ_CHECK(starts == (request.startSeconds > 0 ? 1 : 0));
    if (starts) FUZZ_CHECK(value == std::to_string(request.startSeconds));
    const int ends = CountOption(words, "-to", &value);
    FUZZ_CHECK(ends == (request.endSeconds > request.startSeconds ? 1 : 0));
    if (ends) FUZZ_CHECK(value == std::to_string(request.endSeconds));
    // Only the input and the output name files.
    FUZZ_CHECK(std::count_if(words.begin(), words.end(), [](const std::string& word) {
                   return word.starts_with("file:");
               }) == 2);
}
