// A folder that is a small disk of its own, for the full-disk tests: a tmpfs
// mounted there, which needs a process that may mount one (root), or the
// preloaded library of tests/support/small_disk/, which works for anyone:
// while the object lives, every process the test starts (and every process
// those start) sees the folder as a disk of that size.
#pragma once

#include <stdlib.h>
#include <sys/mount.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace test {

enum class DiskKind { kTmpfs, kPreloaded };

inline const char* DiskKindName(DiskKind kind) {
    return kind == DiskKind::kTmpfs ? "Tmpfs" : "Preloaded";
}

class SmallDisk {
public:
    SmallDisk(const std::string& folder, long long bytes, DiskKind kind)
        : folder_(folder), kind_(kind) {
        std::filesystem::create_directories(folder);
        if (kind == DiskKind::kTmpfs) {
            const std::string options = "size=" + std::to_string(bytes);
            ready_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
            return;
        }
        const char* preloaded = std::getenv("LD_PRELOAD");
        const char* asan = std::getenv("ASAN_OPTIONS");
        // A sanitizer runtime checks that it is loaded first; the library
        // only passes calls on, so it may come before it.
        Set("LD_PRELOAD", std::string(ZARVO_TEST_FOLDER "libzarvo_small_disk.so") +
                              (preloaded ? std::string(" ") + preloaded : ""));
        Set("ASAN_OPTIONS",
            std::string(asan ? asan : "") + (asan ? ":" : "") + "verify_asan_link_order=0");
        Set("ZARVO_SMALL_DISK_FOLDER", folder);
        Set("ZARVO_SMALL_DISK_BYTES", std::to_string(bytes));
        ready_ = true;
    }
    ~SmallDisk() {
        if (kind_ == DiskKind::kTmpfs && ready_) umount2(folder_.c_str(), MNT_DETACH);
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second) {
                setenv(it->first.c_str(), it->second->c_str(), 1);
            } else {
                unsetenv(it->first.c_str());
            }
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    // False for a tmpfs this process may not mount.
    bool Ready() const { return ready_; }
    // A tmpfs only; it must have no file open for writing.
    bool MakeReadOnly() const {
        return kind_ == DiskKind::kTmpfs &&
               mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

private:
    void Set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name.c_str(), value.c_str(), 1);
    }

    std::string folder_;
    DiskKind kind_;
    bool ready_ = false;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace test
