// zarvo-convert as its users run it: the real program from a private copy of
// the program folder, the real ffmpeg, mencoder and SDK stand-ins, without a
// display, its exit status, what it prints and what it leaves on disk.
#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/media_tools.h"
#include "tests/support/process_checks.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Words = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A private program folder (the program, its libraries and host, the
// shipped profiles) whose settings send converted files to a folder of the
// test's own; run without a display, and in a temporary folder of its own.
class ZarvoConvertTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A tool left behind by the program becomes this test's child.
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        fs::create_directories(program_);
        for (const fs::directory_entry& entry : fs::directory_iterator(ZARVO_PROGRAM_FOLDER)) {
            const std::string name = entry.path().filename();
            const bool library = name.starts_with("lib") && name.ends_with(".so");
            if (name == "zarvo-convert" || name == "tobrin" || name == "merrow" || library ||
                name.ends_with(".ini")) {
                fs::copy(entry.path(), program_ + name, fs::copy_options::recursive);
            }
        }
        fs::remove(program_ + "zarvo.ini");
        test::WriteFile(program_ + "zarvo.ini", "[common]\nexportfolder=" + export_ + "\n");
    }
    void TearDown() override {
        EXPECT_EQ(test::RunningChildProcesses(std::chrono::seconds(2)), Words{});
    }

    // Runs the program with these arguments, without a display.
    test::ProgramRun Convert(const Words& arguments, const Words& before = {}) {
        Words words = {"/usr/bin/env",
                       "-u",
                       "DISPLAY",
                       "-u",
                       "WAYLAND_DISPLAY",
                       "TMPDIR=" + scratch_.Folder(),
                       "XDG_RUNTIME_DIR=" + scratch_.Folder()};
        words.insert(words.end(), before.begin(), before.end());
        words.push_back(program_ + "zarvo-convert");
        words.insert(words.end(), arguments.begin(), arguments.end());
        return test::RunProgram(words);
    }
    std::string Clip(const std::string& name, double seconds, const std::string& options) {
        const std::string path = clips_ / name;
        EXPECT_TRUE(test::MakeClip(path, seconds, options, "320x240")) << path;
        return path;
    }
    Words ExportedFiles() const {
        Words names;
        if (!fs::exists(export_)) return names;
        for (const fs::directory_entry& entry : fs::directory_iterator(export_)) {
            names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    test::TempDir root_{"zarvo convert ü"};
    std::string program_ = root_ / "program folder/";
    std::string export_ = root_ / "export folder/";
    test::TempDir clips_{"convert clips"};
    test::TempDir scratch_{"convert scratch"};
};

TEST_F(ZarvoConvertTest, TwoFilesToTheIpodConvertWithoutADisplay) {
    const std::string one = Clip("holiday one.avi", 2, "-c:v mpeg4 -c:a mp3");
    const std::string two = Clip("zwei \"Fälle\".mp4", 3, "-c:v libx264 -c:a aac");
    const test::ProgramRun run = Convert({"--target", "ipod", one, two});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(ExportedFiles(), (Words{"holiday one.mp4", "zwei \"Fälle\".mp4"}));
    for (const auto& [name, seconds] :
         {std::pair{"holiday one.mp4", 2.0}, {"zwei \"Fälle\".mp4", 3.0}}) {
        // The iPod's first profile: MPEG-4 video and AAC sound in MP4.
        const test::ProbedFile made = test::ProbeWithFfprobe(export_ + name);
        EXPECT_EQ(made.majorBrand, "isom") << name;
        EXPECT_EQ(made.videoCodec, "mpeg4") << name;
        EXPECT_EQ(made.audioCodec, "aac") << name;
        EXPECT_NEAR(made.durationSeconds, seconds, 0.3) << name;
    }
    // Not a terminal: one plain line per file, then the summary.
    EXPECT_FALSE(Contains(run.out, "\r"));
    EXPECT_TRUE(Contains(run.out, "holiday one.avi")) << run.out;
    EXPECT_TRUE(Contains(run.out, "Converted 2 of 2 files")) << run.out;
    EXPECT_TRUE(Contains(run.out, export_)) << run.out;
}

TEST_F(ZarvoConvertTest, ABrokenFileIsNamedWithItsReasonAndTheOthersConvert) {
    const std::string good = Clip("good.avi", 2, "-c:v mpeg4 -c:a mp3");
    const std::string broken = clips_ / "broken.avi";
    test::WriteFile(broken, std::string(8192, 'x'));
    const std::string later = Clip("later.avi", 1, "-c:v mpeg4 -c:a mp3");
    const test::ProgramRun run = Convert({"--target", "MPEG", good, broken, later});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_EQ(ExportedFiles(), (Words{"good.mpg", "later.mpg"}));
    EXPECT_TRUE(Contains(run.err, "broken.avi")) << run.err;
    EXPECT_TRUE(Contains(run.err, "Invalid data found when processing input")) << run.err;
    EXPECT_TRUE(Contains(run.out, "Converted 2 of 3 files; 1 failed")) << run.out;
}

TEST_F(ZarvoConvertTest, UsageErrorsStartNothing) {
    const std::string clip = Clip("clip.avi", 1, "-c:v mpeg4 -c:a mp3");
    for (const Words& arguments :
         {Words{"--target", "betamax", clip}, Words{"--target", "ipod", clips_ / "missing.avi"},
          Words{"--target", "ipod", "--profile", "Nobody's profile", clip},
          Words{"--target", "avi", "--image", clips_.Folder(), clip}, Words{"--target", "avi"}}) {
        SCOPED_TRACE(arguments[1] + " " + arguments.back());
        const test::ProgramRun run = Convert(arguments);
        EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
        EXPECT_TRUE(Contains(run.err, "zarvo-convert: ")) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(ExportedFiles(), Words{});
    }
    // An export folder below a file cannot be made: said, and nothing else.
    const test::ProgramRun unwritable =
        Convert({"--target", "avi", "--export", clip + "/out", clip});
    EXPECT_EQ(unwritable.exitCode, 1) << unwritable.out << unwritable.err;
    EXPECT_TRUE(Contains(unwritable.err, "Cannot write to the export folder " + clip + "/out/"))
        << unwritable.err;
    EXPECT_EQ(unwritable.out, "");
    const test::ProgramRun help = Convert({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(Contains(help.out, "usage: zarvo-convert --target TARGET")) << help.out;
    const test::ProgramRun targets = Convert({"--list-targets"});
    EXPECT_EQ(targets.exitCode, 0);
    EXPECT_TRUE(Contains(targets.out, "iPod\n")) << targets.out;
    const test::ProgramRun profiles = Convert({"--list-profiles", "dvd"});
    EXPECT_EQ(profiles.exitCode, 0);
    EXPECT_TRUE(Contains(profiles.out, "0  ")) << profiles.out;
}

// Ctrl-C two seconds into a long conversion: the running ffmpeg ends, no
// partial output is left under the file's name, and the summary says so.
// timeout sends one SIGINT to the program alone, as the terminal's Ctrl-C
// does (without --foreground it sends its process group a second one, and
// a second signal ends the program at once, by design).
TEST_F(ZarvoConvertTest, CtrlCStopsTheRunAsStopDoes) {
    const std::string clip = Clip("long clip.avi", 300, "-c:v mpeg4 -q:v 20 -c:a mp3 -r 10");
    const test::ProgramRun run =
        Convert({"--target", "dvd", clip},
                {"/usr/bin/timeout", "--foreground", "--preserve-status", "-s", "INT", "2"});
    EXPECT_NE(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.exitCode, -1) << "the program did not end by itself after Ctrl-C";
    EXPECT_EQ(ExportedFiles(), Words{}) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "Conversion stopped: 0 of 1 file converted."))
        << run.out << run.err;
}

// The DVD target: a DVD-Video folder that lsdvd reads, and with --image an
// ISO of it that lsdvd reads; a second run into the same folder keeps the
// DVD folder unless --replace-dvd says otherwise.
TEST_F(ZarvoConvertTest, TheDvdTargetMakesADvdFolderAndItsImage) {
    const std::string clip = Clip("a short film.avi", 3, "-c:v mpeg4 -c:a mp3");
    const std::string images = root_ / "images/";
    fs::create_directories(images);
    const test::ProgramRun run =
        Convert({"--target", "dvd", "--profile", "0", "--image", images, clip});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    int status = -1;
    const std::string folderTitles = test::RunArguments({"lsdvd", export_ + "DVD"}, &status);
    EXPECT_EQ(status, 0) << folderTitles;
    EXPECT_TRUE(Contains(folderTitles, "Title: 01")) << folderTitles;
    Words isos;
    for (const fs::directory_entry& entry : fs::directory_iterator(images)) {
        if (entry.path().extension() == ".iso") isos.push_back(entry.path());
    }
    ASSERT_EQ(isos.size(), 1u) << run.out << run.err;
    const std::string imageTitles = test::RunArguments({"lsdvd", isos[0]}, &status);
    EXPECT_EQ(status, 0) << imageTitles;
    EXPECT_TRUE(Contains(imageTitles, "Title: 01")) << imageTitles;
    EXPECT_TRUE(Contains(run.out, isos[0])) << run.out;

    const std::string vob = export_ + "DVD/VIDEO_TS/VTS_01_1.VOB";
    const auto written = fs::last_write_time(vob);
    const test::ProgramRun again = Convert({"--target", "dvd", clip});
    EXPECT_EQ(again.exitCode, 1) << again.out << again.err;
    EXPECT_TRUE(Contains(again.err, "The export folder holds a DVD folder already. Replace it? No"))
        << again.err;
    EXPECT_EQ(fs::last_write_time(vob), written);
    const test::ProgramRun replaced = Convert({"--target", "dvd", "--replace-dvd", clip});
    EXPECT_EQ(replaced.exitCode, 0) << replaced.out << replaced.err;
    EXPECT_TRUE(Contains(replaced.err, "Replace it? Yes")) << replaced.err;
}

}  // namespace
