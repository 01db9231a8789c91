// The image helpers checked by an independent client: ffmpeg writes the BMP
// and JPEG files they read and reads the JPEG files they write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "tests/support/media_tools.h"
#include "tests/support/temp_dir.h"
#include "ui/bmp_file.h"
#include "ui/jpeg_file.h"
#include "ui/picture.h"
#include "ui/picture_text.h"

namespace {

// A test picture of an odd size, so that BMP rows need padding.
constexpr int kWidth = 37;
constexpr int kHeight = 23;

std::vector<std::uint8_t> Bytes(const std::string& path) {
    const std::string text = test::ReadFile(path);
    return {text.begin(), text.end()};
}

// The picture as ffmpeg decodes it, in RGB, its colours converted as
// exactly as it can (by default it rounds and upsamples chroma coarsely).
std::vector<std::uint8_t> FfmpegRgb(const std::string& path, const std::string& raw) {
    int exitCode = -1;
    test::RunTool("ffmpeg -nostdin -v error -y -i " + test::Quoted(path) +
                      " -sws_flags bicubic+accurate_rnd+full_chroma_int -f rawvideo -pix_fmt "
                      "rgb24 " +
                      test::Quoted(raw),
                  &exitCode);
    EXPECT_EQ(exitCode, 0) << path;
    return Bytes(raw);
}

std::vector<std::uint8_t> PictureBytes(const Picture& picture) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < picture.Height(); ++y) {
        bytes.insert(bytes.end(), picture.Row(y), picture.Row(y) + picture.Width() * 3);
    }
    return bytes;
}

struct Difference {
    int largest = 0;
    double mean = 0;
};

Difference Compare(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    EXPECT_EQ(a.size(), b.size());
    Difference d;
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int delta = std::abs(a[i] - b[i]);
        d.largest = std::max(d.largest, delta);
        d.mean += delta;
    }
    d.mean /= std::max<std::size_t>(n, 1);
    return d;
}

class ImageFilesTest : public ::testing::Test {
protected:
    // A test pattern written by ffmpeg in `pixelFormat`; by default a small
    // one of an odd size.
    std::string Write(const std::string& name, const std::string& pixelFormat,
                      const std::string& source = "testsrc=size=" + std::to_string(kWidth) + "x" +
                                                  std::to_string(kHeight)) {
        const std::string path = folder_ / name;
        int exitCode = -1;
        test::RunTool("ffmpeg -nostdin -v error -y -f lavfi -i " + source +
                          " -frames:v 1 -pix_fmt " + pixelFormat + " " + test::Quoted(path),
                      &exitCode);
        EXPECT_EQ(exitCode, 0) << pixelFormat;
        return path;
    }

    test::TempDir folder_{"zarvo images ü"};
};

TEST_F(ImageFilesTest, BmpFilesOfEveryDepthReadAsFfmpegReadsThem) {
    struct Case {
        const char* pixelFormat;
        int tolerance;  // 5- and 6-bit channels are widened with other rounding
    };
    for (const Case c :
         {Case{"bgr24", 0}, Case{"bgra", 0}, Case{"pal8", 0}, Case{"monob", 0}, Case{"gray", 0},
          Case{"rgb555le", 8}, Case{"rgb565le", 8}, Case{"rgb4_byte", 0}}) {
        SCOPED_TRACE(c.pixelFormat);
        const std::string path = Write(std::string(c.pixelFormat) + ".bmp", c.pixelFormat);
        const auto picture = LoadBmp(path);
        ASSERT_TRUE(picture.has_value());
        EXPECT_EQ(picture->Width(), kWidth);
        EXPECT_EQ(picture->Height(), kHeight);
        EXPECT_LE(Compare(PictureBytes(*picture), FfmpegRgb(path, folder_ / "ref.rgb")).largest,
                  c.tolerance);
        EXPECT_FALSE(LoadJpeg(path).has_value());
    }
}

TEST_F(ImageFilesTest, JpegFilesReadAsFfmpegReadsThemAndWrittenOnesDecode) {
    for (const char* pixelFormat : {"yuvj420p", "yuvj444p", "gray"}) {
        SCOPED_TRACE(pixelFormat);
        const std::string path =
            Write(std::string(pixelFormat) + ".jpg", pixelFormat, "testsrc2=size=320x240");
        const auto picture = LoadJpeg(path);
        ASSERT_TRUE(picture.has_value());
        // The decoders differ only in how they round and upsample chroma.
        const Difference d = Compare(PictureBytes(*picture), FfmpegRgb(path, folder_ / "ref.rgb"));
        EXPECT_LT(d.mean, 1.5);
        EXPECT_FALSE(LoadBmp(path).has_value());
    }

    const auto source = LoadBmp(Write("source.bmp", "bgr24", "testsrc2=size=320x240"));
    ASSERT_TRUE(source.has_value());
    const std::string written = folder_ / "written by us.jpg";
    ASSERT_TRUE(SaveJpeg(written, *source, 90));
    const Difference d = Compare(PictureBytes(*source), FfmpegRgb(written, folder_ / "back.rgb"));
    EXPECT_LT(d.mean, 6.0);
    EXPECT_FALSE(SaveJpeg(folder_ / "no such folder/x.jpg", *source, 90));
}

