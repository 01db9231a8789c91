// The real program, run offscreen with a script, converting clips made here
// with ffmpeg through the real ffmpeg and mencoder.
#include <gtest/gtest.h>

#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <filesystem>

#include "platform/program_lookup.h"
#include "tests/app/shell/end_to_end_fixture.h"
#include "tests/support/media_tools.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

constexpr const char* kCompleted = "All converting works are Completed!";

// Decodes the whole file; the error lines ffmpeg prints (none for a good file).
std::string DecodeErrors(const std::string& path) {
    int exitCode = -1;
    const std::string errors = test::RunTool(
        "ffmpeg -nostdin -v error -i " + test::Quoted(path) + " -f null -", &exitCode);
    return exitCode == 0 ? errors : "exit " + std::to_string(exitCode) + ": " + errors;
}

using test::EndToEndTest;
using test::MustRun;
using test::ProcessesMentioning;
using test::Text;
using test::Texts;

TEST_F(EndToEndTest, ScreenshotWithFourFilesIs296PixelsHigh) {
    const Paths clips = {Clip("first clip.avi", 1), Clip("second.avi", 2), Clip("third.mpg", 1),
                         Clip("fourth.mov", 3)};
    const std::string shot = std::string(ZARVO_TEST_FOLDER) + "artifacts/main_window.png";
    fs::create_directories(std::string(ZARVO_TEST_FOLDER) + "artifacts");
    fs::remove(shot);
    const QJsonObject state =
        RunScript("browse " + clips[0] + "\t" + clips[1] + "\t" + clips[2] + "\t" + clips[3] +
                  "\nselect 1\nscreenshot " + shot + "\nquit\n");
    EXPECT_EQ(state["height"].toInt(), 296);
    EXPECT_EQ(state["width"].toInt(), 680);
    EXPECT_EQ(Texts(state["files"]), Paths({clips[0] + "       (Duration: 00:00:01)",
                                            clips[1] + "       (Duration: 00:00:02)",
                                            clips[2] + "       (Duration: 00:00:01)",
                                            clips[3] + "       (Duration: 00:00:03)"}));
    const QImage picture(QString::fromStdString(shot));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.height(), 296);
    EXPECT_EQ(picture.width(), 680);
}

}  // namespace

