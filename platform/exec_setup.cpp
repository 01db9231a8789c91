#include "platform/exec_setup.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace platform {

void CloseDescriptorsFrom(int first, int highestFd) {
    if (close_range(static_cast<unsigned>(first), ~0U, 0) != 0) {
        for (int fd = first; fd <= highestFd; ++fd) close(fd);
    }
}

void ResetSignalsForExec() {
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) sigaction(signal, &defaultAction, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

void ReportExecError(int errorFd) {
    const int error = errno;
    [[maybe_unused]] ssize_t written = write(errorFd, &error, sizeof error);
    _exit(127);
}

int HighestFd() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 65535;
    return static_cast<int>(limit.rlim_cur > 65536 ? 65535 : limit.rlim_cur - 1);
}

}  // namespace platform
