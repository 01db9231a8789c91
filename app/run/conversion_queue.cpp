#include "app/run/conversion_queue.h"

#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>

#include "app/profiles/conversion.h"
#include "app/profiles/conversion_target.h"
#include "app/profiles/disc_profiles.h"
#include "app/profiles/value_lists.h"
#include "app/tools/activity_log.h"
#include "app/tools/command_target.h"
#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"
#include "app/tools/time_display.h"
#include "platform/file_moves.h"
#include "platform/file_names.h"
#include "platform/file_status.h"
#include "platform/temp_folder.h"

namespace {

// The log holds the tool's own words about the failure.
constexpr const char* kToolFailedText = "Error to open/convert this file! (see Log)";
// The encoder's text for an audio format it cannot decode ("mp4a" in AVI).
constexpr const char* kUndecodableAudio = "0x6134706d";
constexpr const char* kJoinFailedText = "Joining failed";
// Outputs shorter than this are failures, not pieces worth joining.
constexpr long long kMinimumOutputBytes = 1024;
// How far a joined file's length may be from its pieces' together: each
// piece may end a frame or an audio packet late.
constexpr double kJoinToleranceSeconds = 1.0;
constexpr std::size_t kStatusLogLimit = 1000;

long long FileSizeBytes(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<long long>(info.st_size);
}

bool FileExists(const std::string& path) { return FileSizeBytes(path) >= 0; }

bool IsUsableOutput(const std::string& path) { return FileSizeBytes(path) >= kMinimumOutputBytes; }

// Keeps what the window showed for the state's readers: repeats once,
// and only so much of a long run.
template <typename T>
void AppendToLog(std::vector<T>& log, const T& entry) {
    if (log.size() < kStatusLogLimit && (log.empty() || log.back() != entry)) log.push_back(entry);
}

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string KeptJoinText(const std::string& joined) {
    return std::string(kJoinFailedText) + "; the joined file is kept as " +
           platform::FileName(joined);
}

// What the left pane says when an output cannot have its own name.
std::string RenamedText(const std::string& wanted, const RunFiles::Name& output) {
    const std::string name = platform::FileName(output.path);
    switch (output.clash) {
        case RunFiles::Clash::kInput:
            return platform::FileName(wanted) + " is one of the inputs, so the output is " + name;
        case RunFiles::Clash::kExisting:
            return platform::FileName(wanted) + " exists already, so the output is " + name;
        default:
            return platform::FileName(wanted) + " is the output of another file, so this one is " +
                   name;
    }
}

// The hidden name a joined file is encoded under before it takes the
// output's: ".zarvo-clip.avi" beside "clip.avi".
std::string EncodingNameOf(const std::string& output) {
    const std::size_t nameStart = output.rfind('/') + 1;
    return output.substr(0, nameStart) + ".zarvo-" + output.substr(nameStart);
}

}  // namespace

std::string FailedText(const FailedInput& failure) {
    std::string text = platform::FileName(failure.input) + " failed";
    if (!failure.reason.empty()) text += ": " + failure.reason;
    return text;
}

std::string QueueStoppedText(std::size_t converted, std::size_t entries) {
    return "Conversion stopped: " + std::to_string(converted) + " of " + std::to_string(entries) +
           (entries == 1 ? " file" : " files") + " converted.";
}

ConversionQueue::ConversionQueue(RunContext& context, std::function<void()> changed)
    : context_(context), changed_(std::move(changed)) {}

ConversionQueue::~ConversionQueue() = default;

void ConversionQueue::SetHandOffs(QueueHandOffs* handOffs) {
    handOffs_ = handOffs ? handOffs : &pendingHandOffs_;
}

void ConversionQueue::Stop() {
    if (converting_) {
        stoppedInput_ = currentItem_;
        stopped_ = true;
    }
    converting_ = false;
    if (realMedia_) realMedia_->CancelRealMediaJob();
    context_.cancelRequested = true;
    Changed();
}

