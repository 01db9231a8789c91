#include "sdk/foximager/tool_run.h"

#include <deque>

#include "platform/program_folder.h"
#include "sdk/foximager/tool_output.h"

namespace foximager {
namespace {

// Lines kept to explain a failure that printed no "ERR:" line.
constexpr std::size_t kLastLinesKept = 3;
constexpr std::size_t kErrorLinesKept = 5;

}  // namespace

bool ToolRun::Start(std::vector<std::string> words, const platform::StandardFiles& files) {
    started_ = child_.StartArguments(std::move(words), platform::ProgramFolder(), files) ==
               platform::StartResult::kStarted;
    return started_;
}

ToolOutcome ToolRun::Finish(const std::function<void(std::string_view)>& onLine,
                            const std::function<bool()>& onTick) {
    ToolOutcome outcome;
    if (!started_) return outcome;
    started_ = false;
    std::deque<std::string> lastLines;
    std::vector<std::string> errorLines;
    const auto take = [&](std::string_view line) {
        onLine(line);
        if (IsErrorLine(line) && errorLines.size() < kErrorLinesKept) {
            errorLines.emplace_back(line);
        }
        lastLines.emplace_back(line);
        if (lastLines.size() > kLastLinesKept) lastLines.pop_front();
    };
    LineSplitter splitter;
    auto nextTick = std::chrono::steady_clock::now();
    bool stopped = false;
    for (;;) {
        if (child_.WaitForOutput(kTickInterval)) {
            char buffer[4096];
            const std::size_t count = child_.ReadOutput(buffer, sizeof buffer);
            if (count == 0) break;
            splitter.Feed(std::string_view(buffer, count), take);
        }
        if (std::chrono::steady_clock::now() >= nextTick) {
            nextTick = std::chrono::steady_clock::now() + kTickInterval;
            if (!onTick()) {
                stopped = true;
                break;
            }
        }
    }
    splitter.Flush(take);
    const platform::ChildExit exit =
        child_.Finish(stopped ? std::chrono::milliseconds(0) : std::chrono::milliseconds(2000));
    outcome.how = stopped ? ToolOutcome::How::kStopped : ToolOutcome::How::kEnded;
    outcome.exitedWell = exit.how == platform::ChildExit::How::kExited && exit.code == 0;
    outcome.errors = errorLines.empty()
                         ? std::vector<std::string>(lastLines.begin(), lastLines.end())
                         : errorLines;
    return outcome;
}

std::string FailureText(const std::string& tool, const ToolOutcome& outcome) {
    if (outcome.how == ToolOutcome::How::kNotStarted) return tool + " could not be started.";
    std::string text = tool + " failed";
    for (std::size_t i = 0; i < outcome.errors.size(); ++i) {
        text += (i == 0 ? ": " : " / ") + outcome.errors[i];
    }
    return text + ".";
}

}  // namespace foximager
