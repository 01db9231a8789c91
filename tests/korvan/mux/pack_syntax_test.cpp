// The bytes of packs and packets, the numbers a multiplex is planned with,
// and the SuperVCD address pass on a program stream put together by hand.

#include "korvan/mpegenc/mux/pack_syntax.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvan/mpegenc/mux/decoder_buffer.h"
#include "korvan/mpegenc/mux/mux_host.h"
#include "korvan/mpegenc/mux/mux_plan.h"
#include "korvan/mpegenc/mux/program_file.h"
#include "korvan/mpegenc/mux/svcd_scan_offsets.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace korvan::mux;
using Bytes = std::vector<uint8_t>;

Bytes Take(korvan::BitWriter& out) { return out.TakeBytes(); }

TEST(PackSyntaxTest, PackHeadersCarryTheScrAndMuxRate) {
    korvan::BitWriter mpeg1;
    // A VideoCD pack one sector (1/75 s) in, at mux rate 3528.
    WritePackHeader(mpeg1, SystemSyntax::kMpeg1, 360000, 3528);
    EXPECT_EQ(Take(mpeg1),
              (Bytes{0x00, 0x00, 0x01, 0xBA, 0x21, 0x00, 0x01, 0x09, 0x61, 0x80, 0x1B, 0x91}));

    korvan::BitWriter mpeg2;
    // One second and 150 ticks of 27 MHz, at the DVD rate.
    WritePackHeader(mpeg2, SystemSyntax::kMpeg2, 27000150, 25200);
    EXPECT_EQ(Take(mpeg2), (Bytes{0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x16, 0xFC, 0x85, 0x2D, 0x01,
                                  0x89, 0xC3, 0xF8}));
    EXPECT_EQ(PackHeaderBytes(SystemSyntax::kMpeg1), 12u);
    EXPECT_EQ(PackHeaderBytes(SystemSyntax::kMpeg2), 14u);
    EXPECT_EQ(ClockBase(27000150), 90000u);
    EXPECT_EQ(ClockExtension(27000150), 150u);
    EXPECT_EQ(ClockBase(-5), 0u);
}

TEST(PackSyntaxTest, PacketHeadersOfBothSyntaxes) {
    PacketHeaderFields fields;
    fields.streamId = kVideoStreamId;
    fields.hasStdBuffer = true;
    fields.stdBuffer = {kVideoStreamId, 1, 46};
    fields.hasPts = true;
    fields.hasDts = true;
    fields.pts = 27000000;  // 1 s
    fields.dts = 27000000 - 1080000;
    korvan::BitWriter mpeg1;
    WritePacketHeader(mpeg1, SystemSyntax::kMpeg1, fields, 100);
    EXPECT_EQ(PacketHeaderBytes(SystemSyntax::kMpeg1, fields), 18u);
    EXPECT_EQ(Take(mpeg1), (Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 112, 0x60, 0x2E, 0x31, 0x00, 0x05,
                                  0xBF, 0x21, 0x11, 0x00, 0x05, 0xA3, 0x01}));

    // SuperVCD: original_or_copy, the P-STD buffer in the extension, a PTS only.
    fields.hasDts = false;
    fields.originalOrCopy = true;
    fields.stdBuffer = {kVideoStreamId, 1, 230};
    fields.stuffingBytes = 2;
    korvan::BitWriter mpeg2;
    WritePacketHeader(mpeg2, SystemSyntax::kMpeg2, fields, 10);
    EXPECT_EQ(PacketHeaderBytes(SystemSyntax::kMpeg2, fields), 6u + 3 + 5 + 3 + 2);
    EXPECT_EQ(Take(mpeg2), (Bytes{0x00, 0x00, 0x01, 0xE0, 0x00, 23, 0x81, 0x81, 10, 0x21, 0x00,
                                  0x05, 0xBF, 0x21, 0x1E, 0x60, 0xE6, 0xFF, 0xFF}));

    // An audio packet without a time stamp: the MPEG-1 form says so with 0x0F.
    PacketHeaderFields audio;
    audio.streamId = kMpegAudioStreamId;
    korvan::BitWriter plain;
    WritePacketHeader(plain, SystemSyntax::kMpeg1, audio, 1);
    EXPECT_EQ(Take(plain), (Bytes{0x00, 0x00, 0x01, 0xC0, 0x00, 0x02, 0x0F}));
    korvan::BitWriter plain2;
    WritePacketHeader(plain2, SystemSyntax::kMpeg2, audio, 1);
    EXPECT_EQ(Take(plain2), (Bytes{0x00, 0x00, 0x01, 0xC0, 0x00, 0x04, 0x80, 0x00, 0x00}));
}

