// A whole file mapped into memory for reading, for walking large media
// files without copying them.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace platform {

class MappedFile {
public:
    // Maps the regular file at `path`; Bytes() is empty when it cannot be
    // mapped (or the file is empty).
    explicit MappedFile(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool Mapped() const { return data_ != nullptr; }
    std::span<const std::uint8_t> Bytes() const { return {data_, size_}; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace platform
