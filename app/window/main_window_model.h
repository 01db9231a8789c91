// The main window's state and command handling, without any drawing: the
// target, the file list, the profile list, the output name, the export
// folder, DVD source mode and what the conversion queue shows. The Qt window
// draws it and forwards the user's commands; tests drive it without a display.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/disc/dvd_image_build.h"
#include "app/disc/dvd_titles.h"
#include "app/profiles/conversion_target.h"
#include "app/profiles/profile_editor_model.h"
#include "app/profiles/profile_files.h"
#include "app/profiles/settings_file.h"
#include "app/run/conversion_queue.h"
#include "app/run/media_probe.h"
#include "app/window/main_window_layout.h"
#include "app/window/main_window_view.h"

// Where the window is as far as the user can see it.
enum class WindowShown { kOnScreen, kMinimized, kInSystemTray };

inline constexpr char kDropRefusedText[] = "Files cannot be added while converting.";
// Asked when the window is closed during a conversion.
inline constexpr char kStopAndQuitQuestion[] = "A conversion is running. Stop it and quit?";
// Where "DVD" found no title; the chosen folder follows.
inline constexpr char kNoDvdTitleText[] = "No DVD title was found in ";
// When no web browser showed the help page; its path follows.
inline constexpr char kHelpNotShownText[] = "No web browser could show the help. It is in ";
// The [common] keys of "zarvo.ini" that keep the target and the profile used
// last, so that the window opens on them.
inline constexpr char kLastTargetKey[] = "lasttarget";
inline constexpr char kLastProfileKey[] = "lastprofile";

