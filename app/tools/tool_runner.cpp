#include "app/tools/tool_runner.h"

#include <chrono>
#include <filesystem>

#include "app/tools/activity_log.h"
#include "app/tools/output_chunker.h"
#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"
#include "platform/child_process.h"
#include "platform/command_line.h"
#include "platform/file_moves.h"
#include "platform/program_folder.h"
#include "platform/temp_folder.h"

namespace {

using namespace std::chrono_literals;

// After "q", ffmpeg needs a moment to finish its file (an MP4 gets its
// index then); one that takes longer is killed, so a stop never takes much
// more than a second.
constexpr auto kStopGrace = 800ms;
// The tool has closed its output and is ending.
constexpr auto kEndGrace = 2000ms;

bool Exists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

std::string ExitText(const platform::ChildExit& exit) {
    switch (exit.how) {
        case platform::ChildExit::How::kExited:
            return "exit code " + std::to_string(exit.code);
        case platform::ChildExit::How::kSignalled:
            return "ended by signal " + std::to_string(exit.code);
        case platform::ChildExit::How::kKilledByUs:
            return "ended by the program (it did not end by itself)";
        case platform::ChildExit::How::kNotStarted:
            break;
    }
    return "not started";
}

}  // namespace

ToolRunner::ToolRunner(RunContext& context, ParseMode mode) : context_(context), parseMode_(mode) {
    Reset();
}

ToolRunner::ToolRunner(RunContext& context, const std::string& file,
                       const std::string& preferredAudioId, CommandTarget* notifyTarget)
    : context_(context) {
    Reset();
    state_.media.inputName = file;
    state_.preferredAudioId = preferredAudioId;
    notifyTarget_ = notifyTarget;
    Probe();
}

void ToolRunner::Reset() {
    commandPrefix_ = kDefaultCommandPrefix;
    state_.media.durationSeconds = 0;
    state_.positionSeconds = 0;
    state_.percent = 0;
    context_.cancelRequested = false;
    state_.success = true;
    state_.media.streamInfoComplete = false;
    state_.media.videoStreamIndex = 0;
    state_.media.audioStreamIndex = 1;
    state_.probeText.Clear();
    state_.preferredAudioId.clear();
    state_.probeOnly = false;
    state_.detectedFieldOrder = FieldOrder::kUnknown;
}

void ToolRunner::SetNotify(CommandTarget* target, unsigned message, unsigned wParam) {
    notifyTarget_ = target;
    notifyMessage_ = message;
    notifyWParam_ = wParam;
}

int ToolRunner::Probe() {
    state_.probeOnly = true;
    const int result = Run(state_.media.inputName, "", "");
    state_.probeOnly = false;
    return result;
}

int ToolRunner::Run(const std::string& input, const std::string& params,
                    const std::string& output) {
    const std::string& tempFolder = platform::TempFolder();
    std::string toolInput = input;
    std::string inputStandIn;
    if (!platform::IsOneWord(input)) {
        inputStandIn = tempFolder + kInputStandInName;
        platform::PlaceStandIn(input, inputStandIn);
        toolInput = inputStandIn;
        AddLogNote(inputStandIn + " is " + input);
    }
    std::string toolParams = params;
    std::string outputStandIn;
    if (!output.empty()) {
        if (platform::IsOneWord(output)) {
            toolParams += output;
        } else {
            // A name left from an earlier run might be a link the tool would
            // write through.
            outputStandIn = tempFolder + kOutputStandInName;
            platform::RemoveName(outputStandIn);
            toolParams += outputStandIn;
            AddLogNote(outputStandIn + " becomes " + output);
        }
    }

    const int result = RunCommand(
        platform::SplitCommandLine(commandPrefix_ + toolInput + toolParams), commandPrefix_);

    if (!inputStandIn.empty()) platform::RemoveName(inputStandIn);
    if (!outputStandIn.empty()) {
        // A file that cannot be put in place (a full disk, a folder gone or
        // read-only) is a failed run, whatever the tool said.
        if (result == 0 && Exists(outputStandIn) &&
            !platform::MoveFileReplacing(outputStandIn, output) && state_.success) {
            state_.success = false;
            Notify(kProgressToolFailed);
        }
        platform::RemoveName(outputStandIn);
    }
    return result;
}

