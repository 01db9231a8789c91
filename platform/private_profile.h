// INI files read and written key by key, the way the program's settings, its
// profile files and the job file shared with the conversion host expect:
//
// - every call opens the file; nothing is cached, so a value written by one
//   process is seen by the next call of any other;
// - an absent file, section or key gives the caller's default;
// - section and key names are compared without regard to case;
// - lines the reader does not understand are kept as they are;
// - values longer than the caller's buffer are cut.
//
// Two guarantees go beyond what the original functions gave: a write replaces
// the file in one rename, so a reader never sees half a file, and writes are
// serialised by an advisory lock, so two processes writing different keys of
// one file at once lose neither key.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Returns the value of `key`, or `defaultValue` when the file, the section or
// the key is absent. The result holds at most bufferSize - 1 characters.
// A value enclosed in a pair of matching quotes is returned without them.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue, std::size_t bufferSize,
                                    const std::string& path);

// The value read as a leading decimal number (optional sign). An absent key
// gives `defaultValue`; a present value without digits gives 0.
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::string& path);

// Writes `key`=`value` into `section`, creating the file, the section or the
// key as needed; every other line stays as it was. Returns false when nothing
// was written: the file or its folder is not writable, the disk is full, or a
// name or value holds a line break (it would forge other keys).
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::string_view value, const std::string& path);

// Removes one key, or a whole section with all its lines. Absent names are not
// an error.
bool DeletePrivateProfileKey(std::string_view section, std::string_view key,
                             const std::string& path);
bool DeletePrivateProfileSection(std::string_view section, const std::string& path);

// Section names in file order (duplicates once, as first written).
std::vector<std::string> GetPrivateProfileSectionNames(const std::string& path);

}  // namespace platform
