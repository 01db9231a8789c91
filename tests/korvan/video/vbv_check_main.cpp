// vbv-check FILE...: the VBV checker on the command line, for benchmarks
// and for looking at the streams of other encoders. Exit code 1 when a
// stream cannot be read or its buffer runs dry or over.

#include <cstdio>

#include "tests/korvan/video/vbv_checker.h"
#include "tests/support/temp_dir.h"

int main(int argc, char** argv) {
    int faults = 0;
    for (int i = 1; i < argc; ++i) {
        const test::VbvReport r = test::CheckVbv(test::ReadFile(argv[i]));
        if (!r.error.empty()) {
            std::printf("%s: %s\n", argv[i], r.error.c_str());
            ++faults;
            continue;
        }
        std::printf(
            "%s: bit_rate %.0f, buffer %.0f bits, %d pictures over %.2f s, measured %.0f bit/s "
            "(%+.2f %%), underflows %d, overflows %d, delays off %d, delays 0xFFFF %d\n",
            argv[i], r.bitRate, r.bufferBits, r.pictures, r.durationSeconds, r.MeasuredBitRate(),
            100 * (r.MeasuredBitRate() / r.bitRate - 1), r.underflows, r.overflows, r.badDelays,
            r.unknownDelays);
        if (r.underflows > 0 || r.overflows > 0 || r.badDelays > 0) ++faults;
    }
    return faults == 0 ? 0 : 1;
}
