// The colour conversion's SIMD kernels give exactly the plain kernels'
// samples, on random and extreme pels, at every width (the tails the SIMD
// loops leave to the plain code included), and whole pictures converted
// with either table are the same.
#include "korvan/mpegenc/video/colour_kernels.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/video/colour_conversion.h"

namespace {

using korvan::ChromaTaps;
using korvan::ColourKernels;
using korvan::kChromaTaps;

// Random bytes, all 0, all 255, and 0 and 255 alternating: the extremes of
// every sum.
std::vector<std::vector<uint8_t>> TestBytes(size_t count, std::mt19937& random) {
    std::vector<std::vector<uint8_t>> sets(4, std::vector<uint8_t>(count));
    std::uniform_int_distribution<int> byte(0, 255);
    for (size_t i = 0; i < count; ++i) {
        sets[0][i] = static_cast<uint8_t>(byte(random));
        sets[1][i] = 0;
        sets[2][i] = 255;
        sets[3][i] = (i / 3) % 2 ? 255 : 0;
    }
    return sets;
}

const ColourKernels& Plain() { return korvan::PlainColourKernels(); }

// The SIMD table, where this processor has one.
class ColourKernelsTest : public testing::Test {
protected:
    void SetUp() override {
        if (!korvan::HasFlags(korvan::DetectCpuFlags(), korvan::CpuFlags::kSse2))
            GTEST_SKIP() << "no SIMD colour kernels for this processor";
        ASSERT_NE(&Simd(), &Plain());
    }
    static const ColourKernels& Simd() {
        return korvan::SelectColourKernels(korvan::CpuFlags::kSse2);
    }
};

TEST_F(ColourKernelsTest, TheMatrixRowIsTheSameInEveryTable) {
    std::mt19937 random(7);
    for (int code = 0; code <= 9; ++code) {
        const korvan::ColourMatrix matrix = korvan::MakeColourMatrix(code);
        for (int width : {1, 7, 8, 9, 16, 23, 720}) {
            for (const std::vector<uint8_t>& pels : TestBytes(4 * width, random)) {
                for (bool chroma : {true, false}) {
                    std::vector<uint8_t> plain(3 * width, 1);
                    std::vector<uint8_t> simd(3 * width, 2);
                    const auto run = [&](const ColourKernels& k, std::vector<uint8_t>& out) {
                        k.convertRow(pels.data(), width, matrix, out.data(),
                                     chroma ? out.data() + width : nullptr,
                                     chroma ? out.data() + 2 * width : nullptr);
                        if (!chroma) std::fill(out.begin() + width, out.end(), 0);
                    };
                    run(Plain(), plain);
                    run(Simd(), simd);
                    ASSERT_EQ(plain, simd) << "code " << code << ", width " << width;
                }
            }
        }
    }
}

TEST_F(ColourKernelsTest, TheChromaFiltersAreTheSameInEveryTable) {
    constexpr ChromaTaps kMpeg1 = {22, 0, -52, 0, 159, 256, 159, 0, -52, 0, 22, 0};
    constexpr ChromaTaps kMpeg2 = {5, 11, -21, -37, 70, 228, 228, 70, -37, -21, 11, 5};
    // Extreme taps push the sums to both clips.
    constexpr ChromaTaps kSharp = {-512, 0, 900, -300, 512, 0, 0, -700, 400, 0, 0, 9};
    std::mt19937 random(11);
    for (const ChromaTaps* taps : {&kMpeg1, &kMpeg2, &kSharp}) {
        for (int outWidth : {1, 3, 8, 9, 15, 16, 360}) {
            const size_t paddedCount = 2 * static_cast<size_t>(outWidth) + 10;
            for (const std::vector<uint8_t>& bytes : TestBytes(paddedCount * kChromaTaps, random)) {
                const std::vector<int16_t> padded(bytes.begin(), bytes.begin() + paddedCount);
                std::vector<uint8_t> plain(outWidth, 1);
                std::vector<uint8_t> simd(outWidth, 2);
                Plain().halveRow(padded.data(), outWidth, *taps, plain.data());
                Simd().halveRow(padded.data(), outWidth, *taps, simd.data());
                ASSERT_EQ(plain, simd) << "halving, width " << outWidth;

                const uint8_t* lines[kChromaTaps];
                for (int k = 0; k < kChromaTaps; ++k) lines[k] = bytes.data() + k * paddedCount;
                Plain().filterColumns(lines, outWidth, *taps, plain.data());
                Simd().filterColumns(lines, outWidth, *taps, simd.data());
                ASSERT_EQ(plain, simd) << "columns, width " << outWidth;
            }
        }
    }
}

TEST(ColourConversionKernelsTest, WholePicturesAreTheSameWithEveryTable) {
    std::mt19937 random(3);
    struct Case {
        int width, height, chroma;
        korvan::MpegSyntax syntax;
    };
    const Case cases[] = {
        {720, 576, 1, korvan::MpegSyntax::kMpeg2}, {352, 240, 1, korvan::MpegSyntax::kMpeg1},
        {150, 98, 1, korvan::MpegSyntax::kMpeg2},  {66, 34, 2, korvan::MpegSyntax::kMpeg2},
        {40, 24, 3, korvan::MpegSyntax::kMpeg2},   {18, 16, 1, korvan::MpegSyntax::kMpeg1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " chroma " << c.chroma);
        const korvan::CodingGeometry geometry =
            korvan::MakeCodingGeometry(c.width, c.height, c.chroma, false);
        const int stride = 4 * c.width + 12;  // rows with slack between them
        const std::vector<uint8_t> pels =
            TestBytes(static_cast<size_t>(stride) * c.height, random)[0];
        std::vector<std::vector<uint8_t>> planes;
        const korvan::CpuFlags detected = korvan::DetectCpuFlags();
        for (korvan::CpuFlags flags :
             {korvan::CpuFlags::kNone, detected & korvan::CpuFlags::kSse2, detected}) {
            korvan::YuvFrame frame;
            ASSERT_TRUE(frame.Allocate(geometry));
            korvan::ColourConverter converter;
            ASSERT_TRUE(converter.Prepare(geometry, 1, c.syntax, korvan::ChromaSource::kFromPicture,
                                          flags));
            converter.Convert(pels.data(), stride, frame);
            std::vector<uint8_t> samples;
            for (int p = 0; p < 3; ++p) {
                const korvan::Plane& plane = frame.plane(p);
                for (int y = 0; y < plane.height; ++y)
                    samples.insert(samples.end(), plane.Row(y), plane.Row(y) + plane.width);
            }
            planes.push_back(std::move(samples));
        }
        EXPECT_TRUE(planes[0] == planes[1]);
        EXPECT_TRUE(planes[0] == planes[2]);
    }
}

}  // namespace
