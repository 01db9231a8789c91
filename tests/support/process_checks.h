// Checks that a piece of code leaves no descriptor open and no child process
// behind, and a way to make descriptor creation fail on purpose.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>
#include <vector>

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

// What /proc says of a process: its state ('Z' once it has ended and waits
// to be reaped; '?' when it is gone) and its parent.
struct ProcessStat {
    char state = '?';
    pid_t parent = 0;
};

// A file of /proc/<pid>/; empty when the process is gone. Read with plain
// read(): a process that ends between open and read makes the read fail
// with ESRCH, which a stream buffer turns into an exception.
inline std::string ReadProcessFile(pid_t pid, const char* name) {
    const std::string path = "/proc/" + std::to_string(pid) + "/" + name;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(got));
    close(fd);
    return got < 0 ? std::string() : text;
}

inline ProcessStat ReadProcessStat(pid_t pid) {
    const std::string stat = ReadProcessFile(pid, "stat");
    // "pid (name) state ppid ...", where the name may hold blanks and ")".
    const std::size_t nameEnd = stat.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 4 > stat.size()) return {};
    return {stat[nameEnd + 2], static_cast<pid_t>(std::atoi(stat.c_str() + nameEnd + 4))};
}

// Running, and not just waiting to be reaped.
inline bool IsProcessRunning(pid_t pid) {
    const char state = ReadProcessStat(pid).state;
    return state != '?' && state != 'Z';
}

inline std::string ProcessCommandLine(pid_t pid) {
    std::string commandLine = ReadProcessFile(pid, "cmdline");
    for (char& c : commandLine) c = c == '\0' ? ' ' : c;
    return commandLine;
}

// The children of `parent` as /proc shows them.
struct ChildProcessEntry {
    pid_t pid = 0;
    char state = '?';
    std::string commandLine;
};

inline std::vector<ChildProcessEntry> ChildProcessEntries(pid_t parent = getpid()) {
    std::vector<ChildProcessEntry> children;
    DIR* dir = opendir("/proc");
    if (!dir) return children;
    while (const dirent* entry = readdir(dir)) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        const ProcessStat stat = ReadProcessStat(pid);
        if (stat.parent != parent) continue;
        children.push_back({pid, stat.state, ProcessCommandLine(pid)});
    }
    closedir(dir);
    return children;
}

// Waits up to `grace` for this process's children to end (a tool killed
// with its parent takes a moment), reaping those that have; returns the
// command lines of those still running.
inline std::vector<std::string> RunningChildProcesses(std::chrono::milliseconds grace) {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (;;) {
        std::vector<std::string> running;
        for (const ChildProcessEntry& child : ChildProcessEntries()) {
            if (child.state == 'Z') {
                waitpid(child.pid, nullptr, WNOHANG);
            } else {
                running.push_back(std::to_string(child.pid) + ": " + child.commandLine);
            }
        }
        if (running.empty() || std::chrono::steady_clock::now() >= deadline) return running;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Waits up to `timeout` for a process to end; true once it has. A process
// left by a killed parent may have become this one's child (a subreaper's),
// so an ended one is reaped.
inline bool EndsWithin(pid_t pid, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (IsProcessRunning(pid) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    waitpid(pid, nullptr, WNOHANG);
    return !IsProcessRunning(pid);
}

// Catches a child of `parent` that runs `program` (its first word) and stops
// it with SIGSTOP, so that it cannot end by itself; 0 when none ran before
// `parent` ended or `timeout` passed. Polled often, to catch short runs.
inline pid_t CatchAndFreezeChild(pid_t parent, const std::string& program,
                                 std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (IsProcessRunning(parent) && std::chrono::steady_clock::now() < deadline) {
        for (const ChildProcessEntry& child : ChildProcessEntries(parent)) {
            if (child.commandLine.starts_with(program + " ") && kill(child.pid, SIGSTOP) == 0) {
                return child.pid;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

// Kills and reaps every child of this process.
inline void EndChildProcesses() {
    for (const ChildProcessEntry& child : ChildProcessEntries()) {
        kill(child.pid, SIGKILL);
        waitpid(child.pid, nullptr, 0);
    }
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
