// The nine profile files beside the settings file: loading them into tables,
// reading single keys straight from a file, and writing profiles back.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "app/profiles/conversion_target.h"
#include "app/profiles/profile.h"

using ProfileTables = std::array<ProfileTable, kTargetCount>;

enum class ProfileWrite {
    kWritten,
    kBeyondStoredCount,  // skipped: the section is not one the file lists
    kFailed,             // the file could not be written
};

// The profile file of a target, or "" for the reserved index and indices
// outside 0..9.
std::string_view ProfileFileName(int target);

// The FileType a profile gets when it is written, decided by the target:
// AVI 5, MPEG 6, iPod and iPhone 2, PSP 3, WMV and Zune 4 for the Windows
// Media codecs and 2 otherwise; 3GP keeps its own choice; DVD keeps its own.
int FileTypeForTarget(int target, const Profile& profile);

class ProfileFiles {
public:
    // The files are in `folder` (the folder of the writable files).
    explicit ProfileFiles(std::string folder);

    std::string PathOf(int target) const;

    // Fills every table from its file; a missing file gives an empty table,
    // a count above 20 loads the first 20.
    void LoadAll(ProfileTables& tables) const;
    // The one target's table, the same way.
    ProfileTable Load(int target) const;

    // One key of section "Profile<index>", read from the file at this moment.
    std::string ReadString(int target, int index, std::string_view key) const;
    int ReadInt(int target, int index, std::string_view key) const;

    // The count stored in [common] profiles.
    int StoredCount(int target) const;

    // Writes every key of the profile into section "Profile<index>", with the
    // target's FileType rule applied. Nothing is written when the index is not
    // below the stored count: a profile that exists only in memory stays so.
    ProfileWrite Write(int target, int index, const Profile& profile) const;
    // The same whatever the stored count, for a profile being added: its
    // section is written before the count is raised.
    bool WriteSection(int target, int index, const Profile& profile) const;
    bool WriteCount(int target, int count) const;

private:
    std::string folder_;
};
