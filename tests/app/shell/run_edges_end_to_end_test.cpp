// The edges of a run, as a user meets them: the window closed or Escape
// pressed while converting, Stop, a second run into the same folder, an
// earlier DVD folder, nothing to convert, an export folder that cannot be
// written, a broken input, two programs at once, no export folder set. Each
// ends with the user's earlier files as they were, no half-made file under
// a final name, no tool left running, and a status that says what happened.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonObject>
#include <filesystem>

#include "tests/app/shell/end_to_end_fixture.h"
#include "tests/support/media_tools.h"
#include "tests/support/small_disk.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Paths = std::vector<std::string>;
using test::Text;
using test::Texts;

constexpr char kCompleted[] = "All converting works are Completed!";
constexpr char kStopAndQuit[] = "A conversion is running. Stop it and quit?";
constexpr char kReplaceDvd[] = "The export folder holds a DVD folder already. Replace it?";

bool Contains(const Paths& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

class RunEdgesTest : public test::EndToEndTest {
protected:
    // A clip that takes the AVI profile some seconds to convert.
    std::string SlowClip(const std::string& name) { return LongClip(name, 600); }

    void ExpectNothingRunning() {
        EXPECT_EQ(test::ProcessesMentioning(export_), Paths());
        EXPECT_EQ(test::ProcessesMentioning(runtime_), Paths());
    }
};

// Escape during a conversion asks first; No carries on to the end. In a
// second run Yes stops and quits: the stopped file leaves nothing under its
// name (which, the first run's file being there, is "clip (2).avi"), and the
// first run's file stays as it was.
TEST_F(RunEdgesTest, EscapeAsksAndOnlyYesStopsLeavingNoHalfFile) {
    const std::string clip = SlowClip("clip.avi");
    QJsonObject state =
        RunScript("profile 2\nbrowse " + clip + "\nescape-after 1\nconvert\nanswer No\nquit\n");
    EXPECT_EQ(Texts(state["messages"]), Paths({kStopAndQuit}));
    EXPECT_EQ(Texts(state["status"])[0], kCompleted);
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "clip.avi").durationSeconds, 600, 1);
    const std::string first = test::ReadFile(export_ + "clip.avi");

    const auto [program, encoder] = StartConverting(
        "profile 2\nbrowse " + clip + "\nescape-after 1\nconvert\nanswer Yes\nstate\n");
    ASSERT_GT(encoder, 0);
    const int status = WaitForProgram(program, 120s);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ProgramLog();
    EXPECT_TRUE(test::EndsWithin(encoder, 5s));
    state = ReadState();
    EXPECT_EQ(Texts(state["messages"]), Paths({kStopAndQuit}));
    EXPECT_EQ(Texts(state["status"])[0], "Conversion stopped: 0 of 1 file converted.");
    EXPECT_FALSE(fs::exists(export_ + "clip (2).avi"));
    EXPECT_TRUE(test::ReadFile(export_ + "clip.avi") == first);
    ExpectNothingRunning();
}

// A logout in the middle of the second of two files stops the run as Stop
// does, without a question nobody could answer: the first file is kept, the
// second leaves nothing, and the status line says it was stopped.
TEST_F(RunEdgesTest, ALogoutStopsAsStopDoesWithoutAsking) {
    const std::string done = Clip("done.avi", 1);
    const std::string slow = SlowClip("slow clip.avi");
    const auto [program, encoder] =
        StartConverting("profile 2\nbrowse " + done + "\t" + slow + "\nconvert\nquit\n");
    ASSERT_GT(encoder, 0);
    // The encoder of the second file, once the first file is done.
    pid_t second = 0;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (second <= 0 || second == encoder) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << ProgramLog();
        second = WaitForConversionTool(program);
    }
    std::this_thread::sleep_for(2s);
    ASSERT_EQ(kill(program, SIGTERM), 0);
    const int status = WaitForProgram(program, 60s);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ProgramLog();
    const QJsonObject state = ReadState();
    EXPECT_EQ(Texts(state["status"])[0], "Conversion stopped: 1 of 2 files converted.");
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "done.avi").durationSeconds, 1, 0.5);
    EXPECT_FALSE(fs::exists(export_ + "slow clip.avi"));
    ExpectNothingRunning();
}

