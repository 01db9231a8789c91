// The disc-writer wizard's state and commands, without any drawing: the kind
// of disc, the titles to burn, the pictures of the DVD menu's buttons and its
// background, and the build that makes a DVD-Video folder of them (with a
// menu when there are several titles) before the burning window takes over.
// The Qt wizard draws it and passes on the user's choices; tests and the
// automation script drive it directly.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/disc/disc_kind.h"
#include "app/disc/dvd_image_build.h"
#include "app/disc/menu_clip.h"
#include "app/disc/menu_layout.h"
#include "app/disc/menu_picture.h"

struct RunContext;

struct DiscWriterSetup {
    // Where the menu clip's tool runs and the image build report, and the
    // user is asked; must be set.
    RunContext* context = nullptr;
    std::string programFolder;
    // Where the build's description file goes.
    std::string writableFolder;
    std::string exportFolder;
    // The settings file ("zarvo.ini") that keeps the menu background.
    std::string settingsPath;
    // The video codec a probe of the file names ("mpeg2video").
    std::function<std::string(const std::string& file)> videoCodecOf;
    // The selected profile's codec and conversion, for the menu clip.
    std::string menuVideoCodec;
    std::function<void(const std::string& input, const std::string& output)> convertFile;
    // The burning window, for a disc of this kind with these files; returns
    // what it closed with (1 after a burn).
    std::function<int(DiscKind kind, const std::vector<std::string>& files)> openBurningWindow;
    // True while the main window converts: its tools and a build must not
    // run inside one another.
    std::function<bool()> conversionRunning;
};

inline constexpr const char* kDefaultMenuBackgroundName = "DVDMainMenu.jpg";
// The settings key of the background, in section "DVD".
inline constexpr const char* kMenuBackgroundKey = "menubgimage";
// The control that shows the background's path.
inline constexpr int kMenuBackgroundControl = 1085;
// The wizard's timer: one tick a second while it is open.
inline constexpr int kWizardTimerId = 1000;
inline constexpr int kWizardTimerMs = 1000;
inline constexpr std::size_t kMaxDvdTitles = 99;
// Why the wizard does not go on without titles.
inline constexpr const char* kNoTitlesText = "Add the MPEG files to burn first.";

// A list of files the user chose, in the user's order, with its selection.
struct ChosenFiles {
    std::vector<std::string> paths;
    int selected = -1;  // -1: none

    void Replace(std::vector<std::string> kept);
    void Clear() { Replace({}); }
    void Select(int index);
    // Moves the selected file one place up (-1) or down (1), with the
    // selection.
    void MoveSelected(int step);
};

class DiscWriterWizardModel : private DvdBuildDisplay {
public:
    explicit DiscWriterWizardModel(DiscWriterSetup setup);

    // Called whenever something the wizard shows has changed.
    void SetChangedHandler(std::function<void()> changed) { changed_ = std::move(changed); }

    // The radio buttons "DVD", "SVCD", "VCD".
    void SelectKind(DiscKind kind);

    // "Add MPEG File(s) to Burn": the chosen files replace the titles; only
    // MPEG video (and RealVideo 4) is kept, the others are named with the
    // reason in RefusedTitles. The button rectangles are reset.
    void ChooseTitles(const std::vector<std::string>& files);
    // "Remove File(s)", "Move up", "Move down" on the selected title.
    void RemoveTitles() {
        Change(titles_, [](ChosenFiles& f) { f.Clear(); });
    }
    void SelectTitle(int index) {
        Change(titles_, [index](ChosenFiles& f) { f.Select(index); });
    }
    void MoveTitleUp() {
        Change(titles_, [](ChosenFiles& f) { f.MoveSelected(-1); });
    }
    void MoveTitleDown() {
        Change(titles_, [](ChosenFiles& f) { f.MoveSelected(1); });
    }

    // "Add Image File(s) for DVD Menu Button": the chosen files replace the
    // pictures; only those that load as BMP or JPEG are kept, the others are
    // named in RefusedPictures.
    void ChoosePictures(const std::vector<std::string>& files);
    void RemovePictures() {
        Change(pictures_, [](ChosenFiles& f) { f.Clear(); });
    }
    void SelectPicture(int index) {
        Change(pictures_, [index](ChosenFiles& f) { f.Select(index); });
    }
    void MovePictureUp() {
        Change(pictures_, [](ChosenFiles& f) { f.MoveSelected(-1); });
    }
    void MovePictureDown() {
        Change(pictures_, [](ChosenFiles& f) { f.MoveSelected(1); });
    }

