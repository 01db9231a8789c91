// RealVideo through the real program: the main window driven by a script,
// the conversion host tobrin with libkorvan.so, and ffmpeg.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <filesystem>

#include "platform/private_profile.h"
#include "tests/app/shell/end_to_end_fixture.h"
#include "tests/support/av_sync.h"
#include "tests/support/real_video.h"

namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;
using test::EndToEndTest;
using test::Text;
using test::Texts;

constexpr const char* kCompleted = "All converting works are Completed!";

std::vector<int> Ints(const QJsonValue& array) {
    std::vector<int> values;
    for (const QJsonValue& value : array.toArray()) values.push_back(value.toInt());
    return values;
}

class RealVideoEndToEndTest : public EndToEndTest {
protected:
    std::string RealVideo(const std::string& name, double seconds,
                          const std::string& size = "160x120") {
        const std::string path = clips_ + name;
        EXPECT_TRUE(test::MakeRealVideoClip(path, seconds, size)) << path;
        return path;
    }
    std::string Job(const std::string& section, const std::string& key) const {
        return platform::GetPrivateProfileString(section, key, "<absent>", 4096,
                                                 program_ + "Tobrin.ini");
    }
    Paths Exported() const { return test::FileNamesIn(export_, "tmpmd"); }
};

TEST_F(RealVideoEndToEndTest, ARealVideoInputIsConvertedThroughTheHost) {
    // Long enough for the job to be polled while it runs, even on a quiet
    // machine, where the library codes this size at some 20 times real time.
    const std::string input = RealVideo("real clip.rm", 60, "320x240");
    const QJsonObject state =
        RunScript("target 1\nprofile 0\nbrowse " + input + "\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["status"])[0], kCompleted);
    EXPECT_TRUE(Texts(state["failed"]).empty());
    EXPECT_EQ(Text(state["stopped"]), "");

    // The host's job ended well, and only the converted file is left.
    EXPECT_EQ(Job("common", "ipercent"), "-1");
    EXPECT_EQ(Job("common", "iErrorCode"), "0");
    EXPECT_EQ(Exported(), Paths({"real clip.mpg"}));
    EXPECT_EQ(test::DecodeErrors(export_ + "real clip.mpg"), "");
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "real clip.mpg").durationSeconds,
                test::ProbeWithFfprobe(input).durationSeconds, 0.5);

    // The job's progress rose to 100 before ffmpeg's began, and the status
    // line showed the host's own lines.
    const std::vector<int> progress = Ints(state["progress_log"]);
    const auto end = std::find(progress.begin(), progress.end(), 100);
    ASSERT_NE(end, progress.end());
    EXPECT_TRUE(std::is_sorted(progress.begin(), end + 1));
    EXPECT_TRUE(std::any_of(progress.begin(), end, [](int percent) { return percent > 0; }))
        << "the job's progress was never seen between its start and its end";
    const Paths tips = Texts(state["job_tips"]);
    ASSERT_FALSE(tips.empty());
    EXPECT_EQ(tips.front().rfind("Remain: ", 0), 0u) << tips.front();
    const Paths log = Texts(state["status_log"]);
    EXPECT_NE(std::find(log.begin(), log.end(), " Converting " + input + " Now..."), log.end());
    EXPECT_EQ(test::ProcessesMentioning(program_ + "tobrin"), Paths());
}

TEST_F(RealVideoEndToEndTest, StoppingDuringTheJobEndsTheHostAndLeavesNothing) {
    const std::string input = RealVideo("long clip.rm", 300, "320x240");
    const QJsonObject state =
        RunScript("target 1\nprofile 0\nbrowse " + input + "\nstop-after 6\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["status"]),
              Paths({"Conversion stopped: 0 of 1 file converted.", "", ""}));
    EXPECT_EQ(Text(state["stopped"]), input);
    EXPECT_EQ(state["progress"].toInt(), 0);
    EXPECT_EQ(Job("common", "canceltbr"), "1");
    // The host had begun and then went; it left no file of the job.
    EXPECT_FALSE(Ints(state["progress_log"]).empty());
    EXPECT_EQ(test::ProcessesMentioning(program_ + "tobrin"), Paths());
    EXPECT_EQ(Exported(), Paths());
    EXPECT_EQ(test::FileNamesIn(export_ + "tmpmd"), Paths());
}

TEST_F(RealVideoEndToEndTest, AnInputOnlyTheEngineCanPlayIsConvertedWithItsSoundInStep) {
    // The library leaves RealMedia to the engine: the host plays it into an
    // intermediate AVI beside the input, which ffmpeg then converts.
    test::WriteFile(program_ + "zarvo.ini",
                    "[common]\nexportfolder=" + export_ + "\n[korvan]\nrealmediareader=0\n");
    const std::string input = clips_ + "engine clip.rm";
    ASSERT_TRUE(test::MakeFlashAndBeepClip(input, 10, 100, "-c:v rv20 -c:a ac3 -f rm"));
    const QJsonObject state =
        RunScript("target 1\nprofile 0\nbrowse " + input + "\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["status"])[0], kCompleted);
    EXPECT_TRUE(Texts(state["failed"]).empty());
    EXPECT_TRUE(Texts(state["messages"]).empty());
    EXPECT_EQ(Job("common", "iErrorCode"), "5");
    EXPECT_EQ(Job("outformat", "tempavifilename"), input + "tmp.avi");

    // The converted file lasts as long as the input, picture and sound, in
    // step; the intermediate AVI is gone and the input is untouched.
    EXPECT_EQ(Exported(), Paths({"engine clip.mpg"}));
    const std::string output = export_ + "engine clip.mpg";
    EXPECT_EQ(test::DecodeErrors(output), "");
    const test::StreamFacts made = test::ProbeStreamFacts(output);
    const test::StreamFacts source = test::ProbeStreamFacts(input);
    EXPECT_NEAR(made.videoSeconds, source.videoSeconds, 0.2);
    EXPECT_NEAR(made.audioSeconds, source.audioSeconds, 0.2);
    const double flash = test::FlashSeconds(output);
    EXPECT_GT(flash, 3.5);
    EXPECT_NEAR(test::BeepSeconds(output), flash, 0.08);
    EXPECT_EQ(test::FileNamesIn(clips_), Paths({"engine clip.rm"}));
    EXPECT_EQ(test::ProcessesMentioning(program_ + "tobrin"), Paths());
}

TEST_F(RealVideoEndToEndTest, WithoutTheEngineTheJobFailsAndTheQueueGoesOn) {
    test::WriteFile(program_ + "zarvo.ini",
                    "[common]\nexportfolder=" + export_ + "\n[korvan]\nrealmediareader=0\n");
    fs::remove(program_ + "libpnen3260.so");
    const std::string input = RealVideo("engine only.rm", 1);
    const std::string next = Clip("next.avi", 1);
    const QJsonObject state =
        RunScript("target 1\nprofile 0\nbrowse " + input + "\t" + next + "\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["messages"]), Paths({"Can't open - " + input}));
    EXPECT_EQ(Texts(state["failed"]), Paths({input}));
    EXPECT_TRUE(
        Texts(state["status"])[0].starts_with(std::string(kCompleted) + " (1 of 2 failed: "))
        << Texts(state["status"])[0];
    EXPECT_EQ(Exported(), Paths({"next.mpg"}));
    EXPECT_EQ(Job("common", "iErrorCode"), "1");
    EXPECT_FALSE(fs::exists(input + "tmp.avi"));
}

}  // namespace
