// Where the files the program writes live: the settings file "zarvo.ini",
// the profile files, the job file shared with the conversion host, the DVD
// description file and the library's saved compressor choice. In a build tree
// that is the program folder, next to the program, as it always was; an
// installed program folder belongs to the system, so there every user has a
// folder of their own. The program, the library, the host and the SDK
// stand-ins all ask here, so they always meet in the same file.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// A file of this name in the program folder marks a system-wide
// installation: writable files then go to the per-user folder even for a
// user (root) who could write to the program folder.
inline constexpr char kSystemInstallMark[] = "per-user-settings";

// The folder, with a trailing "/", decided once per process by
// ChooseWritableFolder for the program folder and UserProfileFolder().
const std::string& WritableFolder();

// WritableFolder() + name.
std::string WritableFilePath(std::string_view name);

// The program folder when it carries no system-install mark and this user
// may write to it; else `userFolder`, created (mode 0700, with its parent)
// when missing. Both folders end in "/".
std::string ChooseWritableFolder(const std::string& programFolder, const std::string& userFolder);

// Puts a copy of `shipped` at `target` when no file of that name (without
// regard to case) is there yet; a file that is there is never replaced, not
// even by a newer shipped one, and a half-written copy is never seen under
// the target's name. True when the target exists afterwards.
bool SeedFile(const std::string& shipped, const std::string& target);

}  // namespace platform
