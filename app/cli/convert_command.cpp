#include "app/cli/convert_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "app/cli/console_session.h"
#include "app/cli/image_recording.h"
#include "app/disc/dvd_image_build.h"
#include "app/disc/dvd_titles.h"
#include "app/profiles/conversion_target.h"
#include "app/profiles/disc_profiles.h"
#include "app/profiles/encoder_options.h"
#include "app/profiles/profile_files.h"
#include "app/profiles/settings_file.h"
#include "app/rmjob/real_media_job.h"
#include "app/run/conversion_queue.h"
#include "app/run/conversion_run.h"
#include "app/run/runner_queue_tools.h"
#include "app/run/startup.h"
#include "app/tools/activity_log.h"
#include "app/tools/audio_stream_dialog_model.h"
#include "app/tools/run_context.h"
#include "contracts/program_settings.h"
#include "platform/file_names.h"

namespace {

using Clock = std::chrono::steady_clock;

bool IsReadableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), R_OK) == 0;
}

// The target's caption as the buttons spell it ("iPod").
std::string TargetName(int target) {
    const std::optional<TargetInfo> info = InfoOfTarget(target);
    return info ? std::string(info->caption) : std::string();
}

void ListTargets(std::ostream& out) {
    for (int target = 0; target < kTargetCount; ++target) {
        if (!ProfileFileName(target).empty()) out << TargetName(target) << "\n";
    }
}

void ListProfiles(const ProfileTable& table, std::ostream& out) {
    for (int i = 0; i < table.count; ++i) {
        const Profile& profile = table.profiles[static_cast<std::size_t>(i)];
        out << i << "  " << profile.name;
        if (!profile.description.empty()) out << "  (" << profile.description << ")";
        out << "\n";
    }
}

// The profile's number in the table, or why there is none.
std::optional<int> ResolveProfile(const ProfileChoice& choice, const ProfileTable& table,
                                  const std::string& targetName, std::string& error) {
    if (choice.index) {
        if (*choice.index < table.count) return *choice.index;
        error = targetName + " has no profile " + std::to_string(*choice.index) + " (it has " +
                std::to_string(table.count) + "; see --list-profiles " + targetName + ")";
        return std::nullopt;
    }
    for (int i = 0; i < table.count; ++i) {
        if (table.profiles[static_cast<std::size_t>(i)].name == choice.name) return i;
    }
    error = targetName + " has no profile named \"" + choice.name + "\" (see --list-profiles " +
            targetName + ")";
    return std::nullopt;
}

// The export folder a run writes to, ending in "/": the command line's, or
// the settings' as the window has it, or the default in the home folder.
std::string ExportFolderOf(const ConvertOptions& options, const ConvertEnvironment& environment) {
    if (!options.exportFolder.empty()) return platform::WithTrailingSlash(options.exportFolder);
    SettingsFile settings;
    settings.SetFile(environment.writableFolder + program_settings::kFileName);
    const std::string stored = platform::WithTrailingSlash(
        settings.ReadString(program_settings::kCommonSection, program_settings::kExportFolderKey));
    if (!stored.empty() || environment.homeFolder.empty()) return stored;
    return platform::WithTrailingSlash(environment.homeFolder) + kDefaultExportFolderName + "/";
}

// What start-up says on a terminal: only the messages.
class ConsoleStartup : public StartupView {
public:
    explicit ConsoleStartup(std::ostream& err) : err_(err) {}
    void ShowSplash() override {}
    void SetSplashProgress(int) override {}
    void Pause(int) override {}
    void CloseSplash() override {}
    void ShowMessage(const std::string& text) override { err_ << text << "\n"; }

private:
    std::ostream& err_;
};

// The queue's hand-offs without a window: a DVD-target result becomes a
// DVD-Video folder, and, when an image folder is given, the DVD folder (or
// the SuperVCD or VideoCD file) becomes an image through the image recorder.
class ConsoleHandOffs : public QueueHandOffs, private DvdBuildDisplay {
public:
    ConsoleHandOffs(RunContext& context, ConsoleSession& session,
                    const ConvertEnvironment& environment, std::string imageFolder)
        : context_(context),
          session_(session),
          environment_(environment),
          imageFolder_(std::move(imageFolder)) {}

    int BuildDvdImage(const std::string& file, const std::string& exportFolder) override {
        exportFolder_ = exportFolder;
        DvdImageBuild build(context_, environment_.programFolder, environment_.writableFolder,
                            exportFolder, *this);
        const int result = build.BuildDvdImage(file);
        if (result != 0) {
            dvdFolder_ = exportFolder + "DVD/";
        } else {
            failures_.push_back("No DVD folder was made: " + build.FailureText());
        }
        return result;
    }
    std::string DvdImageFailure() const override {
        return failures_.empty() ? std::string() : failures_.back();
    }
    void OpenBurningWindow(DiscKind kind, const std::vector<std::string>& files) override {
        if (imageFolder_.empty()) return;
        const ImageRecording image = RecordImage(
            {environment_.programFolder, exportFolder_, imageFolder_, kind, files}, session_);
        if (image.file.empty()) {
            failures_.push_back("No image was made: " + image.failure);
        } else {
            imageFile_ = image.file;
        }
    }

