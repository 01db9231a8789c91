#include "app/tools/time_display.h"

#include <cstdio>

namespace {

constexpr std::size_t kMaxStatusCharacters = 70;

// "%02d:%02d:%02d" of whole seconds. A position past the end (mencoder
// reports 101%) leaves nothing to remain rather than a negative time.
std::string ClockText(const char* label, long long seconds) {
    if (seconds < 0) seconds = 0;
    char text[64];
    std::snprintf(text, sizeof text, "%s%02lld:%02lld:%02lld", label, seconds / 3600,
                  seconds % 3600 / 60, seconds % 60);
    return text;
}

// Where the first `count` characters of UTF-8 text end, in bytes.
std::size_t CharactersEnd(const std::string& text, std::size_t count) {
    std::size_t bytes = 0;
    for (std::size_t characters = 0; bytes < text.size(); ++bytes) {
        const bool startsCharacter = (static_cast<unsigned char>(text[bytes]) & 0xC0) != 0x80;
        if (startsCharacter && characters++ == count) break;
    }
    return bytes;
}

}  // namespace

std::string ConvertingText(const std::string& fileName) {
    const std::string text = " Converting " + fileName + " Now...";
    const std::size_t end = CharactersEnd(text, kMaxStatusCharacters);
    return end < text.size() ? text.substr(0, end) + "..." : text;
}

TimeDisplay TimeDisplayTexts(const ProgressClock& clock, const std::string& fileName) {
    return {
        ClockText(" Finished: ", clock.positionSeconds),
        ClockText(" Remain: ", static_cast<long long>(clock.totalSeconds) - clock.positionSeconds),
        ConvertingText(fileName)};
}
