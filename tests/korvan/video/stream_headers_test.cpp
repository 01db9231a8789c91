#include "korvan/mpegenc/video/stream_headers.h"

#include <gtest/gtest.h>

#include "korvan/mpegenc/settings/encoder_presets.h"

namespace {

korvan::CodingParameters Parameters(korvan::EncoderPreset target, int width, int height) {
    korvan::CodingParameters p;
    const korvan::Status r = korvan::DeriveCodingParameters(
        korvan::PresetSettings(target, korvan::TvSystem::kPal), width, height, p);
    EXPECT_TRUE(r.IsOk()) << r.message;
    return p;
}

TEST(StreamHeadersTest, Mpeg1SequenceHeaderFields) {
    korvan::CodingParameters p = Parameters(korvan::EncoderPreset::kVideoCd, 352, 288);
    korvan::BitWriter out;
    korvan::WriteSequenceHeader(out, p);
    out.AlignToByte();
    const std::vector<uint8_t>& b = out.Bytes();
    // 352 x 288, aspect 8, rate 3, bit rate ceil(1 150 000 / 400) = 2875,
    // marker, VBV 20, constrained, then the non-intra matrix (Test Model 5).
    ASSERT_GE(b.size(), 12u);
    EXPECT_EQ(
        std::vector<uint8_t>(b.begin(), b.begin() + 11),
        (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB3, 0x16, 0x01, 0x20, 0x83, 0x02, 0xCE, 0xE0}));
    // The byte ends with constrained 1, load_intra 0, load_non_intra 1.
    EXPECT_EQ(b[11] & 7, 0b101);
    EXPECT_EQ(b.size(), 12u + 64);
    EXPECT_EQ(korvan::kBitRateByteOffset, 8);
}

TEST(StreamHeadersTest, FlatNonIntraMatrixIsNotTransmitted) {
    korvan::EncoderSettings s =
        korvan::PresetSettings(korvan::EncoderPreset::kMpeg2, korvan::TvSystem::kPal);
    std::snprintf(s.nonIntraQuantMatrix, sizeof(s.nonIntraQuantMatrix), "mpeg default");
    korvan::CodingParameters p;
    ASSERT_TRUE(korvan::DeriveCodingParameters(s, 720, 576, p).IsOk());
    EXPECT_FALSE(p.matrices.loadNonIntra);
    EXPECT_FALSE(p.matrices.loadIntra);
    korvan::BitWriter out;
    korvan::WriteSequenceHeader(out, p);
    EXPECT_EQ(out.BitCount(), 64u + 32u);  // no matrix at all
}

TEST(StreamHeadersTest, Mpeg2ExtensionsCarryTheHighBitsAndFlags) {
    korvan::CodingParameters p = Parameters(korvan::EncoderPreset::kDvd, 720, 576);
    EXPECT_EQ(p.bitRateValue, 24500u);  // ceil(9 800 000 / 400)
    korvan::BitWriter out;
    korvan::WriteSequenceExtension(out, p);
    out.AlignToByte();
    // id 1, profile/level 0x48, interlaced, 4:2:0, sizes 0, bit rate high 0,
    // marker, vbv ext 0, low delay 0, rate ext 0.
    EXPECT_EQ(out.Bytes(),
              (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB5, 0x14, 0x82, 0x00, 0x01, 0x00, 0x00}));
}

TEST(StreamHeadersTest, TimeCodesCountPicturesAndPulldown) {
    const korvan::TimeCode t = korvan::MakeTimeCode(0, 25 * 3661 + 7, 25.0, 0);
    EXPECT_EQ(t.hours, 1);
    EXPECT_EQ(t.minutes, 1);
    EXPECT_EQ(t.seconds, 1);
    EXPECT_EQ(t.pictures, 7);
    // Under pulldown 24 pictures take one second at 30 pictures/s.
    const korvan::TimeCode pulled = korvan::MakeTimeCode(0, 24, 24000.0 / 1001, 1);
    EXPECT_EQ(pulled.seconds, 1);
    EXPECT_EQ(pulled.pictures, 0);
    const korvan::TimeCode shifted = korvan::MakeTimeCode(30 * 60, 4, 30000.0 / 1001, 0);
    EXPECT_EQ(shifted.minutes, 1);
    EXPECT_EQ(shifted.pictures, 4);
}

TEST(StreamHeadersTest, SlicesOfTallPicturesCarryTheRowExtension) {
    korvan::CodingParameters p = Parameters(korvan::EncoderPreset::kMpeg2, 720, 576);
    korvan::BitWriter out;
    korvan::WriteSliceHeader(out, p, 5, 4);
    EXPECT_EQ(out.Bytes(), (std::vector<uint8_t>{0x00, 0x00, 0x01, 0x06}));
    EXPECT_EQ(out.BitCount(), 32u + 6);

    p.geometry.height = 2880;
    korvan::BitWriter tall;
    korvan::WriteSliceHeader(tall, p, 130, 4);
    tall.AlignToByte();
    // (130 & 127) + 0x101, then 130 >> 7 = 1 in three bits, code 4, extra 0.
    EXPECT_EQ(tall.Bytes(), (std::vector<uint8_t>{0x00, 0x00, 0x01, 0x03, 0x24, 0x00}));
}

TEST(StreamHeadersTest, SvcdUserDataIsEighteenBytes) {
    korvan::BitWriter out;
    korvan::WriteSvcdUserData(out);
    EXPECT_EQ(out.Bytes(),
              (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB2, 0x10, 0x0E, 0x00, 0x80, 0x80, 0x00,
                                    0x80, 0x80, 0x00, 0x80, 0x80, 0x00, 0x80, 0x80}));
}

TEST(StreamHeadersTest, Mpeg2PictureHeaderWritesSevenForTheOldFCodes) {
    korvan::CodingParameters p = Parameters(korvan::EncoderPreset::kMpeg2, 720, 576);
    korvan::PictureHeaderFields f;
    f.type = korvan::kPictureB;
    f.temporalReference = 1;
    f.vbvDelay = 0xFFFF;
    korvan::BitWriter out;
    korvan::WritePictureHeader(out, p, f);
    out.AlignToByte();
    // 0000000001 011 1111111111111111 0 111 0 111 0
    EXPECT_EQ(out.Bytes(),
              (std::vector<uint8_t>{0x00, 0x00, 0x01, 0x00, 0x00, 0x5F, 0xFF, 0xFB, 0xB8}));
}

}  // namespace