TEST_F(ImageFilesTest, DamagedFilesGiveNoPictureAndNeverCrash) {
    const std::vector<std::uint8_t> bmp = Bytes(Write("cut.bmp", "bgr24"));
    const std::vector<std::uint8_t> jpeg = Bytes(Write("cut.jpg", "yuvj420p"));
    // Every header cut short; a BMP cut anywhere lacks rows.
    for (std::size_t length = 0; length < bmp.size(); length += 7) {
        EXPECT_FALSE(DecodeBmp(std::span(bmp).first(length)).has_value()) << length;
    }
    for (std::size_t length = 0; length < jpeg.size(); length += 5) {
        DecodeJpeg(std::span(jpeg).first(length));
    }
    std::srand(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> damaged = round % 2 ? bmp : jpeg;
        for (int k = 0; k < 4; ++k) {
            damaged[static_cast<std::size_t>(std::rand()) % damaged.size()] =
                static_cast<std::uint8_t>(std::rand());
        }
        if (const auto picture = round % 2 ? DecodeBmp(damaged) : DecodeJpeg(damaged)) {
            EXPECT_LE(static_cast<std::size_t>(picture->Width()) * picture->Height(),
                      Picture::kMaxPixels);
        }
    }
    // A header that claims a picture of 65536 x 65536.
    std::vector<std::uint8_t> huge = bmp;
    huge[18 + 2] = 1;
    huge[22 + 2] = 1;
    EXPECT_FALSE(DecodeBmp(huge).has_value());
}

TEST(PictureTest, ScalingKeepsAreasAndPastingCuts) {
    // Left half red, right half blue, shrunk to a quarter and enlarged.
    Picture split(64, 32, {255, 0, 0});
    for (int y = 0; y < 32; ++y) {
        for (int x = 32; x < 64; ++x) split.SetPixel(x, y, {0, 0, 255});
    }
    for (const auto& [w, h] : {std::pair{16, 8}, std::pair{200, 90}}) {
        const Picture scaled = Scaled(split, w, h);
        ASSERT_EQ(scaled.Width(), w);
        ASSERT_EQ(scaled.Height(), h);
        EXPECT_EQ(scaled.Pixel(0, 0), (Rgb{255, 0, 0}));
        EXPECT_EQ(scaled.Pixel(w - 1, h - 1), (Rgb{0, 0, 255}));
        // The edge blends, and the picture's halves keep their colours.
        EXPECT_EQ(scaled.Pixel(w / 4, h / 2), (Rgb{255, 0, 0}));
        EXPECT_EQ(scaled.Pixel(3 * w / 4, h / 2), (Rgb{0, 0, 255}));
    }
    Picture target(10, 10, kWhite);
    Paste(Picture(4, 4, {1, 2, 3}), target, 8, -2);
    EXPECT_EQ(target.Pixel(8, 0), (Rgb{1, 2, 3}));
    EXPECT_EQ(target.Pixel(9, 1), (Rgb{1, 2, 3}));
    EXPECT_EQ(target.Pixel(9, 2), kWhite);
    EXPECT_EQ(target.Pixel(7, 0), kWhite);
    EXPECT_TRUE(Picture(0, 5).Empty());
}

TEST(PictureTextTest, ArialIsSizedByItsCellAndAverageWidthAsWindowsDoes) {
    // A button 160 pixels wide: a cell of 40, an average width of 20.
    const auto font = TextFont::Open("Arial", 800, 40, 20);
    ASSERT_TRUE(font.has_value());
    // fonts-liberation gives Arial's metrics under another name.
    EXPECT_NE(font->FilePath().find("LiberationSans-Bold"), std::string::npos) << font->FilePath();
    Picture button(160, 120, kWhite);
    const Rgb yellow{255, 255, 20};
    font->Draw(button, 5, 5, "1", yellow);
    int top = 1000, bottom = -1, left = 1000, right = -1;
    for (int y = 0; y < button.Height(); ++y) {
        for (int x = 0; x < button.Width(); ++x) {
            if (button.Pixel(x, y) != yellow) continue;
            top = std::min(top, y);
            bottom = std::max(bottom, y);
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    // Arial's digits stand about 0.72 em high on the baseline, which lies
    // at the Windows ascent (0.905 em) below the cell's top; the em of a
    // 40-pixel cell is 40 / 1.117 pixels high.
    const double em = 40 / 1.117;
    EXPECT_NEAR(bottom + 1, 5 + 0.905 * em, 1.5);
    EXPECT_NEAR(bottom + 1 - top, 0.716 * em, 1.5);
    EXPECT_GT(left, 5);
    EXPECT_LT(right, 5 + 40);
    // Outside the text nothing changed.
    EXPECT_EQ(button.Pixel(0, 0), kWhite);
    EXPECT_EQ(button.Pixel(100, 100), kWhite);
    EXPECT_FALSE(TextFont::Open("Arial", 800, 0, 0).has_value());
}

}  // namespace
