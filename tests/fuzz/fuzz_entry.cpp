// The entry libFuzzer (or the replay program) calls for each input: the
// target's FuzzInput under a limit of processor time. Fuzzing runs niced on
// a machine shared with builds, where an input may wait seconds for a
// processor, so the limit counts the time the input used, not the time
// that passed; libFuzzer's own wall-clock limit stays as a backstop.
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "tests/fuzz/fuzz_input.h"

namespace {

// Processor seconds one input may use.
constexpr int kInputCpuSeconds = 1;

void OnCpuLimit(int) {
    static const char kText[] = "fuzz target: one input used over 1 s of processor time\n";
    [[maybe_unused]] const ssize_t written = write(2, kText, sizeof kText - 1);
    std::abort();
}

void SetCpuTimer(int seconds) {
    itimerval timer{};
    timer.it_value.tv_sec = seconds;
    setitimer(ITIMER_PROF, &timer, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool handlerSet = [] {
        struct sigaction action {};
        action.sa_handler = OnCpuLimit;
        return sigaction(SIGPROF, &action, nullptr) == 0;
    }();
    FUZZ_CHECK(handlerSet);
    SetCpuTimer(kInputCpuSeconds);
    FuzzInput(data, size);
    SetCpuTimer(0);
    return 0;
}
