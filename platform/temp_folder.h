// The per-user folder that holds the program's fixed temporary names, so
// that two users of one machine never share them. Its path never holds a
// blank, so tool command lines built by concatenation can carry it unquoted.
#pragma once

#include <string>

namespace platform {

// The folder with a trailing "/", created with mode 0700 on first use.
// Empty when no safe folder can be made (the caller's file operations in it
// then fail and are reported as such). In a program that made a
// ProgramTempFolder, and in the tools and hosts it starts, it is that one.
const std::string& TempFolder();

// The program's own folder for its temporary names inside the user's one,
// handed to the processes it starts through the environment, so that two
// programs running at once never share a temporary name while a program and
// its conversion host still meet in one folder. Made first thing in main(),
// before anything asks for TempFolder(); it goes, with whatever is left in
// it, when the object does.
class ProgramTempFolder {
public:
    ProgramTempFolder();
    ~ProgramTempFolder();
    ProgramTempFolder(const ProgramTempFolder&) = delete;
    ProgramTempFolder& operator=(const ProgramTempFolder&) = delete;

private:
    std::string path_;
};

// The same rule for a given base folder, for tests: base + "/zarvo-UID/" when
// the base has no blank, is usable and the folder is ours; else empty.
std::string MakePrivateFolder(const std::string& base);

// A folder of one run's own inside TempFolder(), so that runs side by side
// never share the fixed names of their temporary files. It goes, with
// whatever is left in it, when the object does.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // With a trailing "/"; empty when no folder could be made.
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace platform
