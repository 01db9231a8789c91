// The scans of video and audio elementary streams: unit records, times,
// rates and the facts the multiplexer sizes itself by.

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "korvan/mpegenc/mux/audio_scanner.h"
#include "korvan/mpegenc/mux/unit_records.h"
#include "korvan/mpegenc/mux/video_scanner.h"
#include "tests/korvan/mux/synthetic_streams.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace korvan::mux;
using test::PictureShape;
using test::SyntheticVideo;

constexpr double kPalPeriod = 1080000;  // 27 MHz ticks of a 25 Hz picture

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

struct VideoScan {
    korvan::Status result;
    VideoFacts facts;
    std::vector<VideoUnit> units;
};

VideoScan ScanVideo(const std::vector<uint8_t>& bytes, VideoScanOptions options = {}) {
    test::TempDir folder("video scan");
    Write(folder / "in.m2v", bytes);
    VideoScan scan;
    EsFile es;
    EXPECT_TRUE(es.Open(folder / "in.m2v"));
    QuietMuxHost host;
    ProgressThrottle progress(host);
    scan.result =
        ScanVideoStream(es, folder / "in.m2v", folder / "tmp_v", options, progress, scan.facts);
    UnitReader<VideoUnit> reader;
    if (scan.result.IsOk() && reader.Open(folder / "tmp_v")) {
        for (uint64_t i = 0; i < reader.Count(); ++i) {
            VideoUnit unit;
            EXPECT_TRUE(reader.Read(i, unit));
            scan.units.push_back(unit);
        }
    }
    return scan;
}

struct AudioScan {
    korvan::Status result;
    AudioFacts facts;
    std::vector<AudioUnit> units;
};

AudioScan ScanAudio(const std::vector<uint8_t>& bytes) {
    test::TempDir folder("audio scan");
    Write(folder / "in.mp2", bytes);
    AudioScan scan;
    EsFile es;
    EXPECT_TRUE(es.Open(folder / "in.mp2"));
    QuietMuxHost host;
    ProgressThrottle progress(host);
    scan.result = ScanAudioStream(es, "in.mp2", folder / "tmp_a", progress, scan.facts);
    UnitReader<AudioUnit> reader;
    if (scan.result.IsOk() && reader.Open(folder / "tmp_a")) {
        for (uint64_t i = 0; i < reader.Count(); ++i) {
            AudioUnit unit;
            EXPECT_TRUE(reader.Read(i, unit));
            scan.units.push_back(unit);
        }
    }
    return scan;
}

// I0 P3 B1 B2 P6 B4 B5 in coded order, one closed GOP.
SyntheticVideo ReorderedGop(bool mpeg2) {
    SyntheticVideo video(mpeg2, 352, 288, 3);
    video.SequenceHeader();
    video.Gop();
    const int types[] = {1, 2, 3, 3, 2, 3, 3};
    const int references[] = {0, 3, 1, 2, 6, 4, 5};
    for (int i = 0; i < 7; ++i) {
        PictureShape shape;
        shape.type = types[i];
        shape.temporalReference = references[i];
        video.Picture(shape);
    }
    video.SequenceEnd();
    return video;
}

