// The encoder through its own interface, with generated pictures.
#include "korvan/mpegenc/video/video_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "korvan/mpegenc/settings/encoder_presets.h"
#include "tests/korvan/video/moving_pattern.h"

namespace {

using korvan::EncoderPreset;
using korvan::TvSystem;
using test::MovingPattern;

class RecordingSink : public korvan::ReconstructionSink {
public:
    void TakePicture(int index, const korvan::YuvFrame&) override { shown.push_back(index); }
    std::vector<int> shown;
};

TEST(VideoEncoderTest, Mpeg1UsesTheLargerFCodeForBothComponents) {
    // The same pictures and search in both syntaxes: MPEG-2 keeps a
    // horizontal and a vertical f-code, MPEG-1 one per direction.
    int fCodes[2][2] = {};
    for (EncoderPreset preset : {EncoderPreset::kMpeg1, EncoderPreset::kMpeg2}) {
        korvan::EncoderSettings s = korvan::PresetSettings(preset, TvSystem::kPal);
        s.ipFrameDistance = 1;
        MovingPattern source(320, 192, 10, 0);
        korvan::VideoEncoder encoder;
        ASSERT_TRUE(encoder.Open(s, 320, 192, 2, korvan::CpuFlags::kNone, source, nullptr).IsOk());
        ASSERT_TRUE(encoder.EncodeNextPicture().IsOk());
        ASSERT_TRUE(encoder.EncodeNextPicture().IsOk());
        const auto& f = encoder.LastFCodes();
        EXPECT_EQ(f[1][0], 15);  // no backward vectors in a P picture
        const int syntax = preset == EncoderPreset::kMpeg1 ? 0 : 1;
        fCodes[syntax][0] = f[0][0];
        fCodes[syntax][1] = f[0][1];
    }
    EXPECT_GE(fCodes[1][0], 2);  // 10 pels need at least 8 to 16
    const int larger = std::max(fCodes[1][0], fCodes[1][1]);
    EXPECT_EQ(fCodes[0][0], larger);
    EXPECT_EQ(fCodes[0][1], larger);
}

TEST(VideoEncoderTest, PicturesAreFetchedOnceInDisplayOrderAndShownInDisplayOrder) {
    korvan::EncoderSettings s = korvan::PresetSettings(EncoderPreset::kDvd, TvSystem::kPal);
    MovingPattern source(64, 48, 1, 1);
    RecordingSink sink;
    korvan::VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(s, 64, 48, 17, korvan::CpuFlags::kNone, source, &sink).IsOk());
    while (!encoder.Done()) ASSERT_TRUE(encoder.EncodeNextPicture().IsOk());
    ASSERT_TRUE(encoder.Finish().IsOk());
    std::vector<int> expected(17);
    for (int i = 0; i < 17; ++i) expected[i] = i;
    EXPECT_EQ(source.fetched, expected);
    EXPECT_EQ(sink.shown, expected);
    EXPECT_EQ(encoder.Statistics().pictures, 17);
    EXPECT_EQ(encoder.EncodeNextPicture().code, korvan::StatusCode::kFinished);
}

TEST(VideoEncoderTest, EveryGopRepeatsTheSequenceHeaderAndTheStreamEnds) {
    korvan::EncoderSettings s = korvan::PresetSettings(EncoderPreset::kSuperVcd, TvSystem::kPal);
    s.embedSVCDUserBlocks = 1;
    MovingPattern source(64, 48, 1, 0);
    korvan::VideoEncoder encoder;
    ASSERT_TRUE(encoder.Open(s, 64, 48, 31, korvan::CpuFlags::kNone, source, nullptr).IsOk());
    std::vector<uint8_t> stream;
    while (!encoder.Done()) {
        ASSERT_TRUE(encoder.EncodeNextPicture().IsOk());
        const std::vector<uint8_t> bytes = encoder.TakeOutput();
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    ASSERT_TRUE(encoder.Finish().IsOk());
    const std::vector<uint8_t> tail = encoder.TakeOutput();
    stream.insert(stream.end(), tail.begin(), tail.end());

    std::vector<size_t> sequenceHeaders;
    int gops = 0;
    int intraPictures = 0;
    int userData = 0;
    for (size_t i = 0; i + 5 < stream.size(); ++i) {
        if (stream[i] != 0 || stream[i + 1] != 0 || stream[i + 2] != 1) continue;
        const uint8_t code = stream[i + 3];
        if (code == 0xB3) sequenceHeaders.push_back(i);
        if (code == 0xB8) ++gops;
        if (code == 0x00 && ((stream[i + 5] >> 3) & 7) == 1) ++intraPictures;
        if (code == 0xB2 && stream[i + 4] == 0x10 && stream[i + 5] == 0x0E) ++userData;
    }
    // 31 pictures with N = 15: GOPs start at 0, 15 and 30.
    EXPECT_EQ(gops, 3);
    EXPECT_EQ(intraPictures, 3);
    EXPECT_EQ(userData, 3);
    ASSERT_EQ(sequenceHeaders.size(), 3u);
    std::vector<uint64_t> fieldOffsets;
    for (size_t at : sequenceHeaders) fieldOffsets.push_back(at + 8);
    EXPECT_EQ(encoder.BitRateFieldOffsets(), fieldOffsets);
    EXPECT_EQ(std::vector<uint8_t>(stream.end() - 4, stream.end()),
              (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB7}));
}

