// The conversion queue's hand-offs in the program: a DVD-target result
// becomes a DVD-Video folder through the image SDK, shown in the main
// window while it is built. The RealMedia host and the burning window are
// still those of PendingHandOffs.
#pragma once

#include <string>

#include "app/shell/queue_tools.h"

class MainWindowModel;

class ProgramHandOffs : public PendingHandOffs {
public:
    explicit ProgramHandOffs(MainWindowModel& window);

    int BuildDvdImage(const std::string& file) override;
    std::string DvdImageFailure() const override { return dvdImageFailure_; }

private:
    MainWindowModel& window_;
    std::string dvdImageFailure_;
};