TEST(VideoScanTest, ReorderedPicturesGetDecodingAndPresentationTimes) {
    for (const bool mpeg2 : {false, true}) {
        const VideoScan scan = ScanVideo(ReorderedGop(mpeg2).Bytes());
        ASSERT_TRUE(scan.result.IsOk()) << scan.result.message;
        ASSERT_EQ(scan.units.size(), 7u);
        // Decoded one picture apart; shown in temporal-reference order, the
        // first at 0 and decoded one period before.
        const double dts[] = {-1, 0, 1, 2, 3, 4, 5};
        const double pts[] = {0, 3, 1, 2, 6, 4, 5};
        for (size_t i = 0; i < 7; ++i) {
            EXPECT_DOUBLE_EQ(scan.units[i].dts, dts[i] * kPalPeriod) << i;
            EXPECT_DOUBLE_EQ(scan.units[i].pts, pts[i] * kPalPeriod) << i;
            EXPECT_DOUBLE_EQ(scan.units[i].pts, scan.units[i].temporalReference * kPalPeriod);
        }
        EXPECT_EQ(scan.facts.mpeg2, mpeg2);
        EXPECT_EQ(scan.facts.pictures, 7u);
        EXPECT_EQ(scan.facts.gops, 1u);
        EXPECT_EQ(scan.facts.picturesOfType[kPictureB], 4u);
        EXPECT_DOUBLE_EQ(scan.facts.durationTicks, 7 * kPalPeriod);
        EXPECT_TRUE(scan.facts.endsWithSequenceEnd);
        // The first unit holds the headers in front of its picture.
        EXPECT_EQ(scan.units[0].offset, 0u);
        EXPECT_EQ(scan.units[0].flags & (kUnitHasSequenceHeader | kUnitHasGopHeader),
                  kUnitHasSequenceHeader | kUnitHasGopHeader);
        EXPECT_GT(scan.units[0].pictureStart, 0u);
        uint64_t total = 0;
        for (const VideoUnit& unit : scan.units) total += unit.length;
        EXPECT_EQ(total, ReorderedGop(mpeg2).Size());
    }
}

TEST(VideoScanTest, AnOpenGopShowsItsLeadingBPicturesFirst) {
    SyntheticVideo video(true, 720, 576, 3);
    video.SequenceHeader(false);
    video.Gop();
    const int types[] = {1, 3, 3, 2, 3, 3};
    const int references[] = {2, 0, 1, 5, 3, 4};
    for (int i = 0; i < 6; ++i) {
        PictureShape shape;
        shape.type = types[i];
        shape.temporalReference = references[i];
        shape.sliceRows = 36;
        video.Picture(shape);
    }
    const VideoScan scan = ScanVideo(video.Bytes());
    ASSERT_TRUE(scan.result.IsOk()) << scan.result.message;
    for (const VideoUnit& unit : scan.units)
        EXPECT_DOUBLE_EQ(unit.pts, unit.temporalReference * kPalPeriod);
    EXPECT_DOUBLE_EQ(scan.units[0].dts, -kPalPeriod);
    EXPECT_FALSE(scan.facts.endsWithSequenceEnd);
}

TEST(VideoScanTest, TwoFieldsMakeOneUnitAndRepeatedFieldsLengthenPictures) {
    SyntheticVideo video(true, 720, 480, 4);
    video.SequenceHeader(false);
    video.Gop();
    PictureShape top;
    top.structure = 1;
    top.sliceRows = 15;
    PictureShape bottom = top;
    bottom.structure = 2;
    bottom.type = 2;
    video.Picture(top);
    video.Picture(bottom);
    PictureShape repeated;
    repeated.type = 2;
    repeated.temporalReference = 1;
    repeated.repeatFirstField = true;
    repeated.topFieldFirst = true;
    repeated.sliceRows = 30;
    video.Picture(repeated);
    PictureShape plain = repeated;
    plain.temporalReference = 2;
    plain.repeatFirstField = false;
    video.Picture(plain);
    video.SequenceEnd();

    VideoScanOptions options;
    options.detectPulldown = true;
    const VideoScan scan = ScanVideo(video.Bytes(), options);
    ASSERT_TRUE(scan.result.IsOk()) << scan.result.message;
    ASSERT_EQ(scan.units.size(), 3u);
    const double field = 450450;  // half of 1001/30000 s
    // Shown one after another: 2 fields, 3 fields (repeated), 2 fields.
    EXPECT_DOUBLE_EQ(scan.units[0].pts, 0);
    EXPECT_DOUBLE_EQ(scan.units[1].pts, 2 * field);
    EXPECT_DOUBLE_EQ(scan.units[2].pts, 5 * field);
    EXPECT_DOUBLE_EQ(scan.facts.durationTicks, 7 * field);
    // The repeated field is found in the first GOP, at temporal reference 1.
    EXPECT_EQ(scan.facts.pulldown, 2);
    EXPECT_EQ(scan.facts.picturesPerSecond, 24);
}

