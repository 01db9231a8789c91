#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <vector>

#include "platform/command_line.h"
#include "platform/exec_setup.h"
#include "platform/program_lookup.h"

namespace platform {
namespace {

// The child puts its pipe ends onto 0, 1, 2 and this one; they all come
// from numbers above it, so that no dup2 there overwrites another end.
constexpr int kExecErrorFd = 3;
constexpr auto kEndPollInterval = std::chrono::milliseconds(5);

struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

bool MoveAboveExecErrorFd(UniqueFd& fd) {
    if (fd.get() > kExecErrorFd) return true;
    const int moved = fcntl(fd.get(), F_DUPFD_CLOEXEC, kExecErrorFd + 1);
    if (moved < 0) return false;
    fd.Reset(moved);
    return true;
}

// `childEnd` is the end the child keeps.
bool MakePipe(Pipe& pipe, UniqueFd Pipe::*childEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    pipe.read.Reset(fds[0]);
    pipe.write.Reset(fds[1]);
    return MoveAboveExecErrorFd(pipe.*childEnd);
}

// Runs in the child between fork and exec, so it calls only functions that
// are safe there (no allocation, no locks).
[[noreturn]] void ExecChild(int inputFd, int outputFd, int diagnosticFd, int errorFd,
                            const char* path, char* const* argv, int highestFd, pid_t parent) {
    // A tool must not go on writing after the program that started it has
    // gone, however it went (SIGKILL included). The parent may have died
    // before the request took hold; then the tool is not started at all.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) ReportExecError(errorFd);
    if (getppid() != parent) _exit(127);
    if (dup2(inputFd, 0) < 0 || dup2(outputFd, 1) < 0 || dup2(diagnosticFd, 2) < 0 ||
        dup2(errorFd, kExecErrorFd) < 0 || fcntl(kExecErrorFd, F_SETFD, FD_CLOEXEC) < 0) {
        ReportExecError(errorFd);
    }
    CloseDescriptorsFrom(kExecErrorFd + 1, highestFd);
    setpgid(0, 0);
    ResetSignalsForExec();

    execv(path, argv);
    ReportExecError(kExecErrorFd);
}

}  // namespace

ChildProcess::~ChildProcess() { Finish(std::chrono::milliseconds(0)); }

StartResult ChildProcess::Start(std::string_view commandLine, const std::string& programFolder) {
    return StartArguments(SplitCommandLine(commandLine), programFolder);
}

StartResult ChildProcess::StartArguments(std::vector<std::string> words,
                                         const std::string& programFolder,
                                         const StandardFiles& files) {
    Finish(std::chrono::milliseconds(0));

    Pipe output;
    if (!MakePipe(output, &Pipe::write)) return StartResult::kOutputPipeFailed;
    Pipe input;
    if (!MakePipe(input, &Pipe::read)) return StartResult::kInputPipeFailed;
    // The files stand in for the pipes' child ends, which then stay unused.
    UniqueFd inputFile;
    UniqueFd outputFile;
    if (!files.input.empty()) {
        inputFile.Reset(open(files.input.c_str(), O_RDONLY | O_CLOEXEC));
        if (!inputFile || !MoveAboveExecErrorFd(inputFile)) return StartResult::kProcessFailed;
    }
    if (!files.output.empty()) {
        outputFile.Reset(
            open(files.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
        if (!outputFile || !MoveAboveExecErrorFd(outputFile)) return StartResult::kProcessFailed;
    }

    if (words.empty()) return StartResult::kProcessFailed;
    const std::string path = FindProgram(words.front(), programFolder);
    if (path.empty()) return StartResult::kProcessFailed;
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    Pipe execError;
    if (!MakePipe(execError, &Pipe::write)) return StartResult::kProcessFailed;
    const int highestFd = HighestFd();
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0) return StartResult::kProcessFailed;
    if (pid == 0) {
        ExecChild(inputFile ? inputFile.get() : input.read.get(),
                  outputFile ? outputFile.get() : output.write.get(), output.write.get(),
                  execError.write.get(), path.c_str(), argv.data(), highestFd, parent);
    }
    // Also set here, so that the group exists before anyone signals it.
    setpgid(pid, pid);

    output.write.Reset();
    input.read.Reset();
    inputFile.Reset();
    outputFile.Reset();
    execError.write.Reset();
    int execErrno = 0;
    ssize_t got;
    do {
        got = read(execError.read.get(), &execErrno, sizeof execErrno);
    } while (got < 0 && errno == EINTR);
    if (got == static_cast<ssize_t>(sizeof execErrno)) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return StartResult::kProcessFailed;
    }

    // The program never waits for the tool to read its input.
    fcntl(input.write.get(), F_SETFL, fcntl(input.write.get(), F_GETFL) | O_NONBLOCK);
    pid_ = pid;
    output_ = std::move(output.read);
    input_ = std::move(input.write);
    return StartResult::kStarted;
}

std::size_t ChildProcess::ReadOutput(char* buffer, std::size_t size) {
    if (!output_ || size == 0) return 0;
    for (;;) {
        const ssize_t got = read(output_.get(), buffer, size);
        if (got > 0) return static_cast<std::size_t>(got);
        if (got < 0 && errno == EINTR) continue;
        return 0;
    }
}

bool ChildProcess::WaitForOutput(std::chrono::milliseconds timeout) {
    if (!output_) return true;
    pollfd watch{output_.get(), POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int ready = poll(&watch, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return ready != 0;
    }
}

bool ChildProcess::WriteInput(std::string_view bytes) {
    if (!input_) return false;
    // A tool that has closed its input must not end the program with
    // SIGPIPE: the signal is blocked for the write and a SIGPIPE it raised
    // is taken back before the mask is restored.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    sigset_t previousMask;
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previousMask);
    sigset_t pending;
    sigpending(&pending);
    const bool pipeSignalWasPending = sigismember(&pending, SIGPIPE) == 1;

    bool written = true;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(input_.get(), bytes.data() + done, bytes.size() - done);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno == EPIPE && !pipeSignalWasPending) {
            const timespec noWait{};
            sigtimedwait(&pipeSignal, nullptr, &noWait);
        }
        written = false;
        break;
    }
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    return written;
}