namespace {

struct TargetCase {
    int target;
    int profile;  // a small one of the shipped profiles
    const char* extension;
    const char* format;  // as ffprobe names it
};

void PrintTo(const TargetCase& c, std::ostream* out) { *out << "target " << c.target; }

class EveryTargetTest : public EndToEndTest, public ::testing::WithParamInterface<TargetCase> {};

// Two clips, one with a blank in its name, converted with one profile of
// each target into files of the profile's type.
TEST_P(EveryTargetTest, ConvertsTwoClipsIntoTheExportFolder) {
    const TargetCase& c = GetParam();
    // Long enough for the PSP's thumbnail, taken 5 seconds in.
    const double seconds = c.target == 7 ? 6 : 1;
    const std::string first = Clip("clip one.avi", seconds);
    const std::string second = Clip("clip2.mpg", seconds);
    const QJsonObject state =
        RunScript("target " + std::to_string(c.target) + "\nprofile " + std::to_string(c.profile) +
                  "\nbrowse " + first + "\t" + second + "\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["status"]), Paths({std::string(kCompleted), "", ""}));
    // The DVD target makes a DVD-Video folder of its file and opens the
    // burning window on it (cancelled at "quit"); the others open none.
    const QJsonValue burning = state["burning"];
    if (c.target == 4) {
        EXPECT_EQ(burning.toObject()["kind"].toInt(-1), 0);
    } else {
        EXPECT_TRUE(burning.isNull());
    }
    EXPECT_FALSE(state["converting"].toBool());
    EXPECT_TRUE(Texts(state["failed"]).empty());

    Paths expected = {"clip one." + std::string(c.extension)};
    // The DVD target always joins its inputs into the first one's file.
    if (c.target != 4) expected.push_back("clip2." + std::string(c.extension));
    if (c.target == 4) expected.push_back("DVD");
    if (c.target == 7) {
        expected.push_back("clip one.THM");
        expected.push_back("clip2.THM");
    }
    Paths made;
    for (const fs::directory_entry& entry : fs::directory_iterator(export_)) {
        made.push_back(entry.path().filename());
    }
    std::sort(made.begin(), made.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(made, expected);

    for (const std::string& name : expected) {
        if (name.ends_with(".THM") || name == "DVD") continue;
        SCOPED_TRACE(name);
        const test::ProbedFile probed = test::ProbeWithFfprobe(export_ + name);
        EXPECT_EQ(probed.formatName, c.format);
        const double wanted = c.target == 4 ? 2 * seconds : seconds;
        EXPECT_NEAR(probed.durationSeconds, wanted, 0.5);
        EXPECT_EQ(DecodeErrors(export_ + name), "");
    }
}

const char* const kMp4Family = "mov,mp4,m4a,3gp,3g2,mj2";

INSTANTIATE_TEST_SUITE_P(
    Targets, EveryTargetTest,
    ::testing::Values(TargetCase{0, 3, "avi", "avi"}, TargetCase{1, 0, "mpg", "mpeg"},
                      TargetCase{2, 2, "wmv", "asf"}, TargetCase{4, 3, "mpg", "mpeg"},
                      TargetCase{5, 3, "3gp", kMp4Family}, TargetCase{6, 0, "mp4", kMp4Family},
                      TargetCase{7, 0, "mp4", kMp4Family}, TargetCase{8, 3, "mp4", kMp4Family},
                      TargetCase{9, 1, "mp4", kMp4Family}));

TEST_F(EndToEndTest, MergeJoinsThreeInputsIntoTheFirstOnesFile) {
    const std::string a = Clip("a first.avi", 1);
    const std::string b = Clip("b.avi", 1);
    const std::string c = Clip("c.avi", 1);
    const QJsonObject state =
        RunScript("profile 3\nbrowse " + a + "\t" + b + "\t" + c + "\nmerge\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["status"])[0], kCompleted);
    Paths made;
    for (const fs::directory_entry& entry : fs::directory_iterator(export_)) {
        made.push_back(entry.path().filename());
    }
    EXPECT_EQ(made, Paths({"a first.avi"}));
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "a first.avi").durationSeconds, 3, 0.5);
    EXPECT_EQ(DecodeErrors(export_ + "a first.avi"), "");
}

TEST_F(EndToEndTest, MergeWithABrokenInputJoinsTheOtherTwo) {
    const std::string a = Clip("a.avi", 1);
    const std::string broken = clips_ + "b broken.avi";
    test::WriteFile(broken, std::string(4096, 'x'));
    const std::string c = Clip("c.avi", 2);
    const QJsonObject state =
        RunScript("profile 3\nbrowse " + a + "\t" + broken + "\t" + c + "\nmerge\nconvert\nquit\n");
    EXPECT_TRUE(
        Texts(state["status"])[0].starts_with(std::string(kCompleted) + " (1 of 3 failed: "))
        << Texts(state["status"])[0];
    EXPECT_EQ(Texts(state["failed"]), Paths({broken}));
    const Paths log = Texts(state["status_log"]);
    EXPECT_NE(std::find(log.begin(), log.end(), "Error to open/convert this file! (see Log)"),
              log.end());
    EXPECT_TRUE(fs::exists(export_ + "a.avi"));
    EXPECT_FALSE(fs::exists(export_ + "b broken.avi"));
    EXPECT_FALSE(fs::exists(export_ + "c.avi"));
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "a.avi").durationSeconds, 3, 0.5);
}