void ConversionQueue::OnProgressNotification(int value) {
    if (value == kProgressJobFinished) {
        jobFinished_ = true;
    } else if (value == kProgressToolFailed) {
        toolFailed_ = true;
        ShowLeft(kToolFailedText);
    } else if (value >= 0 && value <= 100 && converting_) {
        progress_ = value;
        AppendToLog(progressLog_, value);
        TimeDisplay texts = TimeDisplayTexts(context_.clock, currentItem_);
        status_[1] = std::move(texts.finished);
        status_[2] = std::move(texts.remain);
        // The host's own estimate of what remains, while it has one.
        const std::string tip = jobRunning_ ? realMedia_->RealMediaJobTip() : std::string();
        if (!tip.empty()) {
            status_[2] = tip;
            AppendToLog(jobTipLog_, tip);
        }
        ShowLeft(std::move(texts.converting));
    } else {
        return;
    }
    Changed();
}

void ConversionQueue::ShowLeft(std::string text) {
    AppendToLog(statusLog_, text);
    status_[0] = std::move(text);
}

void ConversionQueue::ShowStatus(std::string text) {
    ShowLeft(std::move(text));
    Changed();
}

void ConversionQueue::WaitForMessages() {
    context_.ui.DispatchPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

std::string ConversionQueue::ScratchFolder() const {
    // A folder of the run's own: two programs converting at once never meet
    // in it, and whatever a stop leaves there goes with the run.
    return scratch_ && !scratch_->Path().empty() ? scratch_->Path() + "tmpmd/"
                                                 : run_.exportFolder + "tmpmd/";
}

std::string ConversionQueue::JoinedPathOf(const std::string& output) const {
    return output.substr(0, output.rfind('.')) + "_merge" +
           FileTypeExtension(run_.profile.fileType);
}

void ConversionQueue::ShowRenamed(const std::string& wanted, const RunFiles::Name& output) {
    if (output.clash == RunFiles::Clash::kNone) return;
    std::string text = RenamedText(wanted, output);
    context_.log.AddLine("output", text);
    ShowLeft(std::move(text));
    Changed();
}

void ConversionQueue::FailEntry(const std::string& input, std::string reason) {
    failures_.push_back({input, std::move(reason)});
    const std::string text = FailedText(failures_.back());
    context_.log.AddToSectionHeading(text);
    ShowLeft(text);
    Changed();
}

bool ConversionQueue::RefuseExportFolder() {
    const std::string& folder = run_.exportFolder;
    const std::string error = folder.empty() ? std::string("no export folder is set")
                                             : platform::FolderWriteError(folder);
    if (error.empty()) return false;
    ShowLeft("Cannot write to the export folder " + folder + ": " + error);
    return true;
}

void ConversionQueue::MakeThumbnailOf(const std::string& source, const std::string& converted) {
    // The picture's name follows the output's; it must be free, as the
    // output's was: no input, and no file of an earlier run.
    const std::string thumbnail = ThumbnailPath(converted);
    if (runFiles_.Claim(thumbnail).path == thumbnail) tools_->MakeThumbnail(source, converted);
}

void ConversionQueue::PlanRun() {
    runFiles_.Start(run_.inputs);
    // Outputs are claimed first, in list order, so that each keeps the name
    // the window shows wherever no input is at stake.
    outputs_.clear();
    for (const std::string& wanted : run_.outputs) outputs_.push_back(runFiles_.Claim(wanted));
    repairedInput_ = runFiles_.Claim(ScratchFolder() + "men_video.tmp").path;
    jobOutput_ = runFiles_.Claim(run_.exportFolder + "tempvideofile.mpg").path;
}

void ConversionQueue::Start(ConversionRun run) {
    if (converting_) return;
    run_ = std::move(run);
    jobStarted_ = false;
    joinFailed_ = false;
    stopped_ = false;
    convertedCount_ = 0;
    discNote_.clear();
    mergeList_.clear();
    failures_.clear();
    outputs_.clear();
    statusLog_.clear();
    progressLog_.clear();
    jobTipLog_.clear();
    stoppedInput_.clear();
    // The last run's closing words do not belong to the new one.
    status_ = {};
    progress_ = 0;
    // Nothing starts that could only fail: no inputs, or nowhere to write.
    if (run_.inputs.empty()) {
        ShowLeft(kNothingToConvertText);
        Changed();
        return;
    }
    if (RefuseExportFolder()) {
        Changed();
        return;
    }
    converting_ = true;
    scratch_ = std::make_unique<platform::ScratchFolder>();
    // A profile outside its device's limits still converts, as the user
    // asked; the status line says why the file may not play there.
    deviceWarning_ = DeviceLimitWarning(run_.profile);
    if (!deviceWarning_.empty()) ShowLeft(deviceWarning_);
    Changed();
    if (!tools_) {
        Finish(0);
        return;
    }
    if (run_.dvdTitle) {
        ConvertDvdTitle();
        Finish(1);
        return;
    }
    PlanRun();
    const std::vector<std::string>& files = run_.inputs;
    bool stopped = false;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!ConvertEntry(files[i], run_.outputs[i], outputs_[i])) {
            stopped = true;
            break;
        }
    }
    if (!stopped && run_.merge && converting_) Merge();
    Finish(files.size());
}

