// Starting a console tool as a child process and talking to it through
// pipes: no shell, standard output and standard error on one pipe, standard
// input on another.
//
// Contract:
// - Start splits the command line into words (platform/command_line.h);
//   StartArguments takes the words as they are, so a path reaches the tool
//   intact whatever it holds (blanks, double quotes). Either looks the first
//   word up in the program folder, then in PATH. A tool that
//   cannot be found or executed gives kProcessFailed; a close-on-exec pipe
//   carries the exec error back, so a failed exec is never mistaken for a
//   tool that ran and printed nothing.
// - The child gets exactly three descriptors (0, 1 and 2), default signal
//   handling, and a process group of its own. It is killed when the thread
//   that started it ends, so no tool outlives the program, even one killed
//   with SIGKILL; a ChildProcess is used on the thread that made it.
// - Finish (or the destructor) always ends the child: it waits for it to end
//   by itself for a grace period, then kills its whole process group, reaps
//   it and closes every pipe. No child and no descriptor outlives the object.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_fd.h"

namespace platform {

enum class StartResult { kStarted, kOutputPipeFailed, kInputPipeFailed, kProcessFailed };

// Files in place of the child's standard input and output, for tools that
// filter a stream (spumux reads the video from its input and writes the
// result to its output). Standard error still goes to the pipe that
// ReadOutput reads. An empty name keeps the pipe.
struct StandardFiles {
    std::string input;
    std::string output;  // created or emptied, mode 0666 less the umask
};

// How a child ended.
struct ChildExit {
    enum class How { kNotStarted, kExited, kSignalled, kKilledByUs };
    How how = How::kNotStarted;
    int code = 0;  // the exit status for kExited, the signal number for kSignalled
};

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // `programFolder` ends in "/" (or is empty to search PATH only).
    StartResult Start(std::string_view commandLine, const std::string& programFolder);
    // The same with the words given one by one, so that a word may hold any
    // character, blanks and double quotes included: the tool gets exactly
    // these words. A file that cannot be opened gives kProcessFailed.
    StartResult StartArguments(std::vector<std::string> words, const std::string& programFolder,
                               const StandardFiles& files = {});

    // Waits up to `timeout` for output; true when ReadOutput would not block
    // (there is output, or the child has closed its end).
    bool WaitForOutput(std::chrono::milliseconds timeout);

    // Blocks until the child prints something; returns the number of bytes
    // read, 0 once its output is closed (it ended) or cannot be read.
    std::size_t ReadOutput(char* buffer, std::size_t size);

    // Writes to the child's standard input without ever blocking; false when
    // the child does not take the bytes (it ended or stopped reading).
    bool WriteInput(std::string_view bytes);

    // Sends the interrupt signal, the Linux form of Ctrl-C.
    void Interrupt();

    // Closes the child's input, waits up to `grace` for it to end (discarding
    // what it still prints), kills it if it has not, and reaps it.
    ChildExit Finish(std::chrono::milliseconds grace);

    bool Running() const { return pid_ > 0; }
    pid_t Pid() const { return pid_; }
    // The read end of the child's output, for callers that wait on several
    // descriptors at once (an event loop); ReadOutput on it after it polled
    // readable does not block. -1 when no child runs.
    int OutputFd() const { return output_.get(); }

private:
    bool HasEnded() const;

    pid_t pid_ = -1;
    UniqueFd output_;  // read end of the child's standard output and error
    UniqueFd input_;   // write end of the child's standard input
};

}  // namespace platform
