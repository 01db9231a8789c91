// Every kernel table a processor mode can choose gives exactly the plain
// kernels' results, on random blocks and on the extremes; the plain kernels
// themselves are checked against direct sums.
#include "korvan/mpegenc/common/video_kernels.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

using korvan::VideoKernels;

constexpr int kStride = 48;

struct Blocks {
    std::vector<uint8_t> a = std::vector<uint8_t>(kStride * 20);
    std::vector<uint8_t> b = std::vector<uint8_t>(kStride * 20);
};

// Random, all 0 against all 255, and alternating extremes.
std::vector<Blocks> TestBlocks() {
    std::vector<Blocks> sets;
    std::mt19937 random(11);
    std::uniform_int_distribution<int> sample(0, 255);
    for (int n = 0; n < 50; ++n) {
        Blocks s;
        for (auto& v : s.a) v = static_cast<uint8_t>(sample(random));
        for (auto& v : s.b) v = static_cast<uint8_t>(sample(random));
        sets.push_back(s);
    }
    Blocks extremes;
    std::fill(extremes.a.begin(), extremes.a.end(), 0);
    std::fill(extremes.b.begin(), extremes.b.end(), 255);
    sets.push_back(extremes);
    std::swap(extremes.a, extremes.b);
    sets.push_back(extremes);
    Blocks checker;
    for (size_t i = 0; i < checker.a.size(); ++i) {
        checker.a[i] = (i & 1) ? 255 : 0;
        checker.b[i] = (i & 1) ? 0 : 255;
    }
    sets.push_back(checker);
    return sets;
}

int DirectSad(const uint8_t* a, const uint8_t* b, int halfX, int halfY, int rows) {
    int sum = 0;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < 16; ++x) {
            const uint8_t* p = b + y * kStride + x;
            const int ref =
                (p[0] + p[halfX] + p[halfY * kStride] + p[halfX + halfY * kStride] + 2) / 4;
            sum += std::abs(a[y * kStride + x] - ref);
        }
    }
    return sum;
}

TEST(VideoKernelsTest, PlainKernelsMatchDirectSums) {
    const VideoKernels& k = korvan::PlainVideoKernels(korvan::DctArithmetic::kInteger);
    for (const Blocks& s : TestBlocks()) {
        for (int half = 0; half < 4; ++half) {
            const int hx = half & 1;
            const int hy = half >> 1;
            for (int rows : {8, 16}) {
                const int exact = DirectSad(s.a.data(), s.b.data(), hx, hy, rows);
                EXPECT_EQ(k.sad[half](s.a.data(), kStride, s.b.data(), kStride, rows, 1 << 30),
                          exact);
                // With a limit it may stop early but never reports less.
                const int limited =
                    k.sad[half](s.a.data(), kStride, s.b.data(), kStride, rows, exact / 2);
                EXPECT_GE(limited, exact / 2);
                EXPECT_LE(limited, exact);
            }
        }
        long sum = 0;
        long squares = 0;
        long errors = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const int v = s.a[y * kStride + x];
                sum += v;
                squares += v * v;
                const int d = v - s.b[y * kStride + x];
                errors += d * d;
            }
        }
        EXPECT_EQ(k.variance16x16(s.a.data(), kStride), squares - sum * sum / 256);
        EXPECT_EQ(k.predictionError16x16(s.a.data(), kStride, s.b.data(), kStride), errors);
    }
}

TEST(VideoKernelsTest, VarianceOfBrightAndFlatBlocks) {
    const VideoKernels& k = korvan::PlainVideoKernels(korvan::DctArithmetic::kInteger);
    std::vector<uint8_t> white(kStride * 16, 255);
    EXPECT_EQ(k.variance16x16(white.data(), kStride), 0);
    for (int y = 0; y < 16; ++y) white[y * kStride] = 0;  // one dark column
    // 16 samples at 0 and 240 at 255: 256 * p * (1 - p) * 255^2 with p = 1/16.
    EXPECT_EQ(k.variance16x16(white.data(), kStride), 16 * 240 * 255 * 255 / 256);
}

TEST(VideoKernelsTest, EveryProcessorModeGivesThePlainResults) {
    for (auto arithmetic :
         {korvan::DctArithmetic::kInteger, korvan::DctArithmetic::kFloatingPoint}) {
        const VideoKernels& plain = korvan::PlainVideoKernels(arithmetic);
        for (int mode = 0; mode <= 4; ++mode) {
            SCOPED_TRACE(mode);
            const VideoKernels& k = korvan::SelectVideoKernels(mode, arithmetic);
            std::mt19937 random(mode);
            std::uniform_int_distribution<int> residual(-255, 255);
            std::uniform_int_distribution<int> coefficient(-2048, 2047);
            for (const Blocks& s : TestBlocks()) {
                for (int half = 0; half < 4; ++half) {
                    for (int limit : {1 << 30, 500, 0}) {
                        EXPECT_EQ(
                            k.sad[half](s.a.data(), kStride, s.b.data(), kStride, 16, limit),
                            plain.sad[half](s.a.data(), kStride, s.b.data(), kStride, 16, limit));
                    }
                    for (int width : {8, 16}) {
                        uint8_t x[16 * 16];
                        uint8_t y[16 * 16];
                        k.predict[half](x, 16, s.b.data(), kStride, width, 16);
                        plain.predict[half](y, 16, s.b.data(), kStride, width, 16);
                        for (int r = 0; r < 16; ++r)
                            EXPECT_EQ(std::memcmp(x + 16 * r, y + 16 * r, width), 0);
                        k.average(x, 16, s.a.data(), kStride, width, 16);
                        plain.average(y, 16, s.a.data(), kStride, width, 16);
                        for (int r = 0; r < 16; ++r)
                            EXPECT_EQ(std::memcmp(x + 16 * r, y + 16 * r, width), 0);
                    }
                }
                EXPECT_EQ(k.variance16x16(s.a.data(), kStride),
                          plain.variance16x16(s.a.data(), kStride));
                EXPECT_EQ(k.predictionError16x16(s.a.data(), kStride, s.b.data(), kStride),
                          plain.predictionError16x16(s.a.data(), kStride, s.b.data(), kStride));
                int16_t forward[2][64];
                int16_t inverse[2][64];
                for (int i = 0; i < 64; ++i) {
                    forward[0][i] = forward[1][i] = static_cast<int16_t>(residual(random));
                    inverse[0][i] = inverse[1][i] =
                        static_cast<int16_t>(coefficient(random) >> (i ? 2 : 0));
                }
                k.forwardDct(forward[0]);
                plain.forwardDct(forward[1]);
                EXPECT_EQ(std::memcmp(forward[0], forward[1], sizeof(forward[0])), 0);
                k.inverseDct(inverse[0]);
                plain.inverseDct(inverse[1]);
                EXPECT_EQ(std::memcmp(inverse[0], inverse[1], sizeof(inverse[0])), 0);
            }
        }
    }
}

}  // namespace
