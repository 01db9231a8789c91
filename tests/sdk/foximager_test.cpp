// The DVD image SDK: how it reads its description and the input files, and
// whole builds through its exported functions, read back with lsdvd,
// dvdunauthor and spuunmux.
#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "sdk/foximager/disc_description.h"
#include "sdk/foximager/fox_imager.h"
#include "sdk/foximager/media_facts.h"
#include "sdk/foximager/program_stream_scan.h"
#include "sdk/foximager/stream_remux.h"
#include "sdk/foximager/title_preparation.h"
#include "tests/support/dvd_checks.h"
#include "tests/support/media_tools.h"
#include "tests/support/process_checks.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace foximager;

TEST(DiscDescriptionTest, ReadsTheTitlesTheCountAllowsAndRefusesWhatCannotBeBuilt) {
    std::string error;
    // Keys as the program writes them; a fourth section left from an
    // earlier disc does not count.
    const auto description = ParseDiscDescription(
        "[Infos]\r\nMenu=/a/menu.mpg\r\nSelections=2\r\n[0]\r\nfile=/a/one.mpg\r\n"
        "TopLeft=40,60\r\nRightBottom=200,180\r\nWidth=160\r\nHeight=120\r\nLineWidth=500\r\n"
        "[1]\r\nFILE=/a/two.mpg\r\ntopleft= 280 , 60\r\nRightBottom=440,180\r\n"
        "[2]\r\nfile=/a/old.mpg\r\nTopLeft=1,1\r\nRightBottom=2,2\r\n",
        error);
    ASSERT_TRUE(description.has_value()) << error;
    EXPECT_EQ(description->menu, "/a/menu.mpg");
    ASSERT_EQ(description->titles.size(), 2u);
    EXPECT_EQ(description->titles[1].file, "/a/two.mpg");
    EXPECT_EQ(description->titles[1].button, (ButtonRect{280, 60, 440, 180}));
    EXPECT_EQ(description->titles[0].lineWidth, 500);

    const auto single = ParseDiscDescription("[Infos]\nMenu=/a/t.mpg\nSelections=0\n", error);
    ASSERT_TRUE(single.has_value());
    EXPECT_TRUE(single->titles.empty());

    for (const char* bad : {"", "[Infos]\nSelections=1\n", "[Infos]\nMenu=m\nSelections=x\n",
                            "[Infos]\nMenu=m\nSelections=-1\n", "[Infos]\nMenu=m\nSelections=100\n",
                            "[Infos]\nMenu=m\nSelections=1\n[0]\nfile=f\n",
                            "[Infos]\nMenu=m\nSelections=1\n[0]\nfile=f\nTopLeft=9,9\n"
                            "RightBottom=9,20\n",
                            "[Infos]\nMenu=m\nSelections=1\n[0]\nTopLeft=1,1\nRightBottom=9,9\n"}) {
        error.clear();
        EXPECT_FALSE(ParseDiscDescription(bad, error).has_value()) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    std::srand(3);
    for (int round = 0; round < 200; ++round) {
        std::string noise(static_cast<std::size_t>(std::rand() % 300), '\0');
        for (char& c : noise) c = "[]=,\n01Menu Selections file\r\xff"[std::rand() % 29];
        ParseDiscDescription("[Infos]\nMenu=m\nSelections=3\n" + noise, error);
    }
}

class SdkTest : public ::testing::Test {
protected:
    std::string Make(const std::string& name, const std::string& options, double seconds = 2,
                     const std::string& video = "testsrc2=size=720x576:rate=25") {
        const std::string path = folder_ / name;
        int exitCode = -1;
        const std::string length = std::to_string(seconds);
        const std::string text = test::RunTool(
            "ffmpeg -nostdin -v error -y -f lavfi -i " + video + ":duration=" + length +
                " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" + length + " " +
                options + " " + test::Quoted(path),
            &exitCode);
        EXPECT_EQ(exitCode, 0) << text;
        return path;
    }

    // What the builder would do with the file on a disc of `standard`.
    PreparationPlan Plan(const std::string& path, VideoStandard standard,
                         TitleRole role = TitleRole::kTitle) {
        const MediaFacts facts = ProbeMediaFile(path);
        // Fed in odd pieces, so that headers are cut between them.
        const std::string bytes = test::ReadFile(path);
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        ProgramStreamScanner scanner;
        for (std::size_t at = 0; at < bytes.size(); at += 997) {
            if (!scanner.Feed({data + at, std::min<std::size_t>(997, bytes.size() - at)})) break;
        }
        return PlanPreparation(facts, scanner.Finish(), standard, role);
    }

    test::TempDir folder_{"zarvo dvd sdk ü"};
};

constexpr const char* kDvdStream = "-c:v mpeg2video -aspect 4:3 -c:a ac3 -f dvd";
constexpr const char* kMpegStream = "-c:v mpeg2video -aspect 4:3 -c:a ac3 -f mpeg";

TEST_F(SdkTest, ADvdStreamIsUsedAsItIsMpeg2IsCopiedAndTheRestReencoded) {
    const std::string dvd = Make("dvd.mpg", kDvdStream);
    const std::string mpeg = Make("mpeg.mpg", kMpegStream);
    const std::string square = Make("square.mpg", "-c:v mpeg2video -c:a mp2 -f dvd");
    const std::string silent = Make("silent.mpg", "-map 0:v -c:v mpeg2video -aspect 4:3 -f dvd");
    const std::string mpeg1 =
        Make("vcd.mpg", "-c:v mpeg1video -c:a mp2 -f mpeg", 2, "testsrc2=size=352x288:rate=25");

    EXPECT_EQ(Plan(dvd, VideoStandard::kPal).how, Preparation::kUseAsItIs);
    const PreparationPlan remux = Plan(mpeg, VideoStandard::kPal);
    EXPECT_EQ(remux.how, Preparation::kRemux);
    EXPECT_TRUE(remux.copyAudio);
    EXPECT_FALSE(remux.setAspect);
    // 720 x 576 square pixels: the aspect ratio is rewritten, mp2 kept.
    const PreparationPlan aspect = Plan(square, VideoStandard::kPal);
    EXPECT_EQ(aspect.how, Preparation::kRemux);
    EXPECT_TRUE(aspect.setAspect);
    EXPECT_TRUE(aspect.copyAudio);
    EXPECT_TRUE(Plan(silent, VideoStandard::kPal).addSilence);
    EXPECT_EQ(Plan(mpeg1, VideoStandard::kPal).how, Preparation::kReencode);
    const MediaFacts ntsc =
        ProbeMediaFile(Make("ntsc.mpg", kMpegStream, 1, "testsrc2=size=720x480:rate=30000/1001"));
    ASSERT_NE(ntsc.First("video"), nullptr);
    EXPECT_NEAR(ntsc.First("video")->frameRate, 29.97, 0.01);
    EXPECT_NEAR(ntsc.First("video")->pixelAspect, 8.0 / 9, 0.001);
    EXPECT_EQ(ntsc.First("audio")->sampleRateHz, 48000);
    EXPECT_EQ(StandardOf(ntsc), VideoStandard::kNtsc);
    EXPECT_EQ(StandardOf(ProbeMediaFile(dvd)), VideoStandard::kPal);
    EXPECT_TRUE(ProbeMediaFile(folder_ / "missing.mpg").streams.empty());

    // Sound only in the middle of a long file: the one-second probe misses
    // it, the walk sees its packets, and the longer probe finds it.
    const std::string middle =
        Make("sound in the middle.mpg",
             "-af atrim=start=3:end=6 -c:v mpeg2video -b:v 6M -aspect 4:3 -c:a ac3 -f mpeg", 12,
             "testsrc2=size=352x288:rate=25");
    EXPECT_EQ(ProbeMediaFile(middle).Count("audio"), 0);
    EXPECT_EQ(ProbeMediaFile(middle, ProbeDepth::kFirstMinute).Count("audio"), 1);
    ProgramStreamScanner walk;
    const std::string middleBytes = test::ReadFile(middle);
    walk.Feed({reinterpret_cast<const std::uint8_t*>(middleBytes.data()), middleBytes.size()});
    EXPECT_TRUE(walk.Finish().soundPackets);
    ProgramStreamScanner silentWalk;
    const std::string silentBytes = test::ReadFile(silent);
    silentWalk.Feed(
        {reinterpret_cast<const std::uint8_t*>(silentBytes.data()), silentBytes.size()});
    EXPECT_FALSE(silentWalk.Finish().soundPackets);

    // PAL on an NTSC disc, and a half-size picture as a menu.
    EXPECT_EQ(Plan(dvd, VideoStandard::kNtsc).how, Preparation::kReencode);
    EXPECT_EQ(Plan(mpeg1, VideoStandard::kPal, TitleRole::kMenu).how, Preparation::kReencode);

    // Garbage in the middle of a sound stream is found; a cut end is not
    // damage.
    std::string bytes = test::ReadFile(mpeg);
    for (std::size_t i = bytes.size() / 3; i < bytes.size() / 2; ++i) bytes[i] = 'x';
    test::WriteFile(folder_ / "damaged.mpg", bytes);
    const PreparationPlan damaged = Plan(folder_ / "damaged.mpg", VideoStandard::kPal);
    EXPECT_NE(damaged.failure.find("damaged at byte"), std::string::npos) << damaged.failure;
    test::WriteFile(folder_ / "cut.mpg", test::ReadFile(dvd).substr(0, 100001));
    EXPECT_TRUE(Plan(folder_ / "cut.mpg", VideoStandard::kPal).failure.empty());
    // Zeros after the end are padding; anything after them is not.
    test::WriteFile(folder_ / "padded.mpg", test::ReadFile(dvd) + std::string(5000, '\0'));
    EXPECT_EQ(Plan(folder_ / "padded.mpg", VideoStandard::kPal).how, Preparation::kUseAsItIs);
    test::WriteFile(folder_ / "tail.mpg", test::ReadFile(dvd) + std::string(50, '\0') + "tail");
    EXPECT_EQ(Plan(folder_ / "tail.mpg", VideoStandard::kPal).failure,
              "it is damaged at byte " + std::to_string(test::ReadFile(dvd).size() + 50));
}

// ffmpeg's VideoCD files fill every 2324-byte sector after its padding
// packet with zeros: runs of zeros of any length between units are filler,
// and only a byte that starts no unit is damage.
TEST_F(SdkTest, ZerosBetweenUnitsAreFillerAndOnlyBytesThatStartNoUnitAreDamage) {
    const std::string pal =
        Make("pal vcd.mpg", "-target pal-vcd", 2, "testsrc2=size=352x288:rate=25");
    const std::string ntsc =
        Make("ntsc vcd.mpg", "-target ntsc-vcd", 2, "testsrc2=size=352x240:rate=30000/1001");
    for (const auto& [path, standard] :
         {std::pair{pal, VideoStandard::kPal}, std::pair{ntsc, VideoStandard::kNtsc}}) {
        SCOPED_TRACE(path);
        const std::string bytes = test::ReadFile(path);
        // The files really have zeros between units, short of the sector's end.
        ASSERT_NE(bytes.find(std::string(8, '\0') + "\0\0\1\xba"), std::string::npos);
        const PreparationPlan plan = Plan(path, standard);
        EXPECT_EQ(plan.failure, "");
        EXPECT_EQ(plan.how, Preparation::kReencode);

        // Garbage in the middle of the sectors is still found, where it is.
        std::string damaged = bytes;
        const std::size_t from = 40 * 2324 + 1000;
        for (std::size_t i = from; i < from + 3000; ++i) damaged[i] = 'x';
        test::WriteFile(folder_ / "damaged vcd.mpg", damaged);
        const std::string failure = Plan(folder_ / "damaged vcd.mpg", standard).failure;
        ASSERT_EQ(failure.rfind("it is damaged at byte ", 0), 0u) << failure;
        const std::uint64_t at = std::stoull(failure.substr(22));
        EXPECT_GE(at, 40 * 2324u);
        EXPECT_LE(at, from + 3000);
    }

    // One, two or three zeros before a pack; a start code's 0x01 after a
    // single zero starts nothing.
    const std::string dvd = test::ReadFile(Make("dvd.mpg", kDvdStream, 1));
    const std::string firstPack = dvd.substr(0, 2048);
    for (std::size_t zeros = 1; zeros <= 3; ++zeros) {
        test::WriteFile(folder_ / "zeros.mpg", dvd + std::string(zeros, '\0') + firstPack);
        EXPECT_EQ(Plan(folder_ / "zeros.mpg", VideoStandard::kPal).failure, "") << zeros;
    }
    test::WriteFile(folder_ / "one.mpg", dvd + std::string(1, '\0') + "\1\xba");
    EXPECT_EQ(Plan(folder_ / "one.mpg", VideoStandard::kPal).failure,
              "it is damaged at byte " + std::to_string(dvd.size() + 1));
    // A file that does not begin with a pack is no program stream: it is
    // re-encoded, not called damaged.
    test::WriteFile(folder_ / "late.mpg", std::string(4, '\0') + dvd);
    ProgramStreamScanner late;
    const std::string lateBytes = test::ReadFile(folder_ / "late.mpg");
    late.Feed({reinterpret_cast<const std::uint8_t*>(lateBytes.data()), lateBytes.size()});
    const ProgramStreamFacts lateFacts = late.Finish();
    EXPECT_FALSE(lateFacts.startsWithPack);
    EXPECT_FALSE(lateFacts.damagedAt.has_value());
}

// What ffmpeg makes of a file: its first stream's figures and any message a
// whole decode prints.
std::string Ffprobe(const std::string& path, const std::string& entries,
                    const std::string& stream) {
    return test::RunTool("ffprobe -v error -select_streams " + stream + " -show_entries " +
                         entries + " -of csv=p=0 " + test::Quoted(path));
}

std::string DecodeMessages(const std::string& path) {
    return test::RunTool("ffmpeg -nostdin -v error -i " + test::Quoted(path) + " -f null -");
}

// A checksum of a stream's packets as ffmpeg copies them.
std::string PacketSum(const std::string& path, const std::string& stream) {
    return test::RunTool("ffmpeg -nostdin -v error -i " + test::Quoted(path) + " -map 0:" + stream +
                         " -c copy -f md5 -");
}

TEST_F(SdkTest, MpegTwoIsCopiedIntoADvdStreamWithItsSoundOrWithSilence) {
    // The menu clip as the program makes it: square pixels and no sound.
    const std::string menu = Make("menu.mpg", "-map 0:v -c:v mpeg2video -f mpeg", 2,
                                  "color=c=navy:size=720x576:rate=25");
    const PreparationPlan silent = Plan(menu, VideoStandard::kPal, TitleRole::kMenu);
    ASSERT_TRUE(RemuxesInProcess(silent));
    ASSERT_TRUE(silent.addSilence && silent.setAspect);
    const std::string menuOut = folder_ / "menu dvd.mpg";
    std::string failure;
    int reports = 0;
    const auto count = [&reports](double percent) {
        EXPECT_GE(percent, 0);
        EXPECT_LE(percent, 100);
        ++reports;
        return true;
    };
    ASSERT_EQ(RemuxForDvd(silent, menu, menuOut, count, failure), RemuxResult::kDone) << failure;
    EXPECT_EQ(DecodeMessages(menuOut), "");
    // ffprobe may add empty fields for side data after these.
    EXPECT_EQ(
        Ffprobe(menuOut, "stream=codec_name,display_aspect_ratio", "v").rfind("mpeg2video,4:3", 0),
        0u);
    EXPECT_EQ(
        Ffprobe(menuOut, "stream=codec_name,sample_rate,channels", "a").rfind("ac3,48000,2", 0),
        0u);
    // The sound lasts as long as the pictures, and the pictures are the
    // input's, bit for bit apart from the aspect ratio.
    const double videoSeconds = std::atof(Ffprobe(menuOut, "stream=duration", "v").c_str());
    const double audioSeconds = std::atof(Ffprobe(menuOut, "stream=duration", "a").c_str());
    EXPECT_NEAR(videoSeconds, 2, 0.1);
    EXPECT_NEAR(audioSeconds, videoSeconds, 0.1);
    EXPECT_EQ(
        test::RunTool("ffmpeg -nostdin -v error -i " + test::Quoted(menuOut) +
                      " -map 0:v -f md5 -"),
        test::RunTool("ffmpeg -nostdin -v error -i " + test::Quoted(menu) + " -map 0:v -f md5 -"));
    // Now a DVD stream that dvdauthor's checks accept as it is.
    EXPECT_EQ(Plan(menuOut, VideoStandard::kPal, TitleRole::kMenu).how, Preparation::kUseAsItIs);

    // Sound a DVD carries is copied packet for packet.
    const std::string title = Make("title.mpg", kMpegStream, 3);
    const PreparationPlan copy = Plan(title, VideoStandard::kPal);
    ASSERT_TRUE(RemuxesInProcess(copy));
    const std::string titleOut = folder_ / "title dvd.mpg";
    ASSERT_EQ(RemuxForDvd(copy, title, titleOut, count, failure), RemuxResult::kDone) << failure;
    EXPECT_EQ(DecodeMessages(titleOut), "");
    EXPECT_EQ(PacketSum(titleOut, "a"), PacketSum(title, "a"));
    EXPECT_EQ(PacketSum(titleOut, "v"), PacketSum(title, "v"));
    EXPECT_EQ(Plan(titleOut, VideoStandard::kPal).how, Preparation::kUseAsItIs);

    // Sound that must be re-encoded is not done here.
    PreparationPlan reencodeSound = copy;
    reencodeSound.copyAudio = false;
    EXPECT_FALSE(RemuxesInProcess(reencodeSound));

    // Stopped at its first report, or fed garbage: no file is left.
    const std::string stoppedOut = folder_ / "stopped.mpg";
    EXPECT_EQ(RemuxForDvd(
                  copy, title, stoppedOut, [](double) { return false; }, failure),
              RemuxResult::kStopped);
    EXPECT_FALSE(fs::exists(stoppedOut));
    test::WriteFile(folder_ / "garbage.mpg", std::string(4096, '\x47'));
    failure.clear();
    EXPECT_EQ(RemuxForDvd(copy, folder_ / "garbage.mpg", stoppedOut, count, failure),
              RemuxResult::kFailed);
    EXPECT_FALSE(failure.empty());
    EXPECT_FALSE(fs::exists(stoppedOut));
}

// A build through the exported functions, recording every progress report.
struct Report {
    float percent;
    int stage;
    int stages;
};

struct BuildRun {
    int result = 0;
    std::string error;
    std::string log;
    std::vector<Report> reports;
};

class BuildTest : public SdkTest {
protected:
    BuildRun Build(const std::string& description,
                   const std::function<bool(const Report&)>& stopWhen = {}) {
        struct Context {
            DVDImageBuildHandle handle;
            BuildRun* run;
            const std::function<bool(const Report&)>* stopWhen;
        };
        BuildRun run;
        const std::string ini = folder_ / "dvdimage.ini";
        test::WriteFile(ini, description);
        const DVDImageBuildHandle handle = DVDImageBuild_Create();
        EXPECT_NE(handle, nullptr);
        Context context{handle, &run, &stopWhen};
        DVDImageBuild_LoadINI(handle, ini.c_str());
        DVDImageBuild_SetOutputFolder(handle, output_.c_str());
        DVDImageBuild_SetProgressCallback(
            handle,
            [](void* c, float percent, int stage, int stages) {
                auto* context = static_cast<Context*>(c);
                const Report report{percent, stage, stages};
                context->run->reports.push_back(report);
                if (*context->stopWhen && (*context->stopWhen)(report)) {
                    DVDImageBuild_StopBuildDVD(context->handle);
                }
                return 1;
            },
            &context);
        run.result = DVDImageBuild_BuildDVD(handle);
        run.error = DVDImageBuild_GetErrorText(handle);
        run.log = DVDImageBuild_GetAuthoringLog(handle);
        DVDImageBuild_Destory(handle);
        return run;
    }

    // Only the DVD folder may be left in the output folder: no work files.
    std::vector<std::string> OutputEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(output_)) {
            names.push_back(entry.path().filename());
        }
        return names;
    }

    std::string output_ = folder_ / "output folder/";
    std::string videoTs_ = output_ + "DVD/VIDEO_TS";

    void SetUp() override { fs::create_directories(output_); }
};

