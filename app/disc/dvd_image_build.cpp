#include "app/disc/dvd_image_build.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "app/disc/fox_imager_library.h"
#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"

namespace {

namespace fs = std::filesystem;

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// True when `path` names something inside `folder` (both made absolute and
// free of "." and ".." first; links are followed where they exist).
bool IsInside(const std::string& path, std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::error_code error;
    const fs::path file = fs::weakly_canonical(path, error);
    if (error) return false;
    const fs::path root = fs::weakly_canonical(folder, error);
    if (error) return false;
    return std::mismatch(root.begin(), root.end(), file.begin(), file.end()).first == root.end();
}

// Deletes every file in the folder and the folders below it; the folders
// stay.
void DeleteFilesBelow(const std::string& folder) {
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (!it->is_directory(ignored)) fs::remove(it->path(), ignored);
    }
}

}  // namespace

ProgressBarState DvdProgressBar(float percent, int stage, int stages) {
    stages = std::max(stages, 1);
    stage = std::clamp(stage, 0, stages - 1);
    const float clamped = std::isfinite(percent) ? std::clamp(percent, 0.0f, 100.0f) : 0.0f;
    return {100 * stages, stage * 100 + static_cast<int>(clamped)};
}

struct DvdImageBuild::Running {
    FoxImagerLibrary& sdk;
    DVDImageBuildHandle builder;
    bool stopSent = false;
};

DvdImageBuild::DvdImageBuild(RunContext& context, std::string programFolder,
                             std::string writableFolder, std::string exportFolder,
                             DvdBuildDisplay& display)
    : context_(context),
      programFolder_(std::move(programFolder)),
      writableFolder_(std::move(writableFolder)),
      exportFolder_(std::move(exportFolder)),
      display_(display) {}

int DvdImageBuild::Fail(std::string text) {
    failure_ = std::move(text);
    return 0;
}

int DvdImageBuild::BuildDvdImage(const std::string& file) {
    failure_.clear();
    if (!IsFile(file)) return Fail("The file " + file + " does not exist.");
    display_.SetBuilding(true);
    display_.ShowBuildStatus(kCreatingDvdImageText);
    int result = 0;
    if (!WriteSingleTitleDescription(DescriptionPath(), file)) {
        Fail("The description " + DescriptionPath() + " cannot be written.");
    } else {
        result = RunSdk({file});
    }
    display_.SetBuildProgress(100, 0);
    display_.SetBuilding(false);
    return result;
}

int DvdImageBuild::BuildFromTitles(const std::vector<std::string>& entries,
                                   const std::vector<ButtonRect>& buttons) {
    failure_.clear();
    if (entries.empty()) return Fail("There is no title to put on the DVD.");
    if (!WriteTitlesDescription(DescriptionPath(), entries, buttons)) {
        return Fail("The description " + DescriptionPath() + " cannot be written.");
    }
    display_.SetBuilding(true);
    const int result = RunSdk(entries);
    display_.SetBuildProgress(100, 0);
    display_.SetBuilding(false);
    return result;
}

int DvdImageBuild::RunSdk(const std::vector<std::string>& inputs) {
    const std::string dvdFolder = exportFolder_ + "DVD/";
    // The folder is emptied before the build: an input in it would be lost.
    for (const std::string& input : inputs) {
        if (IsInside(input, dvdFolder)) {
            return Fail("The file " + input + " lies in the folder the DVD is written to (" +
                        dvdFolder + "); move it elsewhere first.");
        }
    }
    // The folder may hold the disc the user built a minute ago.
    std::error_code error;
    if (std::filesystem::exists(dvdFolder + "VIDEO_TS", error) &&
        !context_.ui.AskYesNo(kReplaceDvdFolderQuestion)) {
        return Fail(kDvdFolderKeptText);
    }
    FoxImagerLibrary sdk(programFolder_);
    if (!sdk.Loaded()) return Fail(sdk.LoadError());
    DeleteFilesBelow(dvdFolder);

    const DVDImageBuildHandle builder = sdk.Create();
    if (!builder) return Fail("The DVD image library could not make a builder.");
    const std::string description = DescriptionPath();
    sdk.LoadINI(builder, description.c_str());
    sdk.SetOutputFolder(builder, exportFolder_.c_str());
    Running running{sdk, builder};
    running_ = &running;
    sdk.SetProgressCallback(builder, &DvdImageBuild::OnProgress, this);
    const int result = sdk.BuildDVD(builder);
    running_ = nullptr;
    if (result == 0) Fail(sdk.GetErrorText(builder));
    sdk.Destory(builder);
    return result;
}

int DvdImageBuild::OnProgress(void* context, float percent, int stage, int stages) {
    auto* self = static_cast<DvdImageBuild*>(context);
    const ProgressBarState bar = DvdProgressBar(percent, stage, stages);
    self->display_.SetBuildProgress(bar.maximum, bar.position);
    self->context_.ui.DispatchPendingMessages();
    Running* running = self->running_;
    if (running && !running->stopSent && self->display_.BuildStopRequested()) {
        running->stopSent = true;
        running->sdk.StopBuildDVD(running->builder);
    }
    return 1;
}