// The model is also the queue's hand-off to the burning window.
class MainWindowModel : private ProfileEditorHost,
                        private DvdBuildDisplay,
                        private PendingHandOffs {
public:
    // Loads every profile file, so profiles exist before any window does.
    // The settings and profile files are in `writableFolder`; help and the
    // tools are in `programFolder`.
    // Without an export folder in the settings, `homeFolder` +
    // "ZarvoExport/" is used (and stored).
    // Conversions, probes and builds run in `context` (not owned).
    MainWindowModel(RunContext& context, const std::string& programFolder,
                    const std::string& writableFolder, std::string homeFolder = {});
    // Both in one folder, as in a build tree.
    MainWindowModel(RunContext& context, const std::string& programFolder)
        : MainWindowModel(context, programFolder, programFolder) {}
    // Deletes the trim marks ("*.clip") left in the export folder.
    ~MainWindowModel();
    MainWindowModel(const MainWindowModel&) = delete;
    MainWindowModel& operator=(const MainWindowModel&) = delete;

    // None is owned; each must outlive its use. Without a view every dialog
    // counts as cancelled; without a probe every duration is 0; without
    // tools the queue converts nothing; without hand-offs of its own the
    // queue hands SuperVCD and VideoCD results to the burning window and no
    // DVD image is built; without the RealMedia hand-off RealVideo goes to
    // the encoder like any input.
    void SetView(MainWindowView* view);
    void SetProbe(MediaProbe* probe);
    void SetQueueTools(QueueTools* tools) { queue_.SetTools(tools); }
    void SetHandOffs(QueueHandOffs* handOffs) {
        queue_.SetHandOffs(handOffs ? handOffs : static_cast<QueueHandOffs*>(this));
    }
    void SetRealMediaHandOff(RealMediaHandOff* realMedia) { queue_.SetRealMediaHandOff(realMedia); }

    // The modal burning window for a disc of this kind with these files;
    // returns what it closed with (1 after a burn), 0 when it could not open
    // (the burning SDK is missing: a message box says why).
    int RunBurningWindow(DiscKind kind, const std::vector<std::string>& files);
    // What a DVD image build after a conversion shows in this window: the
    // wait cursor, its status text and its progress by stages. "Stop
    // Conversion" stops it.
    DvdBuildDisplay& DvdImageDisplay() { return *this; }

    // What the window does when it is first shown: the title, the export
    // folder (created when missing), the profile list, merging off, and the
    // current target applied.
    void Initialise();

    static constexpr int kWidth = MainWindowLayout::kWidth;

    // A click on a button, by its command id. Commands whose control is
    // hidden or disabled at that moment are ignored. "Convert Now!" returns
    // when the queue has finished; pressed again from a message dispatched
    // meanwhile, it stops the queue.
    void OnCommand(int commandId);
    // Closes the window as Close does, but without asking first: for a
    // logout, a shutdown or Ctrl-C, which cannot wait for an answer. A
    // conversion under way is stopped as Stop stops it.
    void CloseWithoutAsking();
    // The progress notification (command 40004) with its value.
    void OnProgressNotification(int value);
    bool IsCommandAvailable(int commandId) const;
    // Selection changes in the file list and the profile list, and a click
    // on "Merge".
    void SelectFile(int index);
    void SelectProfile(int index);
    void ToggleMerge();
    // Files and folders dropped onto the file list: added as "Add file(s) to
    // join" adds them (a folder gives the video files in it); refused with a
    // status line while converting.
    void DropFiles(const std::vector<std::string>& paths);

    // The window tells where it is (the frame commands set it too). When the
    // queue ends while the window is out of sight, a desktop notification
    // says so; clicking it brings the window back.
    void SetWindowShown(WindowShown shown) { shown_ = shown; }
    WindowShown Shown() const { return shown_; }
    void OnNotificationClicked();
    // The help page could not be shown after all (the browser gave up): the
    // status line says where it is.
    void OnHelpNotShown();
    // The text of the last notification, "" when none was shown.
    const std::string& LastNotification() const { return lastNotification_; }

    const std::string& Title() const { return title_; }
    const std::string& ProgramFolder() const { return programFolder_; }
    const std::string& WritableFolder() const { return writableFolder_; }
    const std::string& ExportFolder() const { return exportFolder_; }
    // The folder for the fixed temporary names ("aa.mpg", ...).
    const std::string& DriveRoot() const { return driveRoot_; }
    MainWindowLayout Layout() const;
    // The layout at the standard size for the list: the smallest window.
    MainWindowLayout StandardLayout() const;
    // The room the window's texts need (measured with its font), and the
    // size the window has been given (by the user or the window manager);
    // the layout makes use of both.
    void SetTextRoom(int labelWidth, int buttonWidth, int timePaneWidth);
    void SetWindowSize(int width, int height);

    int Target() const { return target_; }
    const std::vector<std::string>& Files() const { return files_; }
    // The list box's lines: each path with its duration (or why it cannot
    // be read), and the last run's failures marked with their reasons.
    std::vector<std::string> FileListTexts() const;
    int SelectedFile() const { return selectedFile_; }
    const ProfileTables& Profiles() const { return profiles_; }
    const ProfileTable& CurrentProfiles() const;
    int SelectedProfile() const { return selectedProfile_; }
    // The profile label with its colon, and the output row's label.
    std::string ProfileLabel() const;
    std::string OutputLabel() const;
    const std::string& OutputNameText() const { return outputName_; }
    bool Merge() const { return merge_; }
    bool DvdSourceMode() const { return dvdSourceMode_; }
    const DvdTitleGroups& DvdTitles() const { return dvdTitles_; }
    const std::string& DvdAudioStreamId() const { return dvdAudioStreamId_; }
    bool Maximized() const { return maximized_; }
    // True while files are being probed (the busy cursor is up).
    bool Busy() const { return busyDepth_ > 0; }

    // Which controls the window shows and lets the user use.
    bool ListButtonsVisible() const;
    bool AudioStreamButtonVisible() const;
    // Not while converting: its probe is a tool run of its own.
    bool AudioStreamButtonEnabled() const { return AudioStreamButtonVisible() && InputsEnabled(); }
    bool InputsEnabled() const { return !Converting(); }
    bool EditProfileEnabled() const { return InputsEnabled() && target_ != kTargetDvd; }
    bool MergeEnabled() const { return InputsEnabled() && target_ != kTargetDvd; }

    bool Converting() const { return queue_.Converting(); }
    // The progress bar: 0 .. ProgressMaximum(), and its text: the running
    // file's percentage ("" while nothing runs).
    std::string ProgressText() const;
    int Progress() const { return dvdBuild_.building ? dvdBuild_.position : queue_.Progress(); }
    int ProgressMaximum() const { return dvdBuild_.building ? dvdBuild_.maximum : 100; }
    // The left, middle and right status panes.
    const std::array<std::string, 3>& StatusTexts() const {
        return dvdBuild_.building ? dvdBuild_.status : queue_.StatusTexts();
    }
    std::string ConvertCaption() const;
    // Inputs of the last conversion run that failed.
    std::vector<std::string> FailedInputs() const;
    // The texts the left status pane showed during the last run, in order.
    const std::vector<std::string>& StatusLog() const { return queue_.StatusLog(); }
    const std::vector<int>& ProgressLog() const { return queue_.ProgressLog(); }
    const std::vector<std::string>& JobTipLog() const { return queue_.JobTipLog(); }
    const std::string& StoppedInput() const { return queue_.StoppedInput(); }

    // What "Convert Now!" converts now: the list (or the DVD title), the
    // selected profile read from its file, the export folder and "Merge".
    ConversionRun RunOfWindow() const;

    // `OutputNameFor` of a path for the current target and profile; the
    // profile's FileType is read from its file at this moment.
    std::string OutputNameFor(const std::string& path) const;
    // The selected profile's FileType, read from its file at this moment.
    int SelectedFileType() const;

private:
    class BusyScope;

    void SelectTarget(int target);
    void RefillProfileList();
    void RefreshOutputName();
    void RefreshFileList();
    void ReplaceFiles();
    void AddFiles();
    void DeleteSelectedFile();
    void MoveSelectedFile(int step);
    void ChooseExportFolder();
    void ChooseDvd();
    // False, with the list kept, when the folder holds no title.
    bool SelectDvdTitle(const std::string& folder);
    // The stored target and profile, each 0 when it is not one there is.
    int StoredTarget() const;
    int StoredProfile() const;
    void ChooseDvdAudioStream();
    void EditProfile();
    void Convert();
    void AnnounceQueueEnd();
    void OpenDiscWriterWizard();
    ProfileTable& ProfileTableOf(int target) override;
    void LoadAllProfileFiles() override;
    void OpenBurningWindow(DiscKind kind, const std::vector<std::string>& files) override;
    double DurationOf(const std::string& path);
    // The list line of a file, from one probe.
    std::string EntryText(const std::string& path);
    void Changed();

    // DvdBuildDisplay
    void SetBuilding(bool building) override;
    void ShowBuildStatus(const std::string& text) override;
    void SetBuildProgress(int maximum, int position) override;
    bool BuildStopRequested() const override { return !Converting(); }

    RunContext& context_;
    std::string programFolder_;
    std::string writableFolder_;
    std::string homeFolder_;
    SettingsFile settings_;
    ProfileFiles profileFiles_;
    ProfileTables profiles_{};
    MainWindowView defaultView_;
    MainWindowView* view_ = &defaultView_;
    MediaProbe* probe_ = nullptr;

    std::string title_;
    std::string exportFolder_;
    std::string driveRoot_;
    int target_ = kTargetAvi;
    std::vector<std::string> files_;
    std::vector<std::string> fileListTexts_;
    int selectedFile_ = -1;
    int selectedProfile_ = 0;
    std::string outputName_;
    bool merge_ = true;
    bool dvdSourceMode_ = false;
    DvdTitleGroups dvdTitles_;
    std::string dvdAudioStreamId_;
    bool maximized_ = false;
    MainWindowRoom room_;
    int busyDepth_ = 0;
    WindowShown shown_ = WindowShown::kOnScreen;
    bool closing_ = false;
    std::string lastNotification_;
    // While a DVD image is built, its texts and progress stand in for the
    // queue's.
    struct DvdBuildState {
        bool building = false;
        int maximum = 100;
        int position = 0;
        std::array<std::string, 3> status;
    } dvdBuild_;

    ConversionQueue queue_{context_, [this] { Changed(); }};
};
