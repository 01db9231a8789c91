// The real program converting for a VideoCD and a SuperVCD, scripted: the
// queue hands the result to the burning window, whose scan accepts it and
// whose image recorder writes a BIN/CUE image that vcd-info reads back.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <filesystem>
#include <sstream>

#include "tests/app/shell/end_to_end_fixture.h"
#include "tests/support/disc_media.h"

namespace {

namespace fs = std::filesystem;
using test::Text;
using test::Texts;
using Paths = std::vector<std::string>;

struct DiscCase {
    int profile;
    const char* format;  // as vcd-info names it
    int width;
    int height;
};

void PrintTo(const DiscCase& c, std::ostream* out) { *out << "profile " << c.profile; }

class DiscBurningTest : public test::EndToEndTest,
                        public ::testing::WithParamInterface<DiscCase> {};

TEST_P(DiscBurningTest, AConversionEndsAsAnImageThatVcdInfoReads) {
    const DiscCase& c = GetParam();
    const std::string clip = Clip("holiday clip.avi", 2, "-c:v mpeg4 -c:a mp2");
    const QJsonObject state =
        RunScript("target 4\nprofile " + std::to_string(c.profile) + "\nbrowse " + clip +
                  "\nconvert\nburn label\tHoliday\n"
                  "burn finalize 0\nburn now\nburn wait\nquit\n");
    EXPECT_EQ(Texts(state["status"]), Paths({"All converting works are Completed!", "", ""}));
    const std::string converted = export_ + "holiday clip.mpg";
    ASSERT_TRUE(fs::exists(converted));

    const QJsonObject burning = state["burning"].toObject();
    ASSERT_FALSE(burning.isEmpty()) << "no burning window opened";
    EXPECT_FALSE(burning["open"].toBool());
    EXPECT_EQ(burning["kind"].toInt(), c.profile == 4 ? 1 : 2);
    EXPECT_EQ(Texts(burning["files"]), Paths({converted}));
    EXPECT_EQ(burning["scan_state"].toInt(), 1);
    EXPECT_FALSE(burning["finalize"].toBool());
    EXPECT_EQ(Texts(burning["messages"]),
              Paths({"Prepare Collection", "Start Burning...", "Burn Done"}));
    // The box says where the image went, and the image recorder's buffer
    // means nothing.
    EXPECT_EQ(Texts(state["messages"]),
              Paths({"Success to Burn Disc!\r\n" + export_ + "Holiday.bin"}));
    EXPECT_FALSE(burning["buffer_shown"].toBool());
    EXPECT_FALSE(burning["burn_now_enabled"].toBool());
    EXPECT_EQ(burning["result"].toInt(), 1);

    // The file tree shows the real file: its size, rate, bit rate and size,
    // as ffprobe reads them.
    const QJsonArray tree = burning["tree"].toArray();
    ASSERT_EQ(tree.size(), 1);
    const Paths lines = Texts(tree[0].toObject()["lines"]);
    ASSERT_EQ(lines.size(), 5u);
    char size[64];
    std::snprintf(size, sizeof size, "Filesize: %.2f MB",
                  static_cast<double>(fs::file_size(converted)) / 1048576);
    EXPECT_EQ(lines[0], size);
    EXPECT_EQ(lines[1], "Framerate: 25.00 Frames/sec");
    // MPEG-1 gives its rate; MPEG-2 its maximum, in the stream's side data.
    std::istringstream rates(test::RunTool(
        "ffprobe -v error -select_streams v -show_entries stream=bit_rate:stream_side_data="
        "max_bitrate -of default=nw=1:nk=1 " +
        test::Quoted(converted)));
    long long bitRate = 0;
    for (std::string line; bitRate <= 0 && std::getline(rates, line);)
        bitRate = std::atoll(line.c_str());
    EXPECT_EQ(lines[2], "Bitrate: " + std::to_string(bitRate / 1024) + " Kbits/s");
    EXPECT_EQ(lines[3], "Aspect Ratio: 4:3");
    EXPECT_EQ(lines[4], "Width(Pixel): " + std::to_string(c.width) +
                            " / Height(Pixel): " + std::to_string(c.height));

    const test::VideoCdImageInfo image = test::ReadVideoCdImage(export_ + "Holiday.cue");
    EXPECT_EQ(image.entries, 1);
    EXPECT_EQ(image.format, c.format);
    EXPECT_TRUE(fs::exists(export_ + "Holiday.bin"));
}

INSTANTIATE_TEST_SUITE_P(Discs, DiscBurningTest,
                         ::testing::Values(DiscCase{5, "VCD 2.0", 352, 288},
                                           DiscCase{4, "SVCD", 480, 576}));

}  // namespace
