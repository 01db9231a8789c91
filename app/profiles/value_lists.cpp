#include "app/profiles/value_lists.h"

#include <string>

std::string_view FileTypeFormatName(int fileType) {
    return ValueAt(kFileTypes, fileType).formatName;
}

std::string FileTypeExtension(int fileType) {
    // Appended rather than `"." + std::string(...)`, which GCC 12 at -O3
    // mistakes for an overlapping copy (-Wrestrict).
    std::string extension(".");
    extension += ValueAt(kFileTypes, fileType).extensionName;
    return extension;
}
