// The builder behind the SDK's functions: reads the description, makes each
// file DVD-compliant, puts the menu's buttons into the menu video, and has
// dvdauthor write the VIDEO_TS folder, reporting progress stage by stage.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "sdk/foximager/disc_description.h"
#include "sdk/foximager/fox_imager.h"
#include "sdk/foximager/media_facts.h"
#include "sdk/foximager/program_stream_scan.h"
#include "sdk/foximager/title_preparation.h"
#include "sdk/foximager/tool_run.h"

namespace foximager {

class ImageBuilder {
public:
    bool LoadDescription(const std::string& path);
    bool SetOutputFolder(const std::string& folder);
    void SetProgressCallback(DVDImageBuildProgressCallback callback, void* context);

    // Returns when the folder is written, the build has failed, or it was
    // stopped; false in the last two cases, with the reason in ErrorText.
    bool Build();
    // May be called from the progress callback or from another thread.
    void Stop() { stopRequested_ = true; }
    bool Building() const { return building_; }

    const std::string& ErrorText() const { return error_; }
    void SetErrorText(std::string text) { error_ = std::move(text); }
    const std::string& AuthoringLog() const { return authoringLog_; }

private:
    struct Entry {
        std::string file;
        TitleRole role = TitleRole::kTitle;
        MediaFacts facts;
        bool probed = false;
        std::string prepared;  // what dvdauthor gets
        MediaFacts preparedFacts;
        bool wide = false;
    };

    bool Run(const std::string& workFolder);
    bool Prepare(Entry& entry, const std::string& workName);
    // The entry's DVD-compliant copy is `output`.
    bool Prepared(Entry& entry, const std::string& output);
    // Walks the file's packs, reporting the walk as the stage's first part;
    // false when the build was stopped.
    bool WalkStream(const std::string& file, ProgramStreamFacts& facts);
    // Draws the menu's button frames and starts spumux on the menu; the
    // next stage waits for it.
    bool StartButtons(const Entry& menu, const std::string& workFolder, ToolRun& run);
    bool FinishButtons(Entry& menu, const std::string& workFolder, ToolRun& run);
    bool Author(const std::string& workFolder);
    // Runs one tool of the current stage; `percentOf` turns each line into
    // the stage's percent (or a negative number for "no news").
    bool RunStageTool(const std::string& tool, std::vector<std::string> words,
                      const platform::StandardFiles& files,
                      const std::function<double(std::string_view)>& percentOf,
                      ToolOutcome& outcome);
    bool FinishStageTool(const std::string& tool, ToolRun& run,
                         const std::function<double(std::string_view)>& percentOf,
                         ToolOutcome& outcome);
    // Reports the percent of the current stage; false once a stop is asked.
    bool Report(double percent);
    bool Fail(std::string text);
    void RemoveDvdFolders() const;
    // A title or menu file inside the folders a build rewrites, or "".
    std::string InputInDvdFolders() const;

    std::optional<DiscDescription> description_;
    std::string descriptionError_ = "No description has been loaded.";
    std::string outputFolder_;
    DVDImageBuildProgressCallback callback_ = nullptr;
    void* context_ = nullptr;

    std::atomic<bool> stopRequested_ = false;
    bool building_ = false;
    std::string error_;
    std::string authoringLog_;
    VideoStandard standard_ = VideoStandard::kPal;
    std::vector<Entry> entries_;
    int stage_ = 0;
    int stages_ = 1;
    double percent_ = 0;
};

}  // namespace foximager
