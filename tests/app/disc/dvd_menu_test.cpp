// The DVD menu picture as written to its JPEG file, the description file the
// image SDK reads, the build's progress and display, and the wizard's lists
// with real files and the real probe.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "app/disc/disc_writer_wizard_model.h"
#include "app/disc/dvd_image_build.h"
#include "app/disc/dvd_image_description.h"
#include "app/disc/menu_picture.h"
#include "app/tools/tool_runner.h"
#include "platform/private_profile.h"
#include "sdk/foximager/disc_description.h"
#include "tests/support/dvd_checks.h"
#include "tests/support/media_tools.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"
#include "ui/jpeg_file.h"

namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kBlue{0, 0, 255};

bool Near(Rgb a, Rgb b) {
    return std::abs(a.red - b.red) < 40 && std::abs(a.green - b.green) < 40 &&
           std::abs(a.blue - b.blue) < 40;
}

class DvdMenuTest : public ::testing::Test {
protected:
    std::string Picture(const std::string& name, const std::string& colour, int width, int height,
                        const std::string& options = "") {
        const std::string path = folder_ / name;
        int exitCode = -1;
        test::RunTool("ffmpeg -nostdin -v error -y -f lavfi -i color=c=" + colour +
                          ":size=" + std::to_string(width) + "x" + std::to_string(height) +
                          " -frames:v 1 " + options + " " + test::Quoted(path),
                      &exitCode);
        EXPECT_EQ(exitCode, 0) << name;
        return path;
    }

    // The menu as written to "menubgimage.jpg", read back.
    ::Picture Compose(const MenuPictureRequest& request, std::vector<ButtonRect>& buttons) {
        const std::string path = ComposeMenuPicture(request, folder_.Folder(), buttons);
        EXPECT_EQ(path, folder_ / "menubgimage.jpg");
        const auto picture = LoadJpeg(path);
        EXPECT_TRUE(picture.has_value());
        return picture.value_or(::Picture());
    }

    test::TempDir folder_{"zarvo dvd menu ü"};
};

TEST_F(DvdMenuTest, ButtonsStandInRowsAtTheirPicturesProportions) {
    const std::string red = Picture("red 320x240.bmp", "red", 320, 240, "-pix_fmt bgr24");
    const std::string blue = Picture("blue.jpg", "blue", 200, 300);
    const std::string notAPicture = folder_ / "text.bmp";
    test::WriteFile(notAPicture, "BM but nothing else");

    // 3 titles: columns of 240, buttons 160 wide at x = 120, 360, 600 and
    // y = 120. The 320 x 240 picture becomes 160 x 120; the portrait one
    // 160 x 240 and is used again for the third button.
    std::vector<ButtonRect> buttons;
    const ::Picture menu = Compose({notAPicture, {red, blue}, 3}, buttons);
    EXPECT_EQ(buttons, (std::vector<ButtonRect>{
                           {40, 60, 200, 180}, {280, 0, 440, 240}, {520, 0, 680, 240}}));
    ASSERT_EQ(menu.Width(), 720);
    ASSERT_EQ(menu.Height(), 480);
    EXPECT_TRUE(Near(menu.Pixel(120, 150), kRed));
    EXPECT_TRUE(Near(menu.Pixel(360, 200), kBlue));
    EXPECT_TRUE(Near(menu.Pixel(600, 20), kBlue));
    // A background that is no picture leaves the menu white.
    EXPECT_TRUE(Near(menu.Pixel(120, 300), kWhite));
    EXPECT_TRUE(Near(menu.Pixel(700, 470), kWhite));
    // The number in yellow, in the button's top-left corner.
    bool number = false;
    for (int y = 65; y < 105; ++y) {
        for (int x = 45; x < 85; ++x) number |= Near(menu.Pixel(x, y), kButtonNumberColour);
    }
    EXPECT_TRUE(number);

    // 6 titles: rows of 4 and 2, columns of 180, buttons 120 wide (white
    // boxes without pictures) at y = 90 and 390.
    const std::string background = Picture("green.jpg", "green", 720, 576);
    Compose({background, {}, 6}, buttons);
    ASSERT_EQ(buttons.size(), 6u);
    EXPECT_EQ(buttons[0], (ButtonRect{30, 30, 150, 150}));
    EXPECT_EQ(buttons[3], (ButtonRect{570, 30, 690, 150}));
    EXPECT_EQ(buttons[4], (ButtonRect{30, 330, 150, 450}));
    EXPECT_EQ(buttons[5], (ButtonRect{210, 330, 330, 450}));
    // 9 titles: rows of 4 and 5, columns of 144, buttons 96 wide.
    const ::Picture nine = Compose({background, {red}, 9}, buttons);
    ASSERT_EQ(buttons.size(), 9u);
    EXPECT_EQ(buttons[0], (ButtonRect{24, 36, 120, 108}));
    EXPECT_EQ(buttons[4], (ButtonRect{24, 372, 120, 444}));
    EXPECT_EQ(buttons[8], (ButtonRect{600, 372, 696, 444}));
    EXPECT_TRUE(Near(nine.Pixel(400, 240), Rgb{0, 128, 0}));
    EXPECT_TRUE(Near(nine.Pixel(648, 430), kRed));
}

