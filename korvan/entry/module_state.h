// The library runs one conversion per process on the host's thread; what it
// keeps between calls lives here, in one named place.
#pragma once

#include <string>

#include "korvan/media/source_classification.h"

namespace korvan {

struct ModuleState {
    // The folder of the host program that loaded the library, with "/".
    std::string hostFolder;
    // Where the files the library reads and writes beside the program live
    // ("zarvo.ini", "avicode.dat"): the host's folder in a build tree, the
    // user's own folder when the program is installed. Ends in "/".
    std::string writableFolder;
    // What the last RealMedia test found about an input.
    media::RealMediaFlags realMediaFlags;
};

ModuleState& State();

}  // namespace korvan
