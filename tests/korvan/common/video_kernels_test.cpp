// Every kernel of every table the instruction sets can choose gives exactly
// the plain kernel's results, on random blocks and on the extremes; the plain
// kernels themselves are checked against direct sums.
#include "korvan/mpegenc/common/video_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/common/mpeg_tables.h"

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

// Transform inputs: random, every coefficient at an extreme, alternating
// extremes, a lone DC.
std::vector<std::array<int16_t, 64>> TransformInputs(int low, int high, std::mt19937& random) {
    std::vector<std::array<int16_t, 64>> inputs;
    std::uniform_int_distribution<int> value(low, high);
    for (int n = 0; n < 200; ++n) {
        std::array<int16_t, 64> b;
        // Half of them sparse, as quantised blocks are.
        for (int i = 0; i < 64; ++i)
            b[i] = static_cast<int16_t>((n & 1) && (random() % 4) ? 0 : value(random));
        inputs.push_back(b);
    }
    for (int v : {low, high}) {
        std::array<int16_t, 64> b;
        b.fill(static_cast<int16_t>(v));
        inputs.push_back(b);
        for (int i = 0; i < 64; ++i) b[i] = static_cast<int16_t>(((i + i / 8) & 1) ? low : high);
        inputs.push_back(b);
        b.fill(0);
        b[0] = static_cast<int16_t>(v);
        inputs.push_back(b);
    }
    return inputs;
}

// A table the instruction sets choose, checked kernel by kernel against the
// plain table of the same arithmetic.
struct SimdTable {
    const char* name;
    korvan::CpuFlags flags;
    korvan::DctArithmetic arithmetic;
};

void PrintTo(const SimdTable& table, std::ostream* out) { *out << table.name; }

class SimdKernelTest : public testing::TestWithParam<SimdTable> {
protected:
    void SetUp() override {
        const SimdTable& table = GetParam();
        if (!korvan::HasFlags(korvan::DetectCpuFlags(), table.flags))
            GTEST_SKIP() << "this processor lacks " << table.name;
        plain_ = &korvan::PlainVideoKernels(table.arithmetic);
        simd_ = &korvan::SelectVideoKernels(table.flags, table.arithmetic);
        // The flags are the processor's; a table of its own must run.
        ASSERT_NE(simd_, plain_) << "no kernels for " << table.name;
    }

    const VideoKernels* plain_ = nullptr;
    const VideoKernels* simd_ = nullptr;
    std::mt19937 random_{7};
};

TEST_P(SimdKernelTest, Sad) {
    for (const Blocks& s : TestBlocks()) {
        for (int half = 0; half < 4; ++half) {
            for (int rows : {16, 8}) {
                for (int limit : {1 << 30, 2000, 500, 1, 0}) {
                    EXPECT_EQ(
                        simd_->sad[half](s.a.data(), kStride, s.b.data(), kStride, rows, limit),
                        plain_->sad[half](s.a.data(), kStride, s.b.data(), kStride, rows, limit));
                }
            }
        }
    }
}

TEST_P(SimdKernelTest, PredictAndAverage) {
    for (const Blocks& s : TestBlocks()) {
        for (int half = 0; half < 4; ++half) {
            for (int width : {8, 16}) {
                uint8_t x[16 * 16];
                uint8_t y[16 * 16];
                // Whole macroblocks, fields (8 lines) and odd counts.
                for (int rows : {16, 8, 5}) {
                    std::memset(x, 0, sizeof(x));
                    std::memset(y, 0, sizeof(y));
                    simd_->predict[half](x, 16, s.b.data(), kStride, width, rows);
                    plain_->predict[half](y, 16, s.b.data(), kStride, width, rows);
                    EXPECT_EQ(std::memcmp(x, y, sizeof(x)), 0) << width << " " << rows;
                }
                simd_->average(x, 16, s.a.data(), kStride, width, 16);
                plain_->average(y, 16, s.a.data(), kStride, width, 16);
                for (int r = 0; r < 16; ++r)
                    EXPECT_EQ(std::memcmp(x + 16 * r, y + 16 * r, width), 0);
            }
        }
    }
}

TEST_P(SimdKernelTest, VarianceAndPredictionError) {
    for (const Blocks& s : TestBlocks()) {
        EXPECT_EQ(simd_->variance16x16(s.a.data(), kStride),
                  plain_->variance16x16(s.a.data(), kStride));
        EXPECT_EQ(simd_->predictionError16x16(s.a.data(), kStride, s.b.data(), kStride),
                  plain_->predictionError16x16(s.a.data(), kStride, s.b.data(), kStride));
    }
}

