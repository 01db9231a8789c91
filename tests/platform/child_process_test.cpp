#include "platform/child_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include "tests/support/process_checks.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using platform::ChildExit;
using platform::ChildProcess;
using platform::StartResult;

std::string ReadAll(ChildProcess& child) {
    std::string text;
    char buffer[1024];
    while (std::size_t n = child.ReadOutput(buffer, sizeof buffer)) text.append(buffer, n);
    return text;
}

void InstallScript(const std::string& path, const std::string& text) {
    test::WriteFile(path, text);
    chmod(path.c_str(), 0755);
}

// The field of /proc/PID/status, or "" once the process is gone.
std::string StatusField(pid_t pid, const std::string& field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) return line.substr(field.size() + 1);
    }
    return {};
}

// Every test checks that the process layer leaves nothing behind.
class ChildProcessTest : public ::testing::Test {
protected:
    void SetUp() override { descriptorsBefore_ = test::OpenDescriptors(); }
    void TearDown() override {
        EXPECT_EQ(test::OpenDescriptors(), descriptorsBefore_);
        EXPECT_FALSE(test::HasChildProcess());
    }

private:
    std::set<int> descriptorsBefore_;
};

TEST_F(ChildProcessTest, RunsWordsWithoutAShellAndSharesOnePipeForBothOutputs) {
    ChildProcess child;
    ASSERT_EQ(child.Start("printf %s| a \"b  c\" $HOME;", ""), StartResult::kStarted);
    EXPECT_EQ(ReadAll(child), "a|b  c|$HOME;|");
    ChildExit exit = child.Finish(1s);
    EXPECT_EQ(exit.how, ChildExit::How::kExited);
    EXPECT_EQ(exit.code, 0);

    ASSERT_EQ(child.Start("sh -c \"echo out; echo err >&2; exit 3\"", ""), StartResult::kStarted);
    EXPECT_EQ(ReadAll(child), "out\nerr\n");
    exit = child.Finish(1s);
    EXPECT_EQ(exit.how, ChildExit::How::kExited);
    EXPECT_EQ(exit.code, 3);
}

TEST_F(ChildProcessTest, AnArgumentVectorReachesTheToolWordForWord) {
    ChildProcess child;
    ASSERT_EQ(child.StartArguments({"printf", "%s|", "a \"b\"  c", "", "\"", "ü $HOME"}, ""),
              StartResult::kStarted);
    EXPECT_EQ(ReadAll(child), "a \"b\"  c||\"|ü $HOME|");
    EXPECT_EQ(child.Finish(1s).code, 0);
    EXPECT_EQ(child.StartArguments({}, ""), StartResult::kProcessFailed);
}

TEST_F(ChildProcessTest, TheChildGetsOnlyItsThreeDescriptorsAndDefaultSignals) {
    // A descriptor the program opened without close-on-exec, and signals it
    // ignores, must not reach the tool.
    const int inheritable = open("/dev/null", O_RDONLY);
    ASSERT_GE(inheritable, 0);
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    sigaction(SIGINT, &ignore, &previous);

    ChildProcess child;
    ASSERT_EQ(child.Start("sh -c \"ls /proc/$$/fd; grep SigIgn /proc/$$/status\"", ""),
              StartResult::kStarted);
    std::string text = ReadAll(child);
    child.Finish(1s);
    sigaction(SIGINT, &previous, nullptr);
    close(inheritable);
    ASSERT_EQ(text.substr(0, 14), "0\n1\n2\nSigIgn:\t");
    // The C library keeps signals 32 and 33 for itself and lets nobody change
    // them; the ordinary ones (1..31) must all be back to their defaults.
    const unsigned long long ignored = std::stoull(text.substr(14), nullptr, 16);
    EXPECT_EQ(ignored & 0x7fffffffULL, 0u) << text;
}

