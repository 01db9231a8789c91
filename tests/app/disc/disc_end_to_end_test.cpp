// The real program, run offscreen with a script, making DVD-Video folders:
// after a DVD-target conversion, and from the disc-writer wizard with a
// menu. The folders are read back with lsdvd, dvdunauthor and spuunmux.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include "platform/private_profile.h"
#include "tests/app/shell/end_to_end_fixture.h"
#include "tests/support/dvd_checks.h"
#include "tests/support/media_tools.h"

namespace {

using Paths = std::vector<std::string>;
using test::Text;
using test::Texts;

constexpr const char* kCompleted = "All converting works are Completed!";

class DiscEndToEndTest : public test::EndToEndTest {
protected:
    // A clip of `seconds` made by ffmpeg with `options`.
    std::string Title(const std::string& name, const std::string& options, double seconds,
                      const std::string& size = "720x576") {
        const std::string path = clips_ + name;
        EXPECT_TRUE(test::MakeClip(path, seconds, options, size)) << name;
        return path;
    }
    std::string PictureFile(const std::string& name, const std::string& colour, const char* size) {
        const std::string path = clips_ + name;
        test::MustRun("ffmpeg -nostdin -v error -y -f lavfi -i color=c=" + colour +
                      ":size=" + size + " -frames:v 1 " + test::Quoted(path));
        return path;
    }
    static std::string Tabbed(const Paths& paths) {
        std::string text;
        for (const std::string& path : paths) text += (text.empty() ? "" : "\t") + path;
        return text;
    }
};

struct DvdTargetCase {
    int profile;
    const char* standard;  // as lsdvd -x names it
};

void PrintTo(const DvdTargetCase& c, std::ostream* out) { *out << c.standard; }

class DvdTargetTest : public DiscEndToEndTest,
                      public ::testing::WithParamInterface<DvdTargetCase> {};

TEST_P(DvdTargetTest, AConversionEndsInAFolderWithItsOneTitle) {
    const std::string clip = Clip("clip one.avi", 3);
    const QJsonObject state = RunScript("target 4\nprofile " + std::to_string(GetParam().profile) +
                                        "\nbrowse " + clip + "\nconvert\nquit\n");
    EXPECT_EQ(Texts(state["status"])[0], std::string(kCompleted));
    EXPECT_EQ(state["progress"].toInt(), 0);
    EXPECT_EQ(state["progress_maximum"].toInt(), 100);
    EXPECT_EQ(test::FileNamesIn(export_), Paths({"DVD", "clip one.mpg"}));
    const std::vector<double> lengths = test::DvdTitleLengths(export_ + "DVD");
    ASSERT_EQ(lengths.size(), 1u);
    EXPECT_NEAR(lengths[0], 3, 1);
    EXPECT_NE(test::RunTool("lsdvd -x " + test::Quoted(export_ + "DVD"))
                  .find(std::string("Format: ") + GetParam().standard),
              std::string::npos);
    // One title and no menu: no title sections.
    const std::string description = program_ + "dvdimage.ini";
    EXPECT_EQ(platform::GetPrivateProfileSectionNames(description), Paths({"Infos"}));
    EXPECT_EQ(platform::GetPrivateProfileString("Infos", "Menu", "", 4096, description),
              export_ + "clip one.mpg");
    EXPECT_EQ(platform::GetPrivateProfileString("Infos", "Selections", "", 16, description), "0");
}

INSTANTIATE_TEST_SUITE_P(PalAndNtsc, DvdTargetTest,
                         ::testing::Values(DvdTargetCase{3, "PAL"}, DvdTargetCase{9, "NTSC"}));

TEST_F(DiscEndToEndTest, TheWizardPutsThreeTitlesOnADvdWithAMenuOfPictureButtons) {
    const std::string first = Title("first mpeg2.mpg", "-c:v mpeg2video -c:a ac3 -f mpeg", 2);
    const std::string second =
        Title("second.vob", "-c:v mpeg2video -aspect 4:3 -c:a ac3 -ar 48000 -f dvd", 3);
    const std::string third =
        Title("third mpeg1.mpg", "-c:v mpeg1video -c:a mp2 -f mpeg", 4, "352x288");
    const std::string notMpeg = Title("not mpeg.avi", "-c:v mpeg4", 1, "320x240");
    const std::string red = PictureFile("red.bmp", "red", "320x240");
    const std::string blue = PictureFile("blue.jpg", "blue", "200x300");
    const std::string text = clips_ + "notes.jpg";
    test::WriteFile(text, "no picture");

    const QJsonObject state = RunScript(
        "target 4\nprofile 0\nwizard open\nwizard titles " +
        Tabbed({first, notMpeg, second, third}) + "\nwizard pictures " + Tabbed({red, text, blue}) +
        "\nwizard preview " + clips_ + "menu preview.jpg\nwizard next\nwizard close\nquit\n");
    const QJsonObject wizard = state["wizard"].toObject();
    EXPECT_FALSE(wizard["open"].toBool());
    // The refused files with their reasons, and the preview as a file.
    EXPECT_EQ(Texts(wizard["refused_titles"]),
              Paths({notMpeg + " cannot be a title: its video is mpeg4, not MPEG-1 or MPEG-2."}));
    EXPECT_EQ(Texts(wizard["refused_pictures"]), Paths({text + " is not a BMP or JPEG picture."}));
    EXPECT_EQ(Text(wizard["preview_file"]), clips_ + "menu preview.jpg");
    EXPECT_TRUE(std::filesystem::exists(clips_ + "menu preview.jpg"));
    EXPECT_EQ(Texts(wizard["titles"]), Paths({first, second, third}));
    EXPECT_EQ(Texts(wizard["pictures"]), Paths({red, blue}));
    EXPECT_EQ(Text(wizard["status"]),
              "The DVD-Video folder is ready: " + export_ + "DVD/VIDEO_TS/");
    EXPECT_EQ(Text(wizard["built_folder"]), export_ + "DVD/VIDEO_TS/");
    // On the 720 x 480 picture: 160 x 120 for the red picture, 160 x 240
    // for the blue one and the button after it.
    const std::vector<std::array<int, 4>> composed = {
        {40, 60, 200, 180}, {280, 0, 440, 240}, {520, 0, 680, 240}};
    const QJsonArray buttons = wizard["buttons"].toArray();
    ASSERT_EQ(buttons.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QJsonArray b = buttons[i].toArray();
        EXPECT_EQ((std::array<int, 4>{b[0].toInt(), b[1].toInt(), b[2].toInt(), b[3].toInt()}),
                  composed[static_cast<std::size_t>(i)]);
    }

    const std::vector<double> lengths = test::DvdTitleLengths(export_ + "DVD");
    ASSERT_EQ(lengths.size(), 3u);
    EXPECT_NEAR(lengths[0], 2, 0.5);
    EXPECT_NEAR(lengths[1], 3, 0.5);
    EXPECT_NEAR(lengths[2], 4, 0.5);
    // The profile made a 720 x 576 menu: the rectangles are 1.2 times as
    // high, with tops on even lines and bottoms on odd ones.
    const test::DvdMenu menu = test::ReadDvdMenu(export_ + "DVD/VIDEO_TS", root_ / "unauthored");
    ASSERT_EQ(menu.buttons.size(), 3u) << menu.description;
    const std::vector<std::array<int, 4>> onVideo = {
        {40, 72, 200, 217}, {280, 0, 440, 289}, {520, 0, 680, 289}};
    for (std::size_t i = 0; i < 3; ++i) {
        const test::MenuButton& b = menu.buttons[i];
        EXPECT_EQ(b.command, "jump title " + std::to_string(i + 1) + ";");
        EXPECT_EQ((std::array<int, 4>{b.x0, b.y0, b.x1, b.y1}), onVideo[i]);
    }
    // The menu clip stays; the work files are gone.
    EXPECT_EQ(test::FileNamesIn(export_), Paths({"DVD", "DVDMainMenu.mpg"}));
    EXPECT_EQ(
        platform::GetPrivateProfileString("Infos", "Selections", "", 16, program_ + "dvdimage.ini"),
        "3");
}

TEST_F(DiscEndToEndTest, AWizardBuildStopsFailsWithAReasonAndTheWizardWorksOnAfterwards) {
    // Long and MPEG-1: it is re-encoded, which takes a quiet machine more
    // than the second before the stop (60 s of it took under 3 s).
    const std::string slow = Title("slow.mpg", "-c:v mpeg1video -c:a mp2 -f mpeg", 180, "352x288");
    const std::string good = Title("good.mpg", "-c:v mpeg2video -c:a ac3 -f mpeg", 2);
    std::string bytes = test::ReadFile(good);
    for (std::size_t i = bytes.size() / 3; i < bytes.size() / 2; ++i) bytes[i] = 'x';
    const std::string broken = clips_ + "broken.mpg";
    test::WriteFile(broken, bytes);

    const QJsonObject state = RunScript("target 4\nprofile 3\nwizard open\nwizard titles " + slow +
                                        "\nwizard stop-after 1\nwizard next\nwizard titles " +
                                        broken + "\nwizard next\n" + "wizard titles " + good +
                                        "\nwizard next\nwizard close\nquit\n");
    const QJsonObject wizard = state["wizard"].toObject();
    const Paths log = Texts(wizard["status_log"]);
    ASSERT_EQ(log.size(), 6u) << QJsonDocument(wizard).toJson().toStdString();
    EXPECT_EQ(log[0], "Creating DVD Image Now...");
    EXPECT_EQ(log[1], "The DVD build was stopped.");
    EXPECT_EQ(log[3].rfind("The DVD image could not be made: The file \"" + broken +
                               "\" cannot go on a DVD: it is damaged at byte ",
                           0),
              0u)
        << log[3];
    EXPECT_EQ(log[5], "The DVD-Video folder is ready: " + export_ + "DVD/VIDEO_TS/");
    const std::vector<double> lengths = test::DvdTitleLengths(export_ + "DVD");
    ASSERT_EQ(lengths.size(), 1u);
    EXPECT_NEAR(lengths[0], 2, 0.5);
    EXPECT_EQ(test::ProcessesMentioning(export_), Paths());
}

// ffmpeg's VideoCD files, whose sectors end in zeros after their padding
// packets, go on a DVD through the wizard, PAL and NTSC.
TEST_F(DiscEndToEndTest, TheWizardPutsFfmpegsVideoCdFilesOnADvd) {
    const std::string pal = Title("pal vcd.mpg", "-target pal-vcd", 2, "352x288");
    const std::string ntsc = Title("ntsc vcd.mpg", "-target ntsc-vcd", 2, "352x240");
    for (const std::string& title : {pal, ntsc}) {
        SCOPED_TRACE(title);
        // The second build replaces the first one's DVD folder, when told to.
        const std::string replace = title == ntsc ? "answer Yes\n" : "";
        const QJsonObject state =
            RunScript("target 4\nprofile 3\nwizard open\nwizard titles " + title +
                      "\nwizard next\n" + replace + "wizard close\nquit\n");
        const QJsonObject wizard = state["wizard"].toObject();
        const Paths log = Texts(wizard["status_log"]);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), "The DVD-Video folder is ready: " + export_ + "DVD/VIDEO_TS/")
            << QJsonDocument(wizard).toJson().toStdString();
        const std::vector<double> lengths = test::DvdTitleLengths(export_ + "DVD");
        ASSERT_EQ(lengths.size(), 1u);
        EXPECT_NEAR(lengths[0], 2, 0.5);
    }
}

