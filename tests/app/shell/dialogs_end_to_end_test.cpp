// The profile editor and the audio stream dialog in the real program, run
// offscreen with a script: profiles made and deleted there, files converted
// with them, and a DVD title converted with the audio track chosen.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QJsonArray>
#include <QJsonObject>
#include <filesystem>

#include "app/profiles/profile_files.h"
#include "tests/app/shell/end_to_end_fixture.h"
#include "tests/support/media_tools.h"
#include "tests/support/temp_dir.h"

namespace {

using Paths = std::vector<std::string>;
using test::EndToEndTest;
using test::MustRun;
using test::Text;
using test::Texts;

constexpr const char* kCompleted = "All converting works are Completed!";

TEST_F(EndToEndTest, ANewAviProfileOf400By300ConvertsToThatSize) {
    const ProfileFiles files(program_);
    const int shipped = files.StoredCount(kTargetAvi);
    ASSERT_GT(shipped, 0);
    const std::string clip = Clip("my clip.mpg", 1);
    const QJsonObject state = RunScript(
        "target 0\n"
        "edit-profile open\n"
        "edit-profile set\tName\tCustom 400 x 300\n"
        "edit-profile set\tFrame Size\t15\n"
        "edit-profile set\tWidth\t400\n"
        "edit-profile set\tHeight\t300\n"
        "edit-profile new\n"
        "edit-profile save\n"
        "edit-profile close\n"
        "browse " +
        clip + "\nprofile " + std::to_string(shipped) + "\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["profiles"]).back(), "Custom 400 x 300");
    EXPECT_EQ(state["profile"].toInt(), shipped);
    EXPECT_TRUE(state["messages"].toArray().isEmpty());
    EXPECT_EQ(Texts(state["status"])[0], kCompleted);
    EXPECT_EQ(files.StoredCount(kTargetAvi), shipped + 1);
    EXPECT_EQ(files.ReadInt(kTargetAvi, shipped, "FileType"), 5);

    const test::ProbedFile output = test::ProbeWithFfprobe(export_ + "my clip.avi");
    EXPECT_EQ(output.formatName, "avi");
    EXPECT_EQ(output.width, 400);
    EXPECT_EQ(output.height, 300);
}

TEST_F(EndToEndTest, DeletingProfileOneOfThreeClosesTheGapInTheFile) {
    std::string text = "[common]\nprofiles=3\n";
    for (int i = 0; i < 3; ++i) {
        const std::string n = std::to_string(i);
        text += "[Profile" + n + "]\nName=P" + n + "\nDescription=number " + n +
                "\nFrameWidth=" + std::to_string(160 * (i + 1)) +
                "\nFrameHeight=120\nVideoBitrate=800\nFrameRate=3\nAudioFormat=2\n"
                "AudioBitrate=7\nAudioChannels=1\nAudioFrequency=1\nVersion=0\nFileType=5\n";
    }
    const std::string lastSection = text.substr(text.find("[Profile2]"));
    test::WriteFile(program_ + "AviProfile.ini", text);

    const QJsonObject state = RunScript(
        "edit-profile open\nedit-profile select 1\nedit-profile delete\nedit-profile close\n"
        "quit\n");
    EXPECT_EQ(Texts(state["profiles"]), Paths({"P0", "P2"}));
    const ProfileFiles files(program_);
    EXPECT_EQ(files.StoredCount(kTargetAvi), 2);
    EXPECT_EQ(files.ReadString(kTargetAvi, 0, "Name"), "P0");
    EXPECT_EQ(files.ReadInt(kTargetAvi, 0, "FrameWidth"), 160);
    EXPECT_EQ(files.ReadString(kTargetAvi, 1, "Name"), "P2");
    EXPECT_EQ(files.ReadString(kTargetAvi, 1, "Description"), "number 2");
    EXPECT_EQ(files.ReadInt(kTargetAvi, 1, "FrameWidth"), 480);
    // The former last section stays as it was, beyond the count.
    EXPECT_NE(test::ReadFile(program_ + "AviProfile.ini").find(lastSection), std::string::npos);
}

// A DVD folder whose one title has two AC-3 tracks with tones of their own,
// and mplayer set up to show nothing and write what it plays to a file.
class TwoTrackDvdTest : public EndToEndTest {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        const std::string title = clips_ + "title.mpg";
        ASSERT_TRUE(test::MakeTwoTrackVob(title));
        const std::string description = clips_ + "dvd.xml";
        test::WriteFile(description, "<dvdauthor dest=\"" + dvd_ +
                                         "\"><vmgm/><titleset><titles><pgc><vob file=\"" + title +
                                         "\"/></pgc></titles></titleset></dvdauthor>\n");
        setenv("VIDEO_FORMAT", "PAL", 1);
        MustRun("dvdauthor -x " + test::Quoted(description));
        ASSERT_TRUE(std::filesystem::exists(dvd_ + "VIDEO_TS/VTS_01_1.VOB"));

        const std::string wav = Played();
        test::WriteFile(
            mplayerHome_ / "config",
            "vo=null\nao=\"pcm:fast:file=%" + std::to_string(wav.size()) + "%" + wav + "\"\n");
        setenv("MPLAYER_HOME", mplayerHome_.Folder().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("MPLAYER_HOME");
        EndToEndTest::TearDown();
    }

    std::string Played() const { return mplayerHome_ / "played.wav"; }
    double ToneOf(const std::string& path) {
        return test::ToneFrequencyHz(path, clips_ + "samples.raw");
    }

    std::string dvd_ = root_ / "my dvd/";
    test::TempDir mplayerHome_{"mplayer home"};
};

TEST_F(TwoTrackDvdTest, ThePlayedAndChosenSecondTrackIsTheOneConverted) {
    const QJsonObject state =
        RunScript("target 1\nprofile 0\ndvd " + dvd_ + "\nplay 1\naudio 1\nconvert\nquit\n");
    EXPECT_EQ(Text(state["dvd_audio_stream"]), "0x81");
    EXPECT_EQ(Texts(state["status"])[0], kCompleted);
    // "Play" ran mplayer on the second track, to its end.
    EXPECT_NEAR(test::ProbeWithFfprobe(Played()).durationSeconds, 2.0, 0.2);
    EXPECT_NEAR(ToneOf(Played()), test::kSecondTrackToneHz, test::kSecondTrackToneHz * 0.05);
    EXPECT_NEAR(ToneOf(export_ + "VTS_01_1.mpg"), test::kSecondTrackToneHz,
                test::kSecondTrackToneHz * 0.05);
}

TEST_F(TwoTrackDvdTest, TheFirstTrackIsConvertedWhenChosenFromTheButton) {
    const QJsonObject state =
        RunScript("target 1\nprofile 0\ndvd " + dvd_ + "\naudio 1\naudio 0\nconvert\nquit\n");
    EXPECT_EQ(Text(state["dvd_audio_stream"]), "0x80");
    EXPECT_NEAR(ToneOf(export_ + "VTS_01_1.mpg"), test::kFirstTrackToneHz,
                test::kFirstTrackToneHz * 0.05);
    EXPECT_FALSE(std::filesystem::exists(Played()));
}

}  // namespace