TEST_F(ChildProcessTest, LooksInTheProgramFolderBeforePath) {
    test::TempDir programFolder("program folder ä");
    test::TempDir pathFolder("path");
    InstallScript(programFolder / "zarvo-fake-tool", "#!/bin/sh\necho from program folder\n");
    InstallScript(pathFolder / "zarvo-fake-tool", "#!/bin/sh\necho from PATH\n");
    const std::string savedPath = std::getenv("PATH");
    setenv("PATH", (pathFolder.Folder() + ":" + savedPath).c_str(), 1);

    ChildProcess child;
    ASSERT_EQ(child.Start("zarvo-fake-tool", programFolder.Folder()), StartResult::kStarted);
    EXPECT_EQ(ReadAll(child), "from program folder\n");
    child.Finish(1s);
    ASSERT_EQ(child.Start("zarvo-fake-tool", "/nonexistent/"), StartResult::kStarted);
    EXPECT_EQ(ReadAll(child), "from PATH\n");
    child.Finish(1s);
    setenv("PATH", savedPath.c_str(), 1);
}

TEST_F(ChildProcessTest, AToolThatCannotBeFoundOrExecutedIsNotStarted) {
    ChildProcess child;
    EXPECT_EQ(child.Start("zarvo-no-such-tool -i x", ""), StartResult::kProcessFailed);
    EXPECT_EQ(child.Start("", ""), StartResult::kProcessFailed);
    EXPECT_EQ(child.Start("   ", ""), StartResult::kProcessFailed);

    // Found and executable, but exec refuses it: the error comes back through
    // the close-on-exec pipe instead of looking like a tool that printed
    // nothing.
    test::TempDir folder("exec");
    InstallScript(folder / "not-a-program", std::string("\x7f"
                                                        "ELF garbage",
                                                        12));
    EXPECT_EQ(child.Start(folder / "not-a-program", ""), StartResult::kProcessFailed);
    EXPECT_FALSE(child.Running());
    EXPECT_EQ(child.Finish(1s).how, ChildExit::How::kNotStarted);
}

TEST_F(ChildProcessTest, EachPipeThatCannotBeMadeIsReported) {
    ChildProcess child;
    {
        test::DescriptorLimit limit(1);
        EXPECT_EQ(child.Start("true", ""), StartResult::kOutputPipeFailed);
    }
    {
        test::DescriptorLimit limit(3);
        EXPECT_EQ(child.Start("true", ""), StartResult::kInputPipeFailed);
    }
    {
        // Both pipes, but no room for the pipe that carries an exec error.
        test::DescriptorLimit limit(5);
        EXPECT_EQ(child.Start("true", ""), StartResult::kProcessFailed);
    }
    {
        test::DescriptorLimit limit(6);
        EXPECT_EQ(child.Start("true", ""), StartResult::kStarted);
    }
    EXPECT_EQ(child.Finish(1s).how, ChildExit::How::kExited);
}

TEST_F(ChildProcessTest, InputReachesTheTool) {
    ChildProcess child;
    ASSERT_EQ(child.Start("sh -c \"read word; echo got $word\"", ""), StartResult::kStarted);
    EXPECT_TRUE(child.WriteInput("q\n"));
    EXPECT_EQ(ReadAll(child), "got q\n");
    child.Finish(1s);
}

TEST_F(ChildProcessTest, WritingToAToolThatStoppedReadingFailsQuietly) {
    // Without the guard the write would raise SIGPIPE and end the test
    // program.
    ChildProcess child;
    ASSERT_EQ(child.Start("true", ""), StartResult::kStarted);
    EXPECT_EQ(ReadAll(child), "");
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(child.WriteInput(std::string(1, 'q')));
    child.Finish(1s);
    EXPECT_FALSE(child.WriteInput("q"));
}

TEST_F(ChildProcessTest, AToolThatDoesNotEndIsKilledAfterTheGracePeriod) {
    ChildProcess child;
    ASSERT_EQ(child.Start("sleep 30", ""), StartResult::kStarted);
    const pid_t pid = child.Pid();
    const auto start = std::chrono::steady_clock::now();
    ChildExit exit = child.Finish(200ms);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(exit.how, ChildExit::How::kKilledByUs);
    EXPECT_GE(waited, 200ms);
    EXPECT_LT(waited, 2s);
    EXPECT_EQ(StatusField(pid, "State"), "");
}

