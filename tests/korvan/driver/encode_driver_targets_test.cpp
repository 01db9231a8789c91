// Whole encodes through RunEncodeJob judged by the real clients: every
// target kind in PAL and NTSC (ffmpeg decodes it without a word, dvdauthor
// and lsdvd take the DVD streams, vcdimager the VideoCD and SuperVCD ones),
// a flash and a beep that stay together, a duration limit with the sound cut
// to match, and the measured maximum bitrate in the MPEG-2 headers.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "tests/korvan/driver/driver_test_support.h"
#include "tests/korvan/mux/mux_media.h"
#include "tests/support/media_tools.h"

namespace {

using korvan::CompileRequest;
using korvan::StatusCode;
using korvan::TvSystem;

struct Target {
    int kind;  // 1 MPEG-1, 2 MPEG-2, 3 DVD, 4 VideoCD, 5 SuperVCD
    bool pal;
    int width;  // of the source; an odd size is coded one smaller
    int height;
    int sampleRateHz;
    const char* disc;  // "dvd", vcdimager's "vcd2" or "svcd", or "" for none
};

void PrintTo(const Target& target, std::ostream* out) {
    *out << "kind " << target.kind << (target.pal ? " PAL" : " NTSC");
}

std::string NameOf(const testing::TestParamInfo<Target>& info) {
    static const char* const kNames[] = {"", "Mpeg1", "Mpeg2", "Dvd", "VideoCd", "SuperVcd"};
    return std::string(kNames[info.param.kind]) + (info.param.pal ? "Pal" : "Ntsc");
}

class TargetEncodeTest : public test::DriverFixture, public testing::WithParamInterface<Target> {};

TEST_P(TargetEncodeTest, TheProgramStreamDecodesAndItsDiscToolTakesIt) {
    const Target& target = GetParam();
    const bool dvd = std::string(target.disc) == "dvd";
    // A DVD title of two seconds, so that lsdvd's length says something.
    const double seconds = dvd ? 2 : 1;
    const std::string rate = target.pal ? "25" : "30000/1001";
    test::ClipRecipe recipe;
    recipe.pictures = "testsrc2=size=" + std::to_string(target.width) + "x" +
                      std::to_string(target.height) + ":rate=" + rate;
    recipe.width = target.width;
    recipe.height = target.height;
    recipe.sampleRateHz = target.sampleRateHz;
    recipe.seconds = seconds;
    test::ClipSource clip;
    ASSERT_TRUE(clip.Open(recipe, folder_.Folder()));
    CompileRequest request;
    test::RecordingHost host(request);
    Prepare(request, target.kind, target.pal, target.pal ? 25 : 30000.0 / 1001, seconds, &host);
    // The sound in blocks of a fifth of a second, from a sample position.
    clip.ServeBySample(request, static_cast<size_t>(target.sampleRateHz / 5 * 4));
    ASSERT_EQ(Encode(JobOf(recipe, "/videos/Clip Ünï.avi"), request), 31);
    ASSERT_EQ(request.status.code, StatusCode::kOk) << ::testing::PrintToString(messages_.Texts());
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{});

    const std::string program = folder_ / "clip Ünï.mpg";
    EXPECT_EQ(request.resultPath, program);
    EXPECT_EQ(test::DecodeErrors(program), "");
    const test::ProbedFile probed = test::ProbeWithFfprobe(program);
    EXPECT_EQ(probed.width, target.width - target.width % 2);
    EXPECT_EQ(probed.height, target.height - target.height % 2);
    EXPECT_EQ(probed.videoCodec,
              target.kind == 1 || target.kind == 4 ? "mpeg1video" : "mpeg2video");
    EXPECT_EQ(probed.audioCodec, "mp2");
    if (dvd) {
        const test::DvdAuthoring disc = test::AuthorDvd(
            program, folder_ / "dvd", target.pal ? TvSystem::kPal : TvSystem::kNtsc);
        EXPECT_EQ(disc.complaints, "");
        EXPECT_LT(std::fabs(disc.titleSeconds - seconds), 1.0) << disc.titleSeconds;
    } else if (*target.disc) {
        EXPECT_EQ(test::VcdImagerComplaints(program, folder_.Folder(), target.disc), "");
    }
}

