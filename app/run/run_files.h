// The files of one conversion run. Its inputs are the user's: no step of the
// run writes to them, moves over them or deletes them, whatever name leads
// to them (a symbolic or a hard link counts as the file itself). Nor does it
// touch any other file it did not make: the names the run writes are claimed
// here, so that none of them is an input, a file that exists already (an
// earlier run's result) or the name of another of its files, and only
// claimed names are ever removed.
#pragma once

#include <string>
#include <vector>

#include "platform/file_identity.h"

class RunFiles {
public:
    // Why a wanted name was not free.
    enum class Clash { kNone, kInput, kClaimed, kExisting };
    struct Name {
        std::string path;
        Clash clash = Clash::kNone;  // of the wanted name; kNone when it is `path`
    };

    // Forgets the last run and takes these files as the inputs of the next.
    void Start(const std::vector<std::string>& inputs);

    // True when the path leads to one of the inputs.
    bool IsInput(const std::string& path) const;

    // `wanted` when it is free (no input, not claimed before, nothing there
    // now), else the first free of "<base> (2).<ext>", "<base> (3).<ext>",
    // ...; the name belongs to the run from now on.
    Name Claim(const std::string& wanted);
    // A file the run made under a name it was given rather than claimed
    // (the conversion host's result), so that the run may remove it.
    void Adopt(const std::string& path);

    // Deletes a file under a name the run claimed or adopted; anything else
    // stays, and the answer is false.
    bool Remove(const std::string& path) const;
    // Creates the folder when needed and deletes every file in it, read-only
    // ones included, but no input. Only for a folder of the run's own.
    void EmptyFolder(const std::string& folder) const;

private:
    struct Input {
        std::string resolvedPath;
        platform::FileIdentity identity;
    };
    bool IsClaimed(const std::string& path) const;
    bool RemoveUnlessInput(const std::string& path) const;

    std::vector<Input> inputs_;
    std::vector<std::string> claimed_;
};