TEST_P(SimdKernelTest, BlockDifferenceAndAdd) {
    static constexpr uint8_t kZeros[8] = {};
    for (const Blocks& s : TestBlocks()) {
        for (int predStride : {kStride, 0}) {
            const uint8_t* pred = predStride ? s.b.data() : kZeros;
            int16_t got[64];
            int16_t expected[64];
            simd_->blockDifference(s.a.data(), kStride, pred, predStride, got);
            plain_->blockDifference(s.a.data(), kStride, pred, predStride, expected);
            EXPECT_EQ(std::memcmp(got, expected, sizeof(got)), 0);
            // Residuals as the inverse transform leaves them, and extremes.
            std::uniform_int_distribution<int> residual(-256, 255);
            for (int16_t& v : got) v = static_cast<int16_t>(residual(random_));
            got[0] = -256;
            got[1] = 255;
            uint8_t outGot[8 * kStride];
            uint8_t outExpected[8 * kStride];
            simd_->blockAdd(got, pred, predStride, outGot, kStride);
            plain_->blockAdd(got, pred, predStride, outExpected, kStride);
            for (int r = 0; r < 8; ++r)
                EXPECT_EQ(std::memcmp(outGot + r * kStride, outExpected + r * kStride, 8), 0);
        }
    }
}

TEST_P(SimdKernelTest, CoarseSearchSums) {
    for (const Blocks& s : TestBlocks()) {
        for (int count : {4, 8}) {
            uint8_t got[8];
            uint8_t expected[8];
            simd_->reduceRow(s.a.data() + 3, kStride, count, got);
            plain_->reduceRow(s.a.data() + 3, kStride, count, expected);
            EXPECT_EQ(std::memcmp(got, expected, count), 0);
        }
        EXPECT_EQ(simd_->sad4x4(s.a.data() + 5, kStride, s.b.data() + 3, kStride),
                  plain_->sad4x4(s.a.data() + 5, kStride, s.b.data() + 3, kStride));
        for (int rows : {1, 6, 15}) {
            uint16_t got[16 * 15];
            uint16_t expected[16 * 15];
            simd_->coarseWindow(s.a.data() + 20, kStride, s.b.data(), kStride, rows, got);
            plain_->coarseWindow(s.a.data() + 20, kStride, s.b.data(), kStride, rows, expected);
            EXPECT_EQ(std::memcmp(got, expected, sizeof(uint16_t) * 16 * rows), 0);
        }
    }
}

// Ring minima of coarse windows, clipped every way the picture's edges can
// clip them.
TEST_P(SimdKernelTest, CoarseRingMinima) {
    std::uniform_int_distribution<int> sum(0, 16 * 255);
    for (int n = 0; n < 300; ++n) {
        uint16_t window[16 * 15];
        for (auto& v : window) v = static_cast<uint16_t>(n % 50 == 0 ? 16 * 255 : sum(random_));
        const int rows = 1 + n % 15;
        const int centreRow = (n / 15) % rows;
        const int left = -static_cast<int>(n % 8);
        const int right = static_cast<int>((n / 8) % 8);
        uint16_t got[8];
        uint16_t expected[8];
        simd_->coarseRingMinima(window, rows, centreRow, left, right, got);
        plain_->coarseRingMinima(window, rows, centreRow, left, right, expected);
        EXPECT_EQ(std::memcmp(got, expected, sizeof(got)), 0) << n;
    }
}

// The batched search: positions around the middle of a larger picture, the
// running best starting high, low and at zero.
TEST_P(SimdKernelTest, SadSearch) {
    constexpr int kWide = 64;
    std::vector<uint8_t> picture(kWide * 48);
    std::uniform_int_distribution<int> pel(0, 255);
    for (auto& v : picture) v = static_cast<uint8_t>(pel(random_));
    std::vector<uint8_t> block(kWide * 16);
    for (int round = 0; round < 40; ++round) {
        // Some blocks copied from the picture, so that exact and near
        // matches occur.
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const int v = picture[(16 + y + round % 5) * kWide + 24 + x + round % 7];
                block[y * kWide + x] = static_cast<uint8_t>(
                    round % 3 == 0 ? pel(random_) : std::clamp(v + round % 4 - 1, 0, 255));
            }
        }
        ptrdiff_t offsets[81];
        int count = 0;
        for (int dy = -4; dy <= 4; ++dy)
            for (int dx = -4; dx <= 4; ++dx) offsets[count++] = dy * kWide + dx;
        const uint8_t* centre = picture.data() + 20 * kWide + 28;
        for (int rows : {16, 8}) {
            for (int start : {1 << 30, 6000, 2000, 0}) {
                int gotBest = start;
                int expectedBest = start;
                const int got = simd_->sadSearch(block.data(), kWide, centre, kWide, rows, offsets,
                                                 count, &gotBest);
                const int expected = plain_->sadSearch(block.data(), kWide, centre, kWide, rows,
                                                       offsets, count, &expectedBest);
                EXPECT_EQ(got, expected) << rows << " " << start;
                EXPECT_EQ(gotBest, expectedBest) << rows << " " << start;
            }
        }
    }
}

