// The per-user profile that stands in for win.ini: a few values a user sets
// once for all programs ("PALDefaults", "Batch", "MMXMode" of the encoder).
// Same semantics as the private-profile functions, on one per-user file.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// $XDG_CONFIG_HOME/zarvo/, or ~/.config/zarvo/, with a trailing "/". A bare
// file name that the Windows profile functions looked up beside win.ini (the
// encoder's "default.ini") is looked up here.
std::string UserProfileFolder();

// UserProfileFolder() + "win.ini".
std::string UserProfilePath();

std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, std::size_t bufferSize);
int GetProfileInt(std::string_view section, std::string_view key, int defaultValue);
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value);

}  // namespace platform