int ToolRunner::RunArguments(std::vector<std::string> arguments) {
    const std::string command = arguments.empty() ? std::string() : arguments.front();
    return RunCommand(std::move(arguments), command);
}

int ToolRunner::RunCommand(std::vector<std::string> arguments, const std::string& command) {
    ProgramUi& ui = context_.ui;
    ActivityLog& log = context_.log;
    log.BeginRun(arguments);
    // The log's reader needs the real names behind the temporary ones.
    for (const std::string& note : logNotes_) log.AppendOutput("    (" + note + ")\n");
    logNotes_.clear();
    platform::ChildProcess child;
    switch (child.StartArguments(std::move(arguments), platform::ProgramFolder())) {
        case platform::StartResult::kOutputPipeFailed:
            log.EndRun(kOutputPipeFailedText);
            ui.ShowMessage(kOutputPipeFailedText, "");
            return -1;
        case platform::StartResult::kInputPipeFailed:
            log.EndRun(kInputPipeFailedText);
            ui.ShowMessage(kInputPipeFailedText, "");
            return -1;
        case platform::StartResult::kProcessFailed:
            log.EndRun("could not be started");
            ui.ShowMessage(kProcessFailedText, "");
            return -1;
        case platform::StartResult::kStarted:
            break;
    }

    OutputChunker chunker;
    bool stopped = false;
    for (;;) {
        const std::span<char> space = chunker.FreeSpace();
        const std::size_t count = child.ReadOutput(space.data(), space.size());
        if (count == 0) break;
        log.AppendOutput(std::string_view(space.data(), count));
        const std::string_view chunk = chunker.Take(count);
        if (!chunk.empty()) Parse(chunk, command);
        // Probes stay without dispatching until their facts are in; a
        // conversion dispatches once its audio stream is known or, for an
        // input without sound, once it reports progress.
        if (state_.media.streamInfoComplete || state_.percent != 0) {
            ui.DispatchPendingMessages();
        }
        // Checked after dispatching, so a stop that just arrived acts now.
        if (context_.cancelRequested) {
            StopTool(child);
            stopped = true;
            break;
        }
        if (!chunk.empty() && state_.percent >= 1 && state_.media.durationSeconds != 0) {
            // The window reads -1 and -2 as other events, and its progress
            // bar ends at 100.
            Notify(state_.percent > 100 ? 100 : state_.percent);
        }
    }
    if (!stopped && !chunker.Rest().empty()) Parse(chunker.Rest(), command);

    const platform::ChildExit exit = child.Finish(stopped ? kStopGrace : kEndGrace);
    // A probe always ends in an error (it names no output file), and a
    // stopped tool's status says nothing about the file; otherwise a tool
    // that did not end well has failed, whatever it printed.
    const bool endedWell = exit.how == platform::ChildExit::How::kExited && exit.code == 0;
    log.EndRun(stopped ? "stopped" : ExitText(exit));
    if (!stopped && !state_.probeOnly && !endedWell) state_.success = false;
    if (!state_.success) Notify(kProgressToolFailed);
    return 0;
}

void ToolRunner::Parse(std::string_view chunk, const std::string& command) {
    if (parseMode_ == PositionOutput) {
        ParsePositionChunk(chunk, state_, context_.clock);
    } else {
        ParseFfmpegChunk(chunk, command, state_, context_.clock);
    }
}

void ToolRunner::StopTool(platform::ChildProcess& child) const {
    // ffmpeg and mplayer stop on the key "q" and finish their files.
    using namespace std::string_view_literals;
    child.WriteInput("q\0"sv);
    if (parseMode_ == PositionOutput) {
        // mencoder only listens to Ctrl-C, which on Linux is the interrupt
        // signal; it then finishes its file too.
        child.WriteInput("\x03\0"sv);
        child.Interrupt();
    }
}

void ToolRunner::Notify(std::intptr_t value) const {
    if (notifyTarget_) notifyTarget_->PostCommand(notifyMessage_, notifyWParam_, value);
}
