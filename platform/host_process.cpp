#include "platform/host_process.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <thread>

#include "platform/exec_setup.h"
#include "platform/unique_fd.h"

namespace platform {
namespace {

constexpr auto kEndPollInterval = std::chrono::milliseconds(10);

ChildExit ExitOf(int status) {
    if (WIFEXITED(status)) return {ChildExit::How::kExited, WEXITSTATUS(status)};
    return {ChildExit::How::kSignalled, WTERMSIG(status)};
}

// Runs in the child between fork and exec: only calls that are safe there.
[[noreturn]] void ExecHost(const char* path, const char* folder, int errorFd, pid_t parent,
                           int highestFd) {
    setsid();
    // Set before the parent check, so that a parent gone in between is seen.
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) _exit(127);
    const int devNull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull < 0 || dup2(devNull, 0) < 0 || chdir(folder) != 0) ReportExecError(errorFd);
    // The error pipe stays open until exec closes it.
    for (int fd = 3; fd <= highestFd && fd < errorFd; ++fd) close(fd);
    CloseDescriptorsFrom(errorFd + 1, highestFd);
    ResetSignalsForExec();
    char* const argv[] = {const_cast<char*>(path), nullptr};
    execv(path, argv);
    ReportExecError(errorFd);
}

}  // namespace

HostProcess::~HostProcess() { Stop(std::chrono::milliseconds(0)); }

bool HostProcess::Start(const std::string& programPath, const std::string& workingFolder) {
    Stop(std::chrono::milliseconds(0));
    exit_ = {};
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    UniqueFd errorRead(fds[0]);
    UniqueFd errorWrite(fds[1]);
    const int highestFd = HighestFd();
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        ExecHost(programPath.c_str(), workingFolder.c_str(), errorWrite.get(), parent, highestFd);
    }
    errorWrite.Reset();
    int execErrno = 0;
    ssize_t got;
    do {
        got = read(errorRead.get(), &execErrno, sizeof execErrno);
    } while (got < 0 && errno == EINTR);
    if (got != 0) {
        // The exec failed (or the child died before it): reap it now.
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return false;
    }
    pid_ = pid;
    return true;
}

bool HostProcess::Running() {
    if (pid_ <= 0) return false;
    int status = 0;
    const pid_t reaped = waitpid(pid_, &status, WNOHANG);
    if (reaped == 0) return true;
    exit_ = reaped == pid_ ? ExitOf(status) : ChildExit{ChildExit::How::kExited, -1};
    pid_ = -1;
    return false;
}

ChildExit HostProcess::Stop(std::chrono::milliseconds grace) {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (Running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(kEndPollInterval);
    }
    if (Running()) {
        // Its session is its process group: whatever it started goes too.
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        exit_ = {ChildExit::How::kKilledByUs, SIGKILL};
    }
    return exit_;
}

}  // namespace platform
