// One INI file read and written key by key. Every call goes to the file, so a
// value written here is seen at once by every other reader, including the
// conversion host in another process.
#pragma once

#include <string>

class SettingsFile {
public:
    // "zarvo.ini" in the folder of the writable files (platform::WritableFolder).
    SettingsFile();

    // Refers to `path` as given (profile files and the job file are opened so).
    void SetFile(std::string path);
    const std::string& Path() const { return path_; }

    // The value, or "" when absent; values are cut at 4095 characters.
    std::string ReadString(const std::string& section, const std::string& key) const;
    // The value as a decimal number; 0 when absent or not a number.
    int ReadInt(const std::string& section, const std::string& key) const;
    // The value as a decimal number, or `defaultValue` when absent or empty.
    double ReadReal(const std::string& section, const std::string& key, double defaultValue) const;

    bool WriteString(const std::string& section, const std::string& key,
                     const std::string& value) const;
    bool WriteInt(const std::string& section, const std::string& key, int value) const;

private:
    std::string path_;
};
