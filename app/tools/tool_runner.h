// Runs one console tool (ffmpeg, mencoder, mplayer) as a child process for
// the user-interface thread: builds its command line, reads what it prints,
// hands that to the output parser, posts progress to a window, and stops the
// tool when the user asks. Made on the caller's stack for one run, or for one
// probe followed by one run.
//
// While the tool runs, `Run` dispatches the program's pending messages
// between pieces of output (see ProgramUi), so the window stays live and the
// stop command (which sets the context's cancelRequested) can arrive. When `Run` returns,
// the tool has ended and nothing of it is left: no process, no descriptor, no
// temporary file.
//
// Run builds a command line by concatenation and splits it into words, so an
// input or output whose path holds a blank (or a double quote) is handed
// over under a fixed temporary name in platform::TempFolder()
// ("tempffmpegsfile.tmp" for the input, "tempffmpegdfile.tmp" for the
// output). RunArguments takes the words themselves and needs none.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/tools/command_target.h"
#include "app/tools/media_info.h"
#include "app/tools/output_parser.h"

namespace platform {
class ChildProcess;
}

inline constexpr const char* kDefaultCommandPrefix = "ffmpeg -y -i ";
inline constexpr const char* kInputStandInName = "tempffmpegsfile.tmp";
inline constexpr const char* kOutputStandInName = "tempffmpegdfile.tmp";

// The three messages shown when a tool cannot be started.
inline constexpr const char* kOutputPipeFailedText = "Create   STDOUT   pipe   failed";
inline constexpr const char* kInputPipeFailedText = "Create   STDIN   pipe   failed";
inline constexpr const char* kProcessFailedText = "create process failed";

struct RunContext;

class ToolRunner {
public:
    // `context` (not owned) shows the messages, logs the run, keeps the
    // progress clock and carries the user's stop.
    ToolRunner(RunContext& context, ParseMode mode);
    // Probes `file` at once ("ffmpeg -y -i file"); the media facts are valid
    // when the constructor returns.
    ToolRunner(RunContext& context, const std::string& file, const std::string& preferredAudioId,
               CommandTarget* notifyTarget);
    ToolRunner(const ToolRunner&) = delete;
    ToolRunner& operator=(const ToolRunner&) = delete;

    // Command prefix "ffmpeg -y -i ", no duration, position or progress,
    // success 1, no stream facts gathered, indexes 0 and 1, no preferred
    // audio id, and the context's stop request cleared.
    void Reset();

    // Progress (1..100) and the failure value -2 go to `target` as
    // (message, wParam, value); callers use kCommandMessage and
    // kProgressNotification.
    void SetNotify(CommandTarget* target, unsigned message, unsigned wParam);
    // The text before the input name; a caller that has a whole command puts
    // it here and runs with empty arguments.
    void SetCommandPrefix(std::string prefix) { commandPrefix_ = std::move(prefix); }

    // Runs prefix + input + params (+ output, when given). No blank or quote
    // is inserted: the prefix ends in a blank and params begin with one where
    // needed. Returns 0 when the tool was started, whatever its outcome, and
    // -1 (after a message box) when it could not be.
    int Run(const std::string& input, const std::string& params, const std::string& output);
    // Runs the tool with exactly these words (the tool's name first), so
    // that paths reach it intact whatever they hold; the prefix is not used.
    // Returns what Run returns.
    int RunArguments(std::vector<std::string> arguments);
    // Runs the tool on the input name alone, to read the media facts.
    int Probe();
    // A line the activity log shows under the next run's command, such as
    // which real file a temporary name stands for.
    void AddLogNote(std::string note) { logNotes_.push_back(std::move(note)); }

    // For runs whose duration comes from an earlier probe (mencoder prints
    // none) and that must report progress before any audio stream is seen.
    void SetDuration(double seconds) { state_.media.durationSeconds = seconds; }
    void SetStreamInfoComplete(bool complete) { state_.media.streamInfoComplete = complete; }

    const MediaInfo& Media() const { return state_.media; }
    double Duration() const { return state_.media.durationSeconds; }
    double Position() const { return state_.positionSeconds; }
    int Percent() const { return state_.percent; }
    bool Success() const { return state_.success; }
    // The idet filter's finding, for a run that had it summarise.
    FieldOrder DetectedFieldOrder() const { return state_.detectedFieldOrder; }
    const std::string& CommandPrefix() const { return commandPrefix_; }

private:
    // `command` is what the output parser is told the tool was.
    int RunCommand(std::vector<std::string> arguments, const std::string& command);
    void Parse(std::string_view chunk, const std::string& command);
    void StopTool(platform::ChildProcess& child) const;
    void Notify(std::intptr_t value) const;

    RunContext& context_;
    CommandTarget* notifyTarget_ = nullptr;
    unsigned notifyMessage_ = kCommandMessage;
    unsigned notifyWParam_ = kProgressNotification;
    ParseMode parseMode_ = FfmpegOutput;
    std::string commandPrefix_;
    ToolOutputState state_;
    // What the log says about the coming run (which real file each
    // temporary name stands for).
    std::vector<std::string> logNotes_;
};
