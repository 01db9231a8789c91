// One run of a console tool on the caller's loop: its output arrives line by
// line while the loop runs, then its end, once. Stopping it ends the tool
// and its helpers at once and reports nothing more.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/child_process.h"
#include "sdk/foxburner/loop_source.h"

namespace foxburner {

// What a run ended with: the exit status, 128 + the signal for a tool that
// died of one.
struct ToolEnd {
    int exitCode = 0;
    std::string output;  // everything it printed (the end of it, when it printed a lot)
};

class LoopTool {
public:
    struct Handlers {
        std::function<void(std::string_view line)> onLine;
        std::function<void(const ToolEnd& end)> onEnd;
    };

    LoopTool() = default;
    ~LoopTool() { Stop(); }
    LoopTool(const LoopTool&) = delete;
    LoopTool& operator=(const LoopTool&) = delete;

    // False when the tool could not be started (not installed, no pipe).
    bool Start(GMainContext* context, const std::string& commandLine, Handlers handlers);
    void Stop();
    bool Running() const { return child_.Running(); }
    pid_t Pid() const { return child_.Pid(); }

private:
    bool OnReadable();

    platform::ChildProcess child_;
    LoopSource watch_;
    Handlers handlers_;
    std::string output_;
    std::string partialLine_;
};

// Runs a tool to its end, outside any loop (for the quick questions the SDK
// asks xorriso and genisoimage while a call is in progress).
ToolEnd RunToolToEnd(const std::string& commandLine);

}  // namespace foxburner
