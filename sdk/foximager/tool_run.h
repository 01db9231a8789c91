// One authoring tool run for the builder: the tool's lines go to a handler
// as they come, and a tick is called at least every kTickInterval, so the
// builder can report progress (and its caller handle its window) while the
// tool works; a tick that returns false ends the tool at once.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/child_process.h"

namespace foximager {

inline constexpr std::chrono::milliseconds kTickInterval{100};

struct ToolOutcome {
    enum class How { kNotStarted, kEnded, kStopped };
    How how = How::kNotStarted;
    bool exitedWell = false;          // ended by itself with status 0
    std::vector<std::string> errors;  // its "ERR:" lines, or its last lines
};

// A tool run in two steps, so the caller can do other work while the tool
// runs: Start, then Finish reads the lines (a tool that prints more than a
// pipe holds waits for it meanwhile). Destroying a started run ends the
// tool.
class ToolRun {
public:
    bool Start(std::vector<std::string> words, const platform::StandardFiles& files);
    ToolOutcome Finish(const std::function<void(std::string_view)>& onLine,
                       const std::function<bool()>& onTick);

private:
    platform::ChildProcess child_;
    bool started_ = false;
};

// A short English account of why the tool failed, for the caller's error
// text: "dvdauthor: ERR: ..." or "dvdauthor could not be started".
std::string FailureText(const std::string& tool, const ToolOutcome& outcome);

}  // namespace foximager
