#include "app/run/output_name.h"

#include "app/profiles/conversion_target.h"
#include "app/profiles/value_lists.h"
#include "platform/file_names.h"

std::string OutputNameFor(std::string_view path, int target, int fileType) {
    const auto info = InfoOfTarget(target);
    const std::string extension = info && !info->shownExtension.empty()
                                      ? std::string(info->shownExtension)
                                      : FileTypeExtension(fileType);
    return platform::BaseName(path) + extension;
}

std::string ConvertedFilePath(const std::string& exportFolder, std::string_view path,
                              int fileType) {
    return exportFolder + platform::BaseName(path) + FileTypeExtension(fileType);
}

std::string NumberedName(const std::string& path, int number) {
    const std::size_t nameStart = path.rfind('/') + 1;
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) dot = path.size();
    return path.substr(0, dot) + " (" + std::to_string(number) + ")" + path.substr(dot);
}
