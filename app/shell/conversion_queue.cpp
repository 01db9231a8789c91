#include "app/shell/conversion_queue.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <utility>

#include "app/profiles/value_lists.h"
#include "app/shell/conversion_target.h"
#include "app/shell/main_window_commands.h"
#include "app/shell/main_window_model.h"
#include "app/shell/output_name.h"
#include "app/tools/time_display.h"
#include "platform/file_names.h"

namespace {

constexpr const char* kCompletedText = "All converting works are Completed!";
constexpr const char* kToolFailedText = "Error to open/convert this file!";
// The encoder's text for an audio format it cannot decode ("mp4a" in AVI).
constexpr const char* kUndecodableAudio = "0x6134706d";
// Outputs shorter than this are failures, not pieces worth joining.
constexpr long long kMinimumOutputBytes = 1024;
constexpr std::size_t kStatusLogLimit = 1000;

// Those DVD-target profiles that are SuperVCD and VideoCD discs.
bool IsSuperVcdProfile(int profile) { return profile == 4 || profile == 10; }
bool IsVideoCdProfile(int profile) { return profile == 5 || profile == 11; }

long long FileSizeBytes(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<long long>(info.st_size);
}

bool FileExists(const std::string& path) { return FileSizeBytes(path) >= 0; }

bool IsUsableOutput(const std::string& path) { return FileSizeBytes(path) >= kMinimumOutputBytes; }

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Creates the folder when needed and deletes every file in it.
void MakeEmptyFolder(const std::string& folder) {
    mkdir(folder.c_str(), 0777);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string path = folder + entry->d_name;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) unlink(path.c_str());
    }
}

}  // namespace

ConversionQueue::ConversionQueue(const MainWindowModel& window, std::function<void()> changed)
    : window_(window), changed_(std::move(changed)) {}

void ConversionQueue::SetHandOffs(QueueHandOffs* handOffs) {
    handOffs_ = handOffs ? handOffs : &pendingHandOffs_;
}

void ConversionQueue::OnConvertCommand() {
    // A press while converting arrives through a message dispatched inside
    // the running queue: it is a stop.
    if (converting_) {
        Stop();
    } else {
        Start();
    }
}

void ConversionQueue::Stop() {
    converting_ = false;
    handOffs_->CancelRealMediaJob();
    if (tools_) tools_->CancelTool();
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
        TimeDisplay texts = TimeDisplayTexts(SharedProgressClock(), currentItem_);
        status_[1] = std::move(texts.finished);
        status_[2] = std::move(texts.remain);
        ShowLeft(std::move(texts.converting));
    } else {
        return;
    }
    Changed();
}

void ConversionQueue::ShowLeft(std::string text) {
    if (statusLog_.size() < kStatusLogLimit && (statusLog_.empty() || statusLog_.back() != text)) {
        statusLog_.push_back(text);
    }
    status_[0] = std::move(text);
}

std::string ConversionQueue::OutputPathOf(const std::string& entry) const {
    return ConvertedFilePath(window_.ExportFolder(), entry, window_.SelectedFileType());
}

std::string ConversionQueue::ScratchFolder() const { return window_.ExportFolder() + "tmpmd/"; }

void ConversionQueue::Start() {
    converting_ = true;
    jobStarted_ = false;
    joinFailed_ = false;
    mergeList_.clear();
    failed_.clear();
    statusLog_.clear();
    // A profile outside its device's limits still converts, as the user
    // asked; the status line says why the file may not play there.
    deviceWarning_ = window_.SelectedProfileDeviceWarning();
    if (!deviceWarning_.empty()) ShowLeft(deviceWarning_);
    Changed();
    if (!tools_) {
        Finish(0);
        return;
    }
    if (window_.DvdSourceMode()) {
        ConvertDvdTitle();
        Finish(1);
        return;
    }
    // The list cannot change while converting; its size now is the size of
    // the batch.
    const std::vector<std::string> files = window_.Files();
    bool stopped = false;
    for (const std::string& file : files) {
        if (!ConvertEntry(file)) {
            stopped = true;
            break;
        }
    }
    const bool merge = window_.Target() == kTargetDvd || window_.Merge() != 0;
    if (!stopped && merge && !files.empty() && converting_) Merge(files);
    Finish(files.size());
}

bool ConversionQueue::ConvertEntry(const std::string& path) {
    currentItem_ = path;
    if (path.empty() || !FileExists(path)) {
        failed_.push_back(path);
        return true;
    }
    std::string input = path;
    if (handOffs_->IsRealVideo(path) && !RunRealMediaJob(path, input)) return false;

    const MediaInfo media = tools_->Probe(input);
    bool repaired = false;
    if (LowerCase(media.audioCodec).find(kUndecodableAudio) != std::string::npos) {
        MakeEmptyFolder(ScratchFolder());
        const std::string repairedInput = ScratchFolder() + "men_video.tmp";
        tools_->RepairAudio(input, repairedInput, media.durationSeconds);
        input = repairedInput;
        repaired = true;
    }

    const std::string output = OutputPathOf(path);
    if (!converting_) return false;
    toolFailed_ = false;
    tools_->ConvertFile(input, output);
    if (!converting_) {
        if (repaired) MakeEmptyFolder(ScratchFolder());
        return false;
    }

    // A failure the tool did not report still leaves no usable output.
    if (toolFailed_ || !IsUsableOutput(output)) {
        failed_.push_back(path);
        if (!toolFailed_) ShowLeft(kToolFailedText);
    }
    const bool merge = window_.Target() == kTargetDvd || window_.Merge() != 0;
    if (FileExists(output) && window_.Target() == kTargetPsp && !merge) {
        tools_->MakeThumbnail(input, output);
    }
    if (repaired) MakeEmptyFolder(ScratchFolder());
    if (jobStarted_) unlink((window_.ExportFolder() + "tempvideofile.mpg").c_str());
    if (merge && IsUsableOutput(output)) mergeList_.push_back(output);
    return converting_;
}

