#include "app/tools/output_chunker.h"

#include <cstring>

std::span<char> OutputChunker::FreeSpace() {
    if (chunkLength_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + chunkLength_, length_ - chunkLength_);
        length_ -= chunkLength_;
        chunkLength_ = 0;
    }
    return {buffer_.data() + length_, kChunkBytes - length_};
}

std::string_view OutputChunker::Take(std::size_t count) {
    length_ += count < kChunkBytes - length_ ? count : kChunkBytes - length_;
    const std::string_view held(buffer_.data(), length_);
    const std::size_t lastLineEnd = held.find_last_of("\r\n");
    if (lastLineEnd != std::string_view::npos) {
        chunkLength_ = lastLineEnd + 1;
    } else if (length_ == kChunkBytes) {
        chunkLength_ = length_;
    }
    return held.substr(0, chunkLength_);
}

std::string_view OutputChunker::Rest() const {
    return {buffer_.data() + chunkLength_, length_ - chunkLength_};
}