TEST_F(EndToEndTest, StopDuringTheSecondOfThreeLeavesNothingRunning) {
    const std::string first = Clip("first.avi", 1);
    // Long, so that the stop finds its encoder at work even on a busy
    // machine: small pictures at a low rate are quick to make and take half
    // a minute to blow up to 640 x 480.
    const std::string second = clips_ + "second long.avi";
    MustRun(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=5:duration=3600 -c:v "
        "mpeg4 " +
        test::Quoted(second));
    const std::string third = Clip("third.avi", 1);
    const QJsonObject state = RunScript("profile 2\nbrowse " + first + "\t" + second + "\t" +
                                        third + "\nmerge\nstop-after 5\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["status"]),
              Paths({"Conversion stopped: 1 of 3 files converted.", "", ""}))
        << QJsonDocument(state).toJson().toStdString();
    EXPECT_EQ(state["progress"].toInt(), 0);
    EXPECT_TRUE(fs::exists(export_ + "first.avi"));
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "first.avi").durationSeconds, 1, 0.5);
    EXPECT_FALSE(fs::exists(export_ + "third.avi"));
    EXPECT_FALSE(fs::exists(export_ + "first_merge.avi"));
    // The second conversion was cut short: it is no result, and nothing of it
    // stays under its name.
    EXPECT_FALSE(fs::exists(export_ + "second long.avi"));
    EXPECT_EQ(test::ProcessesMentioning(runtime_), Paths());
    EXPECT_EQ(test::ProcessesMentioning(export_), Paths());
}

TEST_F(EndToEndTest, ToolsThatCannotStartAreReportedAndTheOutputsKept) {
    const std::string a = Clip("a.avi", 1);
    const std::string b = Clip("b.avi", 1);
    // A PATH with ffmpeg but without mencoder and mplayer.
    const std::string tools = root_ / "only ffmpeg";
    fs::create_directories(tools);
    fs::create_symlink(platform::FindProgram("ffmpeg", ""), tools + "/ffmpeg");
    const std::string path = std::getenv("PATH");
    setenv("PATH", tools.c_str(), 1);
    const QJsonObject state =
        RunScript("profile 3\nbrowse " + a + "\t" + b + "\nmerge\nconvert\nquit\n");
    setenv("PATH", path.c_str(), 1);
    // The start-up check names the first tool missing; the join cannot start.
    EXPECT_EQ(
        Texts(state["messages"]),
        Paths({"Can't register the ActiveX - " + program_ + "mencoder", "create process failed"}));
    EXPECT_EQ(Texts(state["status"])[0], std::string(kCompleted) + " (joining failed)");
    EXPECT_TRUE(fs::exists(export_ + "a.avi"));
    EXPECT_TRUE(fs::exists(export_ + "b.avi"));
}

// A user's own PSP profile above the PSP's bit rate and at 44.1 kHz converts
// as asked, and the status line says why the file may not play on the PSP.
TEST_F(EndToEndTest, AProfileOutsideItsDevicesLimitsConvertsWithAWarning) {
    test::WriteFile(program_ + "PSPProfile.ini",
                    "[common]\nprofiles=1\n[Profile0]\nName=Mine\nFrameWidth=480\n"
                    "FrameHeight=272\nVideoBitrate=1200\nAudioBitrate=7\nAudioChannels=1\n"
                    "AudioFrequency=1\nAudioFormat=3\nVersion=20\nFrameRate=4\nFileType=3\n");
    const std::string clip = Clip("my clip.avi", 1);
    const QJsonObject state =
        RunScript("target 7\nprofile 0\nbrowse " + clip + "\nconvert\nquit\n");
    const std::string warning =
        "May not play on the PSP: video bit rate 1200 kbit/s is above 768 kbit/s; it plays no "
        "sound at 44100 Hz";
    EXPECT_EQ(Texts(state["status"])[0], std::string(kCompleted) + " " + warning);
    const Paths log = Texts(state["status_log"]);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), warning);
    EXPECT_TRUE(Texts(state["failed"]).empty());

    const std::string output = export_ + "my clip.mp4";
    EXPECT_EQ(test::ProbeWithFfprobe(output).majorBrand, "MSNV");
    // The PSP's H.264 profile, and the sound at the rate the user chose.
    EXPECT_EQ(test::RunTool("ffprobe -v error -show_entries stream=profile,sample_rate -of "
                            "csv=p=0 " +
                            test::Quoted(output)),
              "Main\nLC,44100\n");
    EXPECT_EQ(DecodeErrors(output), "");
}

