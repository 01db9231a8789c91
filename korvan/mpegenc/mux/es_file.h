// An input or output file read by byte ranges: the elementary streams while
// they are scanned and while their bytes are copied into packets, and the
// finished program stream in the SuperVCD address pass. A small window is
// kept so that the many short reads of a pass cost few system calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace korvan::mux {

class EsFile {
public:
    enum class Mode { kRead, kReadWrite };

    // False when the file cannot be opened or its size not be read.
    bool Open(const std::string& path, Mode mode = Mode::kRead);
    uint64_t Size() const { return size_; }

    // Reads exactly `count` bytes at `offset`; false on an error or when the
    // range passes the end of the file.
    bool ReadAt(uint64_t offset, uint8_t* out, size_t count);
    // Reads up to `count` bytes; the number read (short at the end of file),
    // or -1 on an error.
    long long ReadSomeAt(uint64_t offset, uint8_t* out, size_t count);
    // Overwrites bytes in place (read-write mode only).
    bool WriteAt(uint64_t offset, const uint8_t* data, size_t count);

private:
    bool Fill(uint64_t offset);

    platform::UniqueFd fd_;
    uint64_t size_ = 0;
    std::vector<uint8_t> window_;
    uint64_t windowOffset_ = 0;
    size_t windowBytes_ = 0;
};

// The size of a file, or -1 when it does not exist or cannot be examined.
long long FileSizeOf(const std::string& path);

}  // namespace korvan::mux
