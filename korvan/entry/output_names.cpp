#include "korvan/entry/output_names.h"

#include <cstdio>

#include "platform/file_names.h"

namespace korvan {

std::string SplitOutputName(const std::string& current, int splitCount) {
    const std::size_t dot = current.rfind('.');
    const std::size_t slash = current.rfind('/');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string base = hasExtension ? current.substr(0, dot) : current;
    // The second and later pieces replace the number of the one before.
    if (splitCount >= 2 && base.size() >= 3) base.resize(base.size() - 3);
    char number[16];
    std::snprintf(number, sizeof number, "%03d", splitCount);
    return base + number + ".mpg";
}

std::string OutputNameFor(const std::string& exportFolder, const std::string& input,
                          const std::string& plannedResult, OutputForm form) {
    const std::string extension = form == OutputForm::kAvi ? ".avi" : ".mpg";
    std::string name = plannedResult.empty() ? exportFolder + platform::BaseName(input) + extension
                                             : plannedResult;
    // An input that already lies in the export folder under that name must
    // not be written over by its own conversion.
    if (name == input) name = exportFolder + platform::BaseName(input) + "_korvan" + extension;
    return name;
}

std::string Mp3NameFor(const std::string& exportFolder, const std::string& output) {
    return exportFolder + platform::BaseName(output) + ".mp3";
}

}  // namespace korvan
