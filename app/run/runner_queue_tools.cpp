#include "app/run/runner_queue_tools.h"

#include <sys/stat.h>

#include "app/profiles/encoder_options.h"
#include "app/tools/activity_log.h"
#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"
#include "app/tools/tool_runner.h"
#include "platform/temp_folder.h"

namespace {

// Probes remembered at most; a session that probes more starts afresh.
constexpr std::size_t kRememberedProbes = 512;

// What tells a file's content apart from what it was: the file itself, its
// size and when it last changed. "" for a file that cannot be looked at.
std::string FileStamp(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return {};
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino) + ":" +
           std::to_string(info.st_size) + ":" + std::to_string(info.st_ctim.tv_sec) + "." +
           std::to_string(info.st_ctim.tv_nsec);
}

// Runs a whole mencoder command, dispatching the window's messages while it
// runs so that the window stays live and Stop can arrive. False when it
// could not start or failed.
bool RunMencoder(ToolRunner& runner, std::vector<std::string> arguments) {
    runner.SetStreamInfoComplete(true);
    return runner.RunArguments(std::move(arguments)) == 0 && runner.Success();
}

}  // namespace

std::vector<std::string> JoinArguments(const std::vector<std::string>& pieces,
                                       const std::string& output) {
    // Joined with PCM sound: this libavcodec refuses mencoder's "-oac lavc"
    // ("Couldn't open codec mp2"), and the join is encoded once more anyway.
    std::vector<std::string> arguments = {"mencoder", "-oac", "pcm", "-ovc",
                                          "copy",     "-idx", "-o",  output};
    arguments.insert(arguments.end(), pieces.begin(), pieces.end());
    return arguments;
}

std::vector<std::string> AudioRepairArguments(const std::string& input, const std::string& output) {
    return {"mencoder", "-ovc", "lavc", "-oac", "pcm", "-o", output, input};
}

RunnerQueueTools::RunnerQueueTools(RunContext& context, CommandTarget* notifyTarget)
    : context_(context), setup_{context, platform::TempFolder(), notifyTarget} {}

void RunnerQueueTools::HandleNotifications() { context_.ui.DispatchPendingMessages(); }

MediaInfo RunnerQueueTools::Probe(const std::string& file) {
    const std::string stamp = FileStamp(file);
    const auto known = probes_.find(file);
    if (!stamp.empty() && known != probes_.end() && known->second.stamp == stamp) {
        answeredFailure_ = known->second.failure;
        lastProbe_ = {file, known->second.media};
        return known->second.media;
    }
    ToolRunStarts();
    const ToolRunner runner(context_, file, "", nullptr);
    lastProbe_ = {file, runner.Media()};
    if (!stamp.empty()) {
        if (probes_.size() >= kRememberedProbes) probes_.clear();
        probes_[file] = {stamp, runner.Media(), context_.log.LastRunFailure()};
    }
    return runner.Media();
}

std::string RunnerQueueTools::LastFailure() const {
    return answeredFailure_ ? *answeredFailure_ : context_.log.LastRunFailure();
}

bool RunnerQueueTools::RepairAudio(const std::string& input, const std::string& output,
                                   double durationSeconds) {
    ToolRunStarts();
    ToolRunner runner(context_, PositionOutput);
    runner.SetNotify(setup_.notifyTarget, kCommandMessage, kProgressNotification);
    runner.SetDuration(durationSeconds);
    const bool repaired = RunMencoder(runner, AudioRepairArguments(input, output));
    HandleNotifications();
    return repaired;
}

bool RunnerQueueTools::ConvertFile(const EncoderProfile& profile, const std::string& input,
                                   const std::string& output) {
    ToolRunStarts();
    // The queue probes each input just before converting it; those facts
    // shape the command line, so the file is not probed twice.
    const bool probed = lastProbe_ && lastProbe_->file == input;
    const bool converted =
        probed ? ConvertProbedFile(setup_, profile, lastProbe_->media, input, output)
               : ::ConvertFile(setup_, profile, input, output);
    lastProbe_.reset();
    HandleNotifications();
    return converted;
}

void RunnerQueueTools::MakeThumbnail(const std::string& source, const std::string& converted) {
    ToolRunStarts();
    ::MakeThumbnail(setup_, source, converted);
    HandleNotifications();
}

bool RunnerQueueTools::JoinFiles(const std::vector<std::string>& pieces,
                                 const std::string& output) {
    ToolRunStarts();
    ToolRunner runner(context_, FfmpegOutput);
    return RunMencoder(runner, JoinArguments(pieces, output));
}

bool RunnerQueueTools::ConvertDvdPiece(const EncoderProfile& profile, const std::string& vob,
                                       const std::string& audioStreamId,
                                       const std::string& output) {
    ToolRunStarts();
    // One runner probes and converts, so the probed duration drives the
    // progress and the probe's stream numbers pick the streams.
    ToolRunner runner(context_, vob, audioStreamId, nullptr);
    runner.SetNotify(setup_.notifyTarget, kCommandMessage, kProgressNotification);
    const std::string params = " " + SourceOptions(profile, runner.Media()) +
                               " -map 0:" + std::to_string(runner.Media().videoStreamIndex) +
                               " -map 0:" + std::to_string(runner.Media().audioStreamIndex) + " ";
    const bool converted = runner.Run(vob, params, output) == 0 && runner.Success();
    HandleNotifications();
    return converted;
}
