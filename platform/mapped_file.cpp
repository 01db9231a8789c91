#include "platform/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include "platform/unique_fd.h"

namespace platform {

MappedFile::MappedFile(const std::string& path) {
    const UniqueFd file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!file || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        return;
    }
    void* address = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE,
                         file.get(), 0);
    if (address == MAP_FAILED) return;
    // Read once from start to end: the kernel may read ahead and drop behind.
    madvise(address, static_cast<std::size_t>(info.st_size), MADV_SEQUENTIAL);
    data_ = static_cast<const std::uint8_t*>(address);
    size_ = static_cast<std::size_t>(info.st_size);
}

MappedFile::~MappedFile() {
    if (data_) munmap(const_cast<std::uint8_t*>(data_), size_);
}

}  // namespace platform
