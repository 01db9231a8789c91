#include "app/window/main_window_model.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "app/disc/burning_sdk.h"
#include "app/disc/burning_window_model.h"
#include "app/disc/disc_writer_wizard_model.h"
#include "app/profiles/conversion.h"
#include "app/profiles/encoder_options.h"
#include "app/run/output_name.h"
#include "app/run/run_files.h"
#include "app/run/startup.h"
#include "app/tools/activity_log.h"
#include "app/tools/audio_stream_dialog_model.h"
#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"
#include "app/window/dropped_files.h"
#include "app/window/main_window_commands.h"
#include "contracts/program_settings.h"
#include "platform/file_names.h"
#include "platform/temp_folder.h"

namespace {

// Deletes the trim marks in the folder, but none of the files in the list.
void DeleteClipFiles(const std::string& folder, const std::vector<std::string>& files) {
    if (folder.empty()) return;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return;
    RunFiles listed;
    listed.Start(files);
    while (const dirent* entry = readdir(dir.get())) {
        if (!platform::EndsWithIgnoringCase(entry->d_name, ".clip")) continue;
        const std::string path = folder + entry->d_name;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && !listed.IsInput(path)) {
            unlink(path.c_str());
        }
    }
}

std::string FileListText(const std::string& path, int seconds) {
    char duration[64];
    std::snprintf(duration, sizeof duration, "       (Duration: %02d:%02d:%02d)", seconds / 3600,
                  seconds % 3600 / 60, seconds % 60);
    return path + duration;
}

// An input the probe found no stream in, with the tool's reason.
std::string UnreadableFileListText(const std::string& path, const std::string& reason) {
    return path +
           "       (Cannot be read: " + (reason.empty() ? "no video or sound found" : reason) + ")";
}

bool IsTargetCommand(int commandId) { return TargetOfCommand(commandId).has_value(); }

}  // namespace

MainWindowModel::MainWindowModel(RunContext& context, const std::string& programFolder,
                                 const std::string& writableFolder, std::string homeFolder)
    : context_(context),
      programFolder_(programFolder),
      writableFolder_(writableFolder),
      homeFolder_(std::move(homeFolder)),
      profileFiles_(writableFolder) {
    settings_.SetFile(writableFolder + program_settings::kFileName);
    profileFiles_.LoadAll(profiles_);
    SetHandOffs(nullptr);
}

MainWindowModel::~MainWindowModel() { DeleteClipFiles(exportFolder_, files_); }

void MainWindowModel::SetView(MainWindowView* view) { view_ = view ? view : &defaultView_; }

void MainWindowModel::SetProbe(MediaProbe* probe) { probe_ = probe; }

int MainWindowModel::RunBurningWindow(DiscKind kind, const std::vector<std::string>& files) {
    std::string error;
    const BurningSdk* sdk = LoadBurningSdk(programFolder_, error);
    if (!sdk) {
        context_.ui.ShowMessage("The disc-burning library cannot be loaded: " + error, "Error");
        return 0;
    }
    BurningWindowModel window(*sdk, kind, files, exportFolder_);
    view_->OpenBurningWindow(window);
    return window.Result();
}

void MainWindowModel::OpenBurningWindow(DiscKind kind, const std::vector<std::string>& files) {
    RunBurningWindow(kind, files);
}

MainWindowLayout MainWindowModel::Layout() const {
    return LayOutMainWindow(static_cast<int>(files_.size()), room_);
}

void MainWindowModel::SetTextRoom(int labelWidth, int buttonWidth, int timePaneWidth) {
    room_.labelWidth = labelWidth;
    room_.buttonWidth = buttonWidth;
    room_.timePaneWidth = timePaneWidth;
}

MainWindowLayout MainWindowModel::StandardLayout() const {
    MainWindowRoom standard = room_;
    standard.extraWidth = 0;
    standard.extraHeight = 0;
    return LayOutMainWindow(static_cast<int>(files_.size()), standard);
}

