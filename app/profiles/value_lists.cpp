#include "app/profiles/value_lists.h"

#include <string>

std::string_view FileTypeFormatName(int fileType) {
    return ValueAt(kFileTypes, fileType).formatName;
}

std::string FileTypeExtension(int fileType) {
    return "." + std::string(ValueAt(kFileTypes, fileType).extensionName);
}
