// The DVD image build through the image SDK: the description file, the
// export folder's "DVD" files deleted, the SDK's calls in their order, and
// the progress shown stage by stage. Used after a DVD-target conversion
// (one title, no menu) and by the disc-writer wizard (titles with a menu).
//
// The build runs on the user-interface thread inside the SDK; its progress
// callback updates the display and dispatches the program's pending
// messages, so the window stays live and a stop can arrive.
#pragma once

#include <string>
#include <vector>

#include "app/disc/dvd_image_description.h"
#include "app/disc/menu_layout.h"

// What a build shows, and how it learns that the user stopped it.
class DvdBuildDisplay {
public:
    virtual ~DvdBuildDisplay() = default;
    // The wait cursor, or the wizard's building mark and its next button.
    virtual void SetBuilding(bool building) = 0;
    virtual void ShowBuildStatus(const std::string& text) = 0;
    virtual void SetBuildProgress(int maximum, int position) = 0;
    // Asked after every progress report.
    virtual bool BuildStopRequested() const = 0;
};

// Asked of the user (through the run's context) before a build empties a
// DVD folder that holds a DVD already; Yes lets it go on.
inline constexpr char kReplaceDvdFolderQuestion[] =
    "The export folder holds a DVD folder already. Replace it?";
inline constexpr char kDvdFolderKeptText[] =
    "The DVD folder in the export folder was kept as it was; no DVD image was made.";

struct ProgressBarState {
    int maximum = 100;
    int position = 0;
    bool operator==(const ProgressBarState&) const = default;
};

// The bar for `percent` of stage `stage` (from 0) of `stages`: range
// 0 .. 100 x stages, position stage x 100 + the percent, truncated. Values
// out of range are brought into it.
ProgressBarState DvdProgressBar(float percent, int stage, int stages);

inline constexpr const char* kCreatingDvdImageText = "Creating DVD Image Now...";

struct RunContext;

class DvdImageBuild {
public:
    // The SDK is loaded from `programFolder`; the description file is
    // written to `writableFolder`, which an installed program folder is not.
    // `context` keeps the window live while the SDK builds and asks the
    // user's questions.
    DvdImageBuild(RunContext& context, std::string programFolder, std::string writableFolder,
                  std::string exportFolder, DvdBuildDisplay& display);

    // The single-title build: non-zero on success; 0 without calling the
    // SDK when the file does not exist.
    int BuildDvdImage(const std::string& file);
    // entries[0] is the menu clip (or the only title), entry i + 1 title i
    // with button i. Returns the SDK's result; 0 for no entries.
    int BuildFromTitles(const std::vector<std::string>& entries,
                        const std::vector<ButtonRect>& buttons);

    // Why the last build returned 0.
    const std::string& FailureText() const { return failure_; }
    // Where a successful build put the DVD-Video folder.
    std::string VideoFolder() const { return exportFolder_ + "DVD/VIDEO_TS/"; }

private:
    int RunSdk(const std::vector<std::string>& inputs);
    int Fail(std::string text);
    static int OnProgress(void* context, float percent, int stage, int stages);

    std::string DescriptionPath() const { return writableFolder_ + kDvdDescriptionName; }

    RunContext& context_;
    std::string programFolder_;
    std::string writableFolder_;
    std::string exportFolder_;
    DvdBuildDisplay& display_;
    std::string failure_;
    // The running build's SDK and builder, for the progress callback.
    struct Running;
    Running* running_ = nullptr;
};
