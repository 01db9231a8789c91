// Every target, PAL and NTSC, with one and two audio streams and with the
// sequence-header alignment and the variable-rate mode each way round: the
// program stream must pass the buffer model checker, decode in ffmpeg without
// a word, probe with the right streams and durations, and be accepted by the
// disc authoring tool of its target.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "korvan/mpegenc/settings/encoder_presets.h"
#include "tests/korvan/mux/mux_media.h"
#include "tests/korvan/mux/std_buffer_checker.h"
#include "tests/support/temp_dir.h"

namespace {

using korvan::EncoderPreset;
using korvan::EncoderSettings;
using korvan::TvSystem;

struct Target {
    EncoderPreset preset;
    TvSystem system;
    const char* name;
};

struct Variant {
    std::string name;
    bool secondAudio = false;
    bool flipAlignment = false;
    bool flipVariableRate = false;
};

bool IsMpeg2Type(EncoderPreset preset) {
    return preset == EncoderPreset::kMpeg2 || preset == EncoderPreset::kSuperVcd ||
           preset == EncoderPreset::kDvd;
}

std::string Bytes(const std::string& path) { return test::ReadFile(path); }

class TargetTest : public testing::TestWithParam<Target> {};

TEST_P(TargetTest, RealClientsAcceptEveryVariant) {
    const Target target = GetParam();
    const std::string video = test::VideoFor(target.preset, target.system);
    const std::string audio = test::AudioFor(target.preset);
    ASSERT_FALSE(video.empty());
    ASSERT_FALSE(audio.empty());
    const std::string second =
        IsMpeg2Type(target.preset) ? test::SecondAudioFor(target.preset) : "";
    const test::StreamLength videoLength = test::MeasureStream(video);
    const double videoSeconds = videoLength.seconds;
    ASSERT_GT(videoSeconds, 1.5);
    const test::StreamLength audioLength = test::MeasureStream(audio);
    const test::StreamLength secondLength =
        second.empty() ? audioLength : test::MeasureStream(second);
    const std::string videoBytes = Bytes(video);
    // The multiplexer ends the video with a sequence end code when the
    // stream has none (ffmpeg writes none).
    const std::string endCode("\x00\x00\x01\xB7", 4);
    const bool hasEndCode =
        videoBytes.size() >= 4 && videoBytes.compare(videoBytes.size() - 4, 4, endCode) == 0;
    const std::string demuxedVideo = hasEndCode ? videoBytes : videoBytes + endCode;

    std::vector<Variant> variants = {{"preset"},
                                     {"alignment flipped", false, true, false},
                                     {"variable rate flipped", false, false, true}};
    if (!second.empty()) variants.push_back({"two audio streams", true, false, false});

    for (const Variant& variant : variants) {
        SCOPED_TRACE(std::string(target.name) + ", " + variant.name);
        EncoderSettings settings = korvan::PresetSettings(target.preset, target.system);
        if (variant.flipAlignment) settings.alignSequenceHeaders = !settings.alignSequenceHeaders;
        if (variant.flipVariableRate) settings.vbrMultiplex = !settings.vbrMultiplex;
        test::TempDir folder(std::string("mux ") + target.name + " ünï");
        const korvan::mux::MuxReport report =
            test::RunMultiplex(settings, video, audio, variant.secondAudio ? second : "",
                               folder / "Out Put.MPG", folder.Folder());
        ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
        ASSERT_EQ(report.programFiles.size(), 1u);
        const std::string program = folder / "out put.mpg";
        EXPECT_EQ(report.programFiles[0], program);
        EXPECT_EQ(report.statistics.underflows, 0u);

        // The decoder model, replayed independently.
        const test::StdReport std = test::CheckProgramStream(program);
        ASSERT_TRUE(std.error.empty()) << std.Summary();
        EXPECT_EQ(std.Overflows(), 0u) << std.Summary();
        EXPECT_EQ(std.Underflows(), 0u) << std.Summary();
        EXPECT_EQ(std.scrProblems, 0u) << std.Summary();
        EXPECT_EQ(std.smallestPack, static_cast<uint64_t>(settings.sectorSize)) << std.Summary();
        EXPECT_EQ(std.largestPack, static_cast<uint64_t>(settings.sectorSize)) << std.Summary();
        EXPECT_TRUE(std.endsWithEndCode);
        const size_t audioStreams = variant.secondAudio ? 2 : 1;
        ASSERT_EQ(std.streams.size(), 1 + audioStreams) << std.Summary();
        for (const auto& [key, stream] : std.streams) {
            EXPECT_EQ(stream.longWaits, 0u) << std.Summary();
            EXPECT_EQ(stream.stampGaps, 0u) << std.Summary();
            EXPECT_EQ(stream.badSubHeaders, 0u) << std.Summary();
        }
        // Audio comes back out byte for byte; so does video when nothing is
        // put into it.
        const auto& first = std.streams.at(std.streams.count(0xC0) ? 0xC0 : 0x180);
        EXPECT_EQ(std::string(first.elementaryStream.begin(), first.elementaryStream.end()),
                  Bytes(audio));
        if (variant.secondAudio) {
            const auto& other = std.streams.at(std.streams.count(0xC1) ? 0xC1 : 0x181);
            EXPECT_EQ(std::string(other.elementaryStream.begin(), other.elementaryStream.end()),
                      Bytes(second));
        }
        const auto& pictures = std.streams.at(0xE0);
        EXPECT_EQ(static_cast<double>(pictures.units), videoLength.frames);
        if (!settings.alignSequenceHeaders && !settings.muxSVCDScanOffsets) {
            EXPECT_TRUE(std::string(pictures.elementaryStream.begin(),
                                    pictures.elementaryStream.end()) == demuxedVideo);
        }

        EXPECT_EQ(test::DecodeErrors(program), "");
        size_t probedStreams = 0;
        for (const test::ProbedStream& probed : test::ProbeStreams(program)) {
            if (probed.codec == "dvd_nav_packet") continue;
            ++probedStreams;
            const bool isVideo = probed.codec.rfind("mpeg", 0) == 0;
            // The second stream, when there is one, is of the other codec,
            // or of the same codec and length.
            const bool firstCodec = probed.codec == (audio.ends_with(".ac3") ? "ac3" : "mp2");
            const test::StreamLength& expected =
                isVideo ? videoLength : (firstCodec ? audioLength : secondLength);
            EXPECT_EQ(probed.frames, expected.frames) << probed.codec;
            // ffprobe takes a duration from the last time stamps it finds in
            // the file's last 250 000 bytes; a constant-rate DVD stream, which
            // stamps only I pictures, ends with more padding than that.
            const bool stampsTooFarBack =
                isVideo && settings.frameTimestamps == 2 && !settings.vbrMultiplex;
            if (probed.durationSeconds >= 0 || !stampsTooFarBack) {
                EXPECT_NEAR(probed.durationSeconds, expected.seconds, 0.12) << probed.codec;
            }
        }
        EXPECT_EQ(probedStreams, 1 + audioStreams);

        switch (target.preset) {
            case EncoderPreset::kDvd: {
                const test::DvdAuthoring dvd =
                    test::AuthorDvd(program, folder / "dvd", target.system);
                EXPECT_EQ(dvd.complaints, "");
                EXPECT_NEAR(dvd.titleSeconds, videoSeconds, 1.0);
                break;
            }
            case EncoderPreset::kVideoCd:
                EXPECT_EQ(test::VcdImagerComplaints(program, folder.Folder(), "vcd2"), "");
                break;
            case EncoderPreset::kSuperVcd:
                EXPECT_EQ(test::VcdImagerComplaints(program, folder.Folder(), "svcd"), "");
                break;
            default:
                break;
        }
    }
}

const Target kTargets[] = {
    {EncoderPreset::kMpeg1, TvSystem::kPal, "Mpeg1Pal"},
    {EncoderPreset::kMpeg1, TvSystem::kNtsc, "Mpeg1Ntsc"},
    {EncoderPreset::kVideoCd, TvSystem::kPal, "VideoCdPal"},
    {EncoderPreset::kVideoCd, TvSystem::kNtsc, "VideoCdNtsc"},
    {EncoderPreset::kMpeg2, TvSystem::kPal, "Mpeg2Pal"},
    {EncoderPreset::kMpeg2, TvSystem::kNtsc, "Mpeg2Ntsc"},
    {EncoderPreset::kSuperVcd, TvSystem::kPal, "SuperVcdPal"},
    {EncoderPreset::kSuperVcd, TvSystem::kNtsc, "SuperVcdNtsc"},
    {EncoderPreset::kDvd, TvSystem::kPal, "DvdPal"},
    {EncoderPreset::kDvd, TvSystem::kNtsc, "DvdNtsc"},
};

INSTANTIATE_TEST_SUITE_P(AllTargets, TargetTest, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<Target>& info) {
                             return info.param.name;
                         });

}  // namespace