TEST(PackSyntaxTest, PaddingPacketsAndSystemHeaders) {
    korvan::BitWriter mpeg1;
    WritePaddingPacket(mpeg1, SystemSyntax::kMpeg1, 10);
    EXPECT_EQ(Take(mpeg1), (Bytes{0x00, 0x00, 0x01, 0xBE, 0x00, 0x04, 0x0F, 0xFF, 0xFF, 0xFF}));
    korvan::BitWriter mpeg2;
    WritePaddingPacket(mpeg2, SystemSyntax::kMpeg2, 8);
    EXPECT_EQ(Take(mpeg2), (Bytes{0x00, 0x00, 0x01, 0xBE, 0x00, 0x02, 0xFF, 0xFF}));

    SystemHeaderFields fields;
    fields.rateBound = 3528;
    fields.audioBound = 1;
    fields.videoBound = 1;
    fields.constrained = fields.audioLock = fields.videoLock = true;
    fields.bounds = {{0xE0, 1, 46}, {0xC0, 0, 32}};
    korvan::BitWriter header;
    WriteSystemHeader(header, SystemSyntax::kMpeg1, fields);
    EXPECT_EQ(SystemHeaderBytes(fields), 18u);
    EXPECT_EQ(Take(header), (Bytes{0x00, 0x00, 0x01, 0xBB, 0x00, 0x0C, 0x80, 0x1B, 0x91, 0x05, 0xE1,
                                   0xFF, 0xE0, 0xE0, 0x2E, 0xC0, 0xC0, 0x20}));
}

TEST(PackSyntaxTest, DvdNavigationPacks) {
    const Bytes systemHeader = {0x00, 0x00, 0x01, 0xBB, 0x00, 0x12, 0x80, 0xC4,
                                0xE1, 0x04, 0xE1, 0x7F, 0xB9, 0xE0, 0xE8, 0xB8,
                                0xC0, 0x20, 0xBD, 0xE0, 0x3A, 0xBF, 0xE0, 0x02};
    korvan::BitWriter blank;
    WriteNavigationPack(blank, 0, 25200, 2048, NavigationContent::kPadding);
    const Bytes padded = Take(blank);
    ASSERT_EQ(padded.size(), 2048u);
    EXPECT_EQ(Bytes(padded.begin() + 14, padded.begin() + 38), systemHeader);
    // One padding packet of 2004 bytes fills the rest.
    EXPECT_EQ(Bytes(padded.begin() + 38, padded.begin() + 44),
              (Bytes{0x00, 0x00, 0x01, 0xBE, 0x07, 0xD4}));
    EXPECT_EQ(std::count(padded.begin() + 44, padded.end(), 0xFF), 2004);

    korvan::BitWriter authoring;
    WriteNavigationPack(authoring, 0, 25200, 2048, NavigationContent::kPrivateStream2);
    const Bytes blanks = Take(authoring);
    ASSERT_EQ(blanks.size(), 2048u);
    EXPECT_EQ(Bytes(blanks.begin() + 14, blanks.begin() + 38), systemHeader);
    EXPECT_EQ(Bytes(blanks.begin() + 38, blanks.begin() + 44),
              (Bytes{0x00, 0x00, 0x01, 0xBF, 0x03, 0xD4}));
    EXPECT_EQ(Bytes(blanks.begin() + 1024, blanks.begin() + 1030),
              (Bytes{0x00, 0x00, 0x01, 0xBF, 0x03, 0xFA}));
    EXPECT_EQ(std::count(blanks.begin() + 44, blanks.begin() + 1024, 0), 980);
    EXPECT_EQ(std::count(blanks.begin() + 1030, blanks.end(), 0), 1018);
}

TEST(MuxPlanTest, PayloadMuxRateAndPackInterval) {
    EXPECT_EQ(PackPayloadBytes(0, 2048, 1, false, 0), 2018);
    EXPECT_EQ(PackPayloadBytes(4, 2048, 1, false, 0), 2012);
    EXPECT_EQ(PackPayloadBytes(2, 2048, 2, false, 0), 1990);
    EXPECT_EQ(PackPayloadBytes(1, 2324, 1, true, 1), 2324 - 51 + 3);
    EXPECT_EQ(PackPayloadBytes(3, 2324, 1, true, 0), 2324 - 57);

    // 778 000 bytes/s of data in packs of 2048 carrying 2012: 791 921 bytes/s.
    EXPECT_EQ(ComputeMuxRate(2048, 2012, 778000), 15839u);

    // A VideoCD at 3528 sends exactly one pack per CD sector.
    EXPECT_DOUBLE_EQ(PacksPerSecond(1, 3528, 2324), 75);
    EXPECT_DOUBLE_EQ(27000000 / PacksPerSecond(1, 3528, 2324), 360000);
    EXPECT_NEAR(PacksPerSecond(0, 3528, 2324), 3528 * 50.0 / 2324, 1e-9);
    EXPECT_DOUBLE_EQ(PacksPerSecond(3, 6972, 2324), 150);
    EXPECT_EQ(SyntaxOf(1), SystemSyntax::kMpeg1);
    EXPECT_EQ(SyntaxOf(2), SystemSyntax::kMpeg2);
}

