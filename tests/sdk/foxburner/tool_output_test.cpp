// The readers of the burning tools' output, on what the installed tools
// print here (xorriso on its stdio pseudo-drive, genisoimage, vcdimager)
// and, for what cannot run without a drive, on the lines the tools'
// documentation and format strings give.
#include "sdk/foxburner/tool_output.h"

#include <gtest/gtest.h>

#include "sdk/foxburner/burner_session.h"
#include "tests/support/disc_media.h"
#include "tests/support/temp_dir.h"

namespace {

using foxburner::MediaState;
using foxburner::ParseMediaState;
using foxburner::Tool;
using foxburner::ToolFailure;
using foxburner::WriteProgress;

TEST(DriveListTest, DrivesAreReadFromXorrisoLines) {
    // Without drives, as on this machine: "No drives found", exit 32.
    int exitCode = -1;
    const std::string none = test::RunTool("xorriso -devices", &exitCode);
    EXPECT_EQ(exitCode, 32) << none;
    EXPECT_TRUE(foxburner::ParseDriveList(none).empty());
    const std::vector<foxburner::Device> devices = foxburner::MakeDeviceList({});
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].kind, foxburner::DeviceKind::kImageRecorder);
    EXPECT_EQ(devices[0].text, "A: Image Recorder (ISO or BIN/CUE file)");

    // The listing xorriso's manual shows for three drives.
    const auto drives = foxburner::ParseDriveList(
        "1  -dev '/dev/cdrom1' rwrw-- :  'TSSTcorp' 'DVD-ROM SH-D162C\n"
        "1  -dev '/dev/cdrw'   rwrw-- :  'TSSTcorp' 'CDDVDW SH-S223B'\n"
        "2  -dev '/dev/cdrw3'  rwrw-- :  'HL-DT-ST' 'BDDVDRW_GGC-H20L'\n");
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[1].path, "/dev/cdrw");
    EXPECT_EQ(drives[1].vendor, "TSSTcorp");
    EXPECT_EQ(drives[1].model, "CDDVDW SH-S223B");
    EXPECT_EQ(drives[0].model, "DVD-ROM SH-D162C");  // the quote is missing in the manual
    const auto listed = foxburner::MakeDeviceList(drives);
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[2].text, "C: HL-DT-ST BDDVDRW_GGC-H20L (/dev/cdrw3)");
    EXPECT_EQ(listed[3].letter, 'D');
    EXPECT_EQ(listed[3].kind, foxburner::DeviceKind::kImageRecorder);
}

class PseudoDriveTest : public ::testing::Test {
protected:
    test::TempDir folder_{"pseudo drive"};
};

TEST_F(PseudoDriveTest, MediaStateAndProgressOfRealXorrisoRuns) {
    const std::string blank = "stdio:" + folder_ / "blank.iso";
    EXPECT_EQ(ParseMediaState(test::RunTool("xorriso -outdev " + test::Quoted(blank))),
              MediaState::kWritable);
    EXPECT_EQ(foxburner::DriveReadiness(blank, nullptr), 0);
    std::string complaint;
    EXPECT_EQ(foxburner::DriveReadiness("stdio:" + folder_ / "gone/x.iso", &complaint),
              FOXBURNER_ERROR_DEVICE_GONE);
    EXPECT_NE(complaint.find("Neither stdio-path nor its directory exist"), std::string::npos)
        << complaint;
    EXPECT_EQ(foxburner::DriveReadiness("/dev/sr97", nullptr), FOXBURNER_ERROR_DEVICE_GONE);

    // A 24 MB track written at a limited speed, so that xorriso reports.
    const std::string track = folder_ / "track.bin";
    test::WriteFile(track, std::string(24 << 20, 'z'));
    const std::string drive = "stdio:" + folder_ / "written.iso";
    int exitCode = -1;
    const std::string output =
        test::RunTool("xorriso -as cdrecord -v " + test::Quoted("dev=" + drive) + " speed=4 " +
                          test::Quoted(track),
                      &exitCode);
    ASSERT_EQ(exitCode, 0) << output;
    EXPECT_EQ(ToolFailure(Tool::kXorriso, output, exitCode), "");
    int updates = 0;
    double lastPercent = -1;
    for (std::string_view line : foxburner::OutputLines(output)) {
        WriteProgress progress;
        if (!foxburner::ParseXorrisoProgress(line, progress)) continue;
        ++updates;
        EXPECT_GE(progress.percent, lastPercent) << line;
        EXPECT_LE(progress.percent, 100);
        EXPECT_GE(progress.bufferPercent, 0);
        lastPercent = progress.percent;
    }
    EXPECT_GT(updates, 0) << output;
    // The written pseudo-drive can take another session.
    EXPECT_EQ(ParseMediaState(test::RunTool("xorriso -outdev " + test::Quoted(drive))),
              MediaState::kWritable);
}

