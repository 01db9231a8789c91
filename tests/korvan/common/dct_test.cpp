// The inverse DCTs against the accuracy rules of IEEE 1180 (peak error 1,
// mean square and mean errors per position and overall), the forward DCTs
// against a double-precision transform.
#include "korvan/mpegenc/common/dct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// The pseudo-random generator the accuracy test is defined with.
class Ieee1180Random {
public:
    explicit Ieee1180Random(long seed) : state_(seed) {}
    long Next(long low, long high) {
        state_ = (state_ * 1103515245 + 12345) % 2147483648L;
        if (state_ < 0) state_ += 2147483648L;
        const double x = static_cast<double>(state_) / 2147483647.0;
        const long range = high - low + 1;
        long value = static_cast<long>(x * range) + low;
        return std::min(value, high);
    }

private:
    long state_;
};

double Basis(int u, int x) {
    const double scale = u == 0 ? std::sqrt(0.125) : 0.5;
    return scale * std::cos((2 * x + 1) * u * std::acos(-1.0) / 16);
}

void ReferenceForward(const double* in, double* out) {
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) sum += Basis(u, x) * Basis(v, y) * in[8 * y + x];
            }
            out[8 * v + u] = sum;
        }
    }
}

void ReferenceInverse(const double* in, double* out) {
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            double sum = 0;
            for (int v = 0; v < 8; ++v) {
                for (int u = 0; u < 8; ++u) sum += Basis(u, x) * Basis(v, y) * in[8 * v + u];
            }
            out[8 * y + x] = sum;
        }
    }
}

struct Accuracy {
    int peak = 0;
    double worstPositionMse = 0;
    double overallMse = 0;
    double worstPositionMean = 0;
    double overallMean = 0;
};

Accuracy Measure(void (*inverse)(int16_t*), long low, long high, int sign, int blocks) {
    Ieee1180Random random(1);
    double errorSum[64] = {};
    double squareSum[64] = {};
    Accuracy a;
    for (int n = 0; n < blocks; ++n) {
        double samples[64];
        for (double& s : samples) s = static_cast<double>(random.Next(low, high) * sign);
        double coefficients[64];
        ReferenceForward(samples, coefficients);
        double rounded[64];
        int16_t block[64];
        for (int i = 0; i < 64; ++i) {
            rounded[i] = std::clamp(std::round(coefficients[i]), -2048.0, 2047.0);
            block[i] = static_cast<int16_t>(rounded[i]);
        }
        double ideal[64];
        ReferenceInverse(rounded, ideal);
        inverse(block);
        for (int i = 0; i < 64; ++i) {
            const double reference = std::clamp(std::round(ideal[i]), -256.0, 255.0);
            const double e = block[i] - reference;
            a.peak = std::max(a.peak, static_cast<int>(std::abs(e)));
            errorSum[i] += e;
            squareSum[i] += e * e;
        }
    }
    double totalError = 0;
    double totalSquare = 0;
    for (int i = 0; i < 64; ++i) {
        a.worstPositionMse = std::max(a.worstPositionMse, squareSum[i] / blocks);
        a.worstPositionMean = std::max(a.worstPositionMean, std::abs(errorSum[i]) / blocks);
        totalError += errorSum[i];
        totalSquare += squareSum[i];
    }
    a.overallMse = totalSquare / (64.0 * blocks);
    a.overallMean = std::abs(totalError) / (64.0 * blocks);
    return a;
}

class InverseDctAccuracyTest
    : public ::testing::TestWithParam<std::pair<const char*, void (*)(int16_t*)>> {};

TEST_P(InverseDctAccuracyTest, MeetsIeee1180) {
    const struct { long low, high; } ranges[] = {{-256, 255}, {-5, 5}, {-300, 300}};
    for (const auto& range : ranges) {
        for (int sign : {1, -1}) {
            SCOPED_TRACE(std::to_string(range.high) + (sign > 0 ? " +" : " -"));
            const Accuracy a = Measure(GetParam().second, range.low, range.high, sign, 10000);
            EXPECT_LE(a.peak, 1);
            EXPECT_LE(a.worstPositionMse, 0.06);
            EXPECT_LE(a.overallMse, 0.02);
            EXPECT_LE(a.worstPositionMean, 0.015);
            EXPECT_LE(a.overallMean, 0.0015);
        }
    }
    int16_t zero[64] = {};
    GetParam().second(zero);
    for (int16_t v : zero) EXPECT_EQ(v, 0);
}

INSTANTIATE_TEST_SUITE_P(BothArithmetics, InverseDctAccuracyTest,
                         ::testing::Values(std::make_pair("integer", korvan::InverseDctInteger),
                                           std::make_pair("float", korvan::InverseDctFloat)),
                         [](const auto& info) { return std::string(info.param.first); });

TEST(ForwardDctTest, BothArithmeticsStayWithinOneOfTheExactTransform) {
    Ieee1180Random random(7);
    for (auto forward : {korvan::ForwardDctInteger, korvan::ForwardDctFloat}) {
        int worst = 0;
        for (int n = 0; n < 2000; ++n) {
            double samples[64];
            int16_t block[64];
            const long low = n % 2 ? 0 : -255;  // intra samples and residuals
            for (int i = 0; i < 64; ++i) {
                block[i] = static_cast<int16_t>(random.Next(low, 255));
                samples[i] = block[i];
            }
            double exact[64];
            ReferenceForward(samples, exact);
            forward(block);
            for (int i = 0; i < 64; ++i) {
                worst =
                    std::max(worst, static_cast<int>(std::abs(block[i] - std::round(exact[i]))));
            }
        }
        EXPECT_LE(worst, 1);
    }
}

TEST(ForwardDctTest, ExtremeBlocksKeepTheirDcAndRange) {
    int16_t white[64];
    std::fill(std::begin(white), std::end(white), 255);
    korvan::ForwardDctInteger(white);
    EXPECT_EQ(white[0], 2040);  // eight times the mean
    for (int i = 1; i < 64; ++i) EXPECT_EQ(white[i], 0);

    int16_t checker[64];
    for (int i = 0; i < 64; ++i) checker[i] = ((i / 8 + i) & 1) ? 255 : -255;
    korvan::ForwardDctInteger(checker);
    for (int16_t v : checker) {
        EXPECT_GE(v, -2048);
        EXPECT_LE(v, 2047);
    }
}

}  // namespace
