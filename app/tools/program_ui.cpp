#include "app/tools/program_ui.h"

#include <cstdio>

void ConsoleUi::ShowMessage(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
}

bool ConsoleUi::AskYesNo(const std::string& question) {
    std::fprintf(stderr, "%s No\n", question.c_str());
    return false;
}
