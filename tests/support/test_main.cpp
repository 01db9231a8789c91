// The main of every test program: Google Test, and after each test a check
// that no process it started is still running. The end-to-end tests also
// make the test program a child subreaper, so that a tool whose parent died
// (the program under test killed in the middle of a conversion, say) becomes
// its child and is caught as well.
#include <gtest/gtest.h>

#include "tests/support/process_checks.h"

namespace {

class LeftoverProcessCheck : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        const std::vector<std::string> running =
            test::RunningChildProcesses(std::chrono::seconds(3));
        if (running.empty()) return;
        std::string list;
        for (const std::string& line : running) list += "\n  " + line;
        ADD_FAILURE() << "processes started by the test are still running:" << list;
        // The next test starts without them.
        test::EndChildProcesses();
    }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    // Ahead of the printer, so that a test is printed with this check's
    // outcome.
    ::testing::TestEventListener* printer = listeners.Release(listeners.default_result_printer());
    listeners.Append(new LeftoverProcessCheck);
    if (printer) listeners.Append(printer);
    return RUN_ALL_TESTS();
}
