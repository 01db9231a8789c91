// The conversion queue that "Convert Now!" starts: converts the files of the
// main window's list one after another (or the main title of a DVD), joins
// the results when "Merge" is on, and hands DVD-target results to authoring
// and burning. It runs on the user-interface thread; the tools dispatch the
// window's messages while they run, so "Stop Conversion" re-enters through
// OnConvertCommand while Start is still on the stack.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/rmjob/real_media_hand_off.h"
#include "app/shell/queue_tools.h"
#include "app/shell/run_files.h"

class ActivityLog;
class MainWindowModel;
namespace platform {
class ScratchFolder;
}

// The left pane's text when the queue has ended (failures are added to it).
inline constexpr char kQueueCompletedText[] = "All converting works are Completed!";
// "Convert Now!" with nothing to convert.
inline constexpr char kNothingToConvertText[] = "Add the files to convert first.";

// The left pane's text after a stop: "Conversion stopped: 1 of 3 files
// converted."
std::string QueueStoppedText(std::size_t converted, std::size_t entries);

class ConversionQueue {
public:
    // Reads the list, the target, the profile, the merge flag and the export
    // folder from the window at the moment it needs them; `changed` is called
    // whenever something the window shows has changed.
    ConversionQueue(const MainWindowModel& window, std::function<void()> changed);

    // Neither is owned. Without tools nothing is converted.
    void SetTools(QueueTools* tools) { tools_ = tools; }
    void SetHandOffs(QueueHandOffs* handOffs);
    // Not owned. Without it RealVideo goes to the encoder like any input.
    void SetRealMediaHandOff(RealMediaHandOff* realMedia) { realMedia_ = realMedia; }
    // Not owned. Each input gets a section there, headed by why it failed.
    void SetActivityLog(ActivityLog* log) { log_ = log; }

    ConversionQueue(const ConversionQueue&) = delete;
    ConversionQueue& operator=(const ConversionQueue&) = delete;
    ~ConversionQueue();

    // Command 40003: starts the queue and returns when it has finished, or,
    // while it runs, stops it.
    void OnConvertCommand();
    void Stop();
    // Command 40004: 0..100 percent of the running tool, -1 the RealMedia
    // job has ended, -2 the tool failed.
    void OnProgressNotification(int value);

    // A text of the window's own in the left status pane.
    void ShowStatus(std::string text);

    bool Converting() const { return converting_; }
    int Progress() const { return progress_; }
    // Left, middle and right status panes.
    const std::array<std::string, 3>& StatusTexts() const { return status_; }
    const std::vector<std::string>& FailedInputs() const { return failed_; }
    // Why an input of the last run failed, in the tool's words ("" when it
    // did not).
    std::string FailureOf(const std::string& input) const;
    const std::vector<std::string>& StatusLog() const { return statusLog_; }
    // The progress values shown during the last run, and the RealMedia
    // host's status lines, each in order (repeats dropped).
    const std::vector<int>& ProgressLog() const { return progressLog_; }
    const std::vector<std::string>& JobTipLog() const { return jobTipLog_; }
    // The input that was being converted when the last run was stopped, or
    // "" when it was not stopped.
    const std::string& StoppedInput() const { return stoppedInput_; }

private:
    void Start();
    // The queue's own stop flag: Stop clears the converting flag and only a
    // new "Convert Now!" sets it again, whereas every tool run clears the
    // tool cancel flag (a probe for "Select DVD audio stream" among them).
    bool StopRequested() const { return !converting_; }
    // Takes the entries as the run's inputs and claims the names the run
    // writes: an output never names an input or another entry's output.
    void PlanRun(const std::vector<std::string>& files);
    // Says nothing can start, and why; false when the export folder is fine.
    bool RefuseExportFolder();
    // The steps for one entry; false when the queue was stopped.
    bool ConvertEntry(const std::string& path, const RunFiles::Name& output);
    // Records that `input` failed, with the tool's reason, in the status
    // line and the activity log.
    void FailEntry(const std::string& input, std::string reason);
    enum class JobOutcome { kConverted, kFailed, kStopped };
    JobOutcome RunRealMediaJob(const std::string& path, std::string& input);
    // Deletes the RealMedia job's output once it has been converted.
    void DeleteJobOutput();
    // True only when the tool ended well and the joined file lasts as long
    // as the pieces together.
    bool JoinPieces(const std::vector<std::string>& pieces, const std::string& joined);
    // The last encoding of a join; true when the tool ended well and left a
    // usable file.
    bool EncodeJoined(const std::string& joined, const std::string& output);
    // Encodes the joined file to `output` through a name of its own, so
    // that `output` is given up (it may be one of the pieces) only for a
    // finished encoding; false when it failed or was stopped.
    bool EncodeJoinedOver(const std::string& joined, const std::string& output);
    void Merge(const std::vector<std::string>& files);
    void HandOverDisc(const std::string& file);
    void ConvertDvdTitle();
    void Finish(std::size_t entries);
    std::string FinalText(std::size_t entries) const;

    // The output path the window's rules give an entry.
    std::string OutputPathOf(const std::string& entry) const;
    std::string ScratchFolder() const;
    // The joined file beside `output`: its base name + "_merge".
    std::string JoinedPathOf(const std::string& output) const;
    void MakeThumbnailOf(const std::string& source, const std::string& converted);
    void ShowLeft(std::string text);
    // Says that an output took another name than the one wanted.
    void ShowRenamed(const std::string& wanted, const RunFiles::Name& output);
    void Changed() { changed_(); }

    const MainWindowModel& window_;
    std::function<void()> changed_;
    QueueTools* tools_ = nullptr;
    PendingHandOffs pendingHandOffs_;
    QueueHandOffs* handOffs_ = &pendingHandOffs_;
    RealMediaHandOff* realMedia_ = nullptr;
    ActivityLog* log_ = nullptr;

    bool converting_ = false;
    // The run's own folder for temporary files, gone with the run.
    std::unique_ptr<platform::ScratchFolder> scratch_;
    bool stopped_ = false;
    std::size_t convertedCount_ = 0;
    bool jobFinished_ = false;
    bool jobStarted_ = false;
    bool jobRunning_ = false;
    std::string jobResult_;
    bool toolFailed_ = false;
    bool joinFailed_ = false;
    // What became of the DVD image, for the final status line.
    std::string discNote_;
    std::string currentItem_;
    std::string deviceWarning_;  // the profile against the target's device
    RunFiles runFiles_;
    std::vector<RunFiles::Name> outputs_;  // of the entries, in list order
    std::string repairedInput_;
    std::string jobOutput_;
    // The outputs this run converted, to be joined.
    std::vector<std::string> mergeList_;
    int progress_ = 0;
    std::array<std::string, 3> status_;
    std::vector<std::string> failed_;
    std::vector<std::string> failureReasons_;  // of failed_, in its order
    std::vector<std::string> statusLog_;
    std::vector<int> progressLog_;
    std::vector<std::string> jobTipLog_;
    std::string stoppedInput_;
};
