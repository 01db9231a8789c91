#include "app/shell/main_window_model.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

#include "app/shell/startup.h"
#include "platform/file_names.h"
#include "platform/temp_folder.h"

namespace {

void DeleteClipFiles(const std::string& folder) {
    if (folder.empty()) return;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) return;
    while (const dirent* entry = readdir(dir.get())) {
        if (!platform::EndsWithIgnoringCase(entry->d_name, ".clip")) continue;
        const std::string path = folder + entry->d_name;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(path.c_str());
    }
}

}  // namespace

MainWindowModel::MainWindowModel(const std::string& programFolder) : profileFiles_(programFolder) {
    settings_.SetFile(programFolder + "zarvo.ini");
    profileFiles_.LoadAll(profiles_);
}

MainWindowModel::~MainWindowModel() { DeleteClipFiles(exportFolder_); }

void MainWindowModel::Initialise() {
    title_ = WindowTitle(settings_);
    // Paths are built by appending names to the folder, so it must end in "/".
    exportFolder_ = platform::WithTrailingSlash(settings_.ReadString("common", "exportfolder"));
    if (!exportFolder_.empty()) mkdir(exportFolder_.c_str(), 0777);
    driveRoot_ = platform::TempFolder();
    ToggleMerge();
}

const ProfileTable& MainWindowModel::CurrentProfiles() const {
    return profiles_[static_cast<std::size_t>(target_)];
}