// Counts slice start codes (0x101..0x1AF) in a whole encode.
int CountSlices(const korvan::EncoderSettings& s, int width, int height, int pictures) {
    MovingPattern source(width, height, 1, 0);
    korvan::VideoEncoder encoder;
    if (!encoder.Open(s, width, height, pictures, korvan::CpuFlags::kNone, source, nullptr).IsOk())
        return -1;
    std::vector<uint8_t> stream;
    while (!encoder.Done()) {
        if (!encoder.EncodeNextPicture().IsOk()) return -1;
        const std::vector<uint8_t> bytes = encoder.TakeOutput();
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    int slices = 0;
    for (size_t i = 0; i + 3 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1 && stream[i + 3] >= 0x01 &&
            stream[i + 3] <= 0xAF) {
            ++slices;
        }
    }
    return slices;
}

TEST(VideoEncoderTest, Mpeg1CodesOneSliceAPictureUnlessAskedForOneARow) {
    korvan::EncoderSettings s = korvan::PresetSettings(EncoderPreset::kMpeg1, TvSystem::kPal);
    ASSERT_EQ(s.sliceHdrEveryMBrow, 0);
    EXPECT_EQ(CountSlices(s, 96, 64, 4), 4);
    s.sliceHdrEveryMBrow = 1;
    EXPECT_EQ(CountSlices(s, 96, 64, 4), 4 * 4);
    // MPEG-2 slices never span rows.
    s = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    s.sliceHdrEveryMBrow = 0;
    EXPECT_EQ(CountSlices(s, 96, 64, 4), 4 * 4);
}

TEST(VideoEncoderTest, RefusesWhatItCannotCode) {
    MovingPattern source(64, 48, 0, 0);
    korvan::VideoEncoder encoder;
    korvan::EncoderSettings s = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    // Field pictures need interlaced frames.
    s.fieldPictures = 1;
    s.progressiveSequence = s.progressiveFrame = 1;
    EXPECT_EQ(encoder.Open(s, 64, 48, 3, korvan::CpuFlags::kNone, source, nullptr).code,
              korvan::StatusCode::kInvalidSettings);
    // A constant bitrate does without the fixed quantiser, but needs a rate.
    s = korvan::PresetSettings(EncoderPreset::kVideoCd, TvSystem::kPal);
    s.mquantValue = 0;
    EXPECT_EQ(encoder.Open(s, 64, 48, 3, korvan::CpuFlags::kNone, source, nullptr).code,
              korvan::StatusCode::kOk);
    s.constBitrate = 0;
    EXPECT_EQ(encoder.Open(s, 64, 48, 3, korvan::CpuFlags::kNone, source, nullptr).code,
              korvan::StatusCode::kInvalidSettings);
    s = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    s.iFramesInGOP = 16;  // not a multiple of M = 3
    EXPECT_EQ(encoder.Open(s, 64, 48, 3, korvan::CpuFlags::kNone, source, nullptr).code,
              korvan::StatusCode::kInvalidSettings);
    s = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    std::snprintf(s.intraQuantMatrix, sizeof(s.intraQuantMatrix), "/nonexistent/matrix");
    const korvan::Status r =
        encoder.Open(s, 64, 48, 3, korvan::CpuFlags::kNone, source, nullptr);
    EXPECT_EQ(r.code, korvan::StatusCode::kMatrixFile);
    EXPECT_EQ(r.message, "Could not open intra quant matrix file /nonexistent/matrix.");
}

class FailingSource : public korvan::PictureSource {
public:
    int FetchPicture(int index, korvan::YuvFrame&) override { return index == 2 ? 7 : 0; }
};

TEST(VideoEncoderTest, ASourceFailureEndsTheEncode) {
    FailingSource source;
    korvan::VideoEncoder encoder;
    korvan::EncoderSettings s = korvan::PresetSettings(EncoderPreset::kMpeg1, TvSystem::kPal);
    ASSERT_TRUE(encoder.Open(s, 32, 32, 6, korvan::CpuFlags::kNone, source, nullptr).IsOk());
    korvan::Status r;
    while (r.IsOk() && !encoder.Done()) r = encoder.EncodeNextPicture();
    EXPECT_EQ(r.code, korvan::StatusCode::kSourceFailed);
}

}  // namespace