std::string Section(int index, const std::string& file, const std::string& topLeft,
                    const std::string& rightBottom) {
    return "[" + std::to_string(index) + "]\nfile=" + file + "\nTopLeft=" + topLeft +
           "\nRightBottom=" + rightBottom + "\nLineWidth=500\n";
}

TEST_F(BuildTest, ThreeTitlesWithAMenuWhoseButtonsPlayThem) {
    // The menu as the program makes it: a still picture, no sound.
    const std::string menu = Make("menu clip.mpg", "-map 0:v -c:v mpeg2video -f mpeg", 2,
                                  "color=c=navy:size=720x576:rate=25");
    const std::string first = Make("first & 'one'.mpg", kMpegStream, 3);
    const std::string second = Make("second.mpg", kDvdStream, 2);
    const std::string third = Make("third.mpg", "-c:v mpeg1video -c:a mp2 -ar 44100 -f mpeg", 4,
                                   "testsrc2=size=352x288:rate=25");
    const BuildRun run =
        Build("[Infos]\nMenu=" + menu + "\nSelections=3\n" + Section(0, first, "40,40", "200,160") +
              Section(1, second, "280,40", "440,161") + Section(2, third, "520,41", "680,160"));
    ASSERT_EQ(run.result, 1) << run.error;
    EXPECT_EQ(run.error, "");
    EXPECT_EQ(run.log.find("ERR:"), std::string::npos) << run.log;

    const std::vector<double> lengths = test::DvdTitleLengths(output_ + "DVD");
    ASSERT_EQ(lengths.size(), 3u);
    EXPECT_NEAR(lengths[0], 3, 0.5);
    EXPECT_NEAR(lengths[1], 2, 0.5);
    EXPECT_NEAR(lengths[2], 4, 0.5);

    const test::DvdMenu read = test::ReadDvdMenu(videoTs_, folder_ / "unauthored");
    ASSERT_EQ(read.buttons.size(), 3u) << read.description;
    // From the 720 x 480 menu picture onto the 720 x 576 video, tops on even
    // lines and bottoms on odd ones.
    const std::vector<std::array<int, 4>> expected = {
        {40, 48, 200, 193}, {280, 48, 440, 193}, {520, 48, 680, 193}};
    for (std::size_t i = 0; i < 3; ++i) {
        const test::MenuButton& b = read.buttons[i];
        EXPECT_EQ(b.name, static_cast<int>(i + 1));
        EXPECT_EQ(b.command, "jump title " + std::to_string(i + 1) + ";");
        EXPECT_EQ((std::array<int, 4>{b.x0, b.y0, b.x1, b.y1}), expected[i]);
    }
    EXPECT_EQ(read.titleEnds, std::vector<std::string>(3, "call vmgm menu 1 resume 1;"));

    // Six stages: menu, three titles, buttons, authoring; each reported in
    // order and ending at 100 %.
    ASSERT_FALSE(run.reports.empty());
    int stage = 0;
    float percent = 0;
    for (const Report& r : run.reports) {
        EXPECT_EQ(r.stages, 6);
        ASSERT_GE(r.stage, stage);
        if (r.stage == stage) {
            EXPECT_GE(r.percent, percent);
        }
        stage = r.stage;
        percent = r.percent;
    }
    EXPECT_EQ(run.reports.back().stage, 5);
    EXPECT_EQ(run.reports.back().percent, 100);
    EXPECT_EQ(OutputEntries(), std::vector<std::string>({"DVD"}));
}

