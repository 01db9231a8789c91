// One burn, run step by step on the caller's loop: the tools of its plan,
// their progress as process events, the finalize event, and at the end the
// image recorder's files moved to their names in the image folder. Whatever
// way it ends, the work files go: a failed or aborted burn leaves no part of
// an image behind.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/temp_folder.h"
#include "sdk/foxburner/burn_plan.h"
#include "sdk/foxburner/loop_source.h"
#include "sdk/foxburner/loop_tool.h"

namespace foxburner {

// A burn made ready by Prepare: the plan and the folders it works in.
struct PreparedBurn {
    BurnPlan plan;
    std::unique_ptr<platform::ScratchFolder> scratch;
    std::string imageFolder;
    std::string workFolder;  // in the image folder, removed at the end; may be empty
};

struct BurnEvents {
    std::function<void(double percent, double bufferPercent, double bytesWritten)> progress;
    std::function<void()> finalize;
    // `detail` is the tool's own complaint, for GetText; after a success,
    // the image file written ("" for a disc).
    std::function<void(int errorCode, const std::string& detail)> done;
};

class BurnJob {
public:
    BurnJob(GMainContext* context, PreparedBurn burn, BurnEvents events);
    // Ends a running burn as Abort does.
    ~BurnJob();
    BurnJob(const BurnJob&) = delete;
    BurnJob& operator=(const BurnJob&) = delete;

    // The first step starts at the next turn of the loop.
    void Start();
    // Ends the tools and removes the work files; no event follows.
    void Abort();
    bool Running() const { return running_; }

private:
    void StartStep();
    void OnToolEnd(bool feeder, const ToolEnd& end);
    void OnLine(std::string_view line);
    bool PollFileSize();
    void Report(double stepFraction, double bufferPercent, double bytesWritten);
    void FinishStep();
    void Succeed();
    void Fail(int errorCode, const std::string& detail);
    void RemoveWorkFiles();

    GMainContext* context_;
    PreparedBurn burn_;
    BurnEvents events_;
    bool running_ = false;
    std::size_t step_ = 0;
    LoopTool tool_;
    LoopTool feeder_;
    bool toolEnded_ = false;
    bool feederEnded_ = true;
    bool feederFailedFirst_ = false;
    ToolEnd toolEnd_;
    ToolEnd feederEnd_;
    bool finalizeReported_ = false;
    // What the last progress report said, for the report at a step's end.
    long long lastBytes_ = 0;
    double lastBufferPercent_ = 0;
    LoopSource starter_;
    LoopSource sizePoll_;
};

}  // namespace foxburner
