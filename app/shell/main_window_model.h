// The main window's state, without any drawing: what the Qt window shows and
// what its commands change. Tests drive it without a display.
#pragma once

#include <string>

#include "app/profiles/profile_files.h"
#include "app/shell/conversion_target.h"
#include "app/shell/settings_file.h"

class MainWindowModel {
public:
    // Loads every profile file, so profiles exist before any window does.
    explicit MainWindowModel(const std::string& programFolder);
    // Deletes the trim marks ("*.clip") left in the export folder.
    ~MainWindowModel();
    MainWindowModel(const MainWindowModel&) = delete;
    MainWindowModel& operator=(const MainWindowModel&) = delete;

    // What the window does when it is first shown: the title, the export
    // folder (created when missing) and the temporary folder, merging off.
    void Initialise();

    static constexpr int kWidth = 680;

    const std::string& Title() const { return title_; }
    const std::string& ExportFolder() const { return exportFolder_; }
    // The folder for the fixed temporary names ("aa.mpg", ...).
    const std::string& DriveRoot() const { return driveRoot_; }
    int Target() const { return target_; }
    int SelectedFile() const { return selectedFile_; }
    int SelectedProfile() const { return selectedProfile_; }
    int Merge() const { return merge_; }
    bool Converting() const { return converting_; }
    bool DvdSourceMode() const { return dvdSourceMode_; }
    const ProfileTables& Profiles() const { return profiles_; }
    const ProfileTable& CurrentProfiles() const;

    // The click on "Merge": 0 becomes 1, 1 becomes 0.
    void ToggleMerge() { merge_ = merge_ ? 0 : 1; }

private:
    SettingsFile settings_;
    ProfileFiles profileFiles_;
    ProfileTables profiles_{};
    std::string title_;
    std::string exportFolder_;
    std::string driveRoot_;
    int target_ = kTargetAvi;
    int selectedFile_ = -1;
    int selectedProfile_ = 0;
    int merge_ = 1;
    bool converting_ = false;
    bool dvdSourceMode_ = false;
};