TEST_F(DvdMenuTest, TheDescriptionIsWrittenKeyByKeyAndTheSdkReadsItSo) {
    const std::string ini = folder_ / "dvdimage.ini";
    ASSERT_TRUE(
        WriteTitlesDescription(ini, {"/x/DVDMainMenu.mpg", "/x/a.mpg", "/x/b c.mpg", "/x/d.mpg"},
                               {{40, 60, 200, 180}, {280, 0, 440, 240}, {520, 0, 680, 240}}));
    const auto read = [&ini](const std::string& section, const std::string& key) {
        return platform::GetPrivateProfileString(section, key, "-", 256, ini);
    };
    EXPECT_EQ(read("Infos", "Menu"), "/x/DVDMainMenu.mpg");
    EXPECT_EQ(read("Infos", "Selections"), "3");
    EXPECT_EQ(platform::GetPrivateProfileSectionNames(ini), Paths({"Infos", "0", "1", "2"}));
    EXPECT_EQ(read("1", "file"), "/x/b c.mpg");
    EXPECT_EQ(read("1", "TopLeft"), "280,0");
    EXPECT_EQ(read("1", "RightBottom"), "440,240");
    EXPECT_EQ(read("1", "Width"), "160");
    EXPECT_EQ(read("1", "Height"), "240");
    EXPECT_EQ(read("2", "LineWidth"), "500");

    // One title over it: the sections stay, "Selections" says they are gone.
    ASSERT_TRUE(WriteSingleTitleDescription(ini, "/x/single.mpg"));
    EXPECT_EQ(read("Infos", "Menu"), "/x/single.mpg");
    EXPECT_EQ(read("Infos", "Selections"), "0");
    EXPECT_EQ(read("2", "file"), "/x/d.mpg");
    std::string error;
    const auto description = foximager::ParseDiscDescription(test::ReadFile(ini), error);
    ASSERT_TRUE(description.has_value()) << error;
    EXPECT_EQ(description->menu, "/x/single.mpg");
    EXPECT_TRUE(description->titles.empty());
    EXPECT_FALSE(WriteTitlesDescription(folder_ / "no folder/dvdimage.ini", {"/x/a.mpg"}, {}));
}

TEST(DvdProgressBarTest, StagesMakeTheRangeAndThePosition) {
    EXPECT_EQ(DvdProgressBar(50.0f, 1, 2), (ProgressBarState{200, 150}));
    EXPECT_EQ(DvdProgressBar(99.9f, 0, 6), (ProgressBarState{600, 99}));
    EXPECT_EQ(DvdProgressBar(100.0f, 5, 6), (ProgressBarState{600, 600}));
    EXPECT_EQ(DvdProgressBar(std::nanf(""), 7, 0), (ProgressBarState{100, 0}));
    EXPECT_EQ(DvdProgressBar(-5.0f, -1, 3), (ProgressBarState{300, 0}));
    EXPECT_EQ(DvdProgressBar(1e9f, 9, 3), (ProgressBarState{300, 300}));
}

// What the build shows, in order.
class RecordingDisplay : public DvdBuildDisplay {
public:
    void SetBuilding(bool building) override { calls.push_back(building ? "building" : "idle"); }
    void ShowBuildStatus(const std::string& text) override { calls.push_back(text); }
    void SetBuildProgress(int maximum, int position) override {
        ranges.push_back(maximum);
        last = {maximum, position};
    }
    bool BuildStopRequested() const override { return false; }

    Paths calls;
    std::vector<int> ranges;
    ProgressBarState last;
};

