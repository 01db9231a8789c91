#include "sdk/foxburner/burn_job.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/file_status.h"
#include "sdk/foxburner/fox_burner.h"

namespace foxburner {
namespace {

constexpr unsigned kSizePollMs = 500;
// How long a FIFO's writer may take to end once its reader has.
constexpr unsigned kFeederEndGraceMs = 5000;

const char* ToolName(Tool tool) {
    switch (tool) {
        case Tool::kGenisoimage:
            return "genisoimage";
        case Tool::kXorriso:
            return "xorriso";
        case Tool::kVcdimager:
            return "vcdimager";
        case Tool::kCdrdao:
            return "cdrdao";
    }
    return "";
}

// Words of the drive tools that say the disc is being closed.
bool TellsOfClosing(std::string_view line) {
    for (std::string_view words :
         {"Closing track", "Closing session", "Fixating", "Writing lead-out", "Flushing cache"}) {
        if (line.find(words) != std::string_view::npos) return true;
    }
    return false;
}

bool Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Renames without ever replacing a file; false with errno EEXIST when the
// target is taken.
bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: a hard link fails on a taken name too.
    if (link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
    return true;
}

// "name.iso", then "name (2).iso", ...: the first names free in the folder
// for every extension given.
std::string FreeBaseName(const std::string& folder, const std::string& base,
                         const std::vector<std::string>& extensions) {
    for (int n = 1; n < 1000; ++n) {
        const std::string candidate = n == 1 ? base : base + " (" + std::to_string(n) + ")";
        const bool free = std::none_of(
            extensions.begin(), extensions.end(),
            [&](const std::string& extension) { return Exists(folder + candidate + extension); });
        if (free) return candidate;
    }
    return {};
}

// Creates the file (never over another) with the text; nothing is left of
// it when that fails.
bool WriteNewFile(const std::string& path, const std::string& text) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (close(fd) != 0 || !written) {
        unlink(path.c_str());
        return false;
    }
    return true;
}

std::string Extension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string WithoutExtension(const std::string& name) {
    return name.substr(0, name.size() - Extension(name).size());
}

}  // namespace

BurnJob::BurnJob(GMainContext* context, PreparedBurn burn, BurnEvents events)
    : context_(context), burn_(std::move(burn)), events_(std::move(events)) {}

BurnJob::~BurnJob() { Abort(); }

void BurnJob::Start() {
    running_ = true;
    step_ = 0;
    starter_ = LoopSource::Idle(context_, [this] { StartStep(); });
}

void BurnJob::Abort() {
    running_ = false;
    starter_.Reset();
    sizePoll_.Reset();
    tool_.Stop();
    feeder_.Stop();
    RemoveWorkFiles();
}

void BurnJob::RemoveWorkFiles() {
    std::error_code ignored;
    if (!burn_.workFolder.empty()) std::filesystem::remove_all(burn_.workFolder, ignored);
    burn_.workFolder.clear();
    burn_.scratch.reset();
}

void BurnJob::StartStep() {
    const ToolStep& step = burn_.plan.steps[step_];
    if (step_ == 0 && !burn_.plan.fifo.empty() && mkfifo(burn_.plan.fifo.c_str(), 0600) != 0) {
        Fail(FOXBURNER_ERROR_WRITE_FAILED, "cannot make " + burn_.plan.fifo);
        return;
    }
    toolEnded_ = false;
    feederEnded_ = step.feederCommandLine.empty();
    feederFailedFirst_ = false;
    if (!feederEnded_ &&
        !feeder_.Start(context_, step.feederCommandLine,
                       {nullptr, [this](const ToolEnd& end) { OnToolEnd(true, end); }})) {
        Fail(FOXBURNER_ERROR_TOOL_MISSING, ToolName(step.feederTool));
        return;
    }
    if (!tool_.Start(context_, step.commandLine,
                     {[this](std::string_view line) { OnLine(line); },
                      [this](const ToolEnd& end) { OnToolEnd(false, end); }})) {
        Fail(FOXBURNER_ERROR_TOOL_MISSING, ToolName(step.tool));
        return;
    }
    Report(0, 0, 0);
    if (step.progress == ProgressSource::kFileSize) {
        sizePoll_ = LoopSource::Timer(context_, kSizePollMs, [this] { return PollFileSize(); });
    }
}

void BurnJob::OnLine(std::string_view line) {
    const ToolStep& step = burn_.plan.steps[step_];
    WriteProgress progress;
    const bool parsed =
        (step.progress == ProgressSource::kXorrisoLines && ParseXorrisoProgress(line, progress)) ||
        (step.progress == ProgressSource::kCdrdaoLines && ParseCdrdaoProgress(line, progress));
    if (parsed) {
        lastBufferPercent_ = progress.bufferPercent;
        lastBytes_ = static_cast<long long>(progress.bytesWritten);
        Report(progress.percent / 100, progress.bufferPercent, progress.bytesWritten);
    }
    if (!finalizeReported_ && TellsOfClosing(line)) {
        finalizeReported_ = true;
        if (events_.finalize) events_.finalize();
    }
}

bool BurnJob::PollFileSize() {
    const ToolStep& step = burn_.plan.steps[step_];
    lastBytes_ = std::max(0LL, platform::FileSizeBytes(step.sizedFile));
    lastBufferPercent_ = 100;
    // The estimate may fall short: the step is not done until its tool is.
    const double fraction =
        step.expectedBytes > 0
            ? std::min(0.99, static_cast<double>(lastBytes_) / step.expectedBytes)
            : 0;
    Report(fraction, lastBufferPercent_, static_cast<double>(lastBytes_));
    return true;
}

