// The console text of an ffmpeg run kept for reading the media facts: at
// most 9999 bytes, what a 10000-byte C string holds. When more arrives, the
// oldest text is dropped: the stream list and the closing line of a probe
// come last, the tool's banner first.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

class ProbeText {
public:
    static constexpr std::size_t kCapacity = 10000;

    void Append(std::string_view text);
    void Clear() { length_ = 0; }
    std::string_view View() const { return {text_.data(), length_}; }

private:
    std::array<char, kCapacity> text_{};
    std::size_t length_ = 0;
};