// A DVD folder made with ffmpeg and dvdauthor: title set 1 plays 2 seconds
// with one audio track, title set 2 plays 4 seconds with two: silence
// (0x80) and a tone (0x81).
class DvdFolderTest : public EndToEndTest {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        const std::string shortTitle = clips_ + "short.mpg";
        const std::string longTitle = clips_ + "long.mpg";
        const std::string dvdVideo =
            " -aspect 4:3 -c:v mpeg2video -b:v 1000k -c:a ac3 -ar 48000 -f dvd ";
        MustRun(
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=352x288:rate=25:duration=2 "
            "-f lavfi -i sine=frequency=440:duration=2" +
            dvdVideo + test::Quoted(shortTitle));
        MustRun(
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=352x288:rate=25:duration=4 "
            "-f lavfi -i anullsrc=r=48000:cl=stereo -f lavfi -i "
            "sine=frequency=1000:duration=4 -map 0 -map 1 -map 2 -shortest" +
            dvdVideo + test::Quoted(longTitle));
        const std::string description = clips_ + "dvd.xml";
        test::WriteFile(description,
                        "<dvdauthor dest=\"" + dvd_ +
                            "\"><vmgm/>"
                            "<titleset><titles><pgc><vob file=\"" +
                            shortTitle +
                            "\"/></pgc></titles></titleset>"
                            "<titleset><titles><audio lang=\"en\"/><audio lang=\"de\"/><pgc>"
                            "<vob file=\"" +
                            longTitle +
                            "\"/></pgc></titles></titleset>"
                            "</dvdauthor>\n");
        setenv("VIDEO_FORMAT", "PAL", 1);
        MustRun("dvdauthor -x " + test::Quoted(description));
        ASSERT_TRUE(fs::exists(dvd_ + "VIDEO_TS/VTS_02_1.VOB"));
    }

    // The loudness of the converted file's sound in dB (about -91 for silence).
    double MeanVolume(const std::string& path) {
        const std::string text = test::RunTool("ffmpeg -nostdin -i " + test::Quoted(path) +
                                               " -map 0:a -af volumedetect -f null -");
        const std::size_t at = text.find("mean_volume: ");
        return at == std::string::npos ? 0 : std::atof(text.c_str() + at + 13);
    }

    std::string dvd_ = root_ / "my dvd/";
};

TEST_F(DvdFolderTest, ListsTheLongerTitleAndConvertsItWithTheFirstAudioTrack) {
    const QJsonObject state =
        RunScript("target 1\nprofile 0\ndvd " + dvd_ + "\nstate\nconvert\nquit\n");
    const std::string firstVob = dvd_ + "VIDEO_TS/VTS_02_1.VOB";
    EXPECT_EQ(Texts(state["files"]), Paths({firstVob + "       (Duration: 00:00:04)"}));
    EXPECT_TRUE(state["dvd_source_mode"].toBool());
    EXPECT_EQ(Text(state["dvd_audio_stream"]), "0x80");
    EXPECT_EQ(Texts(state["status"])[0], kCompleted);
    const std::string output = export_ + "VTS_02_1.mpg";
    const test::ProbedFile probed = test::ProbeWithFfprobe(output);
    EXPECT_EQ(probed.videoCodec, "mpeg1video");
    EXPECT_EQ(probed.audioCodec, "mp2");
    EXPECT_NEAR(probed.durationSeconds, 4, 0.5);
    EXPECT_LT(MeanVolume(output), -80);
    // The pieces were made in the run's own folder, which went with it.
    EXPECT_FALSE(fs::exists(export_ + "tmpmd"));
}

TEST_F(DvdFolderTest, ConvertsTheTitleWithTheAudioTrackChosen) {
    const QJsonObject state =
        RunScript("target 1\nprofile 0\ndvd " + dvd_ + "\nanswer 1\nconvert\nquit\n");
    EXPECT_EQ(Text(state["dvd_audio_stream"]), "0x81");
    EXPECT_GT(MeanVolume(export_ + "VTS_02_1.mpg"), -40);
}

}  // namespace
