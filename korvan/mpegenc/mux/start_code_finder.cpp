#include "korvan/mpegenc/mux/start_code_finder.h"

#include <cstring>

namespace korvan::mux {

namespace {

constexpr size_t kBlockBytes = 1 << 20;

}  // namespace

bool StartCodeFinder::Next(uint64_t& offset, uint8_t& code) {
    for (;;) {
        if (position_ + 4 > file_.Size()) return false;
        if (position_ < blockOffset_ || position_ + 4 > blockOffset_ + blockBytes_) {
            block_.resize(kBlockBytes);
            const long long got = file_.ReadSomeAt(position_, block_.data(), kBlockBytes);
            if (got < 4) {
                readFailed_ = got < 0;
                return false;
            }
            blockOffset_ = position_;
            blockBytes_ = static_cast<size_t>(got);
        }
        const uint8_t* bytes = block_.data();
        // The "01" of a start code sits at j, its code byte at j + 1.
        size_t j = static_cast<size_t>(position_ - blockOffset_) + 2;
        const size_t lastJ = blockBytes_ - 2;
        while (j <= lastJ) {
            const void* hit = std::memchr(bytes + j, 1, lastJ + 1 - j);
            if (!hit) break;
            j = static_cast<size_t>(static_cast<const uint8_t*>(hit) - bytes);
            if (bytes[j - 1] == 0 && bytes[j - 2] == 0) {
                offset = blockOffset_ + j - 2;
                code = bytes[j + 1];
                position_ = offset + 4;
                return true;
            }
            ++j;
        }
        // Continue with the last bytes, which may begin a start code.
        position_ = blockOffset_ + lastJ - 1;
        if (position_ + 4 > file_.Size()) return false;
        blockBytes_ = 0;
    }
}

}  // namespace korvan::mux
