// zarvo-convert: the program's conversions from the command line, without a
// window or a display. See convert_options.h for the command line and
// convert_command.h for what it does.
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "app/cli/convert_command.h"
#include "app/cli/convert_options.h"
#include "platform/program_folder.h"
#include "platform/temp_folder.h"
#include "platform/termination_signals.h"
#include "platform/writable_files.h"

namespace {

int TerminalColumns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? home : "";
}

}  // namespace

int main(int argc, char** argv) {
    // Caught from the start: Ctrl-C stops the run as the window's Stop does.
    const int signals = platform::CatchTerminationSignals();
    const ConvertParse parse = ParseConvertOptions(argc, argv);
    if (!parse.error.empty()) {
        std::cerr << kConvertProgramName << ": " << parse.error << "\n"
                  << "Try '" << kConvertProgramName << " --help'.\n";
        return kConvertExitUsage;
    }
    // Two programs converting at once never meet in their temporary files.
    const platform::ProgramTempFolder temporaryNames;
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    const ConvertEnvironment environment{
        platform::ProgramFolder(),
        platform::WritableFolder(),
        HomeFolder(),
        std::cout,
        std::cerr,
        terminal ? ProgressOutput::kTerminal : ProgressOutput::kPlainLines,
        terminal ? TerminalColumns() : 80,
        signals};
    return RunConvertCommand(parse.options, environment);
}