    // "Browse": a picture becomes the background and is stored in the
    // settings; false (nothing changed) for a file that is not one.
    bool ChooseBackground(const std::string& file);

    // Next: for a DVD, builds the DVD-Video folder (with a menu for several
    // titles), then opens the burning window; for a SuperVCD or VideoCD the
    // burning window takes the titles as they are. A burning window that
    // closes after a burn closes the wizard too. Returns when done.
    void Next();
    // Stop: ends a build that is running (from a message handled inside it).
    void Stop();
    // Closing during a build stops it; the wizard closes when it has ended.
    void Close();
    // The wizard's timer tick.
    void OnTimer();

    // The menu picture the build will make of the titles, the button
    // pictures and the background (drawn by the same code; one button while
    // there are no titles).
    MenuPictureRequest MenuRequest() const;
    // Saves the preview as the build saves the menu picture; false when the
    // file cannot be written.
    bool SaveMenuPreview(const std::string& path);
    // The file the preview was last saved to.
    const std::string& MenuPreviewFile() const { return menuPreviewFile_; }

    DiscKind Kind() const { return kind_; }
    // Titles are needed before the wizard goes past their page.
    bool TitlesChosen() const { return !titles_.paths.empty(); }
    // The files the last choice of titles (of pictures) refused, each with
    // why.
    const std::vector<std::string>& RefusedTitles() const { return refusedTitles_; }
    const std::vector<std::string>& RefusedPictures() const { return refusedPictures_; }
    const std::vector<std::string>& Titles() const { return titles_.paths; }
    int SelectedTitle() const { return titles_.selected; }
    const std::vector<std::string>& Pictures() const { return pictures_.paths; }
    int SelectedPicture() const { return pictures_.selected; }
    const std::string& Background() const { return background_; }
    const std::vector<ButtonRect>& ButtonRects() const { return buttons_; }
    bool Building() const { return building_; }
    bool NextEnabled() const { return !busy_; }
    bool StopEnabled() const { return busy_; }
    int ProgressMaximum() const { return progressMaximum_; }
    int Progress() const { return progress_; }
    const std::string& Status() const { return status_; }
    // The texts the status line showed, in order (the last 1000).
    const std::vector<std::string>& StatusLog() const { return statusLog_; }
    int ElapsedSeconds() const { return elapsedSeconds_; }
    // The folder the last build wrote, "" until one succeeded.
    const std::string& BuiltFolder() const { return builtFolder_; }
    bool Closed() const { return closed_; }

private:
    // Applies a change to one of the lists, unless a build is running.
    void Change(ChosenFiles& files, const std::function<void(ChosenFiles&)>& change);
    void BuildDvd();
    // Opens the burning window; one that closes after a burn closes the
    // wizard.
    void Burn(DiscKind kind, const std::vector<std::string>& files);
    void ShowStatus(std::string text);
    void Changed() {
        if (changed_) changed_();
    }

    // DvdBuildDisplay
    void SetBuilding(bool building) override;
    void ShowBuildStatus(const std::string& text) override { ShowStatus(text); }
    void SetBuildProgress(int maximum, int position) override;
    bool BuildStopRequested() const override { return stopRequested_; }

    DiscWriterSetup setup_;
    std::function<void()> changed_;

    DiscKind kind_ = kDvdDisc;
    ChosenFiles titles_;
    ChosenFiles pictures_;
    std::string background_;
    std::vector<ButtonRect> buttons_;

    bool busy_ = false;  // Next is running: the menu, the build, the burning window
    bool building_ = false;
    bool stopRequested_ = false;
    bool closeRequested_ = false;
    bool closed_ = false;
    int progressMaximum_ = 100;
    int progress_ = 0;
    int elapsedSeconds_ = 0;
    std::string status_;
    std::vector<std::string> statusLog_;
    std::string builtFolder_;
    std::vector<std::string> refusedTitles_;
    std::vector<std::string> refusedPictures_;
    std::string menuPreviewFile_;
};