bool ConversionQueue::ConvertEntry(const std::string& path, const std::string& wanted,
                                   const RunFiles::Name& output) {
    currentItem_ = path;
    // Each file's bar starts empty, not at the last file's end.
    progress_ = 0;
    context_.log.BeginSection("Converting " + path);
    if (path.empty() || !FileExists(path)) {
        FailEntry(path, "the file is not there any more");
        return true;
    }
    std::string input = path;
    if (realMedia_ && realMedia_->IsRealVideo(path)) {
        const JobOutcome outcome = RunRealMediaJob(path, input);
        if (outcome == JobOutcome::kStopped) return false;
        // The host has shown why; the queue goes on with the next entry.
        if (outcome == JobOutcome::kFailed) {
            FailEntry(path, "the conversion host made nothing of it");
            DeleteJobOutput();
            return true;
        }
    }

    const MediaInfo media = tools_->Probe(input);
    bool repaired = false;
    if (LowerCase(media.audioCodec).find(kUndecodableAudio) != std::string::npos) {
        runFiles_.EmptyFolder(ScratchFolder());
        repaired = true;
        const bool repairWorked = tools_->RepairAudio(input, repairedInput_, media.durationSeconds);
        input = repairedInput_;
        // What a failed repair left may be part of the input only; converted,
        // it would pass for the whole.
        if (!repairWorked && converting_) {
            FailEntry(path, tools_->LastFailure());
            runFiles_.EmptyFolder(ScratchFolder());
            return true;
        }
    }

    if (!converting_) {
        if (repaired) runFiles_.EmptyFolder(ScratchFolder());
        return false;
    }
    ShowRenamed(wanted, output);
    toolFailed_ = false;
    const bool ran = tools_->ConvertFile(run_.profile, input, output.path);
    if (!converting_) {
        // A stopped conversion is no result: nothing is left under its name.
        runFiles_.Remove(output.path);
        if (repaired) runFiles_.EmptyFolder(ScratchFolder());
        DeleteJobOutput();
        return false;
    }

    // A failure the tool did not report still leaves no usable output.
    const bool converted = ran && !toolFailed_ && IsUsableOutput(output.path);
    if (converted) {
        ++convertedCount_;
    } else {
        FailEntry(path,
                  ran && !toolFailed_ ? std::string("the output is empty") : tools_->LastFailure());
        // What a failed run left (a tool killed, a full disk) is no result,
        // and must not pass for one.
        runFiles_.Remove(output.path);
    }
    const bool merge = run_.merge;
    if (FileExists(output.path) && run_.profile.target == kTargetPsp && !merge) {
        MakeThumbnailOf(input, output.path);
    }
    if (repaired) runFiles_.EmptyFolder(ScratchFolder());
    DeleteJobOutput();
    // Only what this run converted is joined: a file left under the name by
    // an earlier run is not a piece of this one.
    if (merge && converted && converting_) {
        mergeList_.push_back(output.path);
    }
    return converting_;
}

ConversionQueue::JobOutcome ConversionQueue::RunRealMediaJob(const std::string& path,
                                                             std::string& input) {
    jobFinished_ = false;
    jobStarted_ = true;
    jobRunning_ = true;
    jobResult_.clear();
    ShowLeft(ConvertingText(path));
    Changed();
    realMedia_->StartRealMediaJob({path}, jobOutput_);
    while (!jobFinished_ && converting_) WaitForMessages();
    jobRunning_ = false;
    if (!converting_) {
        runFiles_.Remove(jobOutput_);
        progress_ = 0;
        ShowLeft("");
        return JobOutcome::kStopped;
    }
    jobResult_ = realMedia_->RealMediaJobResult();
    if (jobResult_.empty() || !FileExists(jobResult_)) return JobOutcome::kFailed;
    // The host made it in this run; it is the run's to remove.
    runFiles_.Adopt(jobResult_);
    input = jobResult_;
    return JobOutcome::kConverted;
}

