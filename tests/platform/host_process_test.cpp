#include "platform/host_process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <new>
#include <thread>

#include "tests/support/process_checks.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using platform::ChildExit;
using platform::HostProcess;

bool WaitForFile(const std::string& path) {
    for (int i = 0; i < 500 && !std::filesystem::exists(path); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    return std::filesystem::exists(path);
}

class HostProcessTest : public ::testing::Test {
protected:
    void SetUp() override { descriptorsBefore_ = test::OpenDescriptors(); }
    void TearDown() override {
        EXPECT_EQ(test::OpenDescriptors(), descriptorsBefore_);
        EXPECT_FALSE(test::HasChildProcess());
    }

    // A host program in a folder whose name holds a blank and a non-ASCII
    // letter.
    std::string InstallHost(const std::string& script) {
        const std::string path = folder_ / "host program";
        test::WriteFile(path, "#!/bin/sh\n" + script);
        chmod(path.c_str(), 0755);
        return path;
    }

    test::TempDir folder_{"host ü"};

private:
    std::set<int> descriptorsBefore_;
};

TEST_F(HostProcessTest, StartsInItsFolderWithoutArgumentsInASessionOfItsOwn) {
    const std::string host = InstallHost(
        "pwd > seen.part; echo \"$#\" >> seen.part; read line; echo \"[$line]\" >> seen.part;"
        " ps -o sid= -p $$ | tr -d ' ' >> seen.part; mv seen.part seen; exec sleep 30\n");
    HostProcess process;
    ASSERT_TRUE(process.Start(host, folder_.Folder()));
    ASSERT_TRUE(WaitForFile(folder_ / "seen"));
    // Standard input is empty, and its session is its own.
    EXPECT_EQ(test::ReadFile(folder_ / "seen"),
              folder_.Folder().substr(0, folder_.Folder().size() - 1) + "\n0\n[]\n" +
                  std::to_string(process.Pid()) + "\n");
    EXPECT_TRUE(process.Running());
    const ChildExit exit = process.Stop(50ms);
    EXPECT_EQ(exit.how, ChildExit::How::kKilledByUs);
    EXPECT_FALSE(process.Running());
}

TEST_F(HostProcessTest, AnEndedHostIsReapedAndItsExitKept) {
    const std::string host = InstallHost("exit 3\n");
    HostProcess process;
    ASSERT_TRUE(process.Start(host, folder_.Folder()));
    for (int i = 0; i < 500 && process.Running(); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(process.Running());
    const ChildExit exit = process.Stop(0ms);
    EXPECT_EQ(exit.how, ChildExit::How::kExited);
    EXPECT_EQ(exit.code, 3);
}

TEST_F(HostProcessTest, AMissingOrUnrunnableHostIsAFailureToStart) {
    HostProcess process;
    EXPECT_FALSE(process.Start(folder_ / "no such host", folder_.Folder()));
    const std::string notExecutable = folder_ / "plain file";
    test::WriteFile(notExecutable, "text");
    EXPECT_FALSE(process.Start(notExecutable, folder_.Folder()));
    EXPECT_FALSE(process.Start(InstallHost("exit 0\n"), folder_ / "no such folder"));
    EXPECT_FALSE(process.Running());
    EXPECT_EQ(process.Stop(0ms).how, ChildExit::How::kNotStarted);
}

// The host dies with the thread that started it, even when that thread does
// not end it (the program crashed).
TEST_F(HostProcessTest, TheHostGetsTermWhenItsStarterGoes) {
    const std::string host = InstallHost("echo $$ > pid.part; mv pid.part pid; exec sleep 30\n");
    // Never stopped: the object is left without its destructor running, as
    // a crash would leave it, so only the kernel ends the host.
    alignas(HostProcess) static unsigned char storage[sizeof(HostProcess)];
    std::thread starter([&] {
        auto* abandoned = new (storage) HostProcess;
        ASSERT_TRUE(abandoned->Start(host, folder_.Folder()));
        ASSERT_TRUE(WaitForFile(folder_ / "pid"));
    });
    starter.join();
    const pid_t pid = std::stoi(test::ReadFile(folder_ / "pid"));
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

}  // namespace
