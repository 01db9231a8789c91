// Damaged and foreign inputs: cut streams, noise behind a good header, empty
// files and randomly changed bytes. Each must end the multiplex with one of
// its messages and a failure, or with a sound result, never with a crash.
// This program is built with AddressSanitizer and UBSan.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "korvan/mpegenc/settings/encoder_presets.h"
#include "tests/korvan/mux/mux_media.h"
#include "tests/korvan/mux/synthetic_streams.h"
#include "tests/support/temp_dir.h"

namespace {

using korvan::EncoderPreset;
using korvan::TvSystem;
using korvan::mux::MuxReport;

const char kInvalidVideo[] = "Invalid MPEG Video stream header.";

MuxReport Mux(EncoderPreset preset, const std::string& video, const std::string& audio,
              const test::TempDir& folder) {
    return test::RunMultiplex(korvan::PresetSettings(preset, TvSystem::kPal), video, audio, "",
                              folder / "out.mpg", folder.Folder());
}

// The offset of the n-th picture start code.
size_t PictureStart(const std::string& bytes, int n) {
    const std::string code("\x00\x00\x01\x00", 4);
    size_t at = bytes.find(code);
    for (int i = 0; i < n && at != std::string::npos; ++i) at = bytes.find(code, at + 4);
    return at;
}

std::string Noise(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::string noise(count, '\0');
    for (char& byte : noise) byte = static_cast<char>(random());
    return noise;
}

TEST(DamagedInputTest, EmptyAndMissingFiles) {
    test::TempDir folder("damaged empty ünï");
    test::WriteFile(folder / "empty.m2v", "");
    test::WriteFile(folder / "empty.mp2", "");
    const std::string video = test::VideoFor(EncoderPreset::kDvd, TvSystem::kPal);
    const std::string audio = test::AudioFor(EncoderPreset::kDvd);
    MuxReport report = Mux(EncoderPreset::kDvd, folder / "empty.m2v", audio, folder);
    EXPECT_EQ(report.status.code, korvan::StatusCode::kFailed);
    EXPECT_EQ(report.status.message,
              "Error getting size of input file " + folder / "empty.m2v" + ".");
    report = Mux(EncoderPreset::kDvd, video, folder / "empty.mp2", folder);
    EXPECT_EQ(report.status.message,
              "Error getting size of input file " + folder / "empty.mp2" + ".");
    report = Mux(EncoderPreset::kDvd, video, folder.Folder(), folder);
    EXPECT_EQ(report.status.message, "Error getting size of input file " + folder.Folder() + ".");
    report = Mux(EncoderPreset::kDvd, folder / "gone.m2v", audio, folder);
    EXPECT_EQ(report.status.message, "Input file " + folder / "gone.m2v" + " was not found.");
}

TEST(DamagedInputTest, CutAndNoisyVideo) {
    test::TempDir folder("damaged video");
    const std::string audio = test::AudioFor(EncoderPreset::kDvd);
    const std::string good = test::ReadFile(test::VideoFor(EncoderPreset::kDvd, TvSystem::kPal));
    ASSERT_GT(good.size(), 100000u);

    // Cut two thousand bytes into the tenth picture's slices.
    test::WriteFile(folder / "cut.m2v", good.substr(0, PictureStart(good, 10) + 2000));
    MuxReport report = Mux(EncoderPreset::kDvd, folder / "cut.m2v", audio, folder);
    EXPECT_EQ(report.status.code, korvan::StatusCode::kFailed);
    EXPECT_EQ(report.status.message, kInvalidVideo);

    // Cut inside the tenth picture's header.
    test::WriteFile(folder / "header.m2v", good.substr(0, PictureStart(good, 10) + 5));
    EXPECT_EQ(Mux(EncoderPreset::kDvd, folder / "header.m2v", audio, folder).status.message,
              kInvalidVideo);

    // A good sequence header, then noise.
    const size_t gop = good.find(std::string("\x00\x00\x01\xB8", 4));
    test::WriteFile(folder / "noise.m2v", good.substr(0, gop) + Noise(200000, 7));
    report = Mux(EncoderPreset::kDvd, folder / "noise.m2v", audio, folder);
    EXPECT_EQ(report.status.code, korvan::StatusCode::kFailed);
    EXPECT_EQ(report.status.message, kInvalidVideo);

    test::WriteFile(folder / "random.m2v", Noise(50000, 8));
    EXPECT_EQ(Mux(EncoderPreset::kDvd, folder / "random.m2v", audio, folder).status.message,
              "File " + folder / "random.m2v" + " is not a 11172-2 or 13818-2 Video stream.");
}

TEST(DamagedInputTest, CutAndNoisyAudio) {
    test::TempDir folder("damaged audio");
    const std::string video = test::VideoFor(EncoderPreset::kVideoCd, TvSystem::kPal);
    const std::string good = test::ReadFile(test::AudioFor(EncoderPreset::kVideoCd));
    const std::string refused = " is not an AC3 or MPEG Audio stream.";

    test::WriteFile(folder / "cut.mp2", good.substr(0, 731 * 10 + 300));
    MuxReport report = Mux(EncoderPreset::kVideoCd, video, folder / "cut.mp2", folder);
    EXPECT_EQ(report.status.code, korvan::StatusCode::kFailed);
    EXPECT_EQ(report.status.message, "File " + folder / "cut.mp2" + refused);

    test::WriteFile(folder / "noise.mp2", good.substr(0, 731) + Noise(20000, 9));
    EXPECT_EQ(Mux(EncoderPreset::kVideoCd, video, folder / "noise.mp2", folder).status.message,
              "File " + folder / "noise.mp2" + refused);

    test::WriteFile(folder / "random.mp2", "\x12" + Noise(20000, 10));
    EXPECT_EQ(Mux(EncoderPreset::kVideoCd, video, folder / "random.mp2", folder).status.message,
              "File " + folder / "random.mp2" + refused);

    // A frame header of a format that is neither: MPEG audio with a free bitrate.
    test::WriteFile(folder / "free.mp2",
                    std::string("\xFF\xFD\x04\x44", 4) + std::string(700, '\0'));
    EXPECT_EQ(Mux(EncoderPreset::kVideoCd, video, folder / "free.mp2", folder).status.message,
              "Only MPEG and AC3 audio stream formats are supported.");
}

bool IsOneOfTheMessages(const std::string& message) {
    static const char* const kStarts[] = {
        "Invalid MPEG Video stream header.",
        "Invalid MPEG2 Video stream, no picture coding extension present.",
        "File ",  // not a video stream / not an audio stream
        "Only MPEG and AC3 audio stream formats are supported.",
        "Error reading from an input file.",
    };
    for (const char* start : kStarts) {
        if (message.rfind(start, 0) == 0) return true;
    }
    return false;
}

TEST(DamagedInputTest, RandomlyChangedStreamsNeverCrash) {
    // A small MPEG-2 stream and MPEG audio, both hit by random byte changes.
    test::SyntheticVideo builder(true, 480, 576, 3);
    builder.SequenceHeader(false);
    for (int gop = 0; gop < 3; ++gop) {
        builder.Gop();
        const int types[] = {1, 2, 3, 3, 2, 3, 3};
        const int references[] = {0, 3, 1, 2, 6, 4, 5};
        for (int i = 0; i < 7; ++i) {
            test::PictureShape shape;
            shape.type = types[i];
            shape.temporalReference = references[i];
            shape.sliceRows = 36;
            shape.sliceBytes = 60;
            builder.Picture(shape);
        }
    }
    builder.SequenceEnd();
    const std::vector<uint8_t> videoBytes = builder.Bytes();
    const std::string video(videoBytes.begin(), videoBytes.end());
    std::string audio;
    for (int i = 0; i < 40; ++i) {
        const std::vector<uint8_t> frame =
            test::MpegAudioFrame(2, 11, 0, i % 3 == 0, i % 3 == 0 ? 732 : 731);
        audio.append(frame.begin(), frame.end());
    }

    test::TempDir folder("damaged random");
    std::mt19937 random(2024);
    int succeeded = 0;
    for (int round = 0; round < 240; ++round) {
        std::string changedVideo = video;
        std::string changedAudio = audio;
        const int hits = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < hits; ++i) {
            std::string& target = random() % 3 == 0 ? changedAudio : changedVideo;
            target[random() % target.size()] = static_cast<char>(random());
        }
        if (round % 5 == 0) changedVideo.resize(random() % changedVideo.size() + 1);
        test::WriteFile(folder / "v.m2v", changedVideo);
        test::WriteFile(folder / "a.mp2", changedAudio);
        const EncoderPreset preset = round % 2 ? EncoderPreset::kSuperVcd : EncoderPreset::kDvd;
        const MuxReport report = Mux(preset, folder / "v.m2v", folder / "a.mp2", folder);
        if (report.status.IsOk()) {
            ++succeeded;
        } else {
            EXPECT_TRUE(IsOneOfTheMessages(report.status.message))
                << round << ": " << report.status.message;
        }
    }
    // Most changes land in slice or frame data, which the multiplexer passes on.
    EXPECT_GT(succeeded, 20);
}

}  // namespace
