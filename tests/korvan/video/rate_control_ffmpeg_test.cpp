// Rate control checked from the outside: constant-bitrate streams measured
// over their whole length and replayed through a decoder buffer model of
// our own (ffmpeg decodes buffer-violating streams without a word), and
// bounded variable-bitrate streams measured over every one-second window.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "korvan/cli/video_encode.h"
#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/video/video_encoder.h"
#include "tests/korvan/video/ffmpeg_client.h"
#include "tests/korvan/video/vbv_checker.h"
#include "tests/support/temp_dir.h"

namespace {

using test::Clip;
using Preset = korvan::EncoderPreset;
using korvan::TvSystem;

struct Clips {
    test::TempDir dir{"zarvo débit"};
    std::string cif = dir / "pan cif.y4m";
    std::string sd = dir / "pan sd.y4m";
    std::string sdLong = dir / "pan sd long.y4m";
    std::string pattern = dir / "pattern cif.y4m";
    std::string noiseThenFlat = dir / "noise then flat cif.y4m";
};

class RateControlFfmpegTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        clips_ = new Clips;
        ASSERT_TRUE(test::MakeClip(clips_->cif, Clip::kPan, 352, 288, 50));
        ASSERT_TRUE(test::MakeClip(clips_->sd, Clip::kPan, 720, 576, 30));
        // The benchmark's slow pan over a large grainy still, three GOPs and
        // more: at 9.8 Mbit/s its third I picture meets the buffer's limit.
        ASSERT_EQ(
            test::RunCommand(
                "ffmpeg -v error -y -f lavfi -i \"mandelbrot=s=1024x768:rate=25,trim=end_frame=1,"
                "noise=alls=20,gblur=sigma=0.7,loop=loop=-1:size=1,setpts=N/25/TB,"
                "crop=720:576:x='n*1':y='n*0.6',format=yuv420p\" -frames:v 40 -f "
                "yuv4mpegpipe " +
                test::ShellQuote(clips_->sdLong)),
            0);
        ASSERT_TRUE(test::MakeClip(clips_->pattern, Clip::kTestPattern, 352, 288, 50));
        // Heavy grain for a second, then a flat grey.
        ASSERT_EQ(
            test::RunCommand("ffmpeg -v error -y -f lavfi -i \"color=c=gray:s=352x288:rate=25,"
                             "format=yuv420p,noise=alls=60:allf=t:enable='lt(t,1)'\" "
                             "-frames:v 50 -f yuv4mpegpipe " +
                             test::ShellQuote(clips_->noiseThenFlat)),
            0);
    }
    static void TearDownTestSuite() {
        delete clips_;
        clips_ = nullptr;
    }

    // Encodes, checks that ffmpeg decodes every picture without a word and
    // without drift from the reconstruction, and returns the stream.
    std::string EncodeClean(const korvan::EncoderSettings& s, const std::string& input,
                            const std::string& name, size_t pictures,
                            korvan::VideoStatistics* statistics = nullptr) {
        const std::string stream = clips_->dir / (name + ".mpv");
        const std::string recon = clips_->dir / (name + " recon.y4m");
        const korvan::Status r =
            korvan::EncodeVideoFile(s, {input, stream, recon}, korvan::CpuFlags::kNone, statistics);
        EXPECT_TRUE(r.IsOk()) << r.message;
        const test::Decoded d = test::DecodeWithFfmpeg(stream, clips_->dir / (name + " dec.y4m"));
        EXPECT_EQ(d.status, 0);
        EXPECT_EQ(d.messages, "");
        EXPECT_EQ(d.pictures.size(), pictures);
        EXPECT_GE(test::WorstPsnr(d.pictures, test::ReadY4mPictures(recon)), 50.0);
        return stream;
    }

    static Clips* clips_;
};

Clips* RateControlFfmpegTest::clips_ = nullptr;

