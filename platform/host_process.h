// Starting a helper program that works on its own beside ours, hidden, the
// way the conversion host is started: no shell, no arguments, the given
// working folder, standard input from /dev/null, standard output and error
// shared with ours, a session of its own (no terminal signal reaches it by
// way of ours).
//
// It outlives nothing: the kernel sends it SIGTERM when the thread that
// started it ends (the program crashed or was killed), and Stop (or the
// destructor) ends it for good.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>

#include "platform/child_process.h"

namespace platform {

class HostProcess {
public:
    HostProcess() = default;
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    // False when the program is missing or cannot be executed.
    bool Start(const std::string& programPath, const std::string& workingFolder);

    // True while it runs; once it has ended it is reaped, and its exit is
    // kept for Stop.
    bool Running();

    // Waits up to `grace` for it to end by itself, then kills it, and says
    // how it ended (kNotStarted when nothing was started).
    ChildExit Stop(std::chrono::milliseconds grace);

    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    ChildExit exit_;
};

}  // namespace platform
