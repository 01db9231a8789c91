#include "app/shell/program_hand_offs.h"

#include "app/disc/dvd_image_build.h"
#include "app/shell/main_window_model.h"

ProgramHandOffs::ProgramHandOffs(MainWindowModel& window) : window_(window) {}

int ProgramHandOffs::BuildDvdImage(const std::string& file) {
    DvdImageBuild build(window_.ProgramFolder(), window_.WritableFolder(), window_.ExportFolder(),
                        window_.DvdImageDisplay());
    const int result = build.BuildDvdImage(file);
    dvdImageFailure_ = result == 0 ? build.FailureText() : std::string();
    return result;
}

void ProgramHandOffs::OpenBurningWindow(DiscKind kind, const std::vector<std::string>& files) {
    window_.RunBurningWindow(kind, files);
}