void MainWindowModel::SetWindowSize(int width, int height) {
    // Kept as the size beyond the standard one, so that a window the user
    // never enlarged still follows the number of files.
    const MainWindowLayout natural = StandardLayout();
    room_.extraWidth = std::max(0, width - natural.width);
    room_.extraHeight = std::max(0, height - natural.height);
}

std::string MainWindowModel::ProgressText() const {
    if (dvdBuild_.building) {
        return dvdBuild_.maximum > 0
                   ? std::to_string(dvdBuild_.position * 100 / dvdBuild_.maximum) + "%"
                   : std::string();
    }
    return Converting() ? std::to_string(queue_.Progress()) + "%" : std::string();
}

int MainWindowModel::StoredTarget() const {
    const int target = settings_.ReadInt("common", kLastTargetKey);
    // Index 3 is reserved: no button selects it.
    const bool selectable = target != 3 && InfoOfTarget(target).has_value();
    return selectable ? target : kTargetAvi;
}

int MainWindowModel::StoredProfile() const {
    const int profile = settings_.ReadInt("common", kLastProfileKey);
    return profile >= 0 && profile < CurrentProfiles().count ? profile : 0;
}

void MainWindowModel::Initialise() {
    title_ = WindowTitle(settings_);
    // Paths are built by appending names to the folder, so it must end in "/".
    exportFolder_ = platform::WithTrailingSlash(
        settings_.ReadString(program_settings::kCommonSection, program_settings::kExportFolderKey));
    // Without one set, outputs go where the installed program sends them,
    // never silently into whatever folder the program was started from.
    if (exportFolder_.empty() && !homeFolder_.empty()) {
        exportFolder_ = platform::WithTrailingSlash(homeFolder_) + kDefaultExportFolderName + "/";
        settings_.WriteString(program_settings::kCommonSection, program_settings::kExportFolderKey,
                              exportFolder_);
    }
    if (!exportFolder_.empty()) mkdir(exportFolder_.c_str(), 0777);
    driveRoot_ = platform::TempFolder();
    RefillProfileList();
    // The stored flag starts at 1; the window switches it off as a click would.
    ToggleMerge();
    SelectTarget(StoredTarget());
    selectedProfile_ = StoredProfile();
    RefreshOutputName();
    Changed();
}

const ProfileTable& MainWindowModel::CurrentProfiles() const {
    return profiles_[static_cast<std::size_t>(target_)];
}

std::string MainWindowModel::ProfileLabel() const {
    const auto info = InfoOfTarget(target_);
    return info ? std::string(info->profileLabel) + ":" : std::string();
}

std::string MainWindowModel::OutputLabel() const {
    return target_ == kTargetDvd ? "Burn from" : "Output Filename:";
}

std::string MainWindowModel::ConvertCaption() const {
    return Converting() ? "Stop Conversion" : "Convert Now!";
}

bool MainWindowModel::ListButtonsVisible() const { return !files_.empty() && !dvdSourceMode_; }

bool MainWindowModel::AudioStreamButtonVisible() const {
    // Without a title there is no file whose streams could be listed.
    return dvdSourceMode_ && !files_.empty();
}

int MainWindowModel::SelectedFileType() const {
    return profileFiles_.ReadInt(target_, selectedProfile_, "FileType");
}

std::string MainWindowModel::OutputNameFor(const std::string& path) const {
    return ::OutputNameFor(path, target_, SelectedFileType());
}

