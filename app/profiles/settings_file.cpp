#include "app/profiles/settings_file.h"

#include <charconv>

#include "contracts/program_settings.h"
#include "platform/private_profile.h"
#include "platform/writable_files.h"

namespace {

constexpr std::size_t kStringBufferBytes = 4096;
constexpr std::size_t kRealBufferBytes = 999;

}  // namespace

SettingsFile::SettingsFile() : path_(platform::WritableFilePath(program_settings::kFileName)) {}

void SettingsFile::SetFile(std::string path) { path_ = std::move(path); }

std::string SettingsFile::ReadString(const std::string& section, const std::string& key) const {
    return platform::GetPrivateProfileString(section, key, "", kStringBufferBytes, path_);
}

int SettingsFile::ReadInt(const std::string& section, const std::string& key) const {
    return platform::GetPrivateProfileInt(section, key, 0, path_);
}

double SettingsFile::ReadReal(const std::string& section, const std::string& key,
                              double defaultValue) const {
    // A sentinel that no number can be tells an absent key from a present one.
    const std::string absent = "#absent#";
    std::string value =
        platform::GetPrivateProfileString(section, key, absent, kRealBufferBytes, path_);
    if (value == absent || value.empty()) return defaultValue;
    // The leading number, read the same in every locale; none gives 0.
    const char* begin = value.c_str();
    if (*begin == '+') ++begin;
    double number = 0;
    std::from_chars(begin, value.c_str() + value.size(), number);
    return number;
}

bool SettingsFile::WriteString(const std::string& section, const std::string& key,
                               const std::string& value) const {
    return platform::WritePrivateProfileString(section, key, value, path_);
}

bool SettingsFile::WriteInt(const std::string& section, const std::string& key, int value) const {
    return WriteString(section, key, std::to_string(value));
}
