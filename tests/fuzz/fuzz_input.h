// What the fuzz targets share: the input as a file for readers that take a
// path, the input cut into fields, and a check that stops the fuzzer when a
// reader's promise is broken (a crash is only the plainest such break).
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Each target defines this: one input, checked.
void FuzzInput(const uint8_t* data, size_t size);

namespace fuzz {

// Ends the run with a message when `condition` is false; libFuzzer keeps the
// input that did it.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// The input as an anonymous file in memory, named by a path that open()
// and fopen() take.
class MemoryFile {
public:
    MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz-input", MFD_CLOEXEC)) {
        FUZZ_CHECK(fd_ >= 0);
        size_t done = 0;
        while (done < size) {
            const ssize_t put = write(fd_, data + done, size - done);
            FUZZ_CHECK(put > 0);
            done += static_cast<size_t>(put);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryFile() { close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const std::string& Path() const { return path_; }

private:
    int fd_;
    std::string path_;
};

// A folder of this process for readers that look up a file by name in a
// folder (ending in "/"); removed when the process ends.
inline const std::string& ScratchFolder() {
    struct Folder {
        Folder() {
            const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
            std::string pattern = std::string(base) + "/zarvo-fuzz-XXXXXX";
            FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
            path = pattern + "/";
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
        std::string path;
    };
    static const Folder folder;
    return folder.path;
}

// Writes the bytes to `name` in the scratch folder and returns its path.
inline std::string WriteScratchFile(const std::string& name, std::string_view bytes) {
    const std::string path = ScratchFolder() + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr);
    FUZZ_CHECK(bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    FUZZ_CHECK(std::fclose(file) == 0);
    return path;
}

// Takes fields off the front of an input: a byte, or text up to a NUL.
class InputFields {
public:
    InputFields(const uint8_t* data, size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    uint8_t Byte() {
        if (rest_.empty()) return 0;
        const auto byte = static_cast<uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }
    std::string_view Field() {
        const size_t end = rest_.find('\0');
        const std::string_view field = rest_.substr(0, end);
        rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
        return field;
    }
    std::string_view Rest() const { return rest_; }

private:
    std::string_view rest_;
};

}  // namespace fuzz
