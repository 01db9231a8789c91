#include "app/disc/dvd_image_description.h"

#include "platform/private_profile.h"

namespace {

// The button's frame width, in hundredths of a pixel.
constexpr int kLineWidth = 500;

std::string Point(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

}  // namespace

bool WriteSingleTitleDescription(const std::string& path, const std::string& title) {
    return WriteTitlesDescription(path, {title}, {});
}

bool WriteTitlesDescription(const std::string& path, const std::vector<std::string>& entries,
                            const std::vector<ButtonRect>& buttons) {
    if (entries.empty() || buttons.size() + 1 < entries.size()) return false;
    const auto write = [&path](const std::string& section, const std::string& key,
                               const std::string& value) {
        return platform::WritePrivateProfileString(section, key, value, path);
    };
    bool written = write("Infos", "Menu", entries.front()) &&
                   write("Infos", "Selections", std::to_string(entries.size() - 1));
    for (std::size_t i = 1; written && i < entries.size(); ++i) {
        const std::string section = std::to_string(i - 1);
        const ButtonRect& b = buttons[i - 1];
        written = write(section, "file", entries[i]) &&
                  write(section, "TopLeft", Point(b.left, b.top)) &&
                  write(section, "RightBottom", Point(b.right, b.bottom)) &&
                  write(section, "Width", std::to_string(b.right - b.left)) &&
                  write(section, "Height", std::to_string(b.bottom - b.top)) &&
                  write(section, "LineWidth", std::to_string(kLineWidth));
    }
    return written;
}
