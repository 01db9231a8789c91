#include "app/script/automation_script.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <memory>

#include "app/profiles/profile_editor_model.h"
#include "app/script/window_state_json.h"
#include "app/tools/audio_stream_dialog_model.h"
#include "app/window/main_window_commands.h"
#include "app/window/main_window_model.h"
#include "tests/app/shell/main_window_fakes.h"
#include "tests/support/profile_tables_host.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

using Paths = std::vector<std::string>;

class FakeHost : public ScriptHost {
public:
    void ClickLater(int commandId, int delayMs) override {
        calls.push_back("later " + std::to_string(commandId) + " " + std::to_string(delayMs));
    }
    void CallLater(std::function<void()>, int delayMs) override {
        calls.push_back("call later " + std::to_string(delayMs));
    }
    void CancelClickLater() override { calls.push_back("cancel"); }
    void PressEscapeLater(int delayMs) override {
        calls.push_back("escape " + std::to_string(delayMs));
    }
    bool SaveScreenshot(const std::string& path) override {
        calls.push_back("screenshot " + path);
        return path != "/nowhere/x.png";
    }
    void Wait(int milliseconds) override {
        calls.push_back("wait " + std::to_string(milliseconds));
    }
    void DropOnFileList(const std::vector<std::string>& paths) override {
        calls.push_back("drop");
        if (model) model->DropFiles(paths);
    }
    int WindowWidth() const override { return 680; }
    int WindowHeight() const override { return 253; }

