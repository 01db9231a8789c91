#include "korvan/mpegenc/video/colour_conversion.h"

#include <gtest/gtest.h>

#include <vector>

#include "korvan/mpegenc/common/cpu_flags.h"

namespace {

// A BGRx picture, bottom row first, every pel set by `colour(x, y)` with y
// counted from the top.
template <typename Colour>
std::vector<uint8_t> MakeBgrx(int width, int height, Colour colour) {
    std::vector<uint8_t> pels(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pels.data() + static_cast<size_t>(height - 1 - y) * width * 4;
        for (int x = 0; x < width; ++x) {
            const auto [r, g, b] = colour(x, y);
            row[4 * x] = b;
            row[4 * x + 1] = g;
            row[4 * x + 2] = r;
            row[4 * x + 3] = 0x5A;  // ignored
        }
    }
    return pels;
}

struct Converted {
    korvan::CodingGeometry geometry;
    korvan::YuvFrame frame;
};

template <typename Colour>
Converted Convert(int width, int height, int chroma, korvan::MpegSyntax syntax, Colour colour,
                  korvan::ChromaSource source = korvan::ChromaSource::kFromPicture) {
    Converted c;
    c.geometry = korvan::MakeCodingGeometry(width, height, chroma, false);
    c.frame.Allocate(c.geometry);
    korvan::ColourConverter converter;
    EXPECT_TRUE(converter.Prepare(c.geometry, 5, syntax, source, korvan::CpuFlags::kNone));
    const std::vector<uint8_t> pels = MakeBgrx(width, height, colour);
    converter.Convert(pels.data(), width * 4, c.frame);
    return c;
}

struct Rgb {
    uint8_t r, g, b;
};

TEST(ColourConversionTest, PrimariesLandOnTheirStudioLevels) {
    const Rgb colours[] = {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 0, 255}};
    // The integer matrix scales by 219/256 (white lands on 234).
    const int expected[][3] = {{234, 128, 128}, {16, 128, 128}, {81, 90, 240}, {41, 240, 110}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const Rgb c = colours[i];
        Converted out = Convert(32, 32, 1, korvan::MpegSyntax::kMpeg2,
                                [&](int, int) { return std::tuple(c.r, c.g, c.b); });
        EXPECT_EQ(out.frame.plane(0).Row(5)[7], expected[i][0]);
        EXPECT_EQ(out.frame.plane(1).Row(5)[7], expected[i][1]);
        EXPECT_EQ(out.frame.plane(2).Row(5)[7], expected[i][2]);
    }
}

TEST(ColourConversionTest, BottomRowFirstInputGivesTopRowFirstPlanes) {
    Converted out = Convert(16, 16, 1, korvan::MpegSyntax::kMpeg1, [](int, int y) {
        const uint8_t v = y < 8 ? 255 : 0;
        return std::tuple(v, v, v);
    });
    EXPECT_EQ(out.frame.luma().Row(0)[0], 234);
    EXPECT_EQ(out.frame.luma().Row(15)[0], 16);
}

TEST(ColourConversionTest, PlanesAreExtendedToWholeMacroblocks) {
    Converted out = Convert(20, 18, 1, korvan::MpegSyntax::kMpeg2, [](int x, int y) {
        return std::tuple(static_cast<uint8_t>(x * 10), static_cast<uint8_t>(y * 10), uint8_t{50});
    });
    EXPECT_EQ(out.geometry.lumaWidth, 32);
    EXPECT_EQ(out.geometry.lumaHeight, 32);
    const korvan::Plane& y = out.frame.luma();
    EXPECT_EQ(y.Row(3)[31], y.Row(3)[19]);
    EXPECT_EQ(y.Row(31)[4], y.Row(17)[4]);
    EXPECT_EQ(y.Row(31)[31], y.Row(17)[19]);
}

TEST(ColourConversionTest, FlatColourSurvivesEveryChromaFilter) {
    for (auto syntax : {korvan::MpegSyntax::kMpeg1, korvan::MpegSyntax::kMpeg2}) {
        for (int chroma : {1, 2, 3}) {
            Converted out = Convert(48, 32, chroma, syntax, [](int, int) {
                return std::tuple(uint8_t{30}, uint8_t{160}, uint8_t{90});
            });
            const korvan::Plane& cb = out.frame.plane(1);
            EXPECT_EQ(cb.width, chroma == 3 ? 48 : 24);
            EXPECT_EQ(cb.height, chroma == 1 ? 16 : 32);
            const int centre = cb.Row(cb.height / 2)[cb.width / 2];
            for (int y = 0; y < cb.height; ++y) {
                for (int x = 0; x < cb.width; ++x) {
                    // MPEG-1's horizontal taps add up to 514/512.
                    ASSERT_NEAR(cb.Row(y)[x], centre, 1) << x << "," << y;
                }
            }
        }
    }
}

TEST(ColourConversionTest, ChromaFiltersSmoothAnEdge) {
    Converted out = Convert(64, 32, 1, korvan::MpegSyntax::kMpeg2, [](int x, int) {
        return x < 32 ? std::tuple(uint8_t{255}, uint8_t{0}, uint8_t{0})
                      : std::tuple(uint8_t{0}, uint8_t{0}, uint8_t{255});
    });
    const uint8_t* cr = out.frame.plane(2).Row(8);
    EXPECT_EQ(cr[2], 240);      // far from the edge: pure red
    EXPECT_GT(cr[15], cr[17]);  // falls across the edge
    EXPECT_LT(cr[16], 240);
    EXPECT_GT(cr[16], 110);
}

TEST(ColourConversionTest, BlackAndWhiteTakesOnlyTheLuminance) {
    Converted out = Convert(
        32, 16, 1, korvan::MpegSyntax::kMpeg2,
        [](int, int) { return std::tuple(uint8_t{255}, uint8_t{0}, uint8_t{0}); },
        korvan::ChromaSource::kGrey);
    EXPECT_EQ(out.frame.luma().Row(2)[2], 81);
    EXPECT_EQ(out.frame.plane(1).Row(2)[2], 128);
    EXPECT_EQ(out.frame.plane(2).Row(7)[15], 128);
}

TEST(ColourConversionTest, MatricesFollowTheirCodes) {
    const korvan::ColourMatrix bt709 = korvan::MakeColourMatrix(1);
    const korvan::ColourMatrix bt601 = korvan::MakeColourMatrix(5);
    EXPECT_EQ(bt709.y.r, 6966);  // 0.2126 * 32768
    EXPECT_EQ(bt601.y.r, 9798);  // 0.299 * 32768
    EXPECT_EQ(bt601.y.r + bt601.y.g + bt601.y.b, 32768);
    EXPECT_EQ(bt601.cb.r + bt601.cb.g + bt601.cb.b, 0);
    const korvan::ColourMatrix high = korvan::MakeColourMatrix(12);
    const korvan::ColourMatrix three = korvan::MakeColourMatrix(3);
    EXPECT_EQ(high.y.r, three.y.r);
    EXPECT_EQ(high.cr.b, three.cr.b);
}

}  // namespace