TEST(MuxPlanTest, VideoRateByUseComputedBitrate) {
    VideoFacts facts;
    facts.bitRate = 2875;
    facts.computedMaxRate = 3100;
    facts.computedAverageRate = 3000;
    EXPECT_DOUBLE_EQ(VideoRateBytes(0, facts), 143750);
    EXPECT_DOUBLE_EQ(VideoRateBytes(1, facts), 150000);
    EXPECT_DOUBLE_EQ(VideoRateBytes(2, facts), 155000);
    facts.bitRate = 0;
    EXPECT_DOUBLE_EQ(VideoRateBytes(0, facts), 155000);
    facts.bitRate = 0x3FFFF;  // MPEG-1's mark of a variable rate
    EXPECT_DOUBLE_EQ(VideoRateBytes(0, facts), 155000);
    facts.mpeg2 = true;
    EXPECT_DOUBLE_EQ(VideoRateBytes(0, facts), 0x3FFFF * 50.0);
    AudioFacts audio;
    audio.bitRateKbps = 224;
    EXPECT_DOUBLE_EQ(AudioRateBytes(audio), 28000);
}

TEST(MuxPlanTest, DecoderBufferEmptiesAtDecodingTimes) {
    DecoderBuffer buffer(4096);
    buffer.Add(0, 100, 1000);
    buffer.Add(0, 100, 500);
    buffer.Add(1, 200, 2000);
    EXPECT_EQ(buffer.OccupancyAt(50), 3500u);
    EXPECT_EQ(buffer.TimeWhenRoomFor(500), 0);
    EXPECT_EQ(buffer.TimeWhenRoomFor(2000), 100);
    EXPECT_EQ(buffer.TimeWhenRoomFor(4000), 200);
    EXPECT_EQ(buffer.TimeWhenRoomFor(5000), std::numeric_limits<double>::infinity());
    EXPECT_EQ(buffer.OccupancyAt(100), 2000u);
    EXPECT_EQ(buffer.OccupancyAt(200), 0u);
}

TEST(ProgramFileTest, NamesOfTheFiles) {
    EXPECT_EQ(LowerCaseFileName("/Data/Ünï Folder/My Movie.MPG"), "/Data/Ünï Folder/my movie.mpg");
    EXPECT_EQ(LowerCaseFileName("TEMP.MPG"), "temp.mpg");
    EXPECT_EQ(SplitFileName("/a/b.c/movie.mpg", 2), "/a/b.c/movie_2.mpg");
    EXPECT_EQ(SplitFileName("/a/b.c/movie", 3), "/a/b.c/movie_3");
}

TEST(ScanOffsetTest, PackNumbersAsCdTime) {
    using Address = std::array<uint8_t, 3>;
    EXPECT_EQ(CdTimeAddress(4501), (Address{0x01, 0x80, 0x81}));
    EXPECT_EQ(CdTimeAddress(0), (Address{0x00, 0x80, 0x80}));
    EXPECT_EQ(CdTimeAddress(74), (Address{0x00, 0x80, 0xF4}));
    EXPECT_EQ(CdTimeAddress(75), (Address{0x00, 0x81, 0x80}));
    EXPECT_EQ(CdTimeAddress(4499), (Address{0x00, 0xD9, 0xF4}));
    EXPECT_EQ(CdTimeAddress(45000 + 75 * 12 + 3), (Address{0x10, 0x92, 0x83}));

    EXPECT_EQ(ScanOffsetSpan(3, false, 300, 20), 12);  // 175 pictures over GOPs of 15
    EXPECT_EQ(ScanOffsetSpan(4, false, 300, 20), 14);
    EXPECT_EQ(ScanOffsetSpan(4, true, 300, 20), 12);  // 168 with 3:2 pulldown
    EXPECT_EQ(ScanOffsetSpan(8, false, 240, 20), 35);
    EXPECT_EQ(ScanOffsetSpan(3, false, 10, 0), 175);
}

