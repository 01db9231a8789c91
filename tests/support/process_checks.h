// Checks that a piece of code leaves no descriptor open and no child process
// behind, and a way to make descriptor creation fail on purpose.
#pragma once

#include <dirent.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <set>
#include <string>

namespace test {

// The descriptors this process has open.
inline std::set<int> OpenDescriptors() {
    std::set<int> fds;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return fds;
    const int own = dirfd(dir);
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd != own) fds.insert(fd);
    }
    closedir(dir);
    return fds;
}

// True while a child of this process exists, running or not yet reaped.
inline bool HasChildProcess() {
    siginfo_t info{};
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0 || errno != ECHILD;
}

// Lowers the descriptor limit so that exactly `freeCount` more descriptors can
// be made; the old limit comes back when the guard goes.
class DescriptorLimit {
public:
    explicit DescriptorLimit(int freeCount) {
        getrlimit(RLIMIT_NOFILE, &saved_);
        const std::set<int> open = OpenDescriptors();
        int limit = 0;
        for (int free = 0; free < freeCount; ++limit) {
            if (!open.count(limit)) ++free;
        }
        while (open.count(limit)) ++limit;
        rlimit lowered = saved_;
        lowered.rlim_cur = static_cast<rlim_t>(limit);
        setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { setrlimit(RLIMIT_NOFILE, &saved_); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

private:
    rlimit saved_{};
};

}  // namespace test
