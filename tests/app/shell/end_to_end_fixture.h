// The real program in a private program folder, run offscreen with a
// script: the fixture of the end-to-end tests, and what they check with.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/media_tools.h"
#include "tests/support/process_checks.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace test {

// Runs a command line; true when it ended well, else a failure with its text.
inline void MustRun(const std::string& commandLine) {
    int exitCode = -1;
    const std::string text = test::RunTool(commandLine, &exitCode);
    ASSERT_EQ(exitCode, 0) << commandLine << "\n" << text;
}

inline std::vector<std::string> Texts(const QJsonValue& array) {
    std::vector<std::string> texts;
    for (const QJsonValue& value : array.toArray()) texts.push_back(value.toString().toStdString());
    return texts;
}

inline std::string Text(const QJsonValue& value) { return value.toString().toStdString(); }

// Processes whose command line mentions `text`, as "pid: command line".
inline std::vector<std::string> ProcessesMentioning(const std::string& text) {
    std::vector<std::string> found;
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const std::string commandLine = ProcessCommandLine(std::atoi(name.c_str()));
        if (commandLine.find(text) != std::string::npos) found.push_back(name + ": " + commandLine);
    }
    return found;
}

// Waits up to `timeout` for a tool of `program` whose command line mentions
// `text` and returns its process id (0 when none came).
inline pid_t WaitForToolOf(pid_t program, const std::string& text, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        for (const ChildProcessEntry& child : ChildProcessEntries(program)) {
            if (child.state != 'Z' && child.commandLine.find(text) != std::string::npos) {
                return child.pid;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
}

// A private copy of the program folder (program, its libraries, profiles,
// settings) in a folder whose name holds a blank and a non-ASCII letter, with
// its own export folder, and a private folder for the fixed temporary names,
// so that tests running side by side do not meet.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A tool that outlives the program becomes a child of the test, so
        // that the check after every test sees it.
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        std::filesystem::create_directories(program_);
        std::filesystem::create_directories(clips_);
        for (const std::filesystem::directory_entry& entry :
             std::filesystem::directory_iterator(ZARVO_PROGRAM_FOLDER)) {
            const std::string name = entry.path().filename();
            // The program, its conversion host and audio converter, the
            // libraries they load, profiles and help.
            const bool library = name.starts_with("lib") && name.ends_with(".so");
            if (name == "ZarvoVideoConverter" || name == "tobrin" || name == "merrow" ||
                name.ends_with(".ini") || name == "help" || library || name == "DVDMainMenu.jpg") {
                std::filesystem::copy(entry.path(), program_ + name,
                                      std::filesystem::copy_options::recursive);
            }
        }
        std::filesystem::remove(program_ + "zarvo.ini");
        test::WriteFile(program_ + "zarvo.ini", "[common]\nexportfolder=" + export_ + "\n");
        char pattern[] = "/tmp/zarvo-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        runtime_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(runtime_, ignored);
    }

    // Runs the program with the script until it ends (at most `timeout`)
    // and returns the state it wrote last.
    QJsonObject RunScript(const std::string& script,
                          std::chrono::seconds timeout = std::chrono::seconds(180)) {
        const pid_t pid = StartScript(script);
        if (pid <= 0) return {};
        const int status = WaitForProgram(pid, timeout);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ProgramLog();
        return ReadState();
    }

    // Starts the program with the script and returns its process id (0 when
    // it could not be started). A program started beside another has a
    // name of its own for its script, state and log.
    pid_t StartScript(const std::string& script, const std::string& name = "") {
        const std::string scriptPath = root_ / ("script" + name + ".txt");
        test::WriteFile(scriptPath, script);
        setenv("QT_QPA_PLATFORM", qtPlatform_.c_str(), 1);
        setenv("ZARVO_SCRIPT", scriptPath.c_str(), 1);
        setenv("ZARVO_STATE", StatePath(name).c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, LogPath(name).c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const std::string program = program_ + "ZarvoVideoConverter";
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        return spawned == 0 ? pid : 0;
    }

    // Waits for the program to end and returns its wait status; a program
    // still running after `timeout` is killed and fails the test.
    int WaitForProgram(pid_t pid, std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "the program did not end; its log:\n" << ProgramLog();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return status;
    }

    // The state the program wrote last.
    QJsonObject ReadState(const std::string& name = "") {
        QJsonParseError error{};
        const QJsonDocument state = QJsonDocument::fromJson(
            QByteArray::fromStdString(test::ReadFile(StatePath(name))), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError);
        lastState_ = state.object();
        EXPECT_EQ(Text(lastState_["error"]), "");
        return lastState_;
    }

    // The encoder the program runs for a conversion, told from a probe by
    // its codec option; 0 when none came within two minutes.
    static pid_t WaitForConversionTool(pid_t program) {
        return WaitForToolOf(program, " -vcodec ", std::chrono::seconds(120));
    }

    // The program started on the script, and the encoder of its first
    // conversion once it runs (0 when it did not come, which fails the test).
    struct Converting {
        pid_t program = 0;
        pid_t encoder = 0;
    };
    Converting StartConverting(const std::string& script) {
        Converting run;
        run.program = StartScript(script);
        if (run.program > 0) run.encoder = WaitForConversionTool(run.program);
        EXPECT_GT(run.encoder, 0) << ProgramLog();
        return run;
    }

    std::string ProgramLog(const std::string& name = "") const {
        return test::ReadFile(LogPath(name));
    }
    std::string StatePath(const std::string& name = "") const {
        return root_ / ("state" + name + ".json");
    }
    std::string LogPath(const std::string& name = "") const {
        return root_ / ("program" + name + ".log");
    }

    // A small clip; the container follows the name's extension.
    std::string Clip(const std::string& name, double seconds = 1, const std::string& options = "") {
        const std::string path = clips_ + name;
        EXPECT_TRUE(test::MakeClip(path, seconds, options, "160x120")) << path;
        return path;
    }

    // Small pictures at a low rate: quick to make, and seconds of work (or,
    // at an hour, minutes) once the profile blows them up.
    std::string LongClip(const std::string& name, int seconds) {
        const std::string path = clips_ + name;
        MustRun("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=5:duration=" +
                std::to_string(seconds) + " -c:v mpeg4 " + test::Quoted(path));
        return path;
    }

    test::TempDir root_{"zarvo end to end ü"};
    std::string program_ = root_ / "program/";
    std::string export_ = root_ / "export folder/";
    std::string clips_ = root_ / "clips/";
    std::string runtime_;
    std::string qtPlatform_ = "offscreen";  // "xcb" for a test with an X server
    QJsonObject lastState_;
};

}  // namespace test
