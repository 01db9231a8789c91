#include "korvan/media/frame_rate_probe.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/korvan/media/media_test_support.h"

namespace {

using korvan::media::MeasuredFrameRate;

TEST(FrameRateProbeTest, PicturesCountedBetweenOneAndTwentyOneSeconds) {
    std::vector<double> times;
    for (int i = 0; i < 500; ++i) times.push_back(1.0 + i * 0.04);
    EXPECT_DOUBLE_EQ(MeasuredFrameRate(times), 25.0);
    // Times outside the window do not count.
    times.insert(times.begin(), {0.0, 0.5, 0.99});
    times.push_back(21.01);
    EXPECT_DOUBLE_EQ(MeasuredFrameRate(times), 25.0);
    EXPECT_DOUBLE_EQ(MeasuredFrameRate(std::vector<double>{2.0, 3.0}), 25.0);
    EXPECT_DOUBLE_EQ(MeasuredFrameRate(std::vector<double>{2.0, 3.0, 4.0}), 0.15);
    EXPECT_DOUBLE_EQ(MeasuredFrameRate({}), 25.0);
}

TEST(FrameRateProbeTest, StatedRatesAndMeasuredTimesOfRealFiles) {
    test::TempDir dir;
    const std::string path = dir / "ten hertz.mkv";
    int exitCode = -1;
    test::RunTool(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=32x32:rate=10:duration=23"
        " -c:v mpeg4 " +
            test::Quoted(path),
        &exitCode);
    ASSERT_EQ(exitCode, 0);
    EXPECT_DOUBLE_EQ(korvan::media::FrameRateProbe(path, false), 25.0);
    EXPECT_NEAR(korvan::media::FrameRateProbe(path, true), 10.0, 1e-9);
    const std::vector<double> times = korvan::media::CollectPictureTimes(path);
    ASSERT_GT(times.size(), 210u);
    EXPECT_GT(times.back(), 21.3);
    EXPECT_NEAR(MeasuredFrameRate(times), 10.0, 0.06);
    EXPECT_DOUBLE_EQ(korvan::media::FrameRateProbe(dir / "missing.mkv", true), 25.0);
}

}  // namespace
