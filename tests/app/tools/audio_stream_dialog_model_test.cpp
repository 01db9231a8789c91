#include "app/tools/audio_stream_dialog_model.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "app/tools/tool_runner.h"
#include "tests/support/media_tools.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/process_checks.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

const std::vector<std::string> kDvdLines = {
    "Stream #0:2[0x80]: Audio: ac3, 48000 Hz, stereo, fltp, 192 kb/s",
    "Stream #0:3[0x81]: Audio: ac3, 48000 Hz, mono, fltp, 96 kb/s"};

TEST(AudioStreamDialogModelTest, TheIdIsTheFirstBracketedText) {
    EXPECT_EQ(AudioStreamId(kDvdLines[1]), "0x81");
    EXPECT_EQ(AudioStreamId("Stream #0:1[0x80](eng): Audio: ac3 [x]"), "0x80");
    EXPECT_EQ(AudioStreamId("Stream #0:1: Audio: mp2"), "");
    EXPECT_EQ(AudioStreamId("Stream #0:1]: Audio [0x80"), "");
    EXPECT_EQ(AudioStreamId("[]"), "");
}

TEST(AudioStreamDialogModelTest, OpensOnThePreferredStreamElseTheFirst) {
    test::RunSession session;
    EXPECT_EQ(AudioStreamDialogModel(session.context, "a.vob", kDvdLines, "0x81").SelectedIndex(),
              1);
    EXPECT_EQ(AudioStreamDialogModel(session.context, "a.vob", kDvdLines, "").SelectedIndex(), 0);
    EXPECT_EQ(AudioStreamDialogModel(session.context, "a.vob", kDvdLines, "0x99").SelectedIndex(),
              0);
    // Several lines with the preferred id: the last one.
    const std::vector<std::string> twice = {kDvdLines[1], kDvdLines[0], kDvdLines[1]};
    EXPECT_EQ(InitialAudioStreamIndex(twice, "0x81"), 2);

    AudioStreamDialogModel none(session.context, "a.vob", {}, "0x80");
    EXPECT_EQ(none.SelectedIndex(), -1);
    EXPECT_EQ(none.SelectedAudioId(), "");
    none.Select(0);
    EXPECT_EQ(none.SelectedIndex(), -1);
}

TEST(AudioStreamDialogModelTest, SelectionFollowsTheListAndCloseKeepsIt) {
    test::RunSession session;
    AudioStreamDialogModel dialog(session.context, "a.vob", kDvdLines, "");
    dialog.Select(1);
    EXPECT_EQ(dialog.SelectedAudioId(), "0x81");
    dialog.Select(2);
    dialog.Select(-1);
    EXPECT_EQ(dialog.SelectedIndex(), 1);
    EXPECT_FALSE(dialog.Closed());
    dialog.Close();
    EXPECT_TRUE(dialog.Closed());
    EXPECT_EQ(dialog.SelectedIndex(), 1);
}

TEST(AudioStreamDialogModelTest, PlayCommandNamesTheFileAndTheStream) {
    using Words = std::vector<std::string>;
    EXPECT_EQ(PlayArguments("C:\\a.vob", "0x80"), Words({"mplayer", "C:\\a.vob", "-aid", "0x80"}));
    // A name with blanks and double quotes stays one word, as it is.
    EXPECT_EQ(PlayArguments("/media/My \"DVD\"/VIDEO_TS/VTS_01_1.VOB", "0x81"),
              Words({"mplayer", "/media/My \"DVD\"/VIDEO_TS/VTS_01_1.VOB", "-aid", "0x81"}));
}

// mplayer with its configuration in a folder of the test's own: no picture,
// and the sound it plays written to a WAV file as fast as it decodes.
class PlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string wav = Wav();
        const std::string config =
            "vo=null\nao=\"pcm:fast:file=%" + std::to_string(wav.size()) + "%" + wav + "\"\n";
        test::WriteFile(home_ / "config", config);
        setenv("MPLAYER_HOME", home_.Folder().c_str(), 1);
        ASSERT_TRUE(test::MakeTwoTrackVob(vob_));
    }
    void TearDown() override { unsetenv("MPLAYER_HOME"); }

    std::string Wav() const { return home_ / "played.wav"; }

    test::RunSession session;
    test::TempDir home_{"mplayer home"};
    // mplayer is handed the path as it is, double quotes and all.
    test::TempDir media_{"my \"dvd\" ä"};
    std::string vob_ = media_ / "VTS_01_1.VOB";
};

TEST_F(PlayTest, PlayRunsMplayerOnTheSelectedStreamUntilItEnds) {
    AudioStreamDialogModel dialog(session.context, vob_, kDvdLines, "");
    dialog.Select(1);
    dialog.Play();
    // mplayer has ended: nothing of it is left, and all it played is written.
    EXPECT_FALSE(test::HasChildProcess());
    const test::ProbedFile played = test::ProbeWithFfprobe(Wav());
    EXPECT_NEAR(played.durationSeconds, 2.0, 0.2);
    EXPECT_NEAR(test::ToneFrequencyHz(Wav(), media_ / "tone.raw"), test::kSecondTrackToneHz,
                test::kSecondTrackToneHz * 0.05);

    dialog.Select(0);
    dialog.Play();
    EXPECT_NEAR(test::ToneFrequencyHz(Wav(), media_ / "tone.raw"), test::kFirstTrackToneHz,
                test::kFirstTrackToneHz * 0.05);
    EXPECT_FALSE(dialog.Closed());
}

TEST_F(PlayTest, PlayWithoutStreamsRunsNothing) {
    AudioStreamDialogModel dialog(session.context, vob_, {}, "");
    dialog.Play();
    EXPECT_FALSE(test::HasChildProcess());
    EXPECT_FALSE(std::filesystem::exists(Wav()));
}

}  // namespace