TEST(ProgressLineTest, RecordedAndDocumentedLines) {
    WriteProgress p;
    ASSERT_TRUE(foxburner::ParseXorrisoProgress(
        "xorriso : UPDATE :   16 of   60 MB written (fifo 99%) [buf  50%]  10.1x.", p));
    EXPECT_NEAR(p.percent, 26.67, 0.01);
    EXPECT_DOUBLE_EQ(p.bufferPercent, 50);
    EXPECT_DOUBLE_EQ(p.bytesWritten, 16.0 * 1048576);
    ASSERT_TRUE(foxburner::ParseXorrisoProgress(
        "xorriso : UPDATE : Writing:     8192s   78.5%   fifo 100%  buf  50%    0.0xD", p));
    EXPECT_DOUBLE_EQ(p.percent, 78.5);
    EXPECT_DOUBLE_EQ(p.bytesWritten, 8192.0 * 2048);
    EXPECT_FALSE(foxburner::ParseXorrisoProgress("xorriso : NOTE : Re-assessing -outdev", p));

    // cdrdao's format strings: "Wrote %ld of %ld MB (Buffers %3d%% %3d%%)."
    ASSERT_TRUE(foxburner::ParseCdrdaoProgress("Wrote 12 of 30 MB (Buffers 100%  96%).", p));
    EXPECT_DOUBLE_EQ(p.percent, 40);
    EXPECT_DOUBLE_EQ(p.bufferPercent, 96);
    ASSERT_TRUE(foxburner::ParseCdrdaoProgress("Wrote 30 of 30 MB (Buffer  88%).", p));
    EXPECT_DOUBLE_EQ(p.bufferPercent, 88);
    EXPECT_FALSE(
        foxburner::ParseCdrdaoProgress("Writing track 01 (mode MODE2_RAW/MODE2_RAW )...", p));
    EXPECT_EQ(ToolFailure(Tool::kCdrdao, "ERROR: Cannot setup device /dev/sr0.\n", 1),
              "ERROR: Cannot setup device /dev/sr0.");
}

TEST(ToolFailureTest, FailuresOfTheInstalledTools) {
    test::TempDir folder("tool failures");
    // genisoimage on a folder without a DVD-Video structure: exit 255 and an
    // empty output file.
    std::filesystem::create_directories(folder / "empty/VIDEO_TS");
    int exitCode = -1;
    std::string output =
        test::RunTool("genisoimage -dvd-video -o " + test::Quoted(folder / "x.iso") + " " +
                          test::Quoted(folder / "empty"),
                      &exitCode);
    EXPECT_NE(ToolFailure(Tool::kGenisoimage, output, exitCode), "");
    EXPECT_EQ(foxburner::ParsePrintSize(output), -1);

    // vcdimager refuses a DVD stream with an ERROR line.
    const std::string dvd = folder / "dvd.mpg";
    ASSERT_TRUE(test::MakeDiscClip(dvd, "pal-dvd", 1));
    output = test::RunTool(
        "vcdimager -t vcd2 --cue-file=/dev/null --bin-file=/dev/null " + test::Quoted(dvd),
        &exitCode);
    EXPECT_NE(ToolFailure(Tool::kVcdimager, output, exitCode).find("ERROR"), std::string::npos);
    // A clean run says "finished ok"; without it, an exit of 0 is no success.
    EXPECT_EQ(ToolFailure(Tool::kVcdimager, "finished ok, image created with 834 sectors", 0), "");
    EXPECT_NE(ToolFailure(Tool::kVcdimager, "", 0), "");
    EXPECT_NE(ToolFailure(Tool::kXorriso, "Beginning to write data track.\n", 0), "");
    EXPECT_EQ(ToolFailure(Tool::kXorriso,
                          "xorriso : FAILURE : Image size 1472s exceeds free space on media 512s\n"
                          "xorriso : aborting : -abort_on 'FAILURE' encountered 'FAILURE'\n",
                          5),
              "xorriso : FAILURE : Image size 1472s exceeds free space on media 512s");
}

TEST(CueSheetTest, TheBinFileIsRenamedInVcdimagersCue) {
    test::TempDir folder("cue sheet");
    const std::string clip = folder / "vcd.mpg";
    ASSERT_TRUE(test::MakeDiscClip(clip, "pal-vcd", 1));
    int exitCode = -1;
    test::RunTool("vcdimager -t vcd2 " + test::Quoted("--cue-file=" + folder / "videocd.cue") +
                      " " + test::Quoted("--bin-file=" + folder / "videocd.bin") + " " +
                      test::Quoted(clip),
                  &exitCode);
    ASSERT_EQ(exitCode, 0);
    const std::string cue = test::ReadFile(folder / "videocd.cue");
    const std::string fixed = foxburner::CueWithBinName(cue, "My Disc (2).bin");
    // vcdimager ends its lines with CR LF; they stay so.
    EXPECT_TRUE(fixed.starts_with("FILE \"My Disc (2).bin\" BINARY\r\n")) << fixed;
    EXPECT_EQ(fixed.substr(fixed.find('\n')), cue.substr(cue.find('\n')));
    // vcd-info reads the renamed sheet beside its BIN file.
    std::filesystem::rename(folder / "videocd.bin", folder / "My Disc (2).bin");
    test::WriteFile(folder / "My Disc (2).cue", fixed);
    EXPECT_EQ(test::ReadVideoCdImage(folder / "My Disc (2).cue").entries, 1);
}

}  // namespace
