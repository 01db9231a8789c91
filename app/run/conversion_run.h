// What one "Convert Now!" converts, fixed when it is pressed: the inputs,
// the names wanted for their outputs, the target's profile read once, the
// export folder and whether the outputs are joined. The queue runs it
// without asking the window anything; the command-line program makes one
// the same way.
#pragma once

#include <string>
#include <vector>

#include "app/profiles/encoder_options.h"

// The export folder in the home folder when the settings name none.
inline constexpr char kDefaultExportFolderName[] = "ZarvoExport";

struct ConversionRun {
    // The list's files in order, or the VOBs of one DVD title.
    std::vector<std::string> inputs;
    // The inputs are one DVD title, converted into one output.
    bool dvdTitle = false;
    // The title's audio stream id ("0x81"); "" for its first.
    std::string dvdAudioStreamId;
    // The path each input's output would have (one for a DVD title); the
    // queue takes another name where this one is not free.
    std::vector<std::string> outputs;
    EncoderProfile profile;
    // Ends in "/".
    std::string exportFolder;
    // The outputs are joined into the first (always for the DVD target).
    bool merge = false;
};

// The run of `inputs` with `profile` into `exportFolder` (which ends in
// "/"): each output named after its input with the profile's extension.
ConversionRun MakeFileRun(std::vector<std::string> inputs, const EncoderProfile& profile,
                          std::string exportFolder, bool merge);
// The run of one DVD title's VOBs, named after its first.
ConversionRun MakeDvdTitleRun(std::vector<std::string> vobs, std::string audioStreamId,
                              const EncoderProfile& profile, std::string exportFolder);