// A program stream of MPEG-2 packs whose video packets carry the given
// payloads, with an audio packet in front of each that holds a decoy block.
std::string ProgramWith(const test::TempDir& folder, const std::vector<Bytes>& payloads) {
    korvan::BitWriter out;
    const Bytes decoy = {0x00, 0x00, 0x01, 0xB2, 0x10, 0x0E, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    for (size_t i = 0; i < payloads.size(); ++i) {
        WritePackHeader(out, SystemSyntax::kMpeg2, static_cast<double>(i) * 180000, 6972);
        PacketHeaderFields audio;
        audio.streamId = kMpegAudioStreamId;
        WritePacketHeader(out, SystemSyntax::kMpeg2, audio, decoy.size());
        for (uint8_t byte : decoy) out.Put(byte, 8);
        PacketHeaderFields video;
        video.streamId = kVideoStreamId;
        video.hasStdBuffer = true;
        video.stdBuffer = {kVideoStreamId, 1, 230};
        WritePacketHeader(out, SystemSyntax::kMpeg2, video, payloads[i].size());
        for (uint8_t byte : payloads[i]) out.Put(byte, 8);
    }
    out.Put(kProgramEndCode, 32);
    const Bytes bytes = out.TakeBytes();
    test::WriteFile(folder / "svcd.mpg", std::string(bytes.begin(), bytes.end()));
    return folder / "svcd.mpg";
}

std::string PackList(const test::TempDir& folder, const std::vector<uint32_t>& packs) {
    std::string bytes;
    for (uint32_t pack : packs) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>(pack >> (8 * i)));
    }
    test::WriteFile(folder / "tmp_s", bytes);
    return folder / "tmp_s";
}

TEST(ScanOffsetTest, AddressesGoIntoTheUserDataOfEachIPicture) {
    test::TempDir folder("scan offsets ünï");
    const Bytes block = {0x00, 0x00, 0x01, 0xB2, 0x10, 0x0E, 0x00, 0x80, 0x80,
                         0x00, 0x80, 0x80, 0x00, 0x80, 0x80, 0x00, 0x80, 0x80};
    const Bytes picture = {0x00, 0x00, 0x01, 0x00, 0x00, 0x0F};
    // The second block begins in one packet and ends in the next.
    Bytes first = picture;
    first.insert(first.end(), block.begin(), block.end());
    Bytes splitHead = picture;
    splitHead.insert(splitHead.end(), block.begin(), block.begin() + 10);
    Bytes splitTail(block.begin() + 10, block.end());
    splitTail.push_back(0x42);
    Bytes third = {0x11, 0x00, 0x00};  // zeros before the start code
    third.insert(third.end(), block.begin(), block.end());
    const std::string program = ProgramWith(folder, {first, splitHead, splitTail, third});

    QuietMuxHost host;
    ProgressThrottle progress(host);
    const korvan::Status result =
        WriteScanOffsets(program, PackList(folder, {0, 4501, 9000}), 1, progress);
    ASSERT_TRUE(result.IsOk()) << result.message;

    const std::string bytes = test::ReadFile(program);
    std::vector<Bytes> found;
    for (size_t at = bytes.find(std::string("\x00\x00\x01\xB2\x10\x0E", 6));
         at != std::string::npos;
         at = bytes.find(std::string("\x00\x00\x01\xB2\x10\x0E", 6), at + 1)) {
        found.push_back(Bytes(bytes.begin() + static_cast<long>(at) + 6,
                              bytes.begin() + static_cast<long>(at) + 18));
    }
    // The decoys in the audio packets stay as they were.
    ASSERT_EQ(found.size(), 4u + 3u);
    EXPECT_EQ(found[0], (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    // previous, next, backward (span 1), forward.
    EXPECT_EQ(found[1],
              (Bytes{0xFF, 0xFF, 0xFF, 0x01, 0x80, 0x81, 0x00, 0x80, 0x80, 0x01, 0x80, 0x81}));
    // The split block: its address bytes were written on both sides of the
    // packet header between them.
    EXPECT_NE(bytes.find(std::string("\x00\x00\x01\xB2\x10\x0E\x00\x80\x80\x02", 10)),
              std::string::npos);
    EXPECT_NE(bytes.find(std::string("\x80\x80\x00\x80\x80\x02\x80\x80\x42", 9)),
              std::string::npos);
    EXPECT_EQ(found.back(),
              (Bytes{0x01, 0x80, 0x81, 0xFF, 0xFF, 0xFF, 0x01, 0x80, 0x81, 0x02, 0x80, 0x80}));

    // A list that names more I pictures than the file has blocks.
    const std::string again = ProgramWith(folder, {first});
    const korvan::Status missing = WriteScanOffsets(again, PackList(folder, {0, 7}), 1, progress);
    EXPECT_EQ(missing.message, "Could not find User Data at I-frame 1 in file " + again + ".");
    const std::string broken = folder / "odd";
    test::WriteFile(broken, "12345");
    EXPECT_EQ(WriteScanOffsets(again, broken, 1, progress).message,
              "Unable to get size of SVCD temporary file " + broken);
    EXPECT_EQ(WriteScanOffsets(again, folder / "absent", 1, progress).message,
              "Unable to get the size of the SVCD temporary file " + folder / "absent" + ".");
}

}  // namespace