// Two runs of one input: the second takes "clip (2).mpg" and says so; the
// first run's file is not touched.
TEST_F(RunEdgesTest, ASecondRunIntoTheSameFolderKeepsTheFirstRunsFile) {
    const std::string clip = Clip("clip.mp4", 1);
    RunScript("target 1\nprofile 0\nbrowse " + clip + "\nconvert\nquit\n");
    const std::string first = test::ReadFile(export_ + "clip.mpg");
    ASSERT_FALSE(first.empty());
    const QJsonObject state =
        RunScript("target 1\nprofile 0\nbrowse " + clip + "\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["status"])[0], std::string(kCompleted) + " (saved as clip (2).mpg)");
    EXPECT_TRUE(Contains(Texts(state["status_log"]),
                         "clip.mpg exists already, so the output is clip (2).mpg"));
    EXPECT_TRUE(test::ReadFile(export_ + "clip.mpg") == first);
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "clip (2).mpg").durationSeconds, 1, 0.5);
}

// A DVD-target run joins its pieces: none of them may take, and then
// delete, a file of the user's. A second DVD build asks before it empties
// the DVD folder; No keeps it byte for byte.
TEST_F(RunEdgesTest, DvdRunsKeepTheUsersFilesAndAskBeforeReplacingADvdFolder) {
    const std::string a = Clip("short clip.avi", 1);
    const std::string b = Clip("b.avi", 1);
    fs::create_directories(export_);
    test::WriteFile(export_ + "short clip.mpg", "the user's own file");
    QJsonObject state =
        RunScript("target 4\nprofile 0\nbrowse " + a + "\t" + b + "\nconvert\nquit\n", 300s);
    EXPECT_EQ(test::ReadFile(export_ + "short clip.mpg"), "the user's own file");
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "short clip (2).mpg").durationSeconds, 2, 0.6);
    const std::string vob = export_ + "DVD/VIDEO_TS/VTS_01_1.VOB";
    ASSERT_TRUE(fs::exists(vob)) << Text(state["status"]);
    const std::string disc = test::ReadFile(vob);

    state = RunScript("target 4\nprofile 0\nbrowse " + b + "\nconvert\nanswer No\nquit\n", 300s);
    EXPECT_EQ(Texts(state["messages"]), Paths({kReplaceDvd}));
    EXPECT_NE(Texts(state["status"])[0].find("was kept as it was"), std::string::npos)
        << Texts(state["status"])[0];
    EXPECT_TRUE(test::ReadFile(vob) == disc);
    EXPECT_EQ(test::ReadFile(export_ + "short clip.mpg"), "the user's own file");
}

TEST_F(RunEdgesTest, NothingToConvertOrNowhereToWriteStartsNothing) {
    QJsonObject state = RunScript("convert\nquit\n");
    EXPECT_EQ(Texts(state["status"]), Paths({"Add the files to convert first.", "", ""}));

    // An export folder below a file can be neither made nor written.
    const std::string clip = Clip("clip.avi", 1);
    const std::string blocked = root_ / "a file";
    test::WriteFile(blocked, "x");
    test::WriteFile(program_ + "zarvo.ini", "[common]\nexportfolder=" + blocked + "/out/\n");
    state = RunScript("profile 2\nbrowse " + clip + "\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["status"])[0],
              "Cannot write to the export folder " + blocked + "/out/: Not a directory");
    EXPECT_TRUE(state["progress_log"].toArray().isEmpty());
    EXPECT_TRUE(Texts(state["failed"]).empty());

    // A full disk, and a read-only one where this process may make one.
    const std::string full = root_ / "full disk/";
    {
        const test::SmallDisk disk(full, 8 << 10, test::DiskKind::kPreloaded);
        test::WriteFile(program_ + "zarvo.ini", "[common]\nexportfolder=" + full + "\n");
        state = RunScript("profile 2\nbrowse " + clip + "\nconvert\nquit\n");
    }
    EXPECT_EQ(Texts(state["status"])[0],
              "Cannot write to the export folder " + full + ": No space left on device");
    const std::string readOnly = root_ / "read only/";
    const test::SmallDisk disk(readOnly, 1 << 20, test::DiskKind::kTmpfs);
    if (!disk.Ready() || !disk.MakeReadOnly()) GTEST_SKIP() << "no read-only tmpfs here";
    test::WriteFile(program_ + "zarvo.ini", "[common]\nexportfolder=" + readOnly + "\n");
    state = RunScript("profile 2\nbrowse " + clip + "\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["status"])[0],
              "Cannot write to the export folder " + readOnly + ": Read-only file system");
}