TEST_F(ChildProcessTest, FinishKillsHelpersTheToolLeftInItsGroup) {
    // The helper keeps the output pipe open, so the tool's output never ends
    // by itself; Finish must still end both.
    ChildProcess child;
    ASSERT_EQ(child.Start("sh -c \"sleep 30 & echo $!\"", ""), StartResult::kStarted);
    char buffer[64];
    const std::size_t n = child.ReadOutput(buffer, sizeof buffer);
    const pid_t helper = std::atoi(std::string(buffer, n).c_str());
    ASSERT_GT(helper, 0);
    EXPECT_EQ(child.Finish(1s).how, ChildExit::How::kExited);
    // The helper is not our child: once killed, something else reaps it.
    std::string state = StatusField(helper, "State");
    for (int i = 0; i < 100 && !state.empty() && state.find('Z') == std::string::npos; ++i) {
        std::this_thread::sleep_for(10ms);
        state = StatusField(helper, "State");
    }
    EXPECT_TRUE(state.empty() || state.find('Z') != std::string::npos) << state;
}

TEST_F(ChildProcessTest, InterruptIsTheToolsCtrlC) {
    ChildProcess child;
    ASSERT_EQ(child.Start("sh -c \"trap 'echo interrupted; exit 0' INT; echo ready; "
                          "while :; do sleep 0.05; done\"",
                          ""),
              StartResult::kStarted);
    char buffer[64];
    ASSERT_EQ(std::string(buffer, child.ReadOutput(buffer, sizeof buffer)), "ready\n");
    child.Interrupt();
    EXPECT_EQ(ReadAll(child), "interrupted\n");
    ChildExit exit = child.Finish(1s);
    EXPECT_EQ(exit.how, ChildExit::How::kExited);
}

TEST_F(ChildProcessTest, ASignalThatEndsTheToolIsReported) {
    ChildProcess child;
    ASSERT_EQ(child.Start("sh -c \"kill -TERM $$\"", ""), StartResult::kStarted);
    ReadAll(child);
    ChildExit exit = child.Finish(1s);
    EXPECT_EQ(exit.how, ChildExit::How::kSignalled);
    EXPECT_EQ(exit.code, SIGTERM);
}

TEST_F(ChildProcessTest, WordsGivenOneByOneAndFilesInPlaceOfInputAndOutput) {
    const test::TempDir folder("child \"files\"");
    const std::string input = folder / "in \"put\".txt";
    const std::string output = folder / "out put.txt";
    test::WriteFile(input, "from the file\n");
    ChildProcess child;
    // Standard output goes to the file, standard error to the pipe.
    ASSERT_EQ(child.StartArguments({"sh", "-c", "cat; echo \"$0\" >&2", "a \"quoted\" word"}, "",
                                   {input, output}),
              StartResult::kStarted);
    EXPECT_EQ(ReadAll(child), "a \"quoted\" word\n");
    EXPECT_EQ(child.Finish(1s).code, 0);
    EXPECT_EQ(test::ReadFile(output), "from the file\n");

    EXPECT_EQ(child.StartArguments({"cat"}, "", {folder / "missing", ""}),
              StartResult::kProcessFailed);
    EXPECT_EQ(child.StartArguments({"cat"}, "", {"", folder / "no folder/out"}),
              StartResult::kProcessFailed);
}

TEST_F(ChildProcessTest, WaitingForOutputEndsAtTheTimeoutOrWhenOutputComes) {
    ChildProcess child;
    ASSERT_EQ(child.Start("sh -c \"sleep 0.3; echo late\"", ""), StartResult::kStarted);
    EXPECT_FALSE(child.WaitForOutput(20ms));
    EXPECT_TRUE(child.WaitForOutput(5s));
    EXPECT_EQ(ReadAll(child), "late\n");
    EXPECT_TRUE(child.WaitForOutput(0ms));
    child.Finish(1s);
}

TEST_F(ChildProcessTest, DestroyingARunningChildEndsIt) {
    pid_t pid = 0;
    {
        ChildProcess child;
        ASSERT_EQ(child.Start("sleep 30", ""), StartResult::kStarted);
        pid = child.Pid();
    }
    EXPECT_EQ(StatusField(pid, "State"), "");
}

}  // namespace