bool MainWindowModel::IsCommandAvailable(int commandId) const {
    if (IsTargetCommand(commandId)) return InputsEnabled();
    switch (commandId) {
        case kCmdBrowseFiles:
        case kCmdChooseDvd:
        case kCmdBrowseExportFolder:
            return InputsEnabled();
        case kCmdMoveUp:
        case kCmdMoveDown:
        case kCmdDeleteFile:
        case kCmdAddFiles:
            return InputsEnabled() && ListButtonsVisible();
        case kCmdSelectAudioStream:
            return AudioStreamButtonEnabled();
        case kCmdEditProfile:
            return EditProfileEnabled();
        case kCmdMaximize:
            return !maximized_;
        case kCmdRestore:
            return maximized_;
        case kCmdConvert:
        case kCmdHelp:
        case kCmdShowLog:
        case kCmdBurnVideo:
        case kCmdClose:
        case kCmdSystemTray:
        case kCmdMinimize:
            return true;
        default:
            return false;
    }
}

void MainWindowModel::OnCommand(int commandId) {
    if (!IsCommandAvailable(commandId)) return;
    if (const auto target = TargetOfCommand(commandId)) {
        SelectTarget(*target);
        settings_.WriteInt("common", kLastTargetKey, *target);
        settings_.WriteInt("common", kLastProfileKey, selectedProfile_);
        Changed();
        return;
    }
    switch (commandId) {
        case kCmdBrowseFiles:
            ReplaceFiles();
            break;
        case kCmdAddFiles:
            AddFiles();
            break;
        case kCmdDeleteFile:
            DeleteSelectedFile();
            break;
        case kCmdMoveUp:
            MoveSelectedFile(-1);
            break;
        case kCmdMoveDown:
            MoveSelectedFile(1);
            break;
        case kCmdBrowseExportFolder:
            ChooseExportFolder();
            break;
        case kCmdChooseDvd:
            ChooseDvd();
            break;
        case kCmdSelectAudioStream:
            ChooseDvdAudioStream();
            break;
        case kCmdEditProfile:
            EditProfile();
            break;
        case kCmdHelp:
            if (!view_->OpenHelp(programFolder_ + "help/help.htm")) OnHelpNotShown();
            break;
        case kCmdBurnVideo:
            OpenDiscWriterWizard();
            break;
        case kCmdShowLog:
            view_->ShowActivityLog(context_.log);
            break;
        case kCmdConvert:
            Convert();
            break;
        case kCmdClose:
            // A running conversion is the user's work of minutes: a stray
            // Escape or click must not throw it away.
            if (Converting() && !view_->AskYesNo(kStopAndQuitQuestion)) break;
            CloseWithoutAsking();
            break;
        case kCmdSystemTray:
            shown_ = WindowShown::kInSystemTray;
            view_->ShowInSystemTray();
            break;
        case kCmdMinimize:
            shown_ = WindowShown::kMinimized;
            view_->Minimize();
            break;
        case kCmdMaximize:
            maximized_ = true;
            view_->Maximize();
            break;
        case kCmdRestore:
            maximized_ = false;
            view_->Restore();
            break;
        default:
            return;
    }
    Changed();
}

void MainWindowModel::CloseWithoutAsking() {
    closing_ = true;
    // No encoder may keep writing after the program has gone; the queue
    // stops as Stop stops it, so no half-made file is left behind.
    if (Converting()) queue_.Stop();
    view_->CloseWindow();
}

void MainWindowModel::OnProgressNotification(int value) { queue_.OnProgressNotification(value); }

void MainWindowModel::Convert() {
    // Start returns when the queue has ended; a press while it runs is a stop.
    if (Converting()) {
        queue_.Stop();
        return;
    }
    queue_.Start(RunOfWindow());
    AnnounceQueueEnd();
}

ConversionRun MainWindowModel::RunOfWindow() const {
    const EncoderProfile profile = ReadEncoderProfile(profileFiles_, target_, selectedProfile_);
    if (dvdSourceMode_) {
        return MakeDvdTitleRun(dvdTitles_[0], dvdAudioStreamId_, profile, exportFolder_);
    }
    return MakeFileRun(files_, profile, exportFolder_, merge_);
}

