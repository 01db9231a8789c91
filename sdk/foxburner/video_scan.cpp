#include "sdk/foxburner/video_scan.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>

#include "platform/file_moves.h"
#include "sdk/foxburner/stream_facts.h"

namespace foxburner {
namespace {

constexpr unsigned kReadPollMs = 200;
// The share of the scan that reading the head stands for.
constexpr double kHeadPercent = 5;

std::string ReadHead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(kStreamFactsHeadBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, in.gcount())));
    return head;
}

// The bytes a process has read so far (its "rchar"), or -1.
long long BytesReadBy(pid_t pid) {
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    long long value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") return value;
    }
    return -1;
}

}  // namespace

VideoScan::VideoScan(GMainContext* context, std::string file, VideoDiscFormat format,
                     std::function<void(double)> onProgress,
                     std::function<void(const ScanVerdict&)> onDone)
    : context_(context),
      format_(format),
      onProgress_(std::move(onProgress)),
      onDone_(std::move(onDone)) {
    verdict_.file = std::move(file);
}

void VideoScan::Start() {
    running_ = true;
    starter_ = LoopSource::Idle(context_, [this] { CheckHead(); });
}

void VideoScan::CheckHead() {
    struct stat info {};
    if (stat(verdict_.file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        Finish("the file cannot be read");
        return;
    }
    fileBytes_ = static_cast<long long>(info.st_size);
    const StreamFacts facts = ReadStreamFacts(ReadHead(verdict_.file));
    verdict_.video = facts.video;
    onProgress_(kHeadPercent);
    const std::string problem = ComplianceProblem(facts, format_);
    if (!problem.empty()) {
        Finish(problem);
        return;
    }
    // vcdimager reads the file under a name without blanks; it writes
    // nothing worth keeping.
    scratch_ = std::make_unique<platform::ScratchFolder>();
    const std::string standIn = scratch_->Path() + "track.mpg";
    if (scratch_->Path().empty() || !platform::PlaceStandIn(verdict_.file, standIn)) {
        Finish("no scratch folder for the scan");
        return;
    }
    const std::string command = "vcdimager -t " + std::string(VcdImagerType(format_)) +
                                " --cue-file=/dev/null --bin-file=/dev/null " + standIn;
    const bool started =
        vcdimager_.Start(context_, command, {nullptr, [this](const ToolEnd& end) {
                                                 readPoll_.Reset();
                                                 Finish(VcdImagerProblem(end.output, end.exitCode));
                                             }});
    if (!started) {
        Finish("vcdimager cannot be started");
        return;
    }
    readPoll_ = LoopSource::Timer(context_, kReadPollMs, [this] { return PollReading(); });
}

bool VideoScan::PollReading() {
    // vcdimager reads its input twice: once to check it, once to write it.
    const long long read = BytesReadBy(vcdimager_.Pid());
    if (read < 0 || fileBytes_ <= 0) return true;
    const double fraction = std::min(1.0, static_cast<double>(read) / (2.0 * fileBytes_));
    onProgress_(kHeadPercent + (99 - kHeadPercent) * fraction);
    return true;
}

void VideoScan::Finish(const std::string& problem) {
    running_ = false;
    scratch_.reset();
    verdict_.refused = !problem.empty();
    verdict_.problem = problem;
    onProgress_(100);
    // The handler may end this scan; nothing here is touched after it.
    const ScanVerdict verdict = verdict_;
    auto onDone = onDone_;
    onDone(verdict);
}

}  // namespace foxburner