// Both ways to a DVD end in the burning window, whose image recorder writes
// an ISO that lsdvd reads: a DVD-target conversion, then the wizard with that
// file and a second title. A burn that succeeds closes the wizard too: the
// "wizard open" after it opens a new, empty one (an open wizard refuses it).
TEST_F(DiscEndToEndTest, AConversionAndTheWizardBothBurnTheirDvdToAnIso) {
    const std::string clip = Clip("holiday clip.avi", 3);
    const std::string second =
        Title("second.vob", "-c:v mpeg2video -aspect 4:3 -c:a ac3 -ar 48000 -f dvd", 2);
    const std::string converted = export_ + "holiday clip.mpg";
    auto burnAs = [](const std::string& label) {
        return "burn label\t" + label + "\nburn finalize 0\nburn now\nburn wait\n";
    };
    const QJsonObject state =
        RunScript("target 4\nprofile 3\nbrowse " + clip + "\nconvert\n" + burnAs("Holiday") +
                      "wizard open\nwizard titles " + Tabbed({converted, second}) +
                      "\nwizard next\nanswer Yes\n" + burnAs("Wizard") + "wizard open\nquit\n",
                  std::chrono::seconds(300));
    EXPECT_EQ(Texts(state["status"])[0], std::string(kCompleted));
    // The wizard's build asks before it replaces the conversion's DVD folder.
    EXPECT_EQ(Texts(state["messages"]),
              Paths({"Success to Burn Disc!\r\n" + export_ + "Holiday.iso",
                     "The export folder holds a DVD folder already. Replace it?",
                     "Success to Burn Disc!\r\n" + export_ + "Wizard.iso"}));

    const QJsonObject burning = state["burning"].toObject();
    EXPECT_EQ(burning["kind"].toInt(-1), 0);
    EXPECT_EQ(burning["result"].toInt(), 1);
    EXPECT_TRUE(burning["tree"].toArray().isEmpty());
    EXPECT_EQ(Texts(burning["messages"]),
              Paths({"Prepare Collection", "Start Burning...", "Burn Done"}));
    const QJsonObject wizard = state["wizard"].toObject();
    EXPECT_FALSE(wizard["open"].toBool());
    EXPECT_TRUE(Texts(wizard["titles"]).empty());
    EXPECT_TRUE(Texts(wizard["status_log"]).empty());

    const std::vector<double> conversionLengths = test::DvdTitleLengths(export_ + "Holiday.iso");
    ASSERT_EQ(conversionLengths.size(), 1u);
    EXPECT_NEAR(conversionLengths[0], 3, 1);
    const std::vector<double> wizardLengths = test::DvdTitleLengths(export_ + "Wizard.iso");
    ASSERT_EQ(wizardLengths.size(), 2u);
    EXPECT_NEAR(wizardLengths[0], 3, 1);
    EXPECT_NEAR(wizardLengths[1], 2, 1);
    EXPECT_EQ(test::ProcessesMentioning(export_), Paths());
}

}  // namespace
