#include "sdk/foximager/image_builder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>

#include "platform/file_bytes.h"
#include "platform/file_names.h"
#include "platform/unique_fd.h"
#include "sdk/foximager/authoring_xml.h"
#include "sdk/foximager/menu_buttons.h"
#include "sdk/foximager/program_stream_scan.h"
#include "sdk/foximager/stream_remux.h"
#include "sdk/foximager/tool_output.h"

namespace foximager {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kMaxDescriptionBytes = 1 << 20;
// The stream walk takes this share of a stage whose file is then converted.
constexpr double kScanShare = 10;
constexpr std::size_t kScanStepBytes = std::size_t{1} << 20;
constexpr double kBytesPerMegabyte = 1 << 20;
// The button frames: highlighted in the colour of the menu's numbers,
// selected in red.
constexpr FrameColour kHighlightColour{255, 255, 20};
constexpr FrameColour kSelectColour{255, 40, 40};

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

long long FileBytes(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : 0;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// True when `file` lies somewhere inside `folder` (links followed).
bool LiesIn(const std::string& file, const std::string& folder) {
    std::error_code error;
    const fs::path inner = fs::weakly_canonical(file, error);
    if (error) return false;
    const fs::path outer = fs::weakly_canonical(folder, error);
    if (error) return false;
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

// The work folder beside the output, on the same disk: converted titles
// can be large. It goes, with everything in it, when the object does.
class WorkFolder {
public:
    explicit WorkFolder(const std::string& outputFolder) {
        std::string pattern = outputFolder + ".dvd-build-XXXXXX";
        if (mkdtemp(pattern.data())) path_ = pattern + "/";
    }
    ~WorkFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

bool ImageBuilder::LoadDescription(const std::string& path) {
    description_.reset();
    const auto bytes = platform::ReadFileBytes(path, kMaxDescriptionBytes);
    if (!bytes) {
        descriptionError_ = "The description " + Quoted(path) + " cannot be read.";
        return Fail(descriptionError_);
    }
    std::string error;
    description_ = ParseDiscDescription(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), error);
    if (!description_) {
        descriptionError_ = error;
        return Fail(error);
    }
    error_.clear();
    return true;
}

bool ImageBuilder::SetOutputFolder(const std::string& folder) {
    struct stat info {};
    if (folder.empty() || stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        outputFolder_.clear();
        return Fail("The output folder " + Quoted(folder) + " does not exist.");
    }
    outputFolder_ = platform::WithTrailingSlash(folder);
    error_.clear();
    return true;
}

void ImageBuilder::SetProgressCallback(DVDImageBuildProgressCallback callback, void* context) {
    callback_ = callback;
    context_ = context;
}

bool ImageBuilder::Fail(std::string text) {
    error_ = std::move(text);
    return false;
}

bool ImageBuilder::Report(double percent) {
    percent_ = std::clamp(percent, 0.0, 100.0);
    if (callback_) callback_(context_, static_cast<float>(percent_), stage_, stages_);
    if (stopRequested_) return Fail("The DVD build was stopped.");
    return true;
}

std::string ImageBuilder::InputInDvdFolders() const {
    std::vector<std::string> inputs{description_->menu};
    for (const DiscTitle& title : description_->titles) inputs.push_back(title.file);
    for (const std::string& input : inputs) {
        if (LiesIn(input, outputFolder_ + "DVD/VIDEO_TS") ||
            LiesIn(input, outputFolder_ + "DVD/AUDIO_TS")) {
            return input;
        }
    }
    return {};
}

void ImageBuilder::RemoveDvdFolders() const {
    std::error_code ignored;
    fs::remove_all(outputFolder_ + "DVD/VIDEO_TS", ignored);
    fs::remove_all(outputFolder_ + "DVD/AUDIO_TS", ignored);
}

bool ImageBuilder::Build() {
    if (building_) return Fail("A build is running already.");
    building_ = true;
    stopRequested_ = false;
    error_.clear();
    authoringLog_.clear();
    bool built = false;
    bool keepFolders = false;
    if (!description_) {
        Fail(descriptionError_);
    } else if (outputFolder_.empty()) {
        Fail("No output folder has been set.");
    } else if (const std::string input = InputInDvdFolders(); !input.empty()) {
        // Rewriting the folders would delete the very file the disc is made of.
        Fail("The file " + Quoted(input) +
             " lies in the DVD folder this build rewrites; copy it elsewhere first.");
        keepFolders = true;
    } else if (mkdir((outputFolder_ + "DVD").c_str(), 0777) != 0 && errno != EEXIST) {
        Fail("The folder " + Quoted(outputFolder_ + "DVD") +
             " cannot be made: " + std::strerror(errno) + ".");
    } else {
        const WorkFolder work(outputFolder_);
        if (work.Path().empty()) {
            Fail("No work folder can be made in " + Quoted(outputFolder_) + ": " +
                 std::strerror(errno) + ".");
        } else {
            built = Run(work.Path());
        }
    }
    // A folder that is not whole must not look like one.
    if (!built && !keepFolders && !outputFolder_.empty()) RemoveDvdFolders();
    entries_.clear();
    building_ = false;
    return built;
}

bool ImageBuilder::Run(const std::string& workFolder) {
    const DiscDescription& description = *description_;
    const bool menu = !description.titles.empty();
    entries_.clear();
    const auto entry = [](const std::string& file, TitleRole role) {
        Entry made;
        made.file = file;
        made.role = role;
        return made;
    };
    entries_.push_back(entry(description.menu, menu ? TitleRole::kMenu : TitleRole::kTitle));
    for (const DiscTitle& title : description.titles) {
        entries_.push_back(entry(title.file, TitleRole::kTitle));
    }
    stages_ = static_cast<int>(entries_.size()) + (menu ? 2 : 1);
    stage_ = 0;
    if (!Report(0)) return false;
    for (const Entry& entry : entries_) {
        if (!IsFile(entry.file)) return Fail("The file " + Quoted(entry.file) + " does not exist.");
    }

    // The disc's standard is its first title's; the rest follow it.
    Entry& first = entries_[menu ? 1 : 0];
    first.facts = ProbeMediaFile(first.file);
    first.probed = true;
    standard_ = StandardOf(first.facts);

    // spumux puts the buttons into the menu while the titles are prepared;
    // ended with this function if the build stops or fails before it is
    // waited for.
    ToolRun buttons;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        stage_ = static_cast<int>(i);
        const std::string name = i == 0 && menu ? "menu.mpg" : "title" + std::to_string(i) + ".mpg";
        if (!Prepare(entries_[i], workFolder + name)) return false;
        if (i == 0 && menu && !StartButtons(entries_.front(), workFolder, buttons)) return false;
    }
    if (menu) {
        ++stage_;
        if (!FinishButtons(entries_.front(), workFolder, buttons)) return false;
    }
    ++stage_;
    return Author(workFolder) && Report(100);
}

bool ImageBuilder::RunStageTool(const std::string& tool, std::vector<std::string> words,
                                const platform::StandardFiles& files,
                                const std::function<double(std::string_view)>& percentOf,
                                ToolOutcome& outcome) {
    ToolRun run;
    run.Start(std::move(words), files);
    return FinishStageTool(tool, run, percentOf, outcome);
}

bool ImageBuilder::FinishStageTool(const std::string& tool, ToolRun& run,
                                   const std::function<double(std::string_view)>& percentOf,
                                   ToolOutcome& outcome) {
    outcome = run.Finish(
        [&](std::string_view line) {
            const double percent = percentOf(line);
            if (percent >= 0) percent_ = percent;
        },
        [this] { return Report(percent_); });
    if (outcome.how == ToolOutcome::How::kStopped) return false;
    if (outcome.how == ToolOutcome::How::kNotStarted) return Fail(FailureText(tool, outcome));
    return true;
}

bool ImageBuilder::WalkStream(const std::string& file, ProgramStreamFacts& facts) {
    ProgramStreamScanner scanner;
    const platform::UniqueFd input(open(file.c_str(), O_RDONLY | O_CLOEXEC));
    const double bytes = std::max<double>(1, static_cast<double>(FileBytes(file)));
    std::vector<std::uint8_t> buffer(kScanStepBytes);
    std::uint64_t done = 0;
    auto nextReport = std::chrono::steady_clock::now() + kTickInterval;
    while (input) {
        const ssize_t got = read(input.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0 || !scanner.Feed({buffer.data(), static_cast<std::size_t>(got)})) break;
        done += static_cast<std::uint64_t>(got);
        if (std::chrono::steady_clock::now() >= nextReport) {
            nextReport = std::chrono::steady_clock::now() + kTickInterval;
            if (!Report(kScanShare * static_cast<double>(done) / bytes)) return false;
        }
    }
    facts = scanner.Finish();
    return true;
}

bool ImageBuilder::Prepare(Entry& entry, const std::string& output) {
    if (!Report(0)) return false;
    if (!entry.probed) entry.facts = ProbeMediaFile(entry.file);
    const MediaFacts& facts = entry.facts;

    ProgramStreamFacts stream;
    if (!WalkStream(entry.file, stream)) return false;
    // The walk has seen every packet: sound the short probe missed starts
    // late, and must not be replaced by silence.
    if (facts.Count("audio") == 0 && stream.soundPackets) {
        entry.facts = ProbeMediaFile(entry.file, ProbeDepth::kFirstMinute);
    }
    const PreparationPlan plan = PlanPreparation(facts, stream, standard_, entry.role);
    if (!plan.failure.empty()) {
        return Fail("The file " + Quoted(entry.file) + " cannot go on a DVD: " + plan.failure +
                    ".");
    }
    entry.wide = plan.wide;
    if (plan.how == Preparation::kUseAsItIs) {
        entry.prepared = entry.file;
        entry.preparedFacts = facts;
        return Report(100);
    }

    if (RemuxesInProcess(plan)) {
        std::string failure;
        const RemuxResult result = RemuxForDvd(
            plan, entry.file, output,
            [this](double percent) {
                return Report(kScanShare + (100 - kScanShare) * percent / 100);
            },
            failure);
        if (result == RemuxResult::kStopped) return false;
        if (result == RemuxResult::kFailed) {
            return Fail("The file " + Quoted(entry.file) +
                        " could not be made DVD-compliant: " + failure + ".");
        }
        return Prepared(entry, output);
    }

    const double duration = facts.durationSeconds;
    ToolOutcome outcome;
    if (!RunStageTool(
            "ffmpeg", PreparationArguments(plan, standard_, entry.file, output), {},
            [duration](std::string_view line) {
                const auto seconds = FfmpegProgressSeconds(line);
                if (!seconds || duration <= 0) return -1.0;
                return kScanShare + (100 - kScanShare) * std::min(1.0, *seconds / duration);
            },
            outcome)) {
        return false;
    }
    if (!outcome.exitedWell || FileBytes(output) == 0) {
        return Fail("The file " + Quoted(entry.file) + " could not be made DVD-compliant. " +
                    FailureText("ffmpeg", outcome));
    }
    return Prepared(entry, output);
}

bool ImageBuilder::Prepared(Entry& entry, const std::string& output) {
    entry.prepared = output;
    // The buttons are placed on the menu video as it has come out.
    if (entry.role == TitleRole::kMenu) entry.preparedFacts = ProbeMediaFile(output);
    return Report(100);
}

namespace {

std::string ButtonsOutput(const std::string& workFolder) {
    return workFolder + "menu with buttons.mpg";
}

}  // namespace

bool ImageBuilder::StartButtons(const Entry& menu, const std::string& workFolder, ToolRun& run) {
    const StreamFacts* video = menu.preparedFacts.First("video");
    if (!video) return Fail("The menu video " + Quoted(menu.prepared) + " holds no picture.");
    const std::vector<DiscTitle>& titles = description_->titles;
    const std::vector<ButtonRect> buttons = ButtonsOnVideo(titles, video->width, video->height);
    const std::string highlight = workFolder + "highlight.png";
    const std::string select = workFolder + "select.png";
    const std::string description = workFolder + "buttons.xml";
    const auto text = [](const std::string& s) {
        return std::vector<std::uint8_t>(s.begin(), s.end());
    };
    if (!platform::WriteFileBytes(highlight, ButtonFramesPng(video->width, video->height, buttons,
                                                             titles, kHighlightColour)) ||
        !platform::WriteFileBytes(
            select, ButtonFramesPng(video->width, video->height, buttons, titles, kSelectColour)) ||
        !platform::WriteFileBytes(description, text(SpumuxXml(highlight, select, buttons)))) {
        return Fail("The menu's buttons cannot be written to " + Quoted(workFolder) + ".");
    }
    run.Start({"spumux", "-m", "dvd", "-P", description},
              {menu.prepared, ButtonsOutput(workFolder)});
    return true;
}

bool ImageBuilder::FinishButtons(Entry& menu, const std::string& workFolder, ToolRun& run) {
    if (!Report(0)) return false;
    const std::string output = ButtonsOutput(workFolder);
    const double duration = menu.preparedFacts.durationSeconds;
    ToolOutcome outcome;
    if (!FinishStageTool(
            "spumux", run,
            [duration](std::string_view line) {
                const auto seconds = SpumuxSeconds(line);
                if (!seconds || duration <= 0) return -1.0;
                return 100 * std::min(1.0, *seconds / duration);
            },
            outcome)) {
        return false;
    }
    const bool faulted = std::any_of(outcome.errors.begin(), outcome.errors.end(),
                                     [](const std::string& line) { return IsErrorLine(line); });
    if (!outcome.exitedWell || faulted || FileBytes(output) == 0) {
        return Fail("The menu's buttons could not be added. " + FailureText("spumux", outcome));
    }
    menu.prepared = output;
    return Report(100);
}

bool ImageBuilder::Author(const std::string& workFolder) {
    if (!Report(0)) return false;
    // A folder left by an earlier build would be mixed into this one.
    RemoveDvdFolders();
    const bool menu = !description_->titles.empty();
    AuthoringPlan plan;
    plan.destination = outputFolder_ + "DVD";
    plan.standard = standard_;
    if (menu) {
        plan.menu = entries_.front().prepared;
        plan.wideMenu = entries_.front().wide;
    }
    std::map<std::string, double> megabytes;
    double total = 0;
    for (std::size_t i = menu ? 1 : 0; i < entries_.size(); ++i) {
        plan.titles.push_back(entries_[i].prepared);
    }
    for (const Entry& entry : entries_) {
        const double size = static_cast<double>(FileBytes(entry.prepared)) / kBytesPerMegabyte;
        megabytes[entry.prepared] = size;
        total += size;
    }
    const std::string xml = AuthoringXml(plan);
    const std::string xmlPath = workFolder + "dvdauthor.xml";
    if (!platform::WriteFileBytes(xmlPath, std::vector<std::uint8_t>(xml.begin(), xml.end()))) {
        return Fail("The authoring description cannot be written to " + Quoted(workFolder) + ".");
    }

    // Progress: the files dvdauthor has finished, and the megabytes of the
    // one it is on.
    double done = 0;
    double current = 0;
    ToolOutcome outcome;
    if (!RunStageTool(
            "dvdauthor", {"dvdauthor", "-x", xmlPath}, {},
            [&](std::string_view line) {
                if (!line.starts_with("STAT: VOBU")) {
                    authoringLog_ += line;
                    authoringLog_ += '\n';
                }
                if (const auto file = DvdauthorFile(line)) {
                    done += current;
                    const auto found = megabytes.find(*file);
                    current = found == megabytes.end() ? 0 : found->second;
                } else if (const auto written = DvdauthorMegabytes(line)) {
                    if (total > 0) return 100 * std::min(1.0, (done + *written) / total);
                }
                return -1.0;
            },
            outcome)) {
        return false;
    }
    const bool faulted =
        authoringLog_.find("\nERR:") != std::string::npos || authoringLog_.starts_with("ERR:");
    if (!outcome.exitedWell || faulted || !IsFile(outputFolder_ + "DVD/VIDEO_TS/VIDEO_TS.IFO")) {
        return Fail("The DVD folder could not be written. " + FailureText("dvdauthor", outcome));
    }
    return true;
}

}  // namespace foximager
