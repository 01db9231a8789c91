// The output-name rules: the name the window shows for an input, the path
// the conversion queue writes for a list entry, and the numbered names an
// output takes when that path is not free.
#pragma once

#include <string>
#include <string_view>

// The input's base name with the extension the window shows for the target:
// ".avi", ".mpg", ".wmv" for the fixed targets, else the extension of the
// selected profile's FileType (`fileType`, read from its file by the caller).
std::string OutputNameFor(std::string_view path, int target, int fileType);

// Export folder + the input's base name + the extension of `fileType`. The
// queue writes every output under this name, so the real extension follows
// the profile even where the window shows a fixed one.
std::string ConvertedFilePath(const std::string& exportFolder, std::string_view path, int fileType);

// The path with " (n)" before the extension of its file name:
// "/out/clip.avi" and 2 give "/out/clip (2).avi"; a name without "." gets
// it at the end.
std::string NumberedName(const std::string& path, int number);