TEST(VideoScanTest, PulldownIsOnlyLookedForWhenAsked) {
    SyntheticVideo video(true, 720, 480, 4);
    video.SequenceHeader(false);
    video.Gop();
    PictureShape shape;
    shape.repeatFirstField = true;
    shape.topFieldFirst = true;
    shape.sliceRows = 30;
    video.Picture(shape);
    video.SequenceEnd();
    EXPECT_EQ(ScanVideo(video.Bytes()).facts.pulldown, 0);
    VideoScanOptions options;
    options.detectPulldown = true;
    const VideoScan scan = ScanVideo(video.Bytes(), options);
    EXPECT_EQ(scan.facts.pulldown, 1);
    EXPECT_EQ(scan.facts.picturesPerSecond, 24);
    EXPECT_EQ(scan.facts.frameRateCode, 4);
}

TEST(VideoScanTest, RatesComeFromTheLargestSecondAndTheAverage) {
    // Two seconds at 25 Hz: the first second's pictures carry 1000-byte
    // slices, the second's 200-byte ones.
    SyntheticVideo video(false, 352, 288, 3);
    video.SequenceHeader(true, 0x3FFFF);
    size_t firstSecond = 0;
    for (int i = 0; i < 50; ++i) {
        if (i % 10 == 0) video.Gop();
        PictureShape shape;
        shape.type = i % 10 == 0 ? 1 : 2;
        shape.temporalReference = i % 10;
        shape.sliceBytes = i < 25 ? 1000 : 200;
        video.Picture(shape);
        if (i == 24) firstSecond = video.Size();
    }
    const size_t total = video.Size();
    const VideoScan scan = ScanVideo(video.Bytes());
    ASSERT_TRUE(scan.result.IsOk()) << scan.result.message;
    // The first checkpoint is at the end of picture 25, where the next
    // unit's headers begin.
    const uint64_t checkpoint = scan.units[25].offset;
    EXPECT_GE(checkpoint, firstSecond);
    EXPECT_EQ(scan.facts.computedMaxRate,
              static_cast<uint32_t>(std::ceil(static_cast<double>(checkpoint) * 8 / 400)));
    EXPECT_EQ(scan.facts.computedAverageRate,
              25 * static_cast<uint32_t>(std::ceil(static_cast<double>(total) / 50 * 25 * 0.0008)));
    EXPECT_EQ(scan.facts.bitRate, 0x3FFFFu);
}

TEST(VideoScanTest, AStreamShorterThanASecondIsScaledToOne) {
    SyntheticVideo video(false, 352, 288, 3);
    video.SequenceHeader();
    video.Gop();
    for (int i = 0; i < 5; ++i) {
        PictureShape shape;
        shape.type = i == 0 ? 1 : 2;
        shape.temporalReference = i;
        video.Picture(shape);
    }
    const VideoScan scan = ScanVideo(video.Bytes());
    ASSERT_TRUE(scan.result.IsOk());
    EXPECT_EQ(scan.facts.computedMaxRate,
              static_cast<uint32_t>(std::ceil(static_cast<double>(video.Size()) * 5 * 8 / 400)));
}

TEST(VideoScanTest, TheFirstSequenceHeaderIsRememberedUpToTheGop) {
    SyntheticVideo video(true, 480, 576, 3);
    video.SequenceHeader(false);
    const size_t headerBytes = video.Size();
    video.Gop();
    PictureShape shape;
    shape.sliceRows = 36;
    video.Picture(shape);
    const VideoScan scan = ScanVideo(video.Bytes());
    ASSERT_TRUE(scan.result.IsOk());
    const std::vector<uint8_t> bytes = video.Bytes();
    EXPECT_EQ(scan.facts.firstSequenceHeader,
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(headerBytes)));
    EXPECT_EQ(scan.facts.width, 480);
    EXPECT_EQ(scan.facts.height, 576);
    EXPECT_FALSE(scan.facts.progressiveSequence);
}

