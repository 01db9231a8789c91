// The command lines a burn runs for each device and project type, and a
// DVD-Video burn to a drive run for real on xorriso's stdio pseudo-drive:
// genisoimage writing into a FIFO that xorriso burns from.
#include "sdk/foxburner/burn_plan.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file_moves.h"
#include "sdk/foxburner/burn_job.h"
#include "sdk/foxburner/fox_burner.h"
#include "tests/support/caller_loop.h"
#include "tests/support/disc_media.h"
#include "tests/support/process_checks.h"
#include "tests/support/temp_dir.h"

namespace {

using foxburner::BurnPlan;
using foxburner::DeviceKind;
using foxburner::PlanInput;
using foxburner::ProjectType;

PlanInput Input(ProjectType type, DeviceKind kind) {
    PlanInput input;
    input.type = type;
    input.device.kind = kind;
    input.device.path = kind == DeviceKind::kDrive ? "/dev/sr0" : "";
    input.settings.volumeLabel = "Zarvo Video Burn";
    input.scratchFolder = "/run/user/0/zarvo-0/run-x/";
    input.tracks = {"/run/user/0/zarvo-0/run-x/track01.mpg",
                    "/run/user/0/zarvo-0/run-x/track02.mpg"};
    input.imageSectors = 1313;
    input.imageBytesEstimate = 5000000;
    return input;
}

TEST(BurnPlanTest, CommandLinesForEachDeviceAndDisc) {
    const std::string s = "/run/user/0/zarvo-0/run-x/";
    BurnPlan plan =
        foxburner::MakeBurnPlan(Input(ProjectType::kDvdVideo, DeviceKind::kImageRecorder));
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].commandLine,
              "genisoimage -input-charset utf-8 -f -dvd-video -V \"Zarvo Video Burn\""
              " -o " +
                  s + "out/image.iso " + s + "dvd");
    EXPECT_EQ(plan.steps[0].expectedBytes, 1313 * 2048);
    EXPECT_EQ(plan.imageName, "Zarvo Video Burn.iso");

    PlanInput dvdDrive = Input(ProjectType::kDvdVideo, DeviceKind::kDrive);
    dvdDrive.settings.ejectAfterBurn = true;
    dvdDrive.settings.finalize = false;
    dvdDrive.settings.writeSpeed = 8;
    plan = foxburner::MakeBurnPlan(dvdDrive);
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.fifo, s + "image.fifo");
    EXPECT_TRUE(plan.steps[0].feederCommandLine.ends_with("-o " + s + "image.fifo " + s + "dvd"));
    EXPECT_EQ(plan.steps[0].commandLine,
              "xorriso -as cdrecord -v dev=/dev/sr0 -multi -eject speed=8"
              " tsize=1313s " +
                  s + "image.fifo");
    EXPECT_TRUE(plan.imageFile.empty());

    plan = foxburner::MakeBurnPlan(Input(ProjectType::kVideoCd, DeviceKind::kImageRecorder));
    ASSERT_EQ(plan.steps.size(), 1u);
    EXPECT_EQ(plan.steps[0].commandLine, "vcdimager -t vcd2 -l ZARVO_VIDEO_BURN --cue-file=" + s +
                                             "out/image.cue --bin-file=" + s + "out/image.bin " +
                                             s + "track01.mpg " + s + "track02.mpg");
    EXPECT_EQ(plan.imageName, "Zarvo Video Burn.bin");
    EXPECT_EQ(plan.cueName, "Zarvo Video Burn.cue");

    PlanInput svcdDrive = Input(ProjectType::kSuperVcd, DeviceKind::kDrive);
    svcdDrive.settings.ejectAfterBurn = true;
    plan = foxburner::MakeBurnPlan(svcdDrive);
    ASSERT_EQ(plan.steps.size(), 2u);
    EXPECT_TRUE(plan.steps[0].commandLine.starts_with("vcdimager -t svcd --update-scan-offsets "));
    EXPECT_EQ(plan.steps[0].percentTo, 50);
    EXPECT_EQ(plan.steps[1].commandLine,
              "cdrdao write --device /dev/sr0 -n --eject " + s + "out/image.cue");
    EXPECT_EQ(plan.steps[1].percentFrom, 50);
}