void ConversionQueue::DeleteJobOutput() {
    if (!jobStarted_) return;
    runFiles_.Remove(jobOutput_);
    // The host names its result; only a file of the export folder, or the
    // intermediate AVI the library played a RealMedia input into (named after
    // the input), is the job's to delete, and never an input.
    const std::string& folder = run_.exportFolder;
    const bool exported =
        jobResult_.starts_with(folder) && jobResult_.find('/', folder.size()) == std::string::npos;
    const bool intermediate = jobResult_ == currentItem_ + kIntermediateAviSuffix;
    if (!jobResult_.empty() && (exported || intermediate)) runFiles_.Remove(jobResult_);
    jobResult_.clear();
}

bool ConversionQueue::JoinPieces(const std::vector<std::string>& pieces,
                                 const std::string& joined) {
    // The pieces are measured once all are converted, so that the probes
    // hold up no conversion.
    double seconds = 0;
    for (const std::string& piece : pieces) {
        seconds += tools_->Probe(piece).durationSeconds;
        if (!converting_) return false;
    }
    if (!tools_->JoinFiles(pieces, joined) || !converting_ || !IsUsableOutput(joined)) return false;
    // mencoder may pass over a piece it cannot read, or end early, and still
    // write a file: its length tells.
    const double joinedSeconds = tools_->Probe(joined).durationSeconds;
    return converting_ && std::abs(joinedSeconds - seconds) <= kJoinToleranceSeconds;
}

bool ConversionQueue::EncodeJoined(const std::string& joined, const std::string& output) {
    toolFailed_ = false;
    const bool ran = tools_->ConvertFile(run_.profile, joined, output);
    return converting_ && ran && !toolFailed_ && IsUsableOutput(output);
}

bool ConversionQueue::EncodeJoinedOver(const std::string& joined, const std::string& output) {
    const std::string encoding = runFiles_.Claim(EncodingNameOf(output)).path;
    if (!EncodeJoined(joined, encoding)) {
        runFiles_.Remove(encoding);
        return false;
    }
    // The output's name is one of the pieces, or free.
    runFiles_.Remove(output);
    if (!platform::MoveFileReplacing(encoding, output)) {
        runFiles_.Remove(encoding);
        return false;
    }
    return true;
}

void ConversionQueue::Merge() {
    const std::vector<std::string>& files = run_.inputs;
    const std::string& first = outputs_.front().path;
    // When every entry failed there is nothing to join.
    if (mergeList_.empty()) return;
    if (files.size() > 1) {
        const std::string joined = runFiles_.Claim(JoinedPathOf(first)).path;
        // The separate outputs are only given up for a join that worked.
        if (!JoinPieces(mergeList_, joined)) {
            runFiles_.Remove(joined);
            if (converting_) {
                joinFailed_ = true;
                ShowLeft(kJoinFailedText);
            }
            return;
        }
        currentItem_ = joined;
        // The separate outputs go only once the joined one is finished; a
        // stop or a failure keeps them, and the join is no result then.
        if (!EncodeJoinedOver(joined, first)) {
            runFiles_.Remove(joined);
            if (converting_) {
                joinFailed_ = true;
                ShowLeft(kJoinFailedText);
            }
            return;
        }
        for (const std::string& piece : mergeList_) {
            if (piece != first) runFiles_.Remove(piece);
        }
        runFiles_.Remove(joined);
    }
    HandOverDisc(first);
    if (FileExists(first) && run_.profile.target == kTargetPsp) {
        MakeThumbnailOf(files.front(), first);
    }
}

void ConversionQueue::HandOverDisc(const std::string& file) {
    if (run_.profile.target != kTargetDvd) return;
    const int profile = run_.profile.index;
    if (IsSuperVcdProfile(profile)) {
        handOffs_->OpenBurningWindow(kSuperVcdDisc, {file});
    } else if (IsVideoCdProfile(profile)) {
        handOffs_->OpenBurningWindow(kVideoCdDisc, {file});
    } else if (handOffs_->BuildDvdImage(file, run_.exportFolder) != 0) {
        handOffs_->OpenBurningWindow(kDvdDisc, {file});
    } else {
        discNote_ = " (no DVD image: " + handOffs_->DvdImageFailure() + ")";
    }
}