TEST(VideoScanTest, ScanOffsetUserDataIsFoundOrPlacedBeforeTheFirstSlice) {
    SyntheticVideo video(true, 480, 576, 3);
    video.SequenceHeader(false);
    video.Gop();
    PictureShape intra;
    intra.sliceRows = 36;
    video.PictureHeader(intra);
    const size_t blockAt = video.Size();
    video.UserData({0x10, 0x0E, 0, 0x80, 0x80, 0, 0x80, 0x80, 0, 0x80, 0x80, 0, 0x80, 0x80});
    video.Slices(intra);
    video.Gop();
    video.PictureHeader(intra);
    const size_t firstSlice = video.Size();
    video.Slices(intra);
    PictureShape predicted = intra;
    predicted.type = 2;
    predicted.temporalReference = 1;
    video.Picture(predicted);

    VideoScanOptions options;
    options.findScanUserData = true;
    const VideoScan scan = ScanVideo(video.Bytes(), options);
    ASSERT_TRUE(scan.result.IsOk()) << scan.result.message;
    ASSERT_EQ(scan.units.size(), 3u);
    EXPECT_EQ(scan.units[0].userDataOffset, static_cast<int64_t>(blockAt));
    EXPECT_TRUE(scan.units[0].flags & kUnitHasScanUserData);
    // Behind the picture coding extension, in front of the first slice.
    EXPECT_EQ(scan.units[1].userDataOffset, static_cast<int64_t>(firstSlice));
    EXPECT_FALSE(scan.units[1].flags & kUnitHasScanUserData);
    EXPECT_EQ(scan.units[2].userDataOffset, -1);
    EXPECT_EQ(ScanVideo(video.Bytes()).units[1].userDataOffset, -1);
}

TEST(VideoScanTest, DamagedStreamsAreRefusedWithTheirMessage) {
    const std::string invalid = "Invalid MPEG Video stream header.";
    const std::vector<uint8_t> good = ReorderedGop(true).Bytes();

    // Cut inside a picture's slices, with no end code: the last picture
    // stops short of the rows the others reach.
    SyntheticVideo cut(true, 352, 288, 3);
    cut.SequenceHeader();
    cut.Gop();
    PictureShape whole;
    cut.Picture(whole);
    PictureShape part = whole;
    part.type = 2;
    part.temporalReference = 1;
    part.sliceRows = 9;
    cut.Picture(part);
    EXPECT_EQ(ScanVideo(cut.Bytes()).result.message, invalid);

    // Cut inside a picture header.
    SyntheticVideo start(true, 352, 288, 3);
    start.SequenceHeader();
    std::vector<uint8_t> shortHeader = start.Bytes();
    shortHeader.insert(shortHeader.end(), {0, 0, 1, 0, 0x00});
    EXPECT_EQ(ScanVideo(shortHeader).result.message, invalid);

    // A sequence header followed by noise: no picture at all.
    std::vector<uint8_t> noise = start.Bytes();
    uint32_t seed = 12345;
    for (int i = 0; i < 4000; ++i) {
        seed = seed * 1103515245 + 12345;
        noise.push_back(static_cast<uint8_t>(seed >> 16) | 0x10);
    }
    EXPECT_EQ(ScanVideo(noise).result.message, invalid);

    // An MPEG-2 picture whose coding extension is missing.
    SyntheticVideo bare(true, 352, 288, 3);
    bare.SequenceHeader();
    std::vector<uint8_t> missing = bare.Bytes();
    missing.insert(missing.end(), {0, 0, 1, 0, 0x00, 0x0F, 0xFF, 0xF8, 0, 0, 1, 1, 0x40, 0x55});
    EXPECT_EQ(ScanVideo(missing).result.message,
              "Invalid MPEG2 Video stream, no picture coding extension present.");

    // A picture coding type that does not exist.
    std::vector<uint8_t> badType = bare.Bytes();
    badType.insert(badType.end(), {0, 0, 1, 0, 0x00, 0x3F, 0xFF, 0xF8});
    EXPECT_EQ(ScanVideo(badType).result.message, invalid);

    // A system start code inside the stream.
    std::vector<uint8_t> system = good;
    system.insert(system.end() - 4, {0, 0, 1, 0xBA});
    EXPECT_EQ(ScanVideo(system).result.message, invalid);

    EXPECT_TRUE(ScanVideo(good).result.IsOk());
}

