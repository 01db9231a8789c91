#include "file_moves.h"

#include <filesystem>
#include <system_error>

namespace platform {

namespace fs = std::filesystem;

bool PlaceStandIn(const std::string& source, const std::string& standIn) {
    std::error_code error;
    const fs::path target = fs::absolute(source, error);
    if (error || !RemoveName(standIn)) return false;
    fs::create_symlink(target, standIn, error);
    return !error;
}

bool MoveFileReplacing(const std::string& source, const std::string& target) {
    std::error_code error;
    fs::rename(source, target, error);
    if (!error) return true;
    if (error != std::errc::cross_device_link) return false;
    // Copied under a name of its own first, so that a copy cut short (a full
    // disk) never stands under the target's name, and a file that was there
    // stays until the new one is whole.
    const std::string part = target + ".part";
    if (fs::copy_file(source, part, fs::copy_options::overwrite_existing, error)) {
        fs::rename(part, target, error);
        if (!error) {
            fs::remove(source, error);
            return true;
        }
    }
    fs::remove(part, error);
    return false;
}

bool RemoveName(const std::string& path) {
    std::error_code error;
    fs::remove(path, error);
    return !fs::exists(fs::symlink_status(path, error));
}

}  // namespace platform