void ChildProcess::Interrupt() {
    if (pid_ > 0) kill(pid_, SIGINT);
}

bool ChildProcess::HasEnded() const {
    siginfo_t info{};
    // WNOWAIT leaves the child a zombie: its process id, and so its group
    // id, cannot be reused before the group has been cleaned up.
    return waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid_;
}

ChildExit ChildProcess::Finish(std::chrono::milliseconds grace) {
    input_.Reset();
    if (pid_ <= 0) {
        output_.Reset();
        return {};
    }

    const auto deadline = std::chrono::steady_clock::now() + grace;
    bool ended = HasEnded();
    char discard[4096];
    while (!ended && std::chrono::steady_clock::now() < deadline) {
        pollfd watch{output_.get(), POLLIN, 0};
        const int waitMs = static_cast<int>(kEndPollInterval.count());
        if (output_ && poll(&watch, 1, waitMs) > 0) {
            if (read(output_.get(), discard, sizeof discard) <= 0) output_.Reset();
        } else if (!output_) {
            poll(nullptr, 0, waitMs);
        }
        ended = HasEnded();
    }

    ChildExit result;
    // Killing the group also ends any helper the tool started.
    kill(-pid_, SIGKILL);
    if (!ended) {
        kill(pid_, SIGKILL);
        result.how = ChildExit::How::kKilledByUs;
    }
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    if (ended && WIFEXITED(status)) {
        result.how = ChildExit::How::kExited;
        result.code = WEXITSTATUS(status);
    } else if (ended) {
        result.how = ChildExit::How::kSignalled;
        result.code = WTERMSIG(status);
    }
    pid_ = -1;
    output_.Reset();
    return result;
}

}  // namespace platform
