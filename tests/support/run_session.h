// A test's own run context: its activity log, and a user interface that
// is the test's (or, without one, the console's, which answers No).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/tools/activity_log.h"
#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"

namespace test {

// For runs that must neither show a message nor ask: either is a failure.
class FailingUi : public ProgramUi {
public:
    void ShowMessage(const std::string& text, const std::string&) override {
        ADD_FAILURE() << "message box: " << text;
    }
    bool AskYesNo(const std::string& question) override {
        ADD_FAILURE() << "question: " << question;
        return false;
    }
    void DispatchPendingMessages() override {}
};

struct RunSession {
    RunSession() : RunSession(console) {}
    explicit RunSession(ProgramUi& ui) : context(ui, log) {}

    ConsoleUi console;
    ActivityLog log;
    RunContext context;
};

}  // namespace test
