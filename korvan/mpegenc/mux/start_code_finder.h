// Walks an MPEG video elementary stream from one start code (00 00 01 xx) to
// the next, reading the file in large blocks.
#pragma once

#include <cstdint>
#include <vector>

#include "korvan/mpegenc/mux/es_file.h"

namespace korvan::mux {

class StartCodeFinder {
public:
    explicit StartCodeFinder(EsFile& file) : file_(file) {}

    // The next start code at or after the position reached: the offset of
    // its first zero byte and the code byte. False at the end of the file or
    // on a read error (ReadFailed tells which).
    bool Next(uint64_t& offset, uint8_t& code);
    bool ReadFailed() const { return readFailed_; }

private:
    EsFile& file_;
    std::vector<uint8_t> block_;
    uint64_t blockOffset_ = 0;
    size_t blockBytes_ = 0;
    uint64_t position_ = 0;
    bool readFailed_ = false;
};

}  // namespace korvan::mux