void MainWindowModel::AnnounceQueueEnd() {
    if (shown_ == WindowShown::kOnScreen || closing_) return;
    std::string body;
    const std::size_t failed = queue_.Failures().size();
    if (failed == 1) {
        body = FailedText(queue_.Failures().front());
    } else if (failed > 1) {
        body = std::to_string(failed) + " files failed; the list says why.";
    }
    lastNotification_ = kQueueCompletedText + (body.empty() ? "" : "\n" + body);
    view_->ShowNotification(kQueueCompletedText, body);
}

void MainWindowModel::OnNotificationClicked() {
    shown_ = WindowShown::kOnScreen;
    view_->ShowWindowAgain();
    Changed();
}

void MainWindowModel::OnHelpNotShown() {
    queue_.ShowStatus(kHelpNotShownText + programFolder_ + "help/help.htm");
}

void MainWindowModel::DropFiles(const std::vector<std::string>& paths) {
    // While files are probed the list is being rebuilt; the drop waits for
    // nobody and is dropped.
    if (Busy()) return;
    if (Converting()) {
        queue_.ShowStatus(kDropRefusedText);
        return;
    }
    std::vector<std::string> dropped = FilesOfDrop(paths);
    if (dropped.empty()) return;
    // A DVD title's entry stands for its group of VOB files; dropped files
    // start a list of their own, as "Browse" does.
    if (dvdSourceMode_) {
        dvdSourceMode_ = false;
        files_.clear();
        selectedFile_ = -1;
    }
    files_.insert(files_.end(), dropped.begin(), dropped.end());
    RefreshFileList();
    RefreshOutputName();
    Changed();
}

void MainWindowModel::SelectFile(int index) {
    if (index < -1 || index >= static_cast<int>(files_.size())) return;
    selectedFile_ = index;
    RefreshOutputName();
    Changed();
}

void MainWindowModel::SelectProfile(int index) {
    if (!InputsEnabled() || index < 0 || index >= CurrentProfiles().count) return;
    selectedProfile_ = index;
    settings_.WriteInt("common", kLastProfileKey, index);
    RefreshOutputName();
    Changed();
}

void MainWindowModel::ToggleMerge() {
    merge_ = !merge_;
    Changed();
}

void MainWindowModel::SelectTarget(int target) {
    target_ = target;
    RefillProfileList();
    RefreshOutputName();
    // Leaving the DVD target always switches merging off; DVD always joins.
    merge_ = target == kTargetDvd;
}

void MainWindowModel::RefillProfileList() { selectedProfile_ = 0; }

void MainWindowModel::RefreshOutputName() {
    if (target_ == kTargetDvd) {
        outputName_ = exportFolder_ + "DVD/";
    } else if (selectedFile_ >= 0 && selectedFile_ < static_cast<int>(files_.size())) {
        outputName_ = OutputNameFor(files_[static_cast<std::size_t>(selectedFile_)]);
    } else {
        outputName_.clear();
    }
}

double MainWindowModel::DurationOf(const std::string& path) {
    if (!probe_) return 0;
    view_->KeepPainting();
    return probe_->Probe(path).durationSeconds;
}

std::string MainWindowModel::EntryText(const std::string& path) {
    if (!probe_) return FileListText(path, 0);
    view_->KeepPainting();
    const MediaInfo media = probe_->Probe(path);
    if (media.videoCodec.empty() && media.audioCodec.empty()) {
        return UnreadableFileListText(path, probe_->LastFailure());
    }
    return FileListText(path, static_cast<int>(media.durationSeconds));
}

std::vector<std::string> MainWindowModel::FileListTexts() const {
    // The last run's failures stay marked until the next run starts.
    std::vector<std::string> texts = fileListTexts_;
    const std::vector<FailedInput>& failures = queue_.Failures();
    for (std::size_t i = 0; i < texts.size() && i < files_.size(); ++i) {
        const auto failure =
            std::find_if(failures.begin(), failures.end(),
                         [&](const FailedInput& f) { return f.input == files_[i]; });
        if (failure == failures.end()) continue;
        texts[i] += "  [Failed" + (failure->reason.empty() ? "" : ": " + failure->reason) + "]";
    }
    return texts;
}