// Answers whether to replace a DVD folder as told, and counts the asking.
class AnsweringUi : public test::FailingUi {
public:
    bool AskYesNo(const std::string& question) override {
        EXPECT_EQ(question, kReplaceDvdFolderQuestion);
        ++questions;
        return replace;
    }

    int questions = 0;
    bool replace = true;
};

TEST_F(DvdMenuTest, ASingleTitleBuildShowsItsStagesAndKeepsTheUsersFiles) {
    const std::string program = folder_ / "program/";
    const std::string exportFolder = folder_ / "export folder/";
    fs::create_directories(program);
    fs::create_directories(exportFolder + "DVD/VIDEO_TS");
    fs::create_symlink(std::string(ZARVO_PROGRAM_FOLDER) + "libFoxImager.so",
                       program + "libFoxImager.so");
    const std::string stale = exportFolder + "DVD/VIDEO_TS/VTS_09_1.VOB";
    test::WriteFile(stale, "left from an earlier disc");
    const std::string title = exportFolder + "title.mpg";
    ASSERT_TRUE(test::MakeClip(title, 2, "-c:v mpeg2video -aspect 4:3 -c:a ac3 -ar 48000 -f mpeg",
                               "352x288"));

    // The program folder may be read-only (an installed program); the
    // description goes to the writable folder, where the SDK reads it.
    const std::string writable = folder_ / "settings/";
    fs::create_directories(writable);
    RecordingDisplay display;
    AnsweringUi ui;
    test::RunSession session(ui);
    DvdImageBuild build(session.context, program, writable, exportFolder, display);
    EXPECT_EQ(build.BuildDvdImage(exportFolder + "missing.mpg"), 0);
    EXPECT_TRUE(display.calls.empty());
    // A title inside the folder that is emptied first is refused, not lost.
    const std::string inside = exportFolder + "DVD/mine.mpg";
    fs::copy_file(title, inside);
    EXPECT_EQ(build.BuildDvdImage(inside), 0);
    EXPECT_NE(build.FailureText().find("lies in the folder the DVD is written to"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(inside));
    fs::remove(inside);

    // The folder holds a disc already: answered No, it stays as it was.
    ui.replace = false;
    EXPECT_EQ(build.BuildDvdImage(title), 0);
    EXPECT_EQ(build.FailureText(), kDvdFolderKeptText);
    EXPECT_EQ(ui.questions, 1);
    EXPECT_EQ(test::ReadFile(stale), "left from an earlier disc");

    display = RecordingDisplay();
    ui.replace = true;
    ASSERT_NE(build.BuildDvdImage(title), 0) << build.FailureText();
    EXPECT_EQ(ui.questions, 2);
    EXPECT_EQ(display.calls, Paths({"building", kCreatingDvdImageText, "idle"}));
    // Two stages (the title, the authoring) while it ran; reset at the end.
    EXPECT_EQ(display.ranges.front(), 200);
    EXPECT_EQ(display.last, (ProgressBarState{100, 0}));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(title));
    const std::vector<double> lengths = test::DvdTitleLengths(exportFolder + "DVD");
    ASSERT_EQ(lengths.size(), 1u);
    EXPECT_NEAR(lengths[0], 2, 0.5);
    EXPECT_EQ(
        platform::GetPrivateProfileString("Infos", "Selections", "", 16, writable + "dvdimage.ini"),
        "0");
    EXPECT_EQ(
        platform::GetPrivateProfileString("Infos", "Menu", "", 4096, writable + "dvdimage.ini"),
        title);
    EXPECT_FALSE(fs::exists(program + "dvdimage.ini"));

    // Without the SDK the build says so.
    fs::create_directories(folder_ / "bare program");
    DvdImageBuild bare(session.context, folder_ / "bare program/", writable, exportFolder, display);
    EXPECT_EQ(bare.BuildDvdImage(title), 0);
    EXPECT_NE(bare.FailureText().find("libFoxImager.so cannot be loaded"), std::string::npos);
}

