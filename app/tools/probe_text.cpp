#include "app/tools/probe_text.h"

#include <cstring>

void ProbeText::Append(std::string_view text) {
    constexpr std::size_t kMaxLength = kCapacity - 1;
    if (text.empty()) return;
    if (text.size() >= kMaxLength) {
        text = text.substr(text.size() - kMaxLength);
        length_ = 0;
    } else if (length_ + text.size() > kMaxLength) {
        const std::size_t drop = length_ + text.size() - kMaxLength;
        std::memmove(text_.data(), text_.data() + drop, length_ - drop);
        length_ -= drop;
    }
    std::memcpy(text_.data() + length_, text.data(), text.size());
    length_ += text.size();
}
