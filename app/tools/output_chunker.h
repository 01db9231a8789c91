// Cuts what a tool prints into the chunks the parser reads: at most 1024
// bytes each, ending at a line end (LF or CR) whenever the text holds one, so
// that no marker and no stream line is split between two chunks. A line
// longer than that is handed on in 1024-byte pieces.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

class OutputChunker {
public:
    static constexpr std::size_t kChunkBytes = 1024;

    // Where the tool's next bytes are read into.
    std::span<char> FreeSpace();
    // Takes `count` bytes just read into FreeSpace(). Returns the chunk they
    // complete, or an empty view when they end inside a line. The view is
    // valid until the next FreeSpace().
    std::string_view Take(std::size_t count);
    // The unfinished line held back, once the tool has ended.
    std::string_view Rest() const;

private:
    std::array<char, kChunkBytes> buffer_{};
    std::size_t length_ = 0;       // bytes held, the chunk handed out included
    std::size_t chunkLength_ = 0;  // the chunk handed out by the last Take
};
