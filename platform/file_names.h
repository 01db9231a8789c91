// File names as the program uses them: profile names matched without regard
// to case (the files come from systems that ignore it), and the base-name
// rule of its paths.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// The path of an existing file whose last component equals the given one
// without regard to case, preferring an exact match. When no file matches,
// the path is returned unchanged, so that a write creates it under that name.
std::string ResolveFileName(const std::string& path);

// The text between the last "/" and the last "." of a path ("a/Clip.x.mp4"
// gives "Clip.x"); the whole last component when it has no ".".
std::string BaseName(std::string_view path);

// The last component of a path, extension included.
std::string FileName(std::string_view path);

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix);

// The folder path with a trailing "/" (empty stays empty).
std::string WithTrailingSlash(std::string folder);

// True when both paths name one existing file (however they spell it:
// links, "..", another case on a case-blind file system).
bool SameFile(const std::string& a, const std::string& b);

// Creates the folder (`folder` ends in "/") when needed and hands every file
// in it (not sub-folders) to `remove`, which unlinks it by default.
void MakeEmptyFolder(const std::string& folder,
                     const std::function<void(const std::string&)>& remove = {});

}  // namespace platform
