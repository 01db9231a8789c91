// The real window on an X server (Xvfb) with a session bus whose
// notification service is the test's own: files and a folder dropped onto
// the file list, the log opened and saved, and the notification at the end
// of a queue run while the window is minimised, whose click brings it back.
#include <fcntl.h>
#include <poll.h>

#include "tests/app/shell/end_to_end_fixture.h"

namespace {

// A helper process that reports one line on descriptor 3 when it is ready
// (Xvfb's display number, the bus's address). Killed with the object.
class ServerProcess {
public:
    ServerProcess(std::vector<std::string> arguments, std::chrono::seconds timeout) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (std::string& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        pollfd wait{fds[0], POLLIN, 0};
        char c = 0;
        while (pid_ > 0 && poll(&wait, 1, static_cast<int>(timeout.count() * 1000)) > 0 &&
               read(fds[0], &c, 1) == 1 && c != '\n') {
            line_ += c;
        }
        close(fds[0]);
    }
    ~ServerProcess() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    const std::string& Line() const { return line_; }

private:
    pid_t pid_ = -1;
    std::string line_;
};

class DesktopEndToEndTest : public test::EndToEndTest {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        ASSERT_FALSE(xServer_.Line().empty()) << "Xvfb did not start";
        ASSERT_FALSE(bus_.Line().empty()) << "dbus-daemon did not start";
        setenv("DISPLAY", (":" + xServer_.Line()).c_str(), 1);
        setenv("DBUS_SESSION_BUS_ADDRESS", bus_.Line().c_str(), 1);
        qtPlatform_ = "xcb";
    }

    test::TempDir services_{"services"};
    ServerProcess xServer_{
        {"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"},
        std::chrono::seconds(20)};
    ServerProcess bus_{{"dbus-daemon", "--session", "--nofork", "--print-address=3"},
                       std::chrono::seconds(20)};
};

TEST_F(DesktopEndToEndTest, DropLogAndNotificationInTheRealWindow) {
    const std::string record = services_ / "notifications.txt";
    std::string serviceProgram = std::string(ZARVO_TEST_FOLDER) + "notification-service";
    ServerProcess service({serviceProgram, record}, std::chrono::seconds(1));
    for (int i = 0; i < 200 && !std::filesystem::exists(record + ".ready"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(std::filesystem::exists(record + ".ready"));

    const std::string folder = root_ / "dropped folder/";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(test::MakeClip(folder + "b clip.avi", 1, "-c:v mpeg4 -c:a mp3", "160x120"));
    test::WriteFile(folder + "a broken.avi", std::string(2048, 'x'));
    test::WriteFile(folder + "readme.txt", "no video");
    const std::string single = Clip("single ü.mp4", 1, "-c:v mpeg4 -c:a aac");
    const std::string savedLog = root_ / "saved log.txt";

    const QJsonObject state =
        RunScript("drop\t" + folder + "\t" + single +
                  "\nshow-log\nminimize\nconvert\nwait 3\nlog " + savedLog + "\nstate\nquit\n");
    EXPECT_EQ(test::Texts(state["paths"]),
              (std::vector<std::string>{folder + "a broken.avi", folder + "b clip.avi", single}));
    EXPECT_EQ(test::Texts(state["failed"]), (std::vector<std::string>{folder + "a broken.avi"}));
    EXPECT_TRUE(std::filesystem::exists(export_ + "b clip.avi"));
    EXPECT_TRUE(std::filesystem::exists(export_ + "single ü.avi"));

    // The service showed the notification and clicked it; the window came back.
    EXPECT_EQ(test::ReadFile(record),
              "All converting works are Completed!\na broken.avi failed: Invalid data found when "
              "processing input\n");
    EXPECT_EQ(test::Text(state["shown"]), "on screen");

    const std::string log = test::ReadFile(savedLog);
    EXPECT_NE(log.find(" is " + folder + "a broken.avi)\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ended: exit code 1\n"), std::string::npos);
    EXPECT_GE(state["log_runs"].toInt(), 6);
}

}  // namespace
