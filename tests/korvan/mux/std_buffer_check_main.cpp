// std-buffer-check FILE...: the buffer model checker on the command line, for
// benchmarks and for looking at program streams of other multiplexers. Exit
// code 1 when a file has a fault.

#include <cstdio>

#include "tests/korvan/mux/std_buffer_checker.h"

int main(int argc, char** argv) {
    int faults = 0;
    for (int i = 1; i < argc; ++i) {
        const test::StdReport report = test::CheckProgramStream(argv[i]);
        std::printf("%s: %s\n", argv[i], report.Summary().c_str());
        if (!report.error.empty() || report.Overflows() > 0 || report.Underflows() > 0 ||
            report.scrProblems > 0) {
            ++faults;
        }
    }
    return faults == 0 ? 0 : 1;
}