TEST_F(RateControlFfmpegTest, ConstantBitratesHoldTheirRateAndTheBuffer) {
    enum Variant { kPlain, kFields, kPulldown };
    struct Case {
        const char* name;
        Preset preset;
        double bitRate;
        const std::string& input;
        size_t pictures;
        Variant variant;
        bool checkRate;  // short streams end with a fuller buffer than they began
    };
    const Case cases[] = {
        {"vcd 1150000", Preset::kVideoCd, 1150000, clips_->cif, 50, kPlain, true},
        {"svcd 2300000", Preset::kSuperVcd, 2300000, clips_->cif, 50, kPlain, true},
        {"dvd 6000000", Preset::kDvd, 6000000, clips_->sd, 30, kPlain, true},
        {"dvd 9800000", Preset::kDvd, 9800000, clips_->sd, 30, kPlain, true},
        {"dvd 9800000 three GOPs", Preset::kDvd, 9800000, clips_->sdLong, 40, kPlain, false},
        {"svcd fields 2300000", Preset::kSuperVcd, 2300000, clips_->cif, 50, kFields, true},
        {"mpeg2 pulldown 2300000", Preset::kMpeg2, 2300000, clips_->cif, 50, kPulldown, true},
        {"vcd pattern 1150000", Preset::kVideoCd, 1150000, clips_->pattern, 50, kPlain, true},
        // A large buffer at a low rate: longer than vbv_delay can express.
        {"dvd pattern 2000000", Preset::kDvd, 2000000, clips_->pattern, 50, kPlain, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        korvan::EncoderSettings s = korvan::PresetSettings(c.preset, TvSystem::kPal);
        s.constBitrateFlag = 1;
        s.constBitrate = c.bitRate;
        s.forceVBVDelay = 0;
        if (c.variant == kFields) {
            s.fieldPictures = 1;
            s.framePredDCTI = s.framePredDCTP = s.framePredDCTB = 0;
        }
        const bool pulldown = c.variant == kPulldown;
        if (pulldown) {
            // 24 Hz pictures shown at 29.97 Hz: every other picture repeats
            // a field, and the buffer drains at the display rate.
            s.frameRateCode = 1;
            s.frameRate = 24000.0 / 1001;
            s.videoPulldownFlag = 2;
        }
        const size_t pictures = c.pictures;
        const std::string& input = c.input;
        korvan::VideoStatistics statistics;
        const std::string stream = EncodeClean(s, input, c.name, pictures, &statistics);
        // The encoder's own model agrees with the checker.
        EXPECT_EQ(statistics.vbvOverflows, 0);
        EXPECT_EQ(statistics.vbvUnderflows, 0);
        const test::VbvReport vbv = test::CheckVbv(test::ReadFile(stream));
        ASSERT_EQ(vbv.error, "");
        // Field pictures: two coded pictures a frame.
        EXPECT_EQ(vbv.pictures, static_cast<int>(pictures) * (c.variant == kFields ? 2 : 1));
        EXPECT_NEAR(vbv.bitRate, c.bitRate, 400);
        EXPECT_EQ(vbv.bufferBits, s.vbvBufferSize * 16384.0);
        if (c.checkRate) {
            EXPECT_NEAR(vbv.MeasuredBitRate(), c.bitRate, 0.02 * c.bitRate);
        }
        EXPECT_NEAR(vbv.durationSeconds, pictures / (pulldown ? 24000.0 / 1001 : 25.0), 0.01);
        EXPECT_EQ(vbv.unknownDelays, 0);
        EXPECT_EQ(vbv.badDelays, 0);
        EXPECT_EQ(vbv.underflows, 0);
        EXPECT_EQ(vbv.overflows, 0);
    }
}

TEST_F(RateControlFfmpegTest, TheCheckerSeesTooSlowAndTooSmallBuffers) {
    korvan::EncoderSettings s = korvan::PresetSettings(Preset::kVideoCd, TvSystem::kPal);
    const std::string stream = EncodeClean(s, clips_->cif, "vcd for the checker", 50);
    const std::string good = test::ReadFile(stream);
    ASSERT_EQ(test::CheckVbv(good).underflows, 0);

    // The same stream announced at two thirds of its rate: pictures arrive
    // late. vbv_buffer_size is in the 10 bits after the marker.
    std::string slow = good;
    std::string small = good;
    for (size_t at = good.find(std::string("\0\0\1\xB3", 4)); at != std::string::npos;
         at = good.find(std::string("\0\0\1\xB3", 4), at + 1)) {
        const uint32_t value = 1150000 * 2 / 3 / 400;
        slow[at + 8] = static_cast<char>(value >> 10);
        slow[at + 9] = static_cast<char>((value >> 2) & 0xFF);
        slow[at + 10] = static_cast<char>(((value & 3) << 6) | (good[at + 10] & 0x3F));
        // vbv_buffer_size 4 (65 536 bits): smaller than an I picture.
        small[at + 10] = static_cast<char>((good[at + 10] & 0xE0) | 0);
        small[at + 11] = static_cast<char>((4 << 3) | (good[at + 11] & 0x07));
    }
    const test::VbvReport late = test::CheckVbv(slow);
    EXPECT_GT(late.underflows, 0);
    EXPECT_GT(late.badDelays, 0);
    EXPECT_EQ(test::CheckVbv(small).bufferBits, 4 * 16384.0);
    EXPECT_GT(test::CheckVbv(small).overflows, 0);

    // Asked to, the stream leaves vbv_delay unknown in every picture.
    s.forceVBVDelay = 1;
    const test::VbvReport forced =
        test::CheckVbv(test::ReadFile(EncodeClean(s, clips_->cif, "vcd forced delay", 50)));
    EXPECT_EQ(forced.unknownDelays, 50);
}

TEST_F(RateControlFfmpegTest, BoundedVariableBitrateKeepsEverySecondBelowTheMaximum) {
    // A fine quantiser wants far more than the bound: the GOPs are coded
    // again, coarser, until every second fits.
    korvan::EncoderSettings s = korvan::PresetSettings(Preset::kDvd, TvSystem::kPal);
    s.mquantValue = 2;
    s.maxBitrate = 2500000;
    struct Case {
        std::string input;
        const char* name;
        bool fieldPictures;
    };
    for (const Case& c :
         {Case{clips_->cif, "bounded pan", false}, Case{clips_->pattern, "bounded pattern", false},
          Case{clips_->cif, "bounded fields", true}}) {
        SCOPED_TRACE(c.name);
        s.fieldPictures = c.fieldPictures;
        s.framePredDCTI = s.framePredDCTP = s.framePredDCTB = c.fieldPictures ? 0 : 1;
        korvan::VideoStatistics statistics;
        const std::string stream = EncodeClean(s, c.input, c.name, 50, &statistics);
        // The reconstruction matched the decoder although GOPs were redone.
        EXPECT_GT(statistics.gopsCodedAgain, 0);
        const test::VbvReport report = test::CheckVbv(test::ReadFile(stream));
        ASSERT_EQ(report.error, "");
        // A second is 25 frames: 25 pictures, or 50 fields.
        const size_t perSecond = c.fieldPictures ? 50 : 25;
        ASSERT_EQ(report.pictureBits.size(), 2 * perSecond);
        uint64_t busiest = 0;
        for (size_t i = 0; i + perSecond <= report.pictureBits.size(); ++i) {
            uint64_t second = 0;
            for (size_t k = i; k < i + perSecond; ++k) second += report.pictureBits[k];
            busiest = std::max(busiest, second);
        }
        EXPECT_LE(busiest, 2500000u);
        // The bound is used, not undershot by far.
        EXPECT_GT(busiest, 1500000u);
    }
}

TEST_F(RateControlFfmpegTest, AGopThatPassesAfterOneCodedAgainKeepsItsCodes) {
    // The grain of the first second makes its GOPs miss the bound, so the
    // GOP after them is first only measured; the flat one passes as it is
    // and must still reach the stream whole.
    korvan::EncoderSettings s = korvan::PresetSettings(Preset::kDvd, TvSystem::kPal);
    s.mquantValue = 2;
    s.maxBitrate = 2500000;
    korvan::VideoStatistics statistics;
    const std::string stream =
        EncodeClean(s, clips_->noiseThenFlat, "noise then flat", 50, &statistics);
    EXPECT_GE(statistics.gopsCodedAgain, 2);
    EXPECT_GE(statistics.gopsCodedForTheirCodes, 1);
    const test::VbvReport report = test::CheckVbv(test::ReadFile(stream));
    ASSERT_EQ(report.error, "");
    EXPECT_EQ(report.pictureBits.size(), 50u);
}

}  // namespace