// A transform against the plain one, on inputs from `low` to `high`.
void ExpectSameTransform(korvan::DctKernel simd, korvan::DctKernel plain, int low, int high,
                         std::mt19937& random) {
    for (auto block : TransformInputs(low, high, random)) {
        auto expected = block;
        simd(block.data());
        plain(expected.data());
        EXPECT_EQ(block, expected);
    }
}

TEST_P(SimdKernelTest, ForwardDct) {
    ExpectSameTransform(simd_->forwardDct, plain_->forwardDct, -255, 255, random_);
}

TEST_P(SimdKernelTest, InverseDct) {
    ExpectSameTransform(simd_->inverseDct, plain_->inverseDct, -2048, 2047, random_);
}

// Lengths of the small levels: magnitudes from 0 to 255, sparse and full
// position masks.
TEST_P(SimdKernelTest, SmallLevelLengths) {
    for (int n = 0; n < 2000; ++n) {
        uint8_t magnitudes[64];
        uint8_t lengths[256];
        for (auto& m : magnitudes) m = static_cast<uint8_t>(random_() % (n % 2 ? 256 : 20));
        for (auto& l : lengths) l = static_cast<uint8_t>(random_() % 29);
        uint64_t positions = (uint64_t{random_()} << 32 | random_());
        if (n % 3 == 0) positions |= positions << 1;
        if (n % 5 == 0) positions = ~uint64_t{0};
        uint64_t got = positions;
        uint64_t expected = positions;
        EXPECT_EQ(simd_->smallLevelLengths(magnitudes, &got, lengths),
                  plain_->smallLevelLengths(magnitudes, &expected, lengths))
            << n;
        EXPECT_EQ(got, expected) << n;
    }
}

// One case of the quantisation tests: coefficients, a matrix, a
// quantiser_scale, a syntax and an intra DC precision.
struct QuantiserCase {
    const int16_t* coefficients;
    const korvan::QuantiserMatrix& matrix;
    int mquant;
    korvan::MpegSyntax syntax;
    int precision;
};

// Every quantiser_scale with the matrices of both standards, random weights
// and one with weights of 1, over transform outputs and their extremes.
template <typename Check>
void ForEachQuantiserCase(std::mt19937& random, Check check) {
    korvan::Matrix64 randomWeights{};
    korvan::Matrix64 unitWeights = korvan::kFlatNonIntraMatrix;
    for (auto& w : randomWeights) w = static_cast<uint8_t>(2 + random() % 254);
    unitWeights[5] = 1;
    const korvan::QuantiserMatrix matrices[] = {
        korvan::MakeQuantiserMatrix(korvan::kDefaultIntraMatrix),
        korvan::MakeQuantiserMatrix(korvan::kTm5NonIntraMatrix),
        korvan::MakeQuantiserMatrix(korvan::kFlatNonIntraMatrix),
        korvan::MakeQuantiserMatrix(randomWeights),
        korvan::MakeQuantiserMatrix(unitWeights),
    };
    const auto coefficients = TransformInputs(-2048, 2047, random);
    for (const auto& matrix : matrices) {
        for (int mquant = 1; mquant <= 112; ++mquant) {
            for (auto syntax : {korvan::MpegSyntax::kMpeg1, korvan::MpegSyntax::kMpeg2}) {
                for (size_t n = 0; n < coefficients.size(); n += 7) {
                    check(QuantiserCase{coefficients[n].data(), matrix, mquant, syntax,
                                        static_cast<int>(n % 4)});
                    if (testing::Test::HasFatalFailure()) return;
                }
            }
        }
    }
}

