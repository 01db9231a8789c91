// zarvo-convert's work once its command line is parsed: the lists it
// prints, the checks before anything starts, and the run itself — the same
// run "Convert Now!" makes, with the user's profiles and settings, through
// the same queue, its progress on the terminal and a summary at the end.
#pragma once

#include <ostream>
#include <string>

#include "app/cli/convert_options.h"
#include "app/cli/terminal_progress.h"

// Every file converted (or a list printed).
inline constexpr int kConvertExitDone = 0;
// A file failed, the run was stopped, or its DVD folder or image was not made.
inline constexpr int kConvertExitFailed = 1;
// The command line asks for what cannot be: nothing was started.
inline constexpr int kConvertExitUsage = 2;

struct ConvertEnvironment {
    // The tools, the shipped profiles and the SDKs; ends in "/".
    std::string programFolder;
    // The user's settings and profiles; ends in "/".
    std::string writableFolder;
    std::string homeFolder;
    // Progress and the summary.
    std::ostream& out;
    // Messages, questions with their answers, and the failures.
    std::ostream& err;
    ProgressOutput progressOutput = ProgressOutput::kPlainLines;
    int widthColumns = 80;
    // platform::CatchTerminationSignals's descriptor, -1 for none.
    int signals = -1;
};

int RunConvertCommand(const ConvertOptions& options, const ConvertEnvironment& environment);
