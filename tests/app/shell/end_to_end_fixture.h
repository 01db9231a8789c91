// The real program in a private program folder, run offscreen with a
// script: the fixture of the end-to-end tests, and what they check with.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
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

// A private copy of the program folder (program, its libraries, profiles,
// settings) in a folder whose name holds a blank and a non-ASCII letter, with
// its own export folder, and a private folder for the fixed temporary names,
// so that tests running side by side do not meet.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(program_);
        std::filesystem::create_directories(clips_);
        for (const std::filesystem::directory_entry& entry :
             std::filesystem::directory_iterator(ZARVO_PROGRAM_FOLDER)) {
            const std::string name = entry.path().filename();
            const bool library = name.starts_with("lib") && name.ends_with(".so");
            if (name == "ZarvoVideoConverter" || name.ends_with(".ini") || name == "help" ||
                library) {
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
        const std::string scriptPath = root_ / "script.txt";
        const std::string statePath = root_ / "state.json";
        const std::string logPath = root_ / "program.log";
        test::WriteFile(scriptPath, script);
        setenv("QT_QPA_PLATFORM", qtPlatform_.c_str(), 1);
        setenv("ZARVO_SCRIPT", scriptPath.c_str(), 1);
        setenv("ZARVO_STATE", statePath.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        const std::string program = program_ + "ZarvoVideoConverter";
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        if (spawned != 0) return {};

        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "the program did not end; its log:\n" << test::ReadFile(logPath);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << test::ReadFile(logPath);
        QJsonParseError error{};
        const QJsonDocument state =
            QJsonDocument::fromJson(QByteArray::fromStdString(test::ReadFile(statePath)), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError);
        lastState_ = state.object();
        EXPECT_EQ(Text(lastState_["error"]), "");
        return lastState_;
    }

    // A small clip; the container follows the name's extension.
    std::string Clip(const std::string& name, double seconds = 1, const std::string& options = "") {
        const std::string path = clips_ + name;
        EXPECT_TRUE(test::MakeClip(path, seconds, options, "160x120")) << path;
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
