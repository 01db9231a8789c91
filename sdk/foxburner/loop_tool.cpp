#include "sdk/foxburner/loop_tool.h"

#include <poll.h>

#include <chrono>
#include <utility>

namespace foxburner {
namespace {

// What is kept of a tool's output: the tools here print little, but a
// broken input can make vcdimager repeat a warning for every packet.
constexpr std::size_t kKeptOutputBytes = 1u << 20;
constexpr auto kToolGrace = std::chrono::milliseconds(2000);
// Long enough for a drive to spin up and answer; a drive that does not
// answer by then is reported, not waited for.
constexpr auto kQuestionTimeout = std::chrono::seconds(60);

void Keep(std::string& output, const char* bytes, std::size_t size) {
    output.append(bytes, size);
    if (output.size() > kKeptOutputBytes) output.erase(0, output.size() - kKeptOutputBytes / 2);
}

int ExitCodeOf(const platform::ChildExit& exit) {
    switch (exit.how) {
        case platform::ChildExit::How::kExited:
            return exit.code;
        case platform::ChildExit::How::kSignalled:
            return 128 + exit.code;
        default:
            return -1;
    }
}

}  // namespace

bool LoopTool::Start(GMainContext* context, const std::string& commandLine, Handlers handlers) {
    Stop();
    if (child_.Start(commandLine, "") != platform::StartResult::kStarted) return false;
    handlers_ = std::move(handlers);
    output_.clear();
    partialLine_.clear();
    watch_ = LoopSource::Readable(context, child_.OutputFd(), [this] { return OnReadable(); });
    return true;
}

void LoopTool::Stop() {
    watch_.Reset();
    child_.Finish(std::chrono::milliseconds(0));
}

bool LoopTool::OnReadable() {
    char buffer[4096];
    const std::size_t got = child_.ReadOutput(buffer, sizeof buffer);
    if (got > 0) {
        Keep(output_, buffer, got);
        partialLine_.append(buffer, got);
        std::size_t start = 0;
        for (std::size_t end;
             (end = partialLine_.find_first_of("\r\n", start)) != std::string::npos;
             start = end + 1) {
            if (end > start && handlers_.onLine) {
                handlers_.onLine(std::string_view(partialLine_).substr(start, end - start));
            }
        }
        partialLine_.erase(0, start);
        return true;
    }
    // The output is closed: the tool has ended (or is about to).
    if (!partialLine_.empty() && handlers_.onLine) handlers_.onLine(partialLine_);
    ToolEnd end;
    end.exitCode = ExitCodeOf(child_.Finish(kToolGrace));
    end.output = std::move(output_);
    // The handler may destroy this object; nothing here is touched after it.
    auto onEnd = std::move(handlers_.onEnd);
    watch_ = LoopSource();
    if (onEnd) onEnd(end);
    return false;
}

ToolEnd RunToolToEnd(const std::string& commandLine) {
    ToolEnd end;
    platform::ChildProcess child;
    if (child.Start(commandLine, "") != platform::StartResult::kStarted) {
        end.exitCode = -1;
        end.output = "cannot start: " + commandLine;
        return end;
    }
    const auto deadline = std::chrono::steady_clock::now() + kQuestionTimeout;
    char buffer[4096];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd watch{child.OutputFd(), POLLIN, 0};
        if (left.count() <= 0 || poll(&watch, 1, static_cast<int>(left.count())) == 0) {
            child.Finish(std::chrono::milliseconds(0));
            end.exitCode = -1;
            end.output += "\nno answer from the tool in time";
            return end;
        }
        const std::size_t got = child.ReadOutput(buffer, sizeof buffer);
        if (got == 0) break;
        Keep(end.output, buffer, got);
    }
    end.exitCode = ExitCodeOf(child.Finish(kToolGrace));
    return end;
}

}  // namespace foxburner
