// The encoder with worker threads against the encoder without: the same
// stream and the same reconstruction, byte for byte. Built a second time
// under ThreadSanitizer (`ctest -L tsan`), where a data race fails the run.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/video/video_encoder.h"
#include "tests/korvan/video/moving_pattern.h"

namespace {

using korvan::EncoderPreset;
using korvan::TvSystem;

// Every reconstructed picture's samples, in the order shown.
class KeepingSink : public korvan::ReconstructionSink {
public:
    void TakePicture(int, const korvan::YuvFrame& frame) override {
        for (int c = 0; c < 3; ++c) {
            const korvan::Plane& plane = frame.plane(c);
            for (int y = 0; y < plane.height; ++y)
                samples.insert(samples.end(), plane.Row(y), plane.Row(y) + plane.width);
        }
    }
    std::vector<uint8_t> samples;
};

struct Encoded {
    std::vector<uint8_t> stream;
    std::vector<uint8_t> reconstruction;
    korvan::VideoStatistics statistics;
};

Encoded Encode(const korvan::EncoderSettings& s, int threads) {
    constexpr int kWidth = 176;
    constexpr int kHeight = 144;
    constexpr int kPictures = 14;
    test::MovingPattern source(kWidth, kHeight, 3, 1);
    KeepingSink sink;
    korvan::VideoEncoder encoder;
    encoder.SetThreadCount(threads);
    Encoded e;
    const korvan::Status opened =
        encoder.Open(s, kWidth, kHeight, kPictures, korvan::CpuFlags::kNone, source, &sink);
    EXPECT_TRUE(opened.IsOk()) << opened.message;
    if (!opened.IsOk()) return e;
    while (!encoder.Done()) {
        const korvan::Status r = encoder.EncodeNextPicture();
        EXPECT_TRUE(r.IsOk()) << r.message;
        if (!r.IsOk()) return e;
        const std::vector<uint8_t> bytes = encoder.TakeOutput();
        e.stream.insert(e.stream.end(), bytes.begin(), bytes.end());
    }
    EXPECT_TRUE(encoder.Finish().IsOk());
    const std::vector<uint8_t> tail = encoder.TakeOutput();
    e.stream.insert(e.stream.end(), tail.begin(), tail.end());
    e.reconstruction = std::move(sink.samples);
    e.statistics = encoder.Statistics();
    return e;
}

TEST(ThreadedEncodeTest, EveryThreadCountCodesTheSameStreamAndReconstruction) {
    struct Case {
        const char* name;
        EncoderPreset preset;
        std::function<void(korvan::EncoderSettings&)> change;
        std::function<void(const korvan::VideoStatistics&)> expect;
    };
    const auto interlaced = [](korvan::EncoderSettings& s) {
        s.framePredDCTI = s.framePredDCTP = s.framePredDCTB = 0;
    };
    const Case cases[] = {
        {"dvd", EncoderPreset::kDvd, [](korvan::EncoderSettings&) {},
         [](const korvan::VideoStatistics& st) { EXPECT_EQ(st.gopsCodedAgain, 0); }},
        // GOPs coded again from copies of the references.
        {"dvd low rate", EncoderPreset::kDvd,
         [](korvan::EncoderSettings& s) { s.maxBitrate = 150000; },
         [](const korvan::VideoStatistics& st) { EXPECT_GT(st.gopsCodedAgain, 0); }},
        // The constant-bitrate controller quantises on the coding thread.
        {"vcd", EncoderPreset::kVideoCd, [](korvan::EncoderSettings&) {},
         [](const korvan::VideoStatistics& st) { EXPECT_EQ(st.pictures, 14); }},
        {"interlaced frame pictures", EncoderPreset::kDvd, interlaced,
         [](const korvan::VideoStatistics& st) {
             EXPECT_GT(st.fieldDctMacroblocks + st.fieldMotionMacroblocks, 0);
         }},
        {"dual prime", EncoderPreset::kDvd,
         [&](korvan::EncoderSettings& s) {
             interlaced(s);
             s.ipFrameDistance = 1;
         },
         [](const korvan::VideoStatistics& st) { EXPECT_GT(st.dualPrimeMacroblocks, 0); }},
        // The second field is predicted from the first one.
        {"field pictures", EncoderPreset::kDvd,
         [](korvan::EncoderSettings& s) { s.fieldPictures = 1; },
         [](const korvan::VideoStatistics& st) { EXPECT_EQ(st.pictures, 28); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        korvan::EncoderSettings s = korvan::PresetSettings(c.preset, TvSystem::kPal);
        c.change(s);
        const Encoded alone = Encode(s, 1);
        ASSERT_GT(alone.stream.size(), 1000u);
        // Every picture shown, whole macroblocks of it.
        ASSERT_GE(alone.reconstruction.size(), 14u * 176 * 144 * 3 / 2);
        ASSERT_EQ(alone.reconstruction.size() % 14, 0u);
        c.expect(alone.statistics);
        for (int threads : {2, 4}) {
            const Encoded threaded = Encode(s, threads);
            EXPECT_TRUE(threaded.stream == alone.stream) << threads << " threads";
            EXPECT_TRUE(threaded.reconstruction == alone.reconstruction) << threads << " threads";
        }
    }
}

}  // namespace