TEST(BurnPlanTest, LabelsAreMadeSafeForEachTool) {
    PlanInput input = Input(ProjectType::kDvdVideo, DeviceKind::kImageRecorder);
    // A volume id holds 32 bytes: the two-byte letter across the limit goes
    // whole; double quotes cannot be passed and go too.
    input.settings.volumeLabel = "\"Ferien\" im Süden, Teil eins, ö!";
    const std::string command = foxburner::MakeBurnPlan(input).steps[0].commandLine;
    EXPECT_NE(command.find("-V \"Ferien im Süden, Teil eins, \" "), std::string::npos) << command;
    input.type = ProjectType::kVideoCd;
    EXPECT_NE(foxburner::MakeBurnPlan(input).steps[0].commandLine.find(
                  "-l _FERIEN__IM_S__DEN__TEIL_EINS__ "),
              std::string::npos);
    EXPECT_EQ(foxburner::ImageBaseName("Teil 1/2"), "Teil 1_2");
    EXPECT_EQ(foxburner::ImageBaseName(".."), "disc");
    EXPECT_EQ(foxburner::ImageBaseName(""), "disc");
}

// A DVD-Video folder linked into a scratch folder, as Prepare links it.
class DriveBurnTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::MakeDiscClip(folder_ / "title.mpg", "pal-dvd", 2));
        ASSERT_TRUE(test::MakeVideoTsFolder(folder_ / "authored", folder_ / "title.mpg"));
    }

    foxburner::PreparedBurn Prepare(const std::string& drive) {
        foxburner::PreparedBurn burn;
        burn.scratch = std::make_unique<platform::ScratchFolder>();
        const std::string scratch = burn.scratch->Path();
        std::filesystem::create_directories(scratch + "dvd");
        EXPECT_TRUE(
            platform::PlaceStandIn(folder_ / "authored/VIDEO_TS", scratch + "dvd/VIDEO_TS"));
        PlanInput input = Input(ProjectType::kDvdVideo, DeviceKind::kDrive);
        input.device.path = drive;
        input.scratchFolder = scratch;
        const foxburner::ToolEnd size =
            foxburner::RunToolToEnd(foxburner::PrintSizeCommand(scratch));
        input.imageSectors = foxburner::ParsePrintSize(size.output);
        EXPECT_GT(input.imageSectors, 0) << size.output;
        burn.plan = foxburner::MakeBurnPlan(input);
        return burn;
    }

    struct Outcome {
        bool ended = false;
        int errorCode = -1;
        std::string detail;
        int finalizeEvents = 0;
        double lastPercent = 0;
    };

    Outcome Burn(const std::string& drive) {
        Outcome outcome;
        foxburner::BurnEvents events;
        events.progress = [&](double percent, double, double) { outcome.lastPercent = percent; };
        events.finalize = [&] { ++outcome.finalizeEvents; };
        events.done = [&](int code, const std::string& detail) {
            outcome.ended = true;
            outcome.errorCode = code;
            outcome.detail = detail;
        };
        foxburner::BurnJob job(g_main_context_default(), Prepare(drive), events);
        job.Start();
        EXPECT_TRUE(test::RunLoopUntil([&] { return outcome.ended; }, std::chrono::seconds(60)));
        return outcome;
    }

    test::TempDir folder_{"drive burn"};
};

TEST_F(DriveBurnTest, APseudoDriveGetsADiscThatLsdvdReads) {
    const std::string image = folder_ / "disc.iso";
    const Outcome outcome = Burn("stdio:" + image);
    EXPECT_EQ(outcome.errorCode, 0) << outcome.detail;
    EXPECT_EQ(outcome.lastPercent, 100);
    EXPECT_EQ(outcome.finalizeEvents, 1);
    const std::vector<double> titles = test::LsdvdTitleSeconds(image);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_NEAR(titles[0], 2.0, 0.5);
    EXPECT_FALSE(test::HasChildProcess());
}

TEST_F(DriveBurnTest, ADriveThatIsGoneEndsTheBurnWithAnError) {
    // xorriso cannot acquire the drive; genisoimage, left waiting for its
    // reader on the FIFO, must not keep the burn from ending.
    const auto started = std::chrono::steady_clock::now();
    const Outcome outcome = Burn("stdio:" + folder_ / "unplugged/disc.iso");
    EXPECT_EQ(outcome.errorCode, FOXBURNER_ERROR_TOOL_FAILED);
    EXPECT_NE(
        outcome.detail.find("xorriso: libburn : SORRY : Neither stdio-path nor its directory"),
        std::string::npos)
        << outcome.detail;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_FALSE(test::HasChildProcess());
}

}  // namespace