TEST_F(DvdMenuTest, TheWizardKeepsOnlyMpegTitlesAndPicturesAndStoresItsBackground) {
    const std::string mpeg2 = folder_ / "two.mpg";
    const std::string mpeg1 = folder_ / "one.mpg";
    const std::string avi = folder_ / "four.avi";
    const std::string text = folder_ / "text.mpg";
    ASSERT_TRUE(test::MakeClip(mpeg2, 1, "-c:v mpeg2video -f mpeg"));
    ASSERT_TRUE(test::MakeClip(mpeg1, 1, "-c:v mpeg1video -f mpeg"));
    ASSERT_TRUE(test::MakeClip(avi, 1, "-c:v mpeg4"));
    test::WriteFile(text, "not a video");
    const std::string bmp = Picture("p.bmp", "red", 32, 24);
    const std::string jpeg = Picture("p.jpg", "blue", 32, 24);

    test::RunSession session;
    DiscWriterSetup setup;
    setup.context = &session.context;
    setup.programFolder = folder_ / "program/";
    setup.settingsPath = folder_ / "zarvo.ini";
    setup.videoCodecOf = [&session](const std::string& file) {
        return ToolRunner(session.context, file, "", nullptr).Media().videoCodec;
    };
    DiscWriterWizardModel wizard(setup);
    EXPECT_EQ(wizard.Background(), folder_ / "program/DVDMainMenu.jpg");
    wizard.ChooseTitles({mpeg2, avi, text, mpeg1});
    EXPECT_EQ(wizard.Titles(), Paths({mpeg2, mpeg1}));
    // Each refused file is named with the reason.
    EXPECT_EQ(wizard.RefusedTitles(),
              Paths({avi + " cannot be a title: its video is mpeg4, not MPEG-1 or MPEG-2.",
                     text + " cannot be a title: no video could be read from it."}));
    wizard.SelectTitle(1);
    wizard.MoveTitleUp();
    EXPECT_EQ(wizard.Titles(), Paths({mpeg1, mpeg2}));
    EXPECT_EQ(wizard.SelectedTitle(), 0);
    wizard.MoveTitleUp();
    EXPECT_EQ(wizard.Titles(), Paths({mpeg1, mpeg2}));

    wizard.ChoosePictures({text, jpeg, bmp});
    EXPECT_EQ(wizard.Pictures(), Paths({jpeg, bmp}));
    EXPECT_EQ(wizard.RefusedPictures(), Paths({text + " is not a BMP or JPEG picture."}));
    EXPECT_FALSE(wizard.ChooseBackground(text));
    EXPECT_TRUE(wizard.ChooseBackground(bmp));
    EXPECT_EQ(platform::GetPrivateProfileString("DVD", "menubgimage", "", 4096, setup.settingsPath),
              bmp);
    EXPECT_EQ(DiscWriterWizardModel(setup).Background(), bmp);

    wizard.RemoveTitles();
    wizard.Next();
    EXPECT_EQ(wizard.Status(), "Add the MPEG files to burn first.");
}

// The shipped background's own drawing (its heading) stays clear of every
// button place for one to six titles, for square white buttons (the
// tallest) as for 4:3 pictures.
TEST(DvdMenuBackgroundTest, TheDefaultBackgroundKeepsItsTextOutOfTheButtons) {
    const std::optional<Picture> loaded =
        LoadJpeg(std::string(ZARVO_PROGRAM_FOLDER) + kDefaultMenuBackgroundName);
    ASSERT_TRUE(loaded.has_value());
    const Picture background = Scaled(*loaded, kMenuWidth, kMenuHeight);
    // The background is a gradient from top to bottom: a pixel much lighter
    // than the left edge of its row is drawing.
    const auto lightness = [](Rgb c) {
        return (299 * c.red + 587 * c.green + 114 * c.blue) / 1000;
    };
    std::vector<std::pair<int, int>> drawn;
    for (int y = 0; y < kMenuHeight; ++y) {
        const int edge = lightness(background.Pixel(0, y));
        for (int x = 0; x < kMenuWidth; ++x) {
            if (lightness(background.Pixel(x, y)) > edge + 60) drawn.emplace_back(x, y);
        }
    }
    ASSERT_GT(drawn.size(), 100u) << "the background has no heading";
    for (int titles = 1; titles <= 6; ++titles) {
        const MenuLayout layout = LayOutMenu(titles);
        for (const int height : {layout.buttonWidth, layout.buttonWidth * 3 / 4}) {
            for (const MenuPoint centre : layout.centres) {
                const ButtonRect r = ButtonAround(centre, layout.buttonWidth, height);
                for (const auto& [x, y] : drawn) {
                    ASSERT_FALSE(x >= r.left && x < r.right && y >= r.top && y < r.bottom)
                        << titles << " titles: drawing at " << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