    const std::string& DvdFolder() const { return dvdFolder_; }
    const std::string& ImageFile() const { return imageFile_; }
    const std::vector<std::string>& Failures() const { return failures_; }

private:
    void SetBuilding(bool) override {}
    void ShowBuildStatus(const std::string& text) override {
        if (!text.empty() && text != lastStatus_) environment_.err << text << "\n";
        lastStatus_ = text;
    }
    void SetBuildProgress(int, int) override {}
    bool BuildStopRequested() const override { return session_.StopRequested(); }

    RunContext& context_;
    ConsoleSession& session_;
    const ConvertEnvironment& environment_;
    std::string imageFolder_;
    std::string exportFolder_;
    std::string dvdFolder_;
    std::string imageFile_;
    std::string lastStatus_;
    std::vector<std::string> failures_;
};

// The queue's files as lines on the terminal: the file being converted
// redrawn as it goes, each one finished with how it ended.
class QueueProgress {
public:
    QueueProgress(const ConversionQueue& queue, TerminalProgress& terminal)
        : queue_(queue), terminal_(terminal) {}

    // After every dispatch: a new file ends the last one's line.
    void Refresh() {
        const std::string& current = queue_.CurrentInput();
        if (current != shown_) {
            EndShown();
            shown_ = current;
            started_ = Clock::now();
        }
        if (!shown_.empty()) terminal_.Update(ProgressNow());
    }
    // When the queue has ended.
    void Finish() { EndShown(); }

private:
    FileProgress ProgressNow() const {
        FileProgress progress;
        progress.name = platform::FileName(shown_);
        const int elapsed = static_cast<int>(
            std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - started_).count());
        progress.elapsedSeconds = elapsed;
        const int percent = queue_.Progress();
        if (percent > 0) {
            progress.percent = percent;
            progress.remainingSeconds = elapsed * (100 - percent) / percent;
        }
        return progress;
    }
    void EndShown() {
        if (shown_.empty()) return;
        FileResult result = FileResult::kConverted;
        for (const FailedInput& failure : queue_.Failures()) {
            if (failure.input == shown_) result = FileResult::kFailed;
        }
        if (queue_.StoppedInput() == shown_) result = FileResult::kStopped;
        FileProgress progress = ProgressNow();
        if (result == FileResult::kConverted) progress.percent = 100;
        terminal_.End(progress, result);
        shown_.clear();
    }

    const ConversionQueue& queue_;
    TerminalProgress& terminal_;
    std::string shown_;
    Clock::time_point started_;
};

// The run of the command line's files, or of the DVD title: nullopt with
// `error` set when the command line asks for what is not there.
std::optional<ConversionRun> PlanRun(const ConvertOptions& options, const EncoderProfile& profile,
                                     const std::string& exportFolder, RunnerQueueTools& tools,
                                     std::string& error) {
    if (options.dvdTitleFolder.empty()) {
        for (const std::string& file : options.files) {
            if (!IsReadableFile(file)) {
                error = "cannot read " + file + ": no such file, or not a file";
                return std::nullopt;
            }
        }
        return MakeFileRun(options.files, profile, exportFolder, options.merge);
    }
    std::vector<std::string> title = MainTitleOf(
        options.dvdTitleFolder,
        [&tools](const std::string& path) { return tools.Probe(path).durationSeconds; });
    if (title.empty()) {
        error = "No DVD title was found in " + options.dvdTitleFolder;
        return std::nullopt;
    }
    std::string audioStreamId;
    if (options.audioStream) {
        const std::vector<std::string> lines = tools.Probe(title.front()).audioStreamLines;
        const auto index = static_cast<std::size_t>(*options.audioStream);
        if (index >= lines.size()) {
            error = "the DVD title has " + std::to_string(lines.size()) + " audio stream" +
                    (lines.size() == 1 ? "" : "s") + "; there is no stream " +
                    std::to_string(index);
            return std::nullopt;
        }
        audioStreamId = AudioStreamId(lines[index]);
    }
    return MakeDvdTitleRun(std::move(title), audioStreamId, profile, exportFolder);
}

}  // namespace