    std::vector<std::string> calls;
    MainWindowModel* model = nullptr;
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
        model_ = std::make_unique<MainWindowModel>(session_.context, program_.Folder());
        model_->SetProbe(&probe_);
        model_->Initialise();
    }

    // Runs the script and returns the state it wrote last.
    QJsonObject Run(const std::string& script) {
        runner_ = std::make_unique<ScriptRunner>(session_.context, *model_, window_, host_, script,
                                                 statePath_);
        model_->SetView(runner_.get());
        failures_ = runner_->Run();
        const QByteArray text = QByteArray::fromStdString(test::ReadFile(statePath_));
        QJsonParseError error{};
        const QJsonDocument state = QJsonDocument::fromJson(text, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << text.toStdString();
        return state.object();
    }

    test::RunSession session_;
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

TEST_F(ScriptRunnerTest, StopCloseAndEscapeAfterArmAnActionForTheNextConvertOnly) {
    Run("stop-after 1.5\nconvert\nconvert\nclose-after 2\nconvert\nescape-after 0.5\nconvert\n");
    EXPECT_EQ(host_.calls, Paths({"later 40003 1500", "cancel", "cancel", "later 1030 2000",
                                  "cancel", "escape 500", "cancel"}));
}

TEST_F(ScriptRunnerTest, MessageBoxesTakeAnAnswerLineOrTheirDefault) {
    runner_ = std::make_unique<ScriptRunner>(session_.context, *model_, window_, host_,
                                             "answer No\nstate\n", "");
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

TEST_F(ScriptRunnerTest, EditProfileLinesWorkTheEditorAndTheListFollows) {
    const QJsonObject state =
        Run("edit-profile open\n"
            "edit-profile set\tName\tCustom 400\n"
            "edit-profile set\tFrame Size\t15\n"
            "edit-profile set\tWidth\t400\n"
            "edit-profile set Height\t300\n"
            "edit-profile new\n"
            "edit-profile set\tWidth\t-4\n"
            "edit-profile save\n"
            "edit-profile select 0\n"
            "edit-profile delete\n"
            "edit-profile close\n"
            "profile 1\n");
    EXPECT_EQ(failures_, 0);
    EXPECT_EQ(state["error"].toString(), "");
    EXPECT_EQ(state["messages"].toArray(), QJsonArray({"Width cannot be negative."}));
    EXPECT_EQ(state["profiles"].toArray(), QJsonArray({"A1", "Custom 400"}));
    EXPECT_EQ(state["profile"].toInt(), 1);
    EXPECT_TRUE(state["profile_editor"].isNull());
    const ProfileFiles files(program_.Folder());
    EXPECT_EQ(files.StoredCount(kTargetAvi), 2);
    EXPECT_EQ(files.ReadString(kTargetAvi, 1, "Name"), "Custom 400");
    EXPECT_EQ(files.ReadInt(kTargetAvi, 1, "FrameWidth"), 400);
    EXPECT_EQ(files.ReadInt(kTargetAvi, 1, "FrameHeight"), 300);
}

TEST_F(ScriptRunnerTest, TheEditorClosesWithoutSavingAtTheFirstOtherLine) {
    const QJsonObject state =
        Run("edit-profile open\nedit-profile set\tName\tUnsaved\ntarget 1\nedit-profile save\n");
    EXPECT_EQ(failures_, 1);
    EXPECT_EQ(state["error"].toString(), "line 4: the profile editor is not open");
    EXPECT_EQ(state["target"].toInt(), 1);
    EXPECT_EQ(ProfileFiles(program_.Folder()).ReadString(kTargetAvi, 0, "Name"), "A0");
}

TEST_F(ScriptRunnerTest, CloseAsksAboutChangesAndTheAnswerLineDecides) {
    const std::string question = "Save the changes to this profile?";
    QJsonObject state =
        Run("edit-profile open\nedit-profile set\tName\tKept\nedit-profile close\nanswer Yes\n");
    EXPECT_EQ(failures_, 0);
    EXPECT_EQ(state["messages"].toArray(), QJsonArray({QString::fromStdString(question)}));
    EXPECT_EQ(ProfileFiles(program_.Folder()).ReadString(kTargetAvi, 0, "Name"), "Kept");
    // "Cancel" keeps the editor open; "No" closes it and drops the change.
    state = Run(
        "edit-profile open\nedit-profile set\tName\tDropped\nedit-profile close\nanswer Cancel\n"
        "edit-profile set\tName\tAgain\nedit-profile close\nanswer No\n");
    EXPECT_EQ(failures_, 0);
    EXPECT_EQ(state["messages"].toArray().size(), 2);
    EXPECT_TRUE(state["profile_editor"].isNull());
    EXPECT_EQ(ProfileFiles(program_.Folder()).ReadString(kTargetAvi, 0, "Name"), "Kept");
}

TEST_F(ScriptRunnerTest, BadEditProfileLinesAreReported) {
    test::WriteFile(program_ / "3GPProfile.ini", "[common]\nprofiles=1\n[Profile0]\nName=G\n");
    model_ = std::make_unique<MainWindowModel>(session_.context, program_.Folder());
    model_->SetProbe(&probe_);
    model_->Initialise();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"edit-profile set\tChroma\t1", "no control \"Chroma\" in the profile editor"},
        {"edit-profile set\tFrame Size\t16", "no entry 16 in \"Frame Size\""},
        {"edit-profile set\tFileType\t1", "\"FileType\" cannot be used now"},
        {"edit-profile select 2", "no profile 2 in the profile editor"},
        {"edit-profile open", "the profile editor is open already"},
        {"edit-profile rename", "unknown edit-profile command: rename"},
    };
    for (const auto& [line, error] : cases) {
        SCOPED_TRACE(line);
        const QJsonObject state = Run("edit-profile open\n" + line + "\nedit-profile close\n");
        EXPECT_EQ(failures_, 1);
        EXPECT_EQ(state["error"].toString().toStdString(), "line 2: " + error);
    }
    const QJsonObject state = Run(
        "target 5\nedit-profile open\nedit-profile set\tFrequency\t0\n"
        "edit-profile set\tFileType\t1\nedit-profile set\tAudio Format\t1\nedit-profile save\n");
    EXPECT_EQ(failures_, 1);
    EXPECT_EQ(state["error"].toString(), "line 3: \"Frequency\" cannot be used now");
    const ProfileFiles files(program_.Folder());
    EXPECT_EQ(files.ReadInt(kTarget3gp, 0, "FileType"), 1);
    EXPECT_EQ(files.ReadInt(kTarget3gp, 0, "AudioFrequency"), 5);
    EXPECT_EQ(files.ReadString(kTarget3gp, 0, "Name"), "G");
}

class AudioScriptTest : public ScriptRunnerTest {
protected:
    void SetUp() override {
        ScriptRunnerTest::SetUp();
        std::filesystem::create_directories(dvd_ + "/VIDEO_TS");
        test::WriteFile(dvd_ + "/VIDEO_TS/VTS_01_1.VOB", "");
        probe_.audioLines = {"Stream #0:2[0x80]: Audio: ac3", "Stream #0:3[0x81]: Audio: ac3"};
        // "play" runs the real mplayer; it finds nothing to play in the empty
        // file, and would show and sound nothing if it did.
        test::WriteFile(mplayerHome_ / "config", "vo=null\nao=null\n");
        setenv("MPLAYER_HOME", mplayerHome_.Folder().c_str(), 1);
    }
    void TearDown() override { unsetenv("MPLAYER_HOME"); }