TEST(AudioScanTest, MpegAudioFramesFollowBitrateSamplingRateAndPadding) {
    // Layer II, 224 kbit/s, 44.1 kHz: 731 bytes, 732 with padding.
    std::vector<uint8_t> stream;
    for (int i = 0; i < 10; ++i) {
        const bool padded = i % 2 == 1;
        const std::vector<uint8_t> frame =
            test::MpegAudioFrame(2, 11, 0, padded, padded ? 732 : 731);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    const AudioScan scan = ScanAudio(stream);
    ASSERT_TRUE(scan.result.IsOk()) << scan.result.message;
    ASSERT_EQ(scan.units.size(), 10u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(scan.units[i].length, i % 2 ? 732u : 731u);
        EXPECT_NEAR(scan.units[i].pts, i * 1152 * 27000000.0 / 44100, 1e-6);
    }
    EXPECT_EQ(scan.units[3].offset, 731u + 732 + 731);
    EXPECT_EQ(scan.facts.bitRateKbps, 224);
    EXPECT_EQ(scan.facts.samplingRateHz, 44100);
    EXPECT_EQ(scan.facts.layer, 2);
    EXPECT_EQ(scan.facts.format, AudioFormat::kMpeg);

    // Layer I, 384 kbit/s, 48 kHz: 384 samples in 384 bytes.
    std::vector<uint8_t> layer1;
    for (int i = 0; i < 4; ++i) {
        const std::vector<uint8_t> frame = test::MpegAudioFrame(1, 12, 1, false, 384);
        layer1.insert(layer1.end(), frame.begin(), frame.end());
    }
    const AudioScan first = ScanAudio(layer1);
    ASSERT_TRUE(first.result.IsOk()) << first.result.message;
    EXPECT_EQ(first.facts.samplesPerFrame, 384);
    EXPECT_NEAR(first.units[1].pts, 384 * 27000000.0 / 48000, 1e-6);
}

TEST(AudioScanTest, Ac3FramesFollowTheirSizeCode) {
    struct Case {
        int samplingCode;
        int sizeCode;
        int bytes;
    };
    // 448 kbit/s at 48 kHz; 192 kbit/s at 44.1 kHz with and without the extra
    // word; 64 kbit/s at 32 kHz.
    const Case cases[] = {{0, 30, 1792}, {1, 20, 834}, {1, 21, 836}, {2, 8, 384}};
    for (const Case& c : cases) {
        std::vector<uint8_t> stream;
        for (int i = 0; i < 3; ++i) {
            const std::vector<uint8_t> frame = test::Ac3Frame(c.samplingCode, c.sizeCode, c.bytes);
            stream.insert(stream.end(), frame.begin(), frame.end());
        }
        const AudioScan scan = ScanAudio(stream);
        ASSERT_TRUE(scan.result.IsOk()) << scan.result.message << " size code " << c.sizeCode;
        ASSERT_EQ(scan.units.size(), 3u);
        EXPECT_EQ(scan.units[2].offset, 2u * c.bytes);
        EXPECT_EQ(scan.facts.format, AudioFormat::kAc3);
        EXPECT_EQ(scan.facts.samplesPerFrame, 1536);
    }
}

TEST(AudioScanTest, StreamsThatAreNotMpegAudioOrAc3AreRefused) {
    const std::string notAudio = "File in.mp2 is not an AC3 or MPEG Audio stream.";
    EXPECT_EQ(ScanAudio({'R', 'I', 'F', 'F', 0, 0, 0, 0}).result.message, notAudio);
    EXPECT_EQ(ScanAudio({0x0B}).result.message, notAudio);

    const std::string unsupported = "Only MPEG and AC3 audio stream formats are supported.";
    // Free-format bitrate, a reserved layer, a reserved AC-3 sampling rate.
    EXPECT_EQ(ScanAudio(test::MpegAudioFrame(2, 0, 0, false, 700)).result.message, unsupported);
    std::vector<uint8_t> reservedLayer = test::MpegAudioFrame(2, 11, 0, false, 731);
    reservedLayer[1] = 0xF9;
    EXPECT_EQ(ScanAudio(reservedLayer).result.message, unsupported);
    EXPECT_EQ(ScanAudio(test::Ac3Frame(3, 30, 1792)).result.message, unsupported);

    // A stream that ends inside a frame, or loses sync after a good one.
    std::vector<uint8_t> frames = test::MpegAudioFrame(2, 11, 0, false, 731);
    std::vector<uint8_t> cut = frames;
    cut.insert(cut.end(), frames.begin(), frames.begin() + 300);
    EXPECT_EQ(ScanAudio(cut).result.message, notAudio);
    std::vector<uint8_t> noise = frames;
    for (int i = 0; i < 2000; ++i) noise.push_back(static_cast<uint8_t>(i * 7 + 3));
    EXPECT_EQ(ScanAudio(noise).result.message, notAudio);
    // Frames of another sampling rate in the middle.
    std::vector<uint8_t> mixed = frames;
    const std::vector<uint8_t> other = test::MpegAudioFrame(2, 11, 1, false, 672);
    mixed.insert(mixed.end(), other.begin(), other.end());
    EXPECT_EQ(ScanAudio(mixed).result.message, notAudio);
}

TEST(UnitRecordTest, RecordsKeepEveryFieldAndTheirSizes) {
    VideoUnit video;
    video.offset = 0x123456789AULL;
    video.length = 65000;
    video.pictureStart = 150;
    video.dts = -1080000;
    video.pts = 123456.5;
    video.userDataOffset = 0x1000;
    video.codedIndex = 77;
    video.type = kPictureB;
    video.flags = kUnitHasGopHeader;
    video.temporalReference = 1023;
    uint8_t record[kVideoUnitBytes];
    EncodeUnit(video, record);
    VideoUnit back;
    DecodeUnit(record, back);
    EXPECT_EQ(back.offset, video.offset);
    EXPECT_EQ(back.length, video.length);
    EXPECT_EQ(back.pictureStart, video.pictureStart);
    EXPECT_EQ(back.dts, video.dts);
    EXPECT_EQ(back.pts, video.pts);
    EXPECT_EQ(back.userDataOffset, video.userDataOffset);
    EXPECT_EQ(back.codedIndex, video.codedIndex);
    EXPECT_EQ(back.type, video.type);
    EXPECT_EQ(back.flags, video.flags);
    EXPECT_EQ(back.temporalReference, video.temporalReference);
    EXPECT_EQ(kVideoUnitBytes, 48u);
    EXPECT_EQ(kAudioUnitBytes, 20u);

    // A rewritten record lands in place, in the buffer or on disk.
    test::TempDir folder("unit records");
    UnitWriter<AudioUnit> writer;
    ASSERT_TRUE(writer.Create(folder / "tmp_a"));
    for (uint32_t i = 0; i < 10000; ++i) {
        AudioUnit unit;
        unit.offset = i * 100ull;
        unit.length = i;
        ASSERT_TRUE(writer.Append(unit));
    }
    AudioUnit changed;
    changed.length = 424242;
    ASSERT_TRUE(writer.Rewrite(3, changed));
    ASSERT_TRUE(writer.Rewrite(9999, changed));
    ASSERT_TRUE(writer.Finish());
    UnitReader<AudioUnit> reader;
    ASSERT_TRUE(reader.Open(folder / "tmp_a"));
    EXPECT_EQ(reader.Count(), 10000u);
    AudioUnit unit;
    ASSERT_TRUE(reader.Read(3, unit));
    EXPECT_EQ(unit.length, 424242u);
    ASSERT_TRUE(reader.Read(9999, unit));
    EXPECT_EQ(unit.length, 424242u);
    ASSERT_TRUE(reader.Read(5000, unit));
    EXPECT_EQ(unit.offset, 500000u);
    EXPECT_FALSE(reader.Read(10000, unit));
}

}  // namespace
