// The conversion queue that "Convert Now!" starts: converts the inputs of a
// run one after another (the files of the main window's list, or the main
// title of a DVD), joins the results when the run says so, and hands
// DVD-target results to authoring and burning. It runs on the
// user-interface thread; the tools dispatch the program's messages while
// they run, so "Stop Conversion" re-enters through Stop while Start is
// still on the stack.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/rmjob/real_media_hand_off.h"
#include "app/run/conversion_run.h"
#include "app/run/queue_tools.h"
#include "app/run/run_files.h"

struct RunContext;
namespace platform {
class ScratchFolder;
}

// The left pane's text when the queue has ended (failures are added to it).
inline constexpr char kQueueCompletedText[] = "All converting works are Completed!";
// "Convert Now!" with nothing to convert.
inline constexpr char kNothingToConvertText[] = "Add the files to convert first.";

// An input a run could not convert, and why, in the tool's words ("" when
// nothing said).
struct FailedInput {
    std::string input;
    std::string reason;
};

// "clip.avi failed: Invalid data found when processing input".
std::string FailedText(const FailedInput& failure);

// The left pane's text after a stop: "Conversion stopped: 1 of 3 files
// converted."
std::string QueueStoppedText(std::size_t converted, std::size_t entries);

class ConversionQueue {
public:
    // Runs in `context` (not owned): its progress clock, its log (each input
    // gets a section there, headed by why it failed), its stop and its
    // message dispatch. `changed` is called whenever something the window
    // shows has changed.
    ConversionQueue(RunContext& context, std::function<void()> changed);

    // Neither is owned. Without tools nothing is converted.
    void SetTools(QueueTools* tools) { tools_ = tools; }
    void SetHandOffs(QueueHandOffs* handOffs);
    // Not owned. Without it RealVideo goes to the encoder like any input.
    void SetRealMediaHandOff(RealMediaHandOff* realMedia) { realMedia_ = realMedia; }

    ConversionQueue(const ConversionQueue&) = delete;
    ConversionQueue& operator=(const ConversionQueue&) = delete;
    ~ConversionQueue();

    // Converts `run` and returns when the queue has finished. Nothing starts
    // while it converts already.
    void Start(ConversionRun run);
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
    // The inputs of the last run that failed, in the order they did.
    const std::vector<FailedInput>& Failures() const { return failures_; }
    const std::vector<std::string>& StatusLog() const { return statusLog_; }
    // The progress values shown during the last run, and the RealMedia
    // host's status lines, each in order (repeats dropped).
    const std::vector<int>& ProgressLog() const { return progressLog_; }
    const std::vector<std::string>& JobTipLog() const { return jobTipLog_; }
    // The input that was being converted when the last run was stopped, or
    // "" when it was not stopped.
    const std::string& StoppedInput() const { return stoppedInput_; }
    // The file being converted now (an input, or the joined file).
    const std::string& CurrentInput() const { return currentItem_; }
    // How many inputs the last run converted.
    std::size_t ConvertedCount() const { return convertedCount_; }

private:
    // The queue's own stop flag: Stop clears the converting flag and only a
    // new "Convert Now!" sets it again, whereas every tool run clears the
    // context's stop request (a probe for "Select DVD audio stream" among
    // them).
    bool StopRequested() const { return !converting_; }
    // Takes the entries as the run's inputs and claims the names the run
    // writes: an output never names an input or another entry's output.
    void PlanRun();
    // Says nothing can start, and why; false when the export folder is fine.
    bool RefuseExportFolder();
    // The steps for one entry; false when the queue was stopped.
    // `wanted` is the output's name in the run, `output` the one it got.
    bool ConvertEntry(const std::string& path, const std::string& wanted,
                      const RunFiles::Name& output);
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
    void Merge();
    void HandOverDisc(const std::string& file);
    void ConvertDvdTitle();
    void Finish(std::size_t entries);
    std::string FinalText(std::size_t entries) const;

    // Waits a little for the program's messages, dispatching them.
    void WaitForMessages();
    std::string ScratchFolder() const;
    // The joined file beside `output`: its base name + "_merge".
    std::string JoinedPathOf(const std::string& output) const;
    void MakeThumbnailOf(const std::string& source, const std::string& converted);
    void ShowLeft(std::string text);
    // Says that an output took another name than the one wanted.
    void ShowRenamed(const std::string& wanted, const RunFiles::Name& output);
    void Changed() { changed_(); }

    RunContext& context_;
    std::function<void()> changed_;
    ConversionRun run_;
    QueueTools* tools_ = nullptr;
    PendingHandOffs pendingHandOffs_;
    QueueHandOffs* handOffs_ = &pendingHandOffs_;
    RealMediaHandOff* realMedia_ = nullptr;

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
    std::vector<FailedInput> failures_;
    std::vector<std::string> statusLog_;
    std::vector<int> progressLog_;
    std::vector<std::string> jobTipLog_;
    std::string stoppedInput_;
};
