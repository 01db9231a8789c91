#include "korvan/mpegenc/mux/es_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace korvan::mux {

namespace {

constexpr size_t kWindowBytes = 256 * 1024;

}  // namespace

bool EsFile::Open(const std::string& path, Mode mode) {
    const int flags = (mode == Mode::kRead ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    fd_.Reset(::open(path.c_str(), flags));
    if (!fd_) return false;
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        fd_.Reset();
        return false;
    }
    size_ = static_cast<uint64_t>(info.st_size);
    windowBytes_ = 0;
    return true;
}

bool EsFile::Fill(uint64_t offset) {
    window_.resize(kWindowBytes);
    size_t got = 0;
    while (got < kWindowBytes) {
        const ssize_t n = ::pread(fd_.get(), window_.data() + got, kWindowBytes - got,
                                  static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            windowBytes_ = 0;
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    windowOffset_ = offset;
    windowBytes_ = got;
    return true;
}

long long EsFile::ReadSomeAt(uint64_t offset, uint8_t* out, size_t count) {
    if (!fd_) return -1;
    size_t done = 0;
    while (done < count) {
        const uint64_t at = offset + done;
        if (at >= size_) break;
        if (at < windowOffset_ || at >= windowOffset_ + windowBytes_) {
            if (!Fill(at)) return -1;
            if (windowBytes_ == 0) break;
        }
        const size_t inWindow = static_cast<size_t>(at - windowOffset_);
        const size_t take = std::min(count - done, windowBytes_ - inWindow);
        std::memcpy(out + done, window_.data() + inWindow, take);
        done += take;
    }
    return static_cast<long long>(done);
}

bool EsFile::ReadAt(uint64_t offset, uint8_t* out, size_t count) {
    return ReadSomeAt(offset, out, count) == static_cast<long long>(count);
}

bool EsFile::WriteAt(uint64_t offset, const uint8_t* data, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pwrite(fd_.get(), data + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    // Keep the read window in step with what is now on disk.
    if (offset < windowOffset_ + windowBytes_ && offset + count > windowOffset_) windowBytes_ = 0;
    size_ = std::max<uint64_t>(size_, offset + count);
    return true;
}

long long FileSizeOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<long long>(info.st_size);
}

}  // namespace korvan::mux