TEST_F(BuildTest, SoundThatStartsLateIsKeptAndABuildFromTheDiscItselfIsRefused) {
    const std::string middle =
        Make("sound in the middle.mpg",
             "-af atrim=start=3:end=6 -c:v mpeg2video -b:v 6M -aspect 4:3 -c:a ac3 -f mpeg", 12,
             "testsrc2=size=352x288:rate=25");
    const BuildRun run = Build("[Infos]\nMenu=" + middle + "\nSelections=0\n");
    ASSERT_EQ(run.result, 1) << run.error;
    const std::string vob = videoTs_ + "/VTS_01_1.VOB";
    EXPECT_NEAR(test::ToneFrequencyHz(vob, folder_ / "tone.raw"), 440, 5);
    EXPECT_EQ(test::DvdTitleLengths(output_ + "DVD").size(), 1u);

    // The disc's own title as the next build's input: rewriting the folder
    // would delete it, so the build is refused and the disc left as it was.
    const std::string before = test::ReadFile(vob);
    const BuildRun again = Build("[Infos]\nMenu=" + vob + "\nSelections=0\n");
    EXPECT_EQ(again.result, 0);
    EXPECT_NE(again.error.find("VTS_01_1.VOB\" lies in the DVD folder this build rewrites"),
              std::string::npos)
        << again.error;
    EXPECT_EQ(test::ReadFile(vob), before);
    EXPECT_EQ(test::DvdTitleLengths(output_ + "DVD").size(), 1u);
}