void BurnJob::Report(double stepFraction, double bufferPercent, double bytesWritten) {
    const ToolStep& step = burn_.plan.steps[step_];
    const double percent = step.percentFrom + (step.percentTo - step.percentFrom) * stepFraction;
    if (events_.progress) events_.progress(percent, bufferPercent, bytesWritten);
}

void BurnJob::OnToolEnd(bool feeder, const ToolEnd& end) {
    if (!running_) return;
    const ToolStep& step = burn_.plan.steps[step_];
    if (feeder) {
        feederEnded_ = true;
        feederEnd_ = end;
        // A reader waiting on a FIFO whose writer failed waits for ever.
        if (!toolEnded_ && !ToolFailure(step.feederTool, end.output, end.exitCode).empty()) {
            feederFailedFirst_ = true;
            tool_.Stop();
            toolEnded_ = true;
            toolEnd_ = {-1, {}};
        }
    } else {
        toolEnded_ = true;
        toolEnd_ = end;
        if (!feederEnded_) {
            // A writer whose reader failed waits for ever; one whose reader
            // took everything ends by itself, or is stuck.
            if (!ToolFailure(step.tool, end.output, end.exitCode).empty()) {
                feeder_.Stop();
                feederEnded_ = true;
                feederEnd_ = {0, {}};
            } else {
                sizePoll_ = LoopSource::Timer(context_, kFeederEndGraceMs, [this] {
                    feeder_.Stop();
                    feederEnded_ = true;
                    feederEnd_ = {-1, "did not end after the burn"};
                    FinishStep();
                    return false;
                });
                return;
            }
        }
    }
    if (toolEnded_ && feederEnded_) FinishStep();
}

void BurnJob::FinishStep() {
    sizePoll_.Reset();
    const ToolStep& step = burn_.plan.steps[step_];
    const std::string toolFailure = ToolFailure(step.tool, toolEnd_.output, toolEnd_.exitCode);
    const std::string feederFailure =
        step.feederCommandLine.empty()
            ? std::string()
            : ToolFailure(step.feederTool, feederEnd_.output, feederEnd_.exitCode);
    // The complaint of the tool that failed first tells why.
    std::string failure;
    if (!feederFailure.empty() && (feederFailedFirst_ || toolFailure.empty())) {
        failure = std::string(ToolName(step.feederTool)) + ": " + feederFailure;
    } else if (!toolFailure.empty()) {
        failure = std::string(ToolName(step.tool)) + ": " + toolFailure;
    }
    if (!failure.empty()) {
        const bool noRoom = failure.find("No space left") != std::string::npos ||
                            failure.find("exceeds free space") != std::string::npos;
        const bool recorder = !burn_.plan.imageFile.empty();
        Fail(noRoom ? FOXBURNER_ERROR_NO_ROOM
                    : (recorder ? FOXBURNER_ERROR_WRITE_FAILED : FOXBURNER_ERROR_TOOL_FAILED),
             failure);
        return;
    }
    if (step.progress == ProgressSource::kFileSize)
        lastBytes_ = std::max(0LL, platform::FileSizeBytes(step.sizedFile));
    Report(1, lastBufferPercent_, static_cast<double>(lastBytes_));
    if (++step_ < burn_.plan.steps.size()) {
        StartStep();
    } else {
        Succeed();
    }
}

void BurnJob::Succeed() {
    const BurnPlan& plan = burn_.plan;
    std::string writtenImage;
    // The image recorder closes its "disc" by giving the image its name.
    if (!finalizeReported_) {
        finalizeReported_ = true;
        if (events_.finalize) events_.finalize();
    }
    if (!running_) return;
    if (!plan.imageFile.empty()) {
        const std::string& folder = burn_.imageFolder;
        std::vector<std::string> extensions = {Extension(plan.imageName)};
        if (!plan.cueFile.empty()) extensions.push_back(Extension(plan.cueName));
        const std::string base = FreeBaseName(folder, WithoutExtension(plan.imageName), extensions);
        const std::string image = folder + base + extensions[0];
        if (base.empty()) {
            Fail(FOXBURNER_ERROR_WRITE_FAILED, "no free file name in " + folder);
            return;
        }
        if (!plan.cueFile.empty()) {
            std::ifstream in(plan.cueFile, std::ios::binary);
            const std::string cue{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
            const std::string cuePath = folder + base + extensions[1];
            if (cue.empty() || !WriteNewFile(cuePath, CueWithBinName(cue, base + extensions[0]))) {
                Fail(FOXBURNER_ERROR_WRITE_FAILED, "cannot write " + cuePath);
                return;
            }
            if (!MoveWithoutReplacing(plan.imageFile, image)) {
                unlink(cuePath.c_str());
                Fail(FOXBURNER_ERROR_WRITE_FAILED, "cannot name the image " + image);
                return;
            }
        } else if (!MoveWithoutReplacing(plan.imageFile, image)) {
            Fail(FOXBURNER_ERROR_WRITE_FAILED, "cannot name the image " + image);
            return;
        }
        writtenImage = image;
    }
    running_ = false;
    RemoveWorkFiles();
    // The client may end the job in its handler; the handler is kept aside.
    const auto done = events_.done;
    if (done) done(FOXBURNER_OK, writtenImage);
}

void BurnJob::Fail(int errorCode, const std::string& detail) {
    Abort();
    const auto done = events_.done;
    if (done) done(errorCode, detail);
}

}  // namespace foxburner