TEST_P(SimdKernelTest, QuantiseNonIntra) {
    ForEachQuantiserCase(random_, [&](const QuantiserCase& c) {
        int16_t got[64];
        int16_t expected[64];
        ASSERT_EQ(simd_->quantiseNonIntra(c.coefficients, got, c.matrix, c.mquant, c.syntax),
                  plain_->quantiseNonIntra(c.coefficients, expected, c.matrix, c.mquant, c.syntax))
            << c.mquant;
        ASSERT_EQ(std::memcmp(got, expected, sizeof(got)), 0) << c.mquant;
    });
}

TEST_P(SimdKernelTest, QuantiseIntra) {
    ForEachQuantiserCase(random_, [&](const QuantiserCase& c) {
        int16_t got[64];
        int16_t expected[64];
        ASSERT_EQ(
            simd_->quantiseIntra(c.coefficients, got, c.matrix, c.mquant, c.precision, c.syntax),
            plain_->quantiseIntra(c.coefficients, expected, c.matrix, c.mquant, c.precision,
                                  c.syntax))
            << c.mquant;
        ASSERT_EQ(std::memcmp(got, expected, sizeof(got)), 0) << c.mquant;
    });
}

// The levels a case gives the kernels that read levels: those the plain
// kernel quantises, and the coefficients themselves, up to the syntax's
// limits.
template <typename Check>
void ForEachLevelSet(const VideoKernels& plain, const QuantiserCase& c, Check check) {
    int16_t quantised[64];
    plain.quantiseIntra(c.coefficients, quantised, c.matrix, c.mquant, c.precision, c.syntax);
    check(quantised);
    check(c.coefficients);
}

TEST_P(SimdKernelTest, DequantiseIntraAndNonIntra) {
    ForEachQuantiserCase(random_, [&](const QuantiserCase& c) {
        ForEachLevelSet(*plain_, c, [&](const int16_t* levels) {
            int16_t got[64];
            int16_t expected[64];
            simd_->dequantiseIntra(levels, got, c.matrix, c.mquant, c.precision, c.syntax);
            plain_->dequantiseIntra(levels, expected, c.matrix, c.mquant, c.precision, c.syntax);
            ASSERT_EQ(std::memcmp(got, expected, sizeof(got)), 0) << c.mquant;
            simd_->dequantiseNonIntra(levels, got, c.matrix, c.mquant, c.syntax);
            plain_->dequantiseNonIntra(levels, expected, c.matrix, c.mquant, c.syntax);
            ASSERT_EQ(std::memcmp(got, expected, sizeof(got)), 0) << c.mquant;
        });
    });
}

TEST_P(SimdKernelTest, ScanMask) {
    ForEachQuantiserCase(random_, [&](const QuantiserCase& c) {
        ForEachLevelSet(*plain_, c, [&](const int16_t* levels) {
            for (bool alternateScan : {false, true})
                ASSERT_EQ(simd_->scanMask(levels, alternateScan),
                          plain_->scanMask(levels, alternateScan));
        });
    });
}

TEST_P(SimdKernelTest, ScanMagnitudes) {
    const auto check = [&](const int16_t* levels) {
        for (bool alternateScan : {false, true}) {
            uint8_t got[64];
            uint8_t expected[64];
            ASSERT_EQ(simd_->scanMagnitudes(levels, alternateScan, got),
                      plain_->scanMagnitudes(levels, alternateScan, expected));
            ASSERT_EQ(std::memcmp(got, expected, sizeof(got)), 0);
        }
    };
    // Magnitudes over the whole 16-bit range, -32768 included.
    for (const auto& block : TransformInputs(-32768, 32767, random_)) check(block.data());
    ForEachQuantiserCase(random_,
                         [&](const QuantiserCase& c) { ForEachLevelSet(*plain_, c, check); });
}

INSTANTIATE_TEST_SUITE_P(
    EveryTable, SimdKernelTest,
    testing::Values(
        SimdTable{"sse2_integer", korvan::CpuFlags::kSse2, korvan::DctArithmetic::kInteger},
        SimdTable{"sse2_float", korvan::CpuFlags::kSse2, korvan::DctArithmetic::kFloatingPoint},
        SimdTable{"avx2_integer", korvan::CpuFlags::kSse2 | korvan::CpuFlags::kAvx2,
                  korvan::DctArithmetic::kInteger},
        SimdTable{"avx2_float", korvan::CpuFlags::kSse2 | korvan::CpuFlags::kAvx2,
                  korvan::DctArithmetic::kFloatingPoint}),
    [](const testing::TestParamInfo<SimdTable>& info) { return std::string(info.param.name); });

}  // namespace