TEST_F(BuildTest, VideoCdFilesOfFfmpegBecomeADvdTitle) {
    for (const auto& [target, video] :
         {std::pair{"pal-vcd", "testsrc2=size=352x288:rate=25"},
          std::pair{"ntsc-vcd", "testsrc2=size=352x240:rate=30000/1001"}}) {
        SCOPED_TRACE(target);
        const std::string vcd =
            Make(std::string(target) + " clip.mpg", std::string("-target ") + target, 2, video);
        const BuildRun run = Build("[Infos]\nMenu=" + vcd + "\nSelections=0\n");
        ASSERT_EQ(run.result, 1) << run.error;
        const std::vector<double> lengths = test::DvdTitleLengths(output_ + "DVD");
        ASSERT_EQ(lengths.size(), 1u);
        EXPECT_NEAR(lengths[0], 2, 0.5);
    }
}

TEST_F(BuildTest, StoppedFailedAndUnreadableBuildsLeaveNoFolder) {
    const std::string title = Make("title.mpg", kMpegStream, 2);
    // A long title that must be re-encoded, stopped in its stage.
    const std::string slow =
        Make("slow.mpg", "-c:v mpeg1video -c:a mp2 -f mpeg", 60, "testsrc2=size=352x288:rate=25");
    fs::create_directories(videoTs_);
    test::WriteFile(videoTs_ + "/VIDEO_TS.IFO", "from an earlier disc");
    const BuildRun stopped = Build("[Infos]\nMenu=" + slow + "\nSelections=0\n",
                                   [](const Report& r) { return r.stage == 0 && r.percent > 10; });
    EXPECT_EQ(stopped.result, 0);
    EXPECT_EQ(stopped.error, "The DVD build was stopped.");
    EXPECT_FALSE(test::HasChildProcess());
    EXPECT_FALSE(fs::exists(videoTs_));
    EXPECT_EQ(OutputEntries(), std::vector<std::string>({"DVD"}));
    // With a menu, whose buttons go in while the title is re-encoded: both
    // tools end.
    const std::string menu = Make("menu.mpg", "-map 0:v -c:v mpeg2video -f mpeg", 2,
                                  "color=c=navy:size=720x576:rate=25");
    const BuildRun stoppedWithMenu =
        Build("[Infos]\nMenu=" + menu + "\nSelections=1\n" + Section(0, slow, "40,40", "200,160"),
              [](const Report& r) { return r.stage == 1 && r.percent > 10; });
    EXPECT_EQ(stoppedWithMenu.result, 0);
    EXPECT_EQ(stoppedWithMenu.error, "The DVD build was stopped.");
    EXPECT_FALSE(test::HasChildProcess());
    EXPECT_FALSE(fs::exists(videoTs_));
    EXPECT_EQ(OutputEntries(), std::vector<std::string>({"DVD"}));

    std::string bytes = test::ReadFile(title);
    for (std::size_t i = bytes.size() / 3; i < bytes.size() / 2; ++i) bytes[i] = '\x5a';
    const std::string broken = folder_ / "broken.mpg";
    test::WriteFile(broken, bytes);
    const BuildRun damaged = Build("[Infos]\nMenu=" + broken + "\nSelections=0\n");
    EXPECT_EQ(damaged.result, 0);
    EXPECT_NE(damaged.error.find("broken.mpg\" cannot go on a DVD: it is damaged at byte"),
              std::string::npos)
        << damaged.error;

    const BuildRun missing = Build("[Infos]\nMenu=" + title + "\nSelections=1\n" +
                                   Section(0, folder_ / "gone.mpg", "1,1", "9,9"));
    EXPECT_EQ(missing.result, 0);
    EXPECT_NE(missing.error.find("gone.mpg\" does not exist"), std::string::npos);
    const BuildRun unreadable = Build("[Infos]\nSelections=abc\n");
    EXPECT_EQ(unreadable.result, 0);
    EXPECT_EQ(unreadable.error, "The description names no menu and no title.");
    EXPECT_FALSE(fs::exists(videoTs_));
    EXPECT_EQ(OutputEntries(), std::vector<std::string>({"DVD"}));
}

