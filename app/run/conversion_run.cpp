#include "app/run/conversion_run.h"

#include "app/profiles/conversion_target.h"
#include "app/run/output_name.h"

ConversionRun MakeFileRun(std::vector<std::string> inputs, const EncoderProfile& profile,
                          std::string exportFolder, bool merge) {
    ConversionRun run;
    for (const std::string& input : inputs) {
        run.outputs.push_back(ConvertedFilePath(exportFolder, input, profile.fileType));
    }
    run.inputs = std::move(inputs);
    run.profile = profile;
    run.exportFolder = std::move(exportFolder);
    // A DVD holds one title, so the DVD target joins whatever it is given.
    run.merge = merge || profile.target == kTargetDvd;
    return run;
}

ConversionRun MakeDvdTitleRun(std::vector<std::string> vobs, std::string audioStreamId,
                              const EncoderProfile& profile, std::string exportFolder) {
    ConversionRun run;
    if (!vobs.empty()) {
        run.outputs.push_back(ConvertedFilePath(exportFolder, vobs.front(), profile.fileType));
    }
    run.inputs = std::move(vobs);
    run.dvdTitle = true;
    run.dvdAudioStreamId = std::move(audioStreamId);
    run.profile = profile;
    run.exportFolder = std::move(exportFolder);
    run.merge = profile.target == kTargetDvd;
    return run;
}
