#include "app/profiles/profile_files.h"

#include <algorithm>

#include "app/profiles/settings_file.h"

namespace {

constexpr std::array<std::string_view, kTargetCount> kProfileFileNames = {
    "AviProfile.ini",    "MpegProfile.ini", "WMVProfile.ini",  "",
    "DVDProfile.ini",    "3GPProfile.ini",  "iPodProfile.ini", "PSPProfile.ini",
    "iPhoneProfile.ini", "ZuneProfile.ini"};

// The order in which the files have always been loaded.
constexpr std::array<int, 9> kLoadOrder = {kTarget3gp,    kTargetIpod, kTargetPsp,
                                           kTargetIphone, kTargetZune, kTargetAvi,
                                           kTargetMpeg,   kTargetWmv,  kTargetDvd};

std::string SectionOf(int index) { return "Profile" + std::to_string(index); }

SettingsFile FileOf(const std::string& path) {
    SettingsFile file;
    file.SetFile(path);
    return file;
}

bool IsWindowsMediaCodec(int version) { return version >= 6 && version <= 8; }

}  // namespace

std::string_view ProfileFileName(int target) {
    if (target < 0 || target >= kTargetCount) return {};
    return kProfileFileNames[static_cast<std::size_t>(target)];
}

int FileTypeForTarget(int target, const Profile& profile) {
    switch (target) {
        case kTargetAvi:
            return 5;
        case kTargetMpeg:
            return 6;
        case kTargetIpod:
        case kTargetIphone:
            return 2;
        case kTargetPsp:
            return 3;
        case kTargetWmv:
        case kTargetZune:
            return IsWindowsMediaCodec(profile.version) ? 4 : 2;
        default:
            return profile.fileType;
    }
}

ProfileFiles::ProfileFiles(std::string folder) : folder_(std::move(folder)) {}

std::string ProfileFiles::PathOf(int target) const {
    std::string_view name = ProfileFileName(target);
    return name.empty() ? std::string() : folder_ + std::string(name);
}

void ProfileFiles::LoadAll(ProfileTables& tables) const {
    for (int target : kLoadOrder) tables[static_cast<std::size_t>(target)] = Load(target);
}

ProfileTable ProfileFiles::Load(int target) const {
    ProfileTable table;
    const SettingsFile file = FileOf(PathOf(target));
    table.count = std::clamp(file.ReadInt("common", "profiles"), 0, kMaxProfiles);
    for (int i = 0; i < table.count; ++i) {
        const std::string section = SectionOf(i);
        Profile& p = table.profiles[static_cast<std::size_t>(i)];
        p.name = file.ReadString(section, "Name");
        p.description = file.ReadString(section, "Description");
        p.comment = file.ReadString(section, "Comment");
        p.frameWidth = file.ReadInt(section, "FrameWidth");
        p.frameHeight = file.ReadInt(section, "FrameHeight");
        p.videoBitrate = file.ReadInt(section, "VideoBitrate");
        p.audioBitrate = file.ReadInt(section, "AudioBitrate");
        p.audioChannels = file.ReadInt(section, "AudioChannels");
        p.audioFrequency = file.ReadInt(section, "AudioFrequency");
        p.version = file.ReadInt(section, "Version");
        p.frameRate = file.ReadInt(section, "FrameRate");
        // DVD records leave these two out; they are read from the file
        // when a conversion needs them.
        if (target != kTargetDvd) {
            p.audioFormat = file.ReadInt(section, "AudioFormat");
            p.fileType = file.ReadInt(section, "FileType");
        }
    }
    return table;
}

std::string ProfileFiles::ReadString(int target, int index, std::string_view key) const {
    return FileOf(PathOf(target)).ReadString(SectionOf(index), std::string(key));
}

int ProfileFiles::ReadInt(int target, int index, std::string_view key) const {
    return FileOf(PathOf(target)).ReadInt(SectionOf(index), std::string(key));
}

int ProfileFiles::StoredCount(int target) const {
    return FileOf(PathOf(target)).ReadInt("common", "profiles");
}

ProfileWrite ProfileFiles::Write(int target, int index, const Profile& profile) const {
    if (index < 0 || index >= StoredCount(target)) return ProfileWrite::kBeyondStoredCount;
    return WriteSection(target, index, profile) ? ProfileWrite::kWritten : ProfileWrite::kFailed;
}

bool ProfileFiles::WriteSection(int target, int index, const Profile& p) const {
    if (index < 0) return false;
    const SettingsFile file = FileOf(PathOf(target));
    const std::string section = SectionOf(index);
    return file.WriteString(section, "Name", p.name) &&
           file.WriteString(section, "Description", p.description) &&
           file.WriteString(section, "Comment", p.comment) &&
           file.WriteInt(section, "FrameWidth", p.frameWidth) &&
           file.WriteInt(section, "FrameHeight", p.frameHeight) &&
           file.WriteInt(section, "VideoBitrate", p.videoBitrate) &&
           file.WriteInt(section, "AudioBitrate", p.audioBitrate) &&
           file.WriteInt(section, "AudioChannels", p.audioChannels) &&
           file.WriteInt(section, "AudioFrequency", p.audioFrequency) &&
           file.WriteInt(section, "AudioFormat", p.audioFormat) &&
           file.WriteInt(section, "Version", p.version) &&
           file.WriteInt(section, "FrameRate", p.frameRate) &&
           file.WriteInt(section, "FileType", FileTypeForTarget(target, p));
}

bool ProfileFiles::WriteCount(int target, int count) const {
    return FileOf(PathOf(target)).WriteInt("common", "profiles", count);
}