// The library's host killed outright while one of the library's tools runs:
// the tool goes with it. The host is a child of this test that runs a build
// through the exported functions; the tool is caught and frozen first, so
// that it cannot end by itself before its host is killed.
class KilledHostTest : public BuildTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(KilledHostTest, TheToolGoesWithItsHost) {
    using namespace std::chrono_literals;
    const std::string tool = GetParam();
    // Orphans become this test's children, where the check after every test
    // sees them.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    // ffmpeg re-encodes the MPEG-1 title, spumux puts the buttons into the
    // menu, dvdauthor writes the folder.
    const std::string menu = Make("menu.mpg", "-map 0:v -c:v mpeg2video -f mpeg", 2,
                                  "color=c=navy:size=720x576:rate=25");
    const std::string title =
        Make("title.mpg", "-c:v mpeg1video -c:a mp2 -f mpeg", 2, "testsrc2=size=352x288:rate=25");
    const std::string ini = folder_ / "dvdimage.ini";
    test::WriteFile(
        ini, "[Infos]\nMenu=" + menu + "\nSelections=1\n" + Section(0, title, "40,40", "200,160"));

    const pid_t host = fork();
    ASSERT_GE(host, 0);
    if (host == 0) {
        const DVDImageBuildHandle handle = DVDImageBuild_Create();
        DVDImageBuild_LoadINI(handle, ini.c_str());
        DVDImageBuild_SetOutputFolder(handle, output_.c_str());
        _exit(DVDImageBuild_BuildDVD(handle) ? 0 : 1);
    }
    const pid_t running = test::CatchAndFreezeChild(host, tool, 120s);
    ASSERT_EQ(kill(host, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(host, &status, 0), host);
    ASSERT_GT(running, 0) << tool << " never ran";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_TRUE(test::EndsWithin(running, 5s)) << tool << " outlived its host";
}

INSTANTIATE_TEST_SUITE_P(Tools, KilledHostTest, ::testing::Values("ffmpeg", "spumux", "dvdauthor"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param);
                         });

}  // namespace
