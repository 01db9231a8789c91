// What a drop onto the file list adds: each dropped file as it is, and for a
// dropped folder the video files in it (not in its sub-folders), by name.
#pragma once

#include <string>
#include <vector>

// The files to add, in the order dropped; a folder's files sorted by name.
// Names that are neither a file nor a folder are left out.
std::vector<std::string> FilesOfDrop(const std::vector<std::string>& paths);

// True for a name whose extension is one of a video file's (any case).
bool HasVideoExtension(const std::string& path);
