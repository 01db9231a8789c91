#include "user_profile.h"

#include <sys/stat.h>

#include <cstdlib>

#include "private_profile.h"

namespace platform {

std::string UserProfileFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string folder;
    if (config && *config == '/') {
        folder = config;
        while (!folder.empty() && folder.back() == '/') folder.pop_back();
    } else if (home && *home) {
        folder = std::string(home) + "/.config";
    } else {
        folder = "/tmp";
    }
    return folder + "/zarvo/";
}

std::string UserProfilePath() { return UserProfileFolder() + "win.ini"; }

std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view defaultValue, std::size_t bufferSize) {
    return GetPrivateProfileString(section, key, defaultValue, bufferSize, UserProfilePath());
}

int GetProfileInt(std::string_view section, std::string_view key, int defaultValue) {
    return GetPrivateProfileInt(section, key, defaultValue, UserProfilePath());
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string path = UserProfilePath();
    const std::string folder = path.substr(0, path.rfind('/'));
    mkdir(folder.substr(0, folder.rfind('/')).c_str(), 0700);
    mkdir(folder.c_str(), 0700);
    return WritePrivateProfileString(section, key, value, path);
}

}  // namespace platform