// Each target at a picture size its disc takes, with the sound rate its disc
// wants; the NTSC DVD's source is 721 x 481 and is coded 720 x 480.
INSTANTIATE_TEST_SUITE_P(Kinds, TargetEncodeTest,
                         testing::Values(Target{1, true, 352, 288, 44100, ""},
                                         Target{1, false, 352, 240, 44100, ""},
                                         Target{2, true, 352, 288, 48000, ""},
                                         Target{2, false, 352, 240, 48000, ""},
                                         Target{3, true, 720, 576, 48000, "dvd"},
                                         Target{3, false, 721, 481, 48000, "dvd"},
                                         Target{4, true, 352, 288, 44100, "vcd2"},
                                         Target{4, false, 352, 240, 44100, "vcd2"},
                                         Target{5, true, 480, 576, 44100, "svcd"},
                                         Target{5, false, 480, 480, 44100, "svcd"}),
                         NameOf);

// A white picture and a tone burst that start together in the source must
// start together after the encode, as ffmpeg plays the program stream.
class SyncTest : public test::DriverFixture, public testing::WithParamInterface<Target> {};

TEST_P(SyncTest, AFlashAndABeepStayTogether) {
    const Target& target = GetParam();
    const std::string rate = target.pal ? "25" : "30000/1001";
    const double pictureRate = target.pal ? 25 : 30000.0 / 1001;
    // Picture 30 (1.2 s at 25 Hz, 1.001 s at 29.97 Hz) is white; the tone
    // starts at the same time.
    constexpr int kFlashPicture = 30;
    const double flashSeconds = kFlashPicture / pictureRate;
    test::ClipRecipe recipe;
    recipe.width = target.width;
    recipe.height = target.height;
    recipe.pictures = "color=c=black:size=" + std::to_string(target.width) + "x" +
                      std::to_string(target.height) + ":rate=" + rate +
                      ",drawbox=color=white:thickness=fill:enable='eq(n," +
                      std::to_string(kFlashPicture) + ")'";
    recipe.sound = "aevalsrc='if(gte(t," + std::to_string(flashSeconds) + ")*lt(t," +
                   std::to_string(flashSeconds + 0.2) + "),0.5*sin(2*PI*1000*t),0)'";
    recipe.sampleRateHz = target.sampleRateHz;
    recipe.seconds = 2.5;
    test::ClipSource clip;
    ASSERT_TRUE(clip.Open(recipe, folder_.Folder()));
    CompileRequest request;
    Prepare(request, target.kind, target.pal, pictureRate, recipe.seconds, nullptr);
    clip.ServeByPicture(request);
    ASSERT_EQ(Encode(JobOf(recipe, "sync.mpg"), request), 31);
    ASSERT_EQ(request.status.code, StatusCode::kOk) << ::testing::PrintToString(messages_.Texts());

    const std::string program = folder_ / "sync.mpg";
    const test::StreamStarts starts = test::ProbeStreamStarts(program);
    ASSERT_GE(starts.video, 0);
    ASSERT_GE(starts.audio, 0);
    const std::vector<double> luma = test::DecodedLumaMeans(program, folder_ / "luma.raw");
    int flash = -1;
    for (size_t i = 0; i < luma.size(); ++i) {
        if (luma[i] > 128) {
            flash = static_cast<int>(i);
            break;
        }
    }
    ASSERT_EQ(flash, kFlashPicture);
    constexpr int kRate = 48000;
    const std::vector<int16_t> sound = test::DecodedSound(program, kRate, folder_ / "sound.raw");
    size_t beep = 0;
    while (beep < sound.size() && std::abs(sound[beep]) < 3000) ++beep;
    ASSERT_LT(beep, sound.size());
    const double flashAt = starts.video + flash / pictureRate;
    const double beepAt = starts.audio + static_cast<double>(beep) / kRate;
    EXPECT_LT(std::fabs(beepAt - flashAt), 0.040) << "flash " << flashAt << " s, beep " << beepAt;
}

INSTANTIATE_TEST_SUITE_P(Targets, SyncTest,
                         testing::Values(Target{3, true, 720, 576, 48000, "dvd"},
                                         Target{4, false, 352, 240, 44100, "vcd2"}),
                         NameOf);

class LimitsAndHeadersTest : public test::DriverFixture {};