void ConversionQueue::ConvertDvdTitle() {
    const std::vector<std::string>& title = run_.inputs;
    runFiles_.Start(title);
    const std::string& wanted = run_.outputs.front();
    const RunFiles::Name output = runFiles_.Claim(wanted);
    outputs_ = {output};
    const std::string scratch = ScratchFolder();
    runFiles_.EmptyFolder(scratch);
    ShowRenamed(wanted, output);
    std::vector<std::string> pieces;
    for (const std::string& vob : title) {
        if (StopRequested()) break;
        currentItem_ = vob;
        const std::string piece = runFiles_.Claim(scratch + platform::FileName(vob)).path;
        toolFailed_ = false;
        const bool ran = tools_->ConvertDvdPiece(run_.profile, vob, run_.dvdAudioStreamId, piece);
        // A piece cut short by a stop is no piece.
        if (ran && !toolFailed_ && !StopRequested() && IsUsableOutput(piece)) {
            pieces.push_back(piece);
        }
    }
    if (StopRequested()) {
        // The title was not finished: it leaves nothing.
    } else if (pieces.size() == 1) {
        platform::MoveFileReplacing(pieces.front(), output.path);
    } else if (pieces.size() > 1) {
        const std::string joined = runFiles_.Claim(scratch + "merge_video.tmp").path;
        currentItem_ = joined;
        if (!JoinPieces(pieces, joined)) {
            if (converting_) {
                joinFailed_ = true;
                ShowLeft(kJoinFailedText);
            }
        } else if (!EncodeJoined(joined, output.path)) {
            runFiles_.Remove(output.path);
            if (converting_) {
                // The scratch folder is emptied below: the join is kept
                // beside the output.
                const std::string kept = runFiles_.Claim(JoinedPathOf(output.path)).path;
                platform::MoveFileReplacing(joined, kept);
                joinFailed_ = true;
                ShowLeft(KeptJoinText(kept));
            }
        }
    }
    if (converting_ && !IsUsableOutput(output.path)) {
        FailEntry(title.front(), tools_->LastFailure());
    } else if (converting_) {
        ++convertedCount_;
    }
    if (run_.profile.target == kTargetPsp && FileExists(output.path)) {
        MakeThumbnailOf(title.front(), output.path);
    }
    runFiles_.EmptyFolder(scratch);
}

void ConversionQueue::Finish(std::size_t entries) {
    DeleteJobOutput();
    converting_ = false;
    // Whatever the run kept in its own folder goes with it, after a stop too.
    scratch_.reset();
    progress_ = 0;
    status_[1].clear();
    status_[2].clear();
    ShowLeft(FinalText(entries));
    Changed();
}

std::string ConversionQueue::FinalText(std::size_t entries) const {
    std::string text =
        stopped_ ? QueueStoppedText(convertedCount_, entries) : std::string(kQueueCompletedText);
    // A batch with failures must not look like a success: the first failure
    // is named with its reason, and the list marks every one.
    if (!failures_.empty()) {
        const FailedInput& first = failures_.front();
        text += " (" + std::to_string(failures_.size()) + " of " + std::to_string(entries) +
                " failed: " + platform::FileName(first.input);
        if (!first.reason.empty()) text += ": " + first.reason;
        if (failures_.size() > 1) text += "; see the list";
        text += ")";
    }
    if (joinFailed_) text += " (joining failed)";
    text += discNote_;
    // The outputs made under other names than the ones wanted; short, so
    // that the pane shows it: each rename was said when it came.
    std::vector<std::string> renamed;
    for (const RunFiles::Name& output : outputs_) {
        if (output.clash != RunFiles::Clash::kNone && FileExists(output.path)) {
            renamed.push_back(platform::FileName(output.path));
        }
    }
    if (renamed.size() == 1) {
        text += " (saved as " + renamed.front() + ")";
    } else if (renamed.size() > 1) {
        text += " (" + std::to_string(renamed.size()) +
                " files saved under new names, as theirs were taken)";
    }
    if (!deviceWarning_.empty()) text += " " + deviceWarning_;
    return text;
}
