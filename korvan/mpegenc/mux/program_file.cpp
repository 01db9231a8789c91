#include "korvan/mpegenc/mux/program_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace korvan::mux {

namespace {

constexpr size_t kBufferBytes = 256 * 1024;

}  // namespace

bool ProgramFile::Create(const std::string& path) {
    path_ = path;
    buffer_.clear();
    buffer_.reserve(kBufferBytes);
    flushed_ = 0;
    fd_.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return static_cast<bool>(fd_);
}

bool ProgramFile::Write(const uint8_t* bytes, size_t count) {
    buffer_.insert(buffer_.end(), bytes, bytes + count);
    return buffer_.size() < kBufferBytes || Flush();
}

bool ProgramFile::Flush() {
    size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = ::write(fd_.get(), buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    flushed_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool ProgramFile::SetEnd() { return ::ftruncate(fd_.get(), static_cast<off_t>(flushed_)) == 0; }

std::string LowerCaseFileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    std::string lowered = path;
    for (size_t i = slash == std::string::npos ? 0 : slash + 1; i < lowered.size(); ++i) {
        // Only ASCII letters: the bytes of other letters are parts of UTF-8
        // sequences and stay as they are.
        if (lowered[i] >= 'A' && lowered[i] <= 'Z') lowered[i] = static_cast<char>(lowered[i] + 32);
    }
    return lowered;
}

std::string SplitFileName(const std::string& firstPath, int number) {
    const size_t slash = firstPath.rfind('/');
    const size_t dot = firstPath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string stem = hasExtension ? firstPath.substr(0, dot) : firstPath;
    const std::string extension = hasExtension ? firstPath.substr(dot) : std::string();
    return stem + "_" + std::to_string(number) + extension;
}

}  // namespace korvan::mux