TEST_F(LimitsAndHeadersTest, ATenSecondLimitStopsAfter250PicturesWithTheSoundCut) {
    test::ClipRecipe recipe;
    recipe.pictures = "testsrc2=size=176x144:rate=25";
    recipe.width = 176;
    recipe.height = 144;
    recipe.seconds = 11.5;
    test::ClipSource clip;
    ASSERT_TRUE(clip.Open(recipe, folder_.Folder()));
    CompileRequest request;
    Prepare(request, 1, true, 25, recipe.seconds, nullptr);
    request.durationLimitOn = true;
    request.durationLimitSeconds = 10;
    // Blocks of one second of sound, so the cut falls inside one.
    clip.ServeBySample(request, 44100 * 4);
    ASSERT_EQ(Encode(JobOf(recipe, "ten.mpg"), request), 31);
    ASSERT_EQ(request.status.code, StatusCode::kOk) << ::testing::PrintToString(messages_.Texts());
    EXPECT_TRUE(request.split);
    EXPECT_EQ(request.sourcePicturesDone, 250);
    EXPECT_EQ(clip.PicturesServed(), 250);

    const std::string program = folder_ / "ten.mpg";
    EXPECT_EQ(test::DecodeErrors(program), "");
    const std::vector<test::ProbedStream> streams = test::ProbeStreams(program);
    ASSERT_EQ(streams.size(), 2u);
    // The lengths as ffprobe counts the decoded pictures and audio frames
    // (its "duration" of a program stream is an estimate from time stamps).
    EXPECT_EQ(streams[0].frames, 250);
    const double audioSeconds = test::AudioFrameSeconds(streams[1].frames);
    EXPECT_GE(audioSeconds, 10.0 - 1152.0 / 44100) << streams[1].frames << " audio frames";
    EXPECT_LE(audioSeconds, 10.0 + test::kAudioTailSeconds) << streams[1].frames << " audio frames";
}

TEST_F(LimitsAndHeadersTest, MpegTwoVariableBitrateHeadersCarryTheMeasuredMaximum) {
    struct Case {
        int kind;
        bool measured;     // the headers get the measured maximum
        uint32_t written;  // otherwise this value, units of 400 bit/s
    };
    // MPEG-2 without a maximum; DVD with 9 800 000 bit/s set; VideoCD at a
    // constant 1 150 000 bit/s.
    const Case cases[] = {{2, true, 0}, {3, false, 24500}, {4, false, 2875}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        test::ClipRecipe recipe;
        recipe.pictures = "testsrc2=size=352x288:rate=25";
        recipe.seconds = 3;
        test::ClipSource clip;
        ASSERT_TRUE(clip.Open(recipe, folder_.Folder()));
        CompileRequest request;
        test::RecordingHost host(request);
        Prepare(request, c.kind, true, 25, recipe.seconds, &host);
        clip.ServeByPicture(request);
        const std::string name = "rate" + std::to_string(c.kind);
        ASSERT_EQ(Encode(JobOf(recipe, name + ".mpg"), request), 31);
        ASSERT_EQ(request.status.code, StatusCode::kOk);

        const std::string stream = folder_ / (name + (c.kind == 4 ? ".m1v" : ".m2v"));
        const std::vector<uint32_t> rates = test::SequenceHeaderBitRates(stream);
        ASSERT_GE(rates.size(), 5u);  // one per GOP
        bool embedded = false;
        for (const std::string& tip : host.tips) {
            embedded |= tip.rfind("Embedding max bitrate values: ", 0) == 0;
        }
        EXPECT_EQ(embedded, c.measured);
        if (c.measured) {
            const uint64_t maxBits =
                test::MaxBitsPerSecond(test::PictureSizesWithHeaders(stream), 25);
            const auto expected = static_cast<uint32_t>(std::ceil(maxBits / 400.0));
            // The encoder counts a picture from where the one before ended,
            // bits rather than bytes: a unit of 400 bit/s either way.
            EXPECT_NEAR(static_cast<double>(rates[0]), expected, 1.0) << maxBits;
            EXPECT_GT(rates[0], 0u);
        } else {
            EXPECT_EQ(rates[0], c.written);
        }
        for (uint32_t rate : rates) EXPECT_EQ(rate, rates[0]);
    }
}

}  // namespace
