// A filter of an open-file dialog as the program's dialogs list them: the
// text shown and the name patterns it lets through.
#pragma once

#include <string_view>

struct FileFilter {
    std::string_view description;
    std::string_view patterns;  // separated by ";"
};
