#include "app/tools/program_ui.h"

#include <cstdio>

namespace {

class ConsoleUi : public ProgramUi {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ",
                     text.c_str());
    }
    void DispatchPendingMessages() override {}
};

ConsoleUi consoleUi;
ProgramUi* installed = nullptr;

}  // namespace

ProgramUi* InstallProgramUi(ProgramUi* ui) {
    ProgramUi* previous = installed;
    installed = ui;
    return previous;
}

ProgramUi& CurrentProgramUi() { return installed ? *installed : consoleUi; }
