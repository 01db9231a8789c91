// Runs the real zarvo-mpegenc from the program folder.

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/media_tools.h"
#include "tests/support/run_program.h"
#include "tests/support/small_disk.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kTool = std::string(ZARVO_PROGRAM_FOLDER) + "zarvo-mpegenc";

test::ProgramRun RunTool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), kTool);
    return test::RunProgram(arguments);
}

// Section names in order, and "section/key" → value.
struct PrintedSettings {
    std::vector<std::string> sections;
    std::map<std::string, std::string> values;
    int keys = 0;
};

PrintedSettings Parse(const std::string& text) {
    PrintedSettings printed;
    std::istringstream lines(text);
    std::string section;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) continue;
        if (line.front() == '[') {
            section = line.substr(1, line.size() - 2);
            printed.sections.push_back(section);
            continue;
        }
        const std::size_t equals = line.find('=');
        EXPECT_NE(equals, std::string::npos) << line;
        printed.values[section + "/" + line.substr(0, equals)] = line.substr(equals + 1);
        ++printed.keys;
    }
    return printed;
}

TEST(ZarvoMpegencTest, DvdPresetPrintsEverySectionAndKey) {
    const test::ProgramRun run = RunTool({"--target", "dvd", "--print-settings"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const PrintedSettings printed = Parse(run.out);
    EXPECT_EQ(printed.sections, (std::vector<std::string>{"loadsave", "iofiles", "general", "video",
                                                          "audio", "program", "advVideo"}));
    EXPECT_EQ(printed.keys, 241);
    EXPECT_EQ(printed.values.at("loadsave/description"), "MPEG-2 DVD PAL video and MPEG audio");
    EXPECT_EQ(printed.values.at("video/iFramesInGOP"), "12");
    EXPECT_EQ(printed.values.at("video/frameRateCode"), "3");
    EXPECT_EQ(printed.values.at("program/sectorSize"), "2048");
    EXPECT_EQ(printed.values.at("program/userMuxRate"), "25200");
    EXPECT_EQ(printed.values.at("program/frameTimestamps"), "2");
    EXPECT_EQ(printed.values.at("advVideo/forwHorzSearchP"), "9");
    EXPECT_EQ(printed.values.at("advVideo/backHorzSearchB1"), "6");
}

TEST(ZarvoMpegencTest, NtscVariants) {
    const test::ProgramRun dvd = RunTool({"--target=dvd", "--ntsc", "--print-settings"});
    ASSERT_EQ(dvd.exitCode, 0) << dvd.err;
    const PrintedSettings printed = Parse(dvd.out);
    EXPECT_EQ(printed.values.at("video/iFramesInGOP"), "15");
    EXPECT_EQ(printed.values.at("video/frameRateCode"), "4");
    EXPECT_EQ(printed.values.at("advVideo/displayVerticalSize"), "480");

    const std::pair<const char*, const char*> targets[] = {
        {"mpeg1", "MPEG-1 NTSC video and MPEG audio"},
        {"vcd", "MPEG-1 VideoCD NTSC video and MPEG audio"},
        {"mpeg2", "MPEG-2 NTSC video and MPEG audio"},
        {"svcd", "MPEG-2 SuperVCD NTSC video and MPEG audio"},
    };
    for (auto [target, description] : targets) {
        const test::ProgramRun run = RunTool({"--ntsc", "--print-settings", "--target", target});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(Parse(run.out).values.at("loadsave/description"), description);
    }
}

TEST(ZarvoMpegencTest, ASettingsFileGoesOverThePreset) {
    test::TempDir folder("mpegenc settings ünïcode");
    const std::string path = folder / "my dvd.ini";
    test::WriteFile(path, "[video]\r\n iFramesInGOP = 6 \r\n[ADVVIDEO]\r\nvbvBufferSize=100\r\n");
    const test::ProgramRun run =
        RunTool({"--target", "dvd", "--settings", path, "--print-settings"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const PrintedSettings printed = Parse(run.out);
    EXPECT_EQ(printed.values.at("video/iFramesInGOP"), "6");
    EXPECT_EQ(printed.values.at("advVideo/vbvBufferSize"), "100");
    EXPECT_EQ(printed.values.at("program/userMuxRate"), "25200");
}

TEST(ZarvoMpegencTest, PrintedSettingsAreASettingsFile) {
    test::TempDir folder("mpegenc round trip");
    const test::ProgramRun svcd = RunTool({"--target", "svcd", "--ntsc", "--print-settings"});
    ASSERT_EQ(svcd.exitCode, 0);
    test::WriteFile(folder / "svcd.ini", svcd.out);
    const test::ProgramRun again =
        RunTool({"--target", "mpeg1", "--settings", folder / "svcd.ini", "--print-settings"});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, svcd.out);
}

TEST(ZarvoMpegencTest, RefusedSettingsGiveTheMessageAndExitTwo) {
    test::TempDir folder("mpegenc refused ünïcode");
    const std::string path = folder / "bad gop.ini";
    test::WriteFile(path, "[video]\niFramesInGOP=16\n");
    const test::ProgramRun run =
        RunTool({"--target", "dvd", "--settings", path, "--print-settings"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Invalid video settings in file " + path + ".\n");

    test::WriteFile(path, "[audio]\npsychModel=3\n");
    const test::ProgramRun audio =
        RunTool({"--target", "mpeg1", "--settings", path, "--print-settings"});
    EXPECT_EQ(audio.exitCode, 2);
    EXPECT_EQ(audio.err, "Invalid audio settings in file " + path + ".\n");
}

TEST(ZarvoMpegencTest, BadCommandLinesGiveOneLineAndExitTwo) {
    test::TempDir folder("mpegenc usage");
    test::WriteFile(folder / "second.mp2", "a second audio stream needs a first");
    const std::vector<std::vector<std::string>> commandLines = {
        {},
        {"--print-settings"},
        {"--target"},
        {"--target", "dvd9", "--print-settings"},
        {"--target", "dvd", "--target", "vcd", "--print-settings"},
        {"--target", "dvd", "--frobnicate"},
        {"--target", "dvd", "stray.mpg"},
        {"--target", "dvd"},
        {"--target", "dvd", "--settings", folder / "absent.ini", "--print-settings"},
        {"--target", "dvd", "--settings", folder.Folder(), "--print-settings"},
        {"--target", "dvd", "--video", folder / "absent.y4m"},
        {"--target", "dvd", "--audio", folder / "absent.wav"},
        {"--target", "dvd", "--mux-video", folder / "absent.m2v", "-o", folder / "out.mpg"},
        {"--target", "dvd", "--mux-audio", folder / "absent.mp2", "-o", folder / "out.mpg"},
        {"--target", "dvd", "--print-settings=yes"},
        {"--target=dvd", "--ntsc=1", "--print-settings"},
        {"--target", "dvd", "-o"},
        {"--target", "dvd", "-o", folder / "out.mpg"},
        {"--target", "dvd", "--video-es", folder / "out.m2v"},
        {"--target", "dvd", "--mux-audio1", folder / "second.mp2", "-o", folder / "out.mpg"},
        {"--target", "dvd", "--threads", "0", "--print-settings"},
        {"--target", "dvd", "--threads", "two", "--print-settings"},
        {"--target", "dvd", "--threads=99999999999", "--print-settings"},
    };
    for (const std::vector<std::string>& commandLine : commandLines) {
        const test::ProgramRun run = RunTool(commandLine);
        std::string joined;
        for (const std::string& argument : commandLine) joined += argument + " ";
        EXPECT_EQ(run.exitCode, 2) << joined;
        EXPECT_EQ(run.out, "") << joined;
        EXPECT_EQ(run.err.rfind("zarvo-mpegenc: ", 0), 0u) << joined << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << joined << run.err;
    }
}

TEST(ZarvoMpegencTest, VideoModeWritesTheStreamAndTheReconstruction) {
    test::TempDir folder("mpegenc vidéo");
    const std::string input = folder / "pan clip.y4m";
    ASSERT_EQ(std::system(("ffmpeg -v error -f lavfi -i testsrc2=size=96x64:rate=25 -frames:v 5 '" +
                           input + "'")
                              .c_str()),
              0);
    const test::ProgramRun run = RunTool({"--target", "svcd", "--video", input, "--video-es",
                                          folder / "out.m2v", "--recon", folder / "recon.y4m"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string recon = test::ReadFile(folder / "recon.y4m");
    EXPECT_EQ(recon.rfind("YUV4MPEG2 W96 H64 ", 0), 0u);
    EXPECT_EQ(recon.size(), recon.find('\n') + 1 + 5 * (6 + 96 * 64 * 3 / 2));
    const test::ProgramRun decode = test::RunProgram(
        {"/usr/bin/ffmpeg", "-v", "error", "-i", folder / "out.m2v", "-f", "null", "-"});
    EXPECT_EQ(decode.exitCode, 0);
    EXPECT_EQ(decode.err, "");
}

// The motion search runs ahead on worker threads, and the macroblock rows
// are decided, transformed and rebuilt on them; the stream must not depend
// on how many there are, nor on the processor mode's kernels. A low maximum
// rate makes the DVD preset code GOPs again, which reuses searches made
// ahead; the VideoCD preset runs the constant-bitrate controller; the
// interlaced cases choose field DCT, field and dual-prime motion per
// macroblock, or code field pictures, whose second field is predicted from
// the first while that may still be being rebuilt.
TEST(ZarvoMpegencTest, StreamsAreTheSameForEveryThreadCountAndProcessorMode) {
    test::TempDir folder("mpegenc threads");
    const std::string input = folder / "pan.y4m";
    ASSERT_EQ(
        std::system(("ffmpeg -v error -f lavfi -i \"mandelbrot=s=240x176:rate=25,trim=end_frame="
                     "1,noise=alls=20,loop=loop=-1:size=1,setpts=N/25/TB,crop=176:144:x='n*3':"
                     "y='n*2',format=yuv420p\" -frames:v 20 '" +
                     input + "'")
                        .c_str()),
        0);
    test::WriteFile(folder / "low rate.ini", "[video]\nmaxBitrate=400000\n");
    test::WriteFile(folder / "interlaced.ini",
                    "[video]\nipFrameDistance=1\n[advVideo]\nframePredDCTI=0\n"
                    "framePredDCTP=0\nframePredDCTB=0\n");
    test::WriteFile(folder / "fields.ini", "[advVideo]\nfieldPictures=1\n");
    // The per-user profile that forces the plain kernels.
    ASSERT_EQ(std::system(("mkdir -p '" + folder / "plain/zarvo" + "'").c_str()), 0);
    test::WriteFile(folder / "plain/zarvo/win.ini",
                    "[Zarvo - AVI/DVD/VCD/SVCD/MPEG Converter]\nMMXMode=0\n");
    struct Case {
        const char* target;
        std::vector<std::string> extra;
    };
    const Case cases[] = {
        {"dvd", {}},
        {"dvd", {"--settings", folder / "low rate.ini"}},
        {"vcd", {}},
        {"dvd", {"--settings", folder / "interlaced.ini"}},
        {"dvd", {"--settings", folder / "fields.ini"}},
    };
    std::vector<size_t> sizes;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.target) + (c.extra.empty() ? "" : " " + c.extra.back()));
        std::string first;
        for (const char* threads : {"1", "2", "5"}) {
            std::vector<std::string> arguments = {"--target",  c.target,     "--video",
                                                  input,       "--video-es", folder / "out.m2v",
                                                  "--threads", threads};
            arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
            const test::ProgramRun run = RunTool(arguments);
            ASSERT_EQ(run.exitCode, 0) << run.err;
            const std::string stream = test::ReadFile(folder / "out.m2v");
            ASSERT_GT(stream.size(), 1000u);
            if (first.empty()) {
                first = stream;
            } else {
                EXPECT_TRUE(stream == first) << threads << " threads";
            }
        }
        std::string command = "XDG_CONFIG_HOME='" + folder / "plain" + "' " + kTool + " --target " +
                              c.target + " --video '" + input + "' --video-es '" +
                              folder / "plain.m2v" + "' --threads 3";
        for (const std::string& e : c.extra) command += " '" + e + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_TRUE(test::ReadFile(folder / "plain.m2v") == first) << "plain kernels";
        sizes.push_back(first.size());
    }
    // The low rate's GOPs were coded again, more coarsely.
    ASSERT_EQ(sizes.size(), 5u);
    EXPECT_LT(sizes[1], sizes[0] * 3 / 4);
}

TEST(ZarvoMpegencTest, VideoModeRefusesWhatItCannotCode) {
    test::TempDir folder("mpegenc refused");
    test::WriteFile(folder / "odd.y4m",
                    "YUV4MPEG2 W5 H4 F25:1\nFRAME\n" + std::string(5 * 4 + 2 * 3 * 2, 'x'));
    test::ProgramRun run = RunTool(
        {"--target", "mpeg1", "--video", folder / "odd.y4m", "--video-es", folder / "o.m1v"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "Horizontal size must be a even.\n");

    test::WriteFile(folder / "empty.y4m", "YUV4MPEG2 W4 H4 F25:1\n");
    run = RunTool(
        {"--target", "mpeg1", "--video", folder / "empty.y4m", "--video-es", folder / "o.m1v"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("holds no picture"), std::string::npos);

    run = RunTool({"--target", "mpeg1", "--recon", folder / "r.y4m", "--print-settings"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "zarvo-mpegenc: --recon needs a video input (--video)\n");
}

TEST(ZarvoMpegencTest, HelpPrintsTheUsage) {
    const test::ProgramRun run = RunTool({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("usage: zarvo-mpegenc --target mpeg1|mpeg2|dvd|vcd|svcd", 0), 0u);
}

// The tool writing onto a full disk: it fails, says why, and leaves
// neither the program stream nor the elementary streams it is made of.
class ZarvoMpegencFullDiskTest : public ::testing::TestWithParam<test::DiskKind> {};

TEST_P(ZarvoMpegencFullDiskTest, FailsAndLeavesNothing) {
    const test::TempDir media("mpegenc disk ü");
    const std::string input = media / "clip.avi";
    ASSERT_TRUE(test::MakeClip(input, 4, "-c:v mpeg4 -c:a mp2", "160x120"));
    const std::string before = test::ReadFile(input);
    const std::string folder = media / "small disk/";
    const test::SmallDisk disk(folder, 256 << 10, GetParam());
    if (!disk.Ready()) GTEST_SKIP() << "this process may not mount a tmpfs";

    const test::ProgramRun run =
        RunTool({"--target", "mpeg1", "--input", input, "-o", folder + "clip.mpg"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.err.find("Could not write to file " + folder), std::string::npos) << run.err;
    EXPECT_EQ(test::FileNamesIn(folder), std::vector<std::string>());
    EXPECT_TRUE(test::ReadFile(input) == before);
}

INSTANTIATE_TEST_SUITE_P(Disks, ZarvoMpegencFullDiskTest,
                         ::testing::Values(test::DiskKind::kTmpfs, test::DiskKind::kPreloaded),
                         [](const ::testing::TestParamInfo<test::DiskKind>& info) {
                             return std::string(test::DiskKindName(info.param));
                         });

}  // namespace