std::vector<std::string> MainWindowModel::FailedInputs() const {
    std::vector<std::string> inputs;
    for (const FailedInput& failure : queue_.Failures()) inputs.push_back(failure.input);
    return inputs;
}

// Shows the busy cursor while files are probed; probing steps nest.
class MainWindowModel::BusyScope {
public:
    explicit BusyScope(MainWindowModel& model) : model_(model) {
        if (model_.busyDepth_++ == 0) model_.view_->SetBusy(true);
    }
    ~BusyScope() {
        if (--model_.busyDepth_ == 0) model_.view_->SetBusy(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    MainWindowModel& model_;
};

void MainWindowModel::RefreshFileList() {
    BusyScope busy(*this);
    fileListTexts_.clear();
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (dvdSourceMode_ && i < dvdTitles_.size()) {
            // A DVD title plays all the VOB files of its group.
            const auto durationOf = [this](const std::string& path) { return DurationOf(path); };
            fileListTexts_.push_back(
                FileListText(files_[i], GroupDurationSeconds(dvdTitles_[i], durationOf)));
        } else {
            // A file that cannot be read says so at once, not at the end of
            // a run.
            fileListTexts_.push_back(EntryText(files_[i]));
        }
    }
    if (!files_.empty() && selectedFile_ < 0) selectedFile_ = 0;
}

void MainWindowModel::ReplaceFiles() {
    std::vector<std::string> chosen = view_->ChooseVideoFiles();
    if (chosen.empty()) return;
    // Leaving DVD source mode before the list is probed, so that the new
    // files show their own durations rather than those of DVD titles.
    dvdSourceMode_ = false;
    files_ = std::move(chosen);
    selectedFile_ = -1;
    RefreshFileList();
    selectedFile_ = files_.empty() ? -1 : 0;
    RefreshOutputName();
}

void MainWindowModel::AddFiles() {
    std::vector<std::string> chosen = view_->ChooseVideoFiles();
    if (chosen.empty()) return;
    files_.insert(files_.end(), chosen.begin(), chosen.end());
    RefreshFileList();
}

void MainWindowModel::DeleteSelectedFile() {
    if (selectedFile_ < 0 || selectedFile_ >= static_cast<int>(files_.size())) return;
    // The button is hidden in DVD source mode, so the title groups stay as
    // they are.
    files_.erase(files_.begin() + selectedFile_);
    if (selectedFile_ >= static_cast<int>(files_.size())) {
        selectedFile_ = static_cast<int>(files_.size()) - 1;
    }
    // The output name keeps its text until the next selection change.
    RefreshFileList();
}

void MainWindowModel::MoveSelectedFile(int step) {
    const int other = selectedFile_ + step;
    if (selectedFile_ < 0 || other < 0 || other >= static_cast<int>(files_.size())) return;
    std::swap(files_[static_cast<std::size_t>(selectedFile_)],
              files_[static_cast<std::size_t>(other)]);
    std::swap(fileListTexts_[static_cast<std::size_t>(selectedFile_)],
              fileListTexts_[static_cast<std::size_t>(other)]);
    selectedFile_ = other;
}

void MainWindowModel::ChooseExportFolder() {
    std::string folder = view_->ChooseFolder(kExportFolderTitle, exportFolder_);
    if (folder.empty()) return;
    folder = platform::WithTrailingSlash(std::move(folder));
    settings_.WriteString(program_settings::kCommonSection, program_settings::kExportFolderKey,
                          folder);
    exportFolder_ = folder;
    if (target_ == kTargetDvd) outputName_ = exportFolder_ + "DVD/";
}

void MainWindowModel::ChooseDvd() {
    // Cancelling the chooser leaves everything as it was, DVD source mode too.
    const std::string folder = view_->ChooseFolder(kDvdFolderTitle, exportFolder_);
    if (folder.empty()) return;
    bool found = false;
    {
        BusyScope busy(*this);
        found = SelectDvdTitle(folder);
    }
    if (!found) {
        queue_.ShowStatus(kNoDvdTitleText + folder);
        return;
    }
    Changed();
    if (!files_.empty()) ChooseDvdAudioStream();
}

bool MainWindowModel::SelectDvdTitle(const std::string& folder) {
    std::vector<std::string> title =
        MainTitleOf(folder, [this](const std::string& path) { return DurationOf(path); });
    // A folder without a title leaves the list the user had.
    if (title.empty()) return false;
    dvdSourceMode_ = true;
    dvdTitles_ = DvdTitleGroups{};
    dvdTitles_[0] = std::move(title);
    files_.clear();
    if (!dvdTitles_[0].empty()) files_.push_back(dvdTitles_[0].front());
    selectedFile_ = -1;
    RefreshFileList();
    selectedFile_ = files_.empty() ? -1 : 0;
    if (!files_.empty()) RefreshOutputName();
    dvdAudioStreamId_.clear();
    return true;
}

void MainWindowModel::ChooseDvdAudioStream() {
    if (dvdTitles_[0].empty() || !probe_) return;
    const std::string& file = dvdTitles_[0].front();
    AudioStreamDialogModel dialog(context_, file, probe_->Probe(file).audioStreamLines,
                                  dvdAudioStreamId_);
    view_->ChooseAudioStream(dialog);
    // Without a line there is no choice, and the id stays as it was.
    if (dialog.SelectedIndex() >= 0) dvdAudioStreamId_ = dialog.SelectedAudioId();
}

void MainWindowModel::EditProfile() {
    const auto info = InfoOfTarget(target_);
    ProfileEditorModel editor(target_, std::string(info ? info->editorTitle : std::string_view()),
                              *this, profileFiles_);
    view_->OpenProfileEditor(editor);
    LoadAllProfileFiles();
    RefillProfileList();
    RefreshOutputName();
}

void MainWindowModel::OpenDiscWriterWizard() {
    DiscWriterSetup setup;
    setup.context = &context_;
    setup.programFolder = programFolder_;
    setup.writableFolder = writableFolder_;
    setup.exportFolder = exportFolder_;
    setup.settingsPath = settings_.Path();
    setup.videoCodecOf = [this](const std::string& file) {
        return probe_ ? probe_->Probe(file).videoCodec : std::string();
    };
    // The menu clip is made with the profile selected here.
    const EncoderProfile profile = ReadEncoderProfile(profileFiles_, target_, selectedProfile_);
    setup.menuVideoCodec = ProfileVideoCodec(profile);
    setup.convertFile = [this, profile](const std::string& input, const std::string& output) {
        ::ConvertFile({context_, driveRoot_, nullptr}, profile, input, output);
    };
    setup.openBurningWindow = [this](DiscKind kind, const std::vector<std::string>& files) {
        return RunBurningWindow(kind, files);
    };
    setup.conversionRunning = [this] { return Converting(); };
    DiscWriterWizardModel wizard(std::move(setup));
    view_->OpenDiscWriterWizard(wizard);
}

void MainWindowModel::SetBuilding(bool building) {
    dvdBuild_ = DvdBuildState{};
    dvdBuild_.building = building;
    view_->SetBusy(building);
    Changed();
}

void MainWindowModel::ShowBuildStatus(const std::string& text) {
    dvdBuild_.status = {text, "", ""};
    Changed();
}

void MainWindowModel::SetBuildProgress(int maximum, int position) {
    dvdBuild_.maximum = maximum;
    dvdBuild_.position = position;
    Changed();
}

ProfileTable& MainWindowModel::ProfileTableOf(int target) {
    return profiles_[static_cast<std::size_t>(std::clamp(target, 0, kTargetCount - 1))];
}

void MainWindowModel::LoadAllProfileFiles() { profileFiles_.LoadAll(profiles_); }

void MainWindowModel::Changed() { view_->Changed(); }
