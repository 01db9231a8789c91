#include "app/window/program_hand_offs.h"

#include "app/disc/dvd_image_build.h"
#include "app/window/main_window_model.h"

ProgramHandOffs::ProgramHandOffs(RunContext& context, MainWindowModel& window)
    : context_(context), window_(window) {}

int ProgramHandOffs::BuildDvdImage(const std::string& file, const std::string& exportFolder) {
    DvdImageBuild build(context_, window_.ProgramFolder(), window_.WritableFolder(), exportFolder,
                        window_.DvdImageDisplay());
    const int result = build.BuildDvdImage(file);
    dvdImageFailure_ = result == 0 ? build.FailureText() : std::string();
    return result;
}

void ProgramHandOffs::OpenBurningWindow(DiscKind kind, const std::vector<std::string>& files) {
    window_.RunBurningWindow(kind, files);
}
