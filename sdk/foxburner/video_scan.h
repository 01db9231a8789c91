// The scan of one file added to a VideoCD or SuperVCD project, on the
// caller's loop: the facts of its head checked against the format's rules,
// then vcdimager's own verdict on the whole file, with progress while
// vcdimager reads it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/temp_folder.h"
#include "sdk/foxburner/disc_compliance.h"
#include "sdk/foxburner/loop_source.h"
#include "sdk/foxburner/loop_tool.h"

namespace foxburner {

struct ScanVerdict {
    std::string file;
    bool refused = true;
    std::string problem;  // why it was refused
    VideoFacts video;
};

class VideoScan {
public:
    VideoScan(GMainContext* context, std::string file, VideoDiscFormat format,
              std::function<void(double percent)> onProgress,
              std::function<void(const ScanVerdict& verdict)> onDone);
    ~VideoScan() = default;
    VideoScan(const VideoScan&) = delete;
    VideoScan& operator=(const VideoScan&) = delete;

    // The scan starts at the next turn of the loop.
    void Start();
    bool Running() const { return running_; }

private:
    void CheckHead();
    bool PollReading();
    void Finish(const std::string& problem);

    GMainContext* context_;
    ScanVerdict verdict_;
    VideoDiscFormat format_;
    std::function<void(double)> onProgress_;
    std::function<void(const ScanVerdict&)> onDone_;
    long long fileBytes_ = 0;
    bool running_ = false;
    std::unique_ptr<platform::ScratchFolder> scratch_;
    LoopSource starter_;
    LoopSource readPoll_;
    LoopTool vcdimager_;
};

}  // namespace foxburner