bool ConversionQueue::RunRealMediaJob(const std::string& path, std::string& input) {
    const std::string jobOutput = window_.ExportFolder() + "tempvideofile.mpg";
    jobFinished_ = false;
    jobStarted_ = true;
    ShowLeft(ConvertingText(path));
    Changed();
    handOffs_->StartRealMediaJob({path}, jobOutput);
    while (!jobFinished_ && converting_) tools_->WaitForMessages();
    if (!converting_) {
        unlink(jobOutput.c_str());
        progress_ = 0;
        ShowLeft("");
        return false;
    }
    const std::string result = handOffs_->RealMediaJobResult();
    input = result.empty() ? jobOutput : result;
    return true;
}

void ConversionQueue::Merge(const std::vector<std::string>& files) {
    const std::string first = OutputPathOf(files.front());
    // When every entry failed there is nothing to join.
    if (mergeList_.empty()) return;
    if (files.size() > 1) {
        const std::string joined = first.substr(0, first.rfind('.')) + "_merge" +
                                   FileTypeExtension(window_.SelectedFileType());
        tools_->JoinFiles(mergeList_, joined);
        // The separate outputs are only given up for a join that worked.
        if (!converting_ || !IsUsableOutput(joined)) {
            unlink(joined.c_str());
            joinFailed_ = converting_;
            return;
        }
        for (const std::string& file : files) unlink(OutputPathOf(file).c_str());
        currentItem_ = joined;
        tools_->ConvertFile(joined, first);
        // Without a finished re-encoding the join is all there is; keep it.
        if (converting_ && IsUsableOutput(first)) {
            unlink(joined.c_str());
        } else {
            joinFailed_ = converting_;
            return;
        }
    }
    HandOverDisc(first);
    if (FileExists(first) && window_.Target() == kTargetPsp) {
        tools_->MakeThumbnail(files.front(), first);
    }
}

void ConversionQueue::HandOverDisc(const std::string& file) {
    if (window_.Target() != kTargetDvd) return;
    const int profile = window_.SelectedProfile();
    if (IsSuperVcdProfile(profile)) {
        handOffs_->OpenBurningWindow(kSuperVcdDisc, {file});
    } else if (IsVideoCdProfile(profile)) {
        handOffs_->OpenBurningWindow(kVideoCdDisc, {file});
    } else if (handOffs_->BuildDvdImage(file) != 0) {
        handOffs_->OpenBurningWindow(kDvdDisc, {file});
    }
}

void ConversionQueue::ConvertDvdTitle() {
    const std::vector<std::string>& title = window_.DvdTitles()[0];
    if (title.empty()) return;
    const std::string scratch = ScratchFolder();
    MakeEmptyFolder(scratch);
    std::vector<std::string> pieces;
    for (const std::string& vob : title) {
        currentItem_ = vob;
        const std::string piece = scratch + platform::FileName(vob);
        tools_->ConvertDvdPiece(vob, window_.DvdAudioStreamId(), piece);
        if (IsUsableOutput(piece)) pieces.push_back(piece);
        if (tools_->ToolCancelled()) break;
    }
    const std::string output = OutputPathOf(title.front());
    if (pieces.size() == 1) {
        std::rename(pieces.front().c_str(), output.c_str());
    } else if (pieces.size() > 1 && !tools_->ToolCancelled()) {
        const std::string joined = scratch + "merge_video.tmp";
        tools_->JoinFiles(pieces, joined);
        currentItem_ = joined;
        if (converting_) tools_->ConvertFile(joined, output);
    }
    if (converting_ && !IsUsableOutput(output)) failed_.push_back(title.front());
    if (window_.Target() == kTargetPsp && FileExists(output)) {
        tools_->MakeThumbnail(title.front(), output);
    }
    MakeEmptyFolder(scratch);
}

void ConversionQueue::Finish(std::size_t entries) {
    if (jobStarted_) unlink((window_.ExportFolder() + "tempvideofile.mpg").c_str());
    converting_ = false;
    progress_ = 0;
    status_[1].clear();
    status_[2].clear();
    std::string text = kCompletedText;
    // The same words after errors, but a batch with failures must not look
    // like a success.
    if (!failed_.empty()) {
        text +=
            " (" + std::to_string(failed_.size()) + " of " + std::to_string(entries) + " failed)";
    }
    if (joinFailed_) text += " (joining failed)";
    if (!deviceWarning_.empty()) text += " " + deviceWarning_;
    ShowLeft(text);
    Changed();
}