int RunConvertCommand(const ConvertOptions& options, const ConvertEnvironment& environment) {
    std::ostream& out = environment.out;
    std::ostream& err = environment.err;
    if (options.action == ConvertAction::kHelp) {
        out << kConvertUsageText;
        return kConvertExitDone;
    }
    // The user's profiles, as the window finds them on its first start.
    PrepareUserFiles(environment.programFolder, environment.writableFolder, environment.homeFolder);
    const ProfileFiles profileFiles(environment.writableFolder);
    if (options.action == ConvertAction::kListTargets) {
        ListTargets(out);
        return kConvertExitDone;
    }
    const std::string targetName = TargetName(options.target);
    const ProfileTable table = profileFiles.Load(options.target);
    if (options.action == ConvertAction::kListProfiles) {
        ListProfiles(table, out);
        return kConvertExitDone;
    }
    std::string error;
    const std::optional<int> profileIndex =
        ResolveProfile(options.profile, table, targetName, error);
    if (!profileIndex) {
        err << kConvertProgramName << ": " << error << "\n";
        return kConvertExitUsage;
    }

    // A missing tool is said, as the window says it; the run then names the
    // tool that could not be started where it needs it.
    ConsoleStartup startup(err);
    CheckRequiredTools(environment.programFolder, startup);

    ConsoleSession session(err, options.dvdFolderAnswer == DvdFolderAnswer::kReplace,
                           environment.signals);
    ActivityLog log;
    RunContext context(session, log);
    RunnerQueueTools tools(context, &session);
    const std::string exportFolder = ExportFolderOf(options, environment);
    const EncoderProfile profile = ReadEncoderProfile(profileFiles, options.target, *profileIndex);
    std::optional<ConversionRun> run = PlanRun(options, profile, exportFolder, tools, error);
    if (!run) {
        err << kConvertProgramName << ": " << error << "\n";
        return kConvertExitUsage;
    }
    if (!exportFolder.empty()) mkdir(exportFolder.c_str(), 0777);

    ConversionQueue queue(context, [] {});
    queue.SetTools(&tools);
    ConsoleHandOffs handOffs(context, session, environment,
                             platform::WithTrailingSlash(options.imageFolder));
    queue.SetHandOffs(&handOffs);
    RealMediaJob realMedia(
        environment.programFolder, environment.writableFolder,
        RealMediaJob::Services{[&tools](const std::string& file) { return tools.Probe(file); },
                               &session, &session, &context});
    queue.SetRealMediaHandOff(&realMedia);

    TerminalProgress terminal(out, environment.progressOutput, environment.widthColumns);
    QueueProgress progress(queue, terminal);
    session.OnProgress([&queue](int value) { queue.OnProgressNotification(value); });
    session.OnTick([&realMedia] { realMedia.OnPollTimer(); });
    session.OnStop([&queue] { queue.Stop(); });
    session.OnDispatched([&progress] { progress.Refresh(); });

    const bool dvdTitle = run->dvdTitle;
    const std::size_t entries = dvdTitle ? 1 : run->inputs.size();
    queue.Start(std::move(*run));
    progress.Finish();
    // A run that could not start (an export folder it cannot write to)
    // converted nothing and failed nothing: the queue says why.
    if (queue.ConvertedCount() == 0 && queue.Failures().empty() && !session.StopRequested() &&
        queue.StoppedInput().empty()) {
        err << kConvertProgramName << ": " << queue.StatusTexts()[0] << "\n";
        return kConvertExitFailed;
    }

    RunSummary summary;
    summary.convertedCount = static_cast<int>(queue.ConvertedCount());
    for (const FailedInput& failure : queue.Failures()) {
        summary.failed.push_back({failure.input, failure.reason});
    }
    const bool stopped = !queue.StoppedInput().empty() || session.StopRequested();
    if (stopped) {
        summary.stoppedCount =
            static_cast<int>(entries - queue.ConvertedCount() - queue.Failures().size());
    }
    summary.outputs.push_back(exportFolder);
    if (!handOffs.DvdFolder().empty()) summary.outputs.push_back(handOffs.DvdFolder());
    if (!handOffs.ImageFile().empty()) summary.outputs.push_back(handOffs.ImageFile());
    // The queue's own last words, as the window's status line shows them.
    out << queue.StatusTexts()[0] << "\n" << SummaryText(summary);
    err << FailuresText(summary);
    for (const std::string& failure : handOffs.Failures()) err << failure << "\n";
    out.flush();

    // A DVD target's run is done only with its DVD folder; one asked for an
    // image only with the image.
    const bool wantsDvdFolder = options.target == kTargetDvd && !IsSuperVcdProfile(*profileIndex) &&
                                !IsVideoCdProfile(*profileIndex) && !dvdTitle;
    const bool discMissing = (wantsDvdFolder && handOffs.DvdFolder().empty()) ||
                             (!options.imageFolder.empty() && handOffs.ImageFile().empty());
    if (stopped || !summary.failed.empty() || queue.ConvertedCount() == 0 || discMissing) {
        return kConvertExitFailed;
    }
    return kConvertExitDone;
}
