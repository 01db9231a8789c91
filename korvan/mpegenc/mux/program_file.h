// The program stream file being written: buffered writes, its byte count,
// and the names of the files of a split output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/unique_fd.h"

namespace korvan::mux {

class ProgramFile {
public:
    bool Create(const std::string& path);
    bool Write(const uint8_t* bytes, size_t count);
    // Writes what is buffered; false when the disk refuses it.
    bool Flush();
    // Cuts the file at the bytes written (a file of the same name may have
    // been longer).
    bool SetEnd();
    bool Close() { return fd_.Close(); }
    bool IsOpen() const { return static_cast<bool>(fd_); }

    uint64_t Bytes() const { return flushed_ + buffer_.size(); }
    const std::string& Path() const { return path_; }

private:
    platform::UniqueFd fd_;
    std::string path_;
    std::vector<uint8_t> buffer_;
    uint64_t flushed_ = 0;
};

// The path with its file name (not its folders) in lower case.
std::string LowerCaseFileName(const std::string& path);

// The name of file `number` (2, 3, ...) of a split output: "movie.mpg"
// continues as "movie_2.mpg", "movie_3.mpg".
std::string SplitFileName(const std::string& firstPath, int number);

}  // namespace korvan::mux