// A broken input is named with the tool's reason when it is added, when it
// fails, in the list, and on top of its section of the activity log.
TEST_F(RunEdgesTest, ABrokenInputIsNamedWithTheToolsReasonEverywhere) {
    const std::string good = Clip("good.avi", 1);
    const std::string broken = clips_ + "broken.avi";
    test::WriteFile(broken, std::string(4096, 'x'));
    const std::string log = root_ / "activity.log";
    const QJsonObject state = RunScript("profile 2\nbrowse " + good + "\t" + broken +
                                        "\nstate\nconvert\nlog " + log + "\nquit\n");
    const std::string reason = "Invalid data found when processing input";
    EXPECT_EQ(Texts(state["status"])[0],
              std::string(kCompleted) + " (1 of 2 failed: broken.avi: " + reason + ")");
    const Paths files = Texts(state["files"]);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[1],
              broken + "       (Cannot be read: " + reason + ")  [Failed: " + reason + "]");
    EXPECT_TRUE(Contains(Texts(state["status_log"]), "broken.avi failed: " + reason));
    // The reason stands right under the heading of the file's section.
    const std::string text = test::ReadFile(log);
    EXPECT_NE(text.find("Converting " + broken + "\n    broken.avi failed: " + reason + "\n"),
              std::string::npos)
        << text;
    EXPECT_TRUE(fs::exists(export_ + "good.avi"));
}

// Two programs converting files with non-ASCII names at the same time, with
// the same temporary folder: each gets its own file right.
TEST_F(RunEdgesTest, TwoProgramsAtOnceNeverShareATemporaryFile) {
    const std::string one = Clip("één.avi", 2);
    const std::string two = Clip("zwei ü.avi", 4);
    const pid_t first = StartScript("profile 2\nbrowse " + one + "\nconvert\nquit\n", "1");
    const pid_t second = StartScript("profile 2\nbrowse " + two + "\nconvert\nquit\n", "2");
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    for (const pid_t program : {first, second}) {
        const int status = WaitForProgram(program, 120s);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(Texts(ReadState("1")["status"])[0], kCompleted) << ProgramLog("1");
    EXPECT_EQ(Texts(ReadState("2")["status"])[0], kCompleted) << ProgramLog("2");
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "één.avi").durationSeconds, 2, 0.5);
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "zwei ü.avi").durationSeconds, 4, 0.5);
    // Each program's temporary folder went with it.
    const std::string temporary = runtime_ + "/zarvo-" + std::to_string(getuid());
    EXPECT_TRUE(!fs::exists(temporary) || fs::is_empty(temporary));
}

// A settings file without an export folder sends the outputs to the home
// folder's "ZarvoExport", as an installed program does.
TEST_F(RunEdgesTest, WithoutAnExportFolderTheOutputsGoToZarvoExport) {
    const std::string home = root_ / "home";
    fs::create_directories(home);
    test::WriteFile(program_ + "zarvo.ini", "[common]\n");
    const std::string clip = Clip("clip.avi", 1);
    const std::string homeBefore = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.c_str(), 1);
    const QJsonObject state = RunScript("profile 2\nbrowse " + clip + "\nconvert\nquit\n");
    setenv("HOME", homeBefore.c_str(), 1);
    EXPECT_EQ(Text(state["export_folder"]), home + "/ZarvoExport/");
    EXPECT_TRUE(fs::exists(home + "/ZarvoExport/clip.avi"));
}

}  // namespace
