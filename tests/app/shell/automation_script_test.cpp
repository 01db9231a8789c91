#include "app/shell/automation_script.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <memory>

#include "app/shell/main_window_commands.h"
#include "app/shell/main_window_model.h"
#include "app/shell/window_state_json.h"
#include "tests/app/shell/main_window_fakes.h"
#include "tests/support/temp_dir.h"

namespace {

using Paths = std::vector<std::string>;

class FakeHost : public ScriptHost {
public:
    void ClickLater(int commandId, int delayMs) override {
        calls.push_back("later " + std::to_string(commandId) + " " + std::to_string(delayMs));
    }
    void CancelClickLater() override { calls.push_back("cancel"); }
    bool SaveScreenshot(const std::string& path) override {
        calls.push_back("screenshot " + path);
        return path != "/nowhere/x.png";
    }
    int WindowWidth() const override { return 680; }
    int WindowHeight() const override { return 253; }

    std::vector<std::string> calls;
};

TEST(ScriptLineTest, SplitsTheCommandFromTabSeparatedArguments) {
    ScriptLine line = ParseScriptLine("browse /a b/c d.avi\t/e.avi");
    EXPECT_EQ(line.command, "browse");
    EXPECT_EQ(line.arguments, Paths({"/a b/c d.avi", "/e.avi"}));
    line = ParseScriptLine("export /out folder/ ");
    EXPECT_EQ(line.command, "export");
    EXPECT_EQ(line.rest, "/out folder/ ");
    line = ParseScriptLine("  up");
    EXPECT_EQ(line.command, "up");
    EXPECT_TRUE(line.rest.empty());
    EXPECT_TRUE(line.arguments.empty());
    line = ParseScriptLine("add\t/a.avi\t\t/b.avi");
    EXPECT_EQ(line.arguments, Paths({"/a.avi", "/b.avi"}));
    EXPECT_TRUE(ParseScriptLine("   ").command.empty());
}

class ScriptRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteFile(program_ / "zarvo.ini",
                        "[common]\nexportfolder=" + (program_ / "out") + "\n");
        test::WriteFile(program_ / "AviProfile.ini",
                        "[common]\nprofiles=2\n[Profile0]\nName=A0\n[Profile1]\nName=A1\n");
        test::WriteFile(a_, "");
        test::WriteFile(b_, "");
        model_ = std::make_unique<MainWindowModel>(program_.Folder());
        model_->SetProbe(&probe_);
        model_->Initialise();
    }

    // Runs the script and returns the state it wrote last.
    QJsonObject Run(const std::string& script) {
        runner_ = std::make_unique<ScriptRunner>(*model_, window_, host_, script, statePath_);
        model_->SetView(runner_.get());
        failures_ = runner_->Run();
        const QByteArray text = QByteArray::fromStdString(test::ReadFile(statePath_));
        QJsonParseError error{};
        const QJsonDocument state = QJsonDocument::fromJson(text, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
        return state.object();
    }

    test::TempDir program_{"script ü"};
    std::string a_ = program_ / "a b.avi";
    std::string b_ = program_ / "b.mpg";
    std::string statePath_ = program_ / "state.json";
    test::FakeView window_;
    test::FakeProbe probe_;
    FakeHost host_;
    std::unique_ptr<MainWindowModel> model_;
    std::unique_ptr<ScriptRunner> runner_;
    int failures_ = 0;
};

TEST_F(ScriptRunnerTest, LinesActAsTheUserWouldAndTheStateFollows) {
    probe_.seconds = {{"a b.avi", 75}};
    std::filesystem::create_directory(program_ / "new");
    const QJsonObject state = Run("browse " + a_ + "\t" + b_ + "\n# a comment\n\nselect 1\nup\n" +
                                  "profile 1\ntarget 4\nexport " + (program_ / "new") + "\n");
    EXPECT_EQ(failures_, 0);
    EXPECT_EQ(model_->Files(), Paths({b_, a_}));
    EXPECT_EQ(state["title"].toString(), "Zarvo Video Converter 2.10");
    EXPECT_EQ(state["target"].toInt(), 4);
    EXPECT_EQ(state["profile"].toInt(), 0);
    EXPECT_EQ(state["files"].toArray()[1].toString().toStdString(),
              a_ + "       (Duration: 00:01:15)");
    EXPECT_EQ(state["selection"].toInt(), 0);
    EXPECT_EQ(state["merge"].toInt(), 1);
    EXPECT_EQ(state["output_name"].toString().toStdString(), (program_ / "new") + "/DVD/");
    EXPECT_EQ(state["export_folder"].toString().toStdString(), (program_ / "new") + "/");
    EXPECT_FALSE(state["converting"].toBool());
    EXPECT_EQ(state["status"].toArray().size(), 3);
    EXPECT_TRUE(state["failed"].toArray().isEmpty());
    EXPECT_EQ(state["width"].toInt(), 680);
    EXPECT_EQ(state["height"].toInt(), 253);
    EXPECT_EQ(state["error"].toString().toStdString(), "");
    EXPECT_TRUE(state["messages"].toArray().isEmpty());
}

