// The program's side of a RealMedia job: it writes the job file "Tobrin.ini"
// among the writable files, starts the conversion host "tobrin" from the
// program folder, and polls the file every second (timer 1001) for the
// host's progress, tip text and result, each new tip line and the result
// going into the run's activity log. The two processes meet only in that file; the program
// writes the start values and the stop request, the host everything else.
//
// A host that cannot start, or ends without reporting the job's end, is
// noticed (the poll alone would wait for it forever), and a stop waits until
// the host has gone.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/rmjob/poll_timer.h"
#include "app/rmjob/real_media_hand_off.h"
#include "app/tools/command_target.h"
#include "app/tools/media_info.h"
#include "app/tools/run_context.h"
#include "platform/host_process.h"

inline constexpr int kJobPollTimer = 1001;
inline constexpr std::chrono::milliseconds kJobPollPeriod(1000);
// How long a job may go without a host before it is given up.
inline constexpr std::chrono::seconds kHostStartWatchdog(10);
// How long a stopped host gets to end by itself before it is killed.
inline constexpr std::chrono::seconds kHostStopGrace(2);

inline constexpr char kHostProgramName[] = "tobrin";
inline constexpr char kOpenFileErrorCaption[] = "Open File Error";

// The message the program shows for a job result code (1..4), with the
// input's name; empty for the codes that have none.
std::string JobResultMessage(int resultCode, const std::string& input);

// True when the probed video codec, in any case, is RealVideo 2, 3 or 4.
bool IsRealVideoCodec(const std::string& videoCodec);

class RealMediaJob : public RealMediaHandOff {
public:
    struct Services {
        // Facts about a file, from the console encoder.
        std::function<MediaInfo(const std::string&)> probe;
        // Receives the progress notification (WM_USER+100, 40004, percent).
        CommandTarget* window = nullptr;
        PollTimer* pollTimer = nullptr;
        // The job's progress clock, its message boxes and its log lines.
        RunContext* context = nullptr;
        std::chrono::milliseconds hostWatchdog = kHostStartWatchdog;
    };

    // `writableFolder` holds "Tobrin.ini" and "zarvo.ini"; the host finds the
    // same folder for itself (platform::WritableFolder).
    RealMediaJob(std::string programFolder, std::string writableFolder, Services services);
    // A job still running is stopped: the host never outlives the program.
    ~RealMediaJob() override;
    RealMediaJob(const RealMediaJob&) = delete;
    RealMediaJob& operator=(const RealMediaJob&) = delete;

    bool IsRealVideo(const std::string& file) override;
    void StartRealMediaJob(const std::vector<std::string>& inputs,
                           const std::string& plannedOutput) override;
    std::string RealMediaJobResult() override { return result_; }
    std::string RealMediaJobTip() override { return tip_; }
    void CancelRealMediaJob() override;

    // A tick of timer 1001.
    void OnPollTimer();

    const std::string& JobFilePath() const { return jobFile_; }
    bool HostRunning() { return host_.Running(); }

private:
    // The job has ended: polling stops, the result (empty on failure) is
    // kept, and the window hears the end.
    void EndJob(std::string result);
    // The job has failed with this message.
    void FailJob(const std::string& message);
    bool WriteStartValues(const std::vector<std::string>& inputs, const std::string& plannedOutput);

    std::string programFolder_;
    std::string writableFolder_;
    std::string jobFile_;
    Services services_;
    platform::HostProcess host_;
    std::string input_;
    std::string result_;
    std::string tip_;
    bool running_ = false;
    std::chrono::steady_clock::time_point started_;
};