    std::string dvd_ = program_ / "dvd";
    test::TempDir mplayerHome_{"mplayer"};
};

TEST_F(AudioScriptTest, AudioAndPlayAnswerTheDialogThatDvdOpened) {
    QJsonObject state = Run("dvd " + dvd_ + "\nplay 1\nplay 5\naudio 1\nstate\n");
    EXPECT_EQ(failures_, 1);
    EXPECT_EQ(state["error"].toString(), "line 3: no audio stream 5");
    EXPECT_EQ(state["dvd_audio_stream"].toString(), "0x81");
    EXPECT_TRUE(state["audio_dialog"].isNull());

    // On their own they press "Select DVD audio stream" first.
    state = Run("audio 0\n");
    EXPECT_EQ(failures_, 0);
    EXPECT_EQ(state["dvd_audio_stream"].toString(), "0x80");
    state = Run("play 1\n");
    EXPECT_EQ(failures_, 0);
    EXPECT_EQ(state["dvd_audio_stream"].toString(), "0x81");
}

TEST_F(AudioScriptTest, AudioLinesNeedAnAudioStreamButton) {
    QJsonObject state = Run("audio 1\naudio x\n");
    EXPECT_EQ(failures_, 2);
    EXPECT_EQ(state["error"].toString(), "line 2: not an audio stream: x");
    state = Run("audio 1\n");
    EXPECT_EQ(state["error"].toString(), "line 1: \"Select DVD audio stream\" cannot be used now");
    EXPECT_EQ(state["dvd_audio_stream"].toString(), "");
}

TEST_F(ScriptRunnerTest, TheStateShowsTheOpenDialogs) {
    test::WriteFile(program_ / "3GPProfile.ini",
                    "[common]\nprofiles=2\n[Profile0]\nName=Phone\nFrameWidth=176\n"
                    "FrameHeight=144\nFrameRate=5\nAudioFormat=1\nAudioFrequency=5\nFileType=1\n");
    const ProfileFiles files(program_.Folder());
    test::ProfileTablesHost host(files);
    const ProfileEditorModel editor(kTarget3gp, "3GP Profile Editor", host, files);
    const AudioStreamDialogModel dialog(
        session_.context, "/dvd/VTS_01_1.VOB",
        {"Stream #0:2[0x80]: Audio: ac3", "Stream #0:3[0x81]: Audio: ac3"}, "0x81");
    ScriptRecord record;
    record.profileEditor = &editor;
    record.audioDialog = &dialog;
    QJsonParseError error{};
    const QJsonObject state =
        QJsonDocument::fromJson(
            QByteArray::fromStdString(WindowStateJson(*model_, record, session_.log)), &error)
            .object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);

    const QJsonObject shown = state["profile_editor"].toObject();
    EXPECT_EQ(shown["title"].toString(), "3GP Profile Editor");
    EXPECT_EQ(shown["profile"].toString(), "No.1 of 2");
    EXPECT_EQ(shown["count"].toInt(), 2);
    EXPECT_EQ(shown["current"].toInt(), 0);
    EXPECT_EQ(shown["fields"]["Name"].toString(), "Phone");
    EXPECT_EQ(shown["fields"]["Width"].toString(), "176");
    EXPECT_EQ(shown["lists"]["Frame Size"].toInt(), 5);
    EXPECT_EQ(shown["list_texts"]["Frame Size"].toString(), "176 x 144");
    EXPECT_EQ(shown["list_texts"]["Frequency"].toString(), "16000 Hz");
    EXPECT_EQ(shown["list_texts"]["FileType"].toString(), "3g2");
    // "30" is not offered.
    EXPECT_EQ(shown["lists"]["Framerate"].toInt(), -1);
    EXPECT_EQ(shown["list_texts"]["Framerate"].toString(), "");
    EXPECT_TRUE(shown["file_type_visible"].toBool());
    EXPECT_FALSE(shown["frequency_enabled"].toBool());

    const QJsonObject audio = state["audio_dialog"].toObject();
    EXPECT_EQ(audio["file"].toString(), "/dvd/VTS_01_1.VOB");
    EXPECT_EQ(audio["lines"].toArray().size(), 2);
    EXPECT_EQ(audio["selection"].toInt(), 1);
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
