#include "platform/termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace platform {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The write end of the pipe the handler writes to; set once, before any
// handler is installed.
int signalPipeWrite = -1;

void OnTerminationSignal(int signal) {
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = write(signalPipeWrite, &byte, 1);
    errno = savedErrno;
}

}  // namespace

int CatchTerminationSignals() {
    static int readEnd = -1;
    if (readEnd >= 0) return readEnd;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
    signalPipeWrite = fds[1];
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    // Interrupted reads and waits go on; the loop sees the byte when it
    // next looks.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) sigaction(signal, &action, nullptr);
    readEnd = fds[0];
    return readEnd;
}

int TakeTerminationSignal(int descriptor) {
    int last = 0;
    unsigned char bytes[16];
    for (;;) {
        const ssize_t got = read(descriptor, bytes, sizeof bytes);
        if (got > 0) {
            last = bytes[got - 1];
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        return last;
    }
}

}  // namespace platform
