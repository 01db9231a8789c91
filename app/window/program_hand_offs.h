// The conversion queue's hand-offs in the program: a DVD-target result
// becomes a DVD-Video folder through the image SDK, shown in the main
// window while it is built, and then goes to the burning window like a
// SuperVCD or VideoCD result.
#pragma once

#include <string>
#include <vector>

#include "app/run/queue_tools.h"

class MainWindowModel;
struct RunContext;

class ProgramHandOffs : public PendingHandOffs {
public:
    ProgramHandOffs(RunContext& context, MainWindowModel& window);

    int BuildDvdImage(const std::string& file, const std::string& exportFolder) override;
    std::string DvdImageFailure() const override { return dvdImageFailure_; }
    void OpenBurningWindow(DiscKind kind, const std::vector<std::string>& files) override;

private:
    RunContext& context_;
    MainWindowModel& window_;
    std::string dvdImageFailure_;
};
