// Gives a test a per-user folder of its own (XDG_CONFIG_HOME) for as long as
// the object lives, so that what the program keeps per user ("default.ini",
// the per-user profile values) starts empty and stays apart from the user's.
#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"

namespace test {

class OwnConfigHome {
public:
    OwnConfigHome() {
        const char* saved = std::getenv("XDG_CONFIG_HOME");
        hadConfigHome_ = saved != nullptr;
        if (saved) savedConfigHome_ = saved;
        setenv("XDG_CONFIG_HOME", folder_.Folder().c_str(), 1);
        mkdir((folder_ / "zarvo").c_str(), 0700);
    }
    ~OwnConfigHome() {
        if (hadConfigHome_) {
            setenv("XDG_CONFIG_HOME", savedConfigHome_.c_str(), 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
    }
    OwnConfigHome(const OwnConfigHome&) = delete;
    OwnConfigHome& operator=(const OwnConfigHome&) = delete;

    std::string Folder() const { return folder_.Folder(); }

private:
    TempDir folder_{"config home ünïcode"};
    bool hadConfigHome_ = false;
    std::string savedConfigHome_;
};

}  // namespace test
