// The names of a job's outputs.
#pragma once

#include <string>

#include "korvan/entry/media_dispatch.h"

namespace korvan {

// The name of the follow-on file number `splitCount` (1, 2, ...) of an output
// cut at a size or duration limit: movie.mpg continues as movie001.mpg, then
// movie002.mpg. `current` is the name the previous piece was written under.
std::string SplitOutputName(const std::string& current, int splitCount);

// The output of an input in the export folder: the program's planned result
// when it gave one (it alone knows which names its own next step uses), else
// the input's base name with the output's extension. Never the input itself.
std::string OutputNameFor(const std::string& exportFolder, const std::string& input,
                          const std::string& plannedResult, OutputForm form);

// The sound of an MP3 job: export folder + the output's base name + ".mp3".
std::string Mp3NameFor(const std::string& exportFolder, const std::string& output);

}  // namespace korvan