TEST_F(ScriptRunnerTest, BadLinesAreReportedAndSkipped) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"jump", "line 1: unknown command: jump"},
        {"browse " + (program_ / "missing.avi"),
         "line 1: no such file: " + (program_ / "missing.avi")},
        {"browse", "line 1: browse: no files given"},
        {"dvd " + (program_ / "nowhere"), "line 1: no such folder: " + (program_ / "nowhere")},
        {"target 3", "line 1: no target button 3"},
        {"target x", "line 1: no target button x"},
        {"profile 2", "line 1: no profile 2"},
        {"select 0", "line 1: no file 0 in the list"},
        {"up", "line 1: \"Move up\" cannot be used now"},
        {"stop-after soon", "line 1: not a number of seconds: soon"},
        {"answer 1", "line 1: no dialog waits for an answer"},
        {"screenshot /nowhere/x.png", "line 1: cannot save the screenshot to /nowhere/x.png"},
    };
    for (const auto& [line, error] : cases) {
        SCOPED_TRACE(line);
        const QJsonObject state = Run(line + "\nstate\n");
        EXPECT_EQ(failures_, 1);
        // The error stays in the state after later good lines.
        EXPECT_EQ(state["error"].toString().toStdString(), error);
    }
    const QJsonObject state = Run("target 9\nmerge\ntarget 4\nmerge\n");
    EXPECT_EQ(state["error"].toString(), "line 4: \"Merge\" cannot be used now");
    EXPECT_EQ(state["merge"].toInt(), 1);
}

TEST_F(ScriptRunnerTest, QuitEndsTheScript) {
    const QJsonObject state = Run("target 1\nquit\ntarget 2\n");
    EXPECT_EQ(state["target"].toInt(), 1);
    EXPECT_EQ(window_.calls.back(), "close");
}

TEST_F(ScriptRunnerTest, StopAfterArmsAClickForTheNextConvertOnly) {
    Run("stop-after 1.5\nconvert\nconvert\n");
    EXPECT_EQ(host_.calls, Paths({"later 40003 1500", "cancel", "cancel"}));
}

TEST_F(ScriptRunnerTest, MessageBoxesTakeAnAnswerLineOrTheirDefault) {
    runner_ = std::make_unique<ScriptRunner>(*model_, window_, host_, "answer No\nstate\n", "");
    EXPECT_EQ(runner_->AnswerMessageBox("Delete it?", "Yes"), "No");
    EXPECT_EQ(runner_->AnswerMessageBox("Really?", "Yes"), "Yes");
    EXPECT_EQ(runner_->Run(), 0);
    EXPECT_EQ(runner_->Record().messages, Paths({"Delete it?", "Really?"}));
}

TEST_F(ScriptRunnerTest, AudioStreamDialogTakesTheAnswerLine) {
    const std::string dvd = program_ / "dvd";
    std::filesystem::create_directories(dvd + "/VIDEO_TS");
    test::WriteFile(dvd + "/VIDEO_TS/VTS_01_1.VOB", "");
    probe_.audioLines = {"Stream #0:2[0x80]: Audio: ac3", "Stream #0:3[0x81]: Audio: ac3"};
    QJsonObject state = Run("dvd " + dvd + "\nanswer 1\n");
    EXPECT_EQ(failures_, 0);
    EXPECT_TRUE(state["dvd_source_mode"].toBool());
    EXPECT_EQ(state["dvd_audio_stream"].toString(), "0x81");
    // Without an answer the dialog keeps the stream it opened with.
    state = Run("dvd " + dvd + "\n");
    EXPECT_EQ(state["dvd_audio_stream"].toString(), "0x80");
}

TEST(WindowStateJsonTest, StringsAreEscapedAndKeptValidUtf8) {
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString("tab\there\n"), "\"tab\\u0009here\\u000a\"");
    EXPECT_EQ(JsonString("Müller ✓"), "\"Müller ✓\"");
    // A lone continuation byte, a cut sequence and an overlong form.
    EXPECT_EQ(JsonString("x\x80y"), "\"x\xEF\xBF\xBDy\"");
    EXPECT_EQ(JsonString("x\xC3"), "\"x\xEF\xBF\xBD\"");
    EXPECT_EQ(JsonString("\xC0\xAF"), "\"\xEF\xBF\xBD\xEF\xBF\xBD\"");
}

}  // namespace
