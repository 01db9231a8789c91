// The reader on real files made by ffmpeg, judged by ffmpeg's own decoding.
#include "korvan/media/source_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "korvan/media/bitmap_header.h"
#include "tests/korvan/media/media_test_support.h"

namespace {

using korvan::EncoderMessage;
using korvan::media::AudioFetchForm;
using korvan::media::FetchSourceAudio;
using korvan::media::FetchSourceFrame;
using korvan::media::OpenSourceReader;
using korvan::media::SourceReader;

struct RecordedMessages {
    std::vector<EncoderMessage> shown;
    korvan::MessageSink Sink() {
        return [this](const EncoderMessage& m) { shown.push_back(m); };
    }
};

struct AudioTotals {
    long long samples = 0;  // at 44 100 Hz
    std::vector<long long> chunkSamples;
    std::vector<int16_t> pcm;  // stereo
    int lastStatus = 0;
};

// Fetches chunks until the reader has no more, as the encode driver does.
AudioTotals FetchAllAudio(SourceReader& reader) {
    AudioTotals totals;
    for (int guard = 0; guard < 1000; ++guard) {
        long long count = 0;
        long long bytes = 0;
        const uint8_t* buffer = nullptr;
        totals.lastStatus = FetchSourceAudio(reader, totals.samples, AudioFetchForm::kEncoderPcm,
                                             count, bytes, buffer);
        if (totals.lastStatus != 0) break;
        totals.samples += count;
        totals.chunkSamples.push_back(count);
        const std::size_t old = totals.pcm.size();
        totals.pcm.resize(old + static_cast<std::size_t>(bytes) / 2);
        std::memcpy(totals.pcm.data() + old, buffer, static_cast<std::size_t>(bytes));
    }
    return totals;
}

// Zero crossings of the left channel, as a frequency.
double LeftToneHz(const std::vector<int16_t>& stereo) {
    int crossings = 0;
    for (std::size_t i = 2; i < stereo.size(); i += 2) {
        if ((stereo[i - 2] < 0) != (stereo[i] < 0)) ++crossings;
    }
    return stereo.size() < 4 ? 0 : crossings / 2.0 / (stereo.size() / 2 / 44100.0);
}

TEST(SourceReaderTest, TenSecondsAt25HzMatchFfmpegPictureForPictureAndSoundForSound) {
    test::TempDir dir("zarvo reader ü é");
    const std::string path = dir / "ten seconds ö.mp4";
    ASSERT_TRUE(test::MakeMediaClip(path, 10, "320x240", "mpeg4 -q:v 2", "aac"));

    SourceReader reader;
    RecordedMessages messages;
    ASSERT_TRUE(OpenSourceReader(reader, path, messages.Sink()));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(reader.firstFrame, 0);
    EXPECT_EQ(reader.lastFrame, 249);
    EXPECT_EQ(reader.timePerFrame, 400000);
    EXPECT_DOUBLE_EQ(reader.frameRate, 25);
    EXPECT_EQ(reader.width, 320);
    EXPECT_EQ(reader.height, 240);
    EXPECT_FALSE(reader.realMedia);
    EXPECT_EQ(reader.audioFormat.samplesPerSec, 48000u);
    EXPECT_EQ(reader.audioFormat.channels, 1);
    EXPECT_DOUBLE_EQ(reader.chunkDurationSeconds, 2.5);

    // The picture of frame 100 read directly, against ffmpeg.
    std::vector<uint8_t> direct;
    ASSERT_TRUE(korvan::media::ReadSourceFrameAt(reader, 100, direct));
    EXPECT_GE(
        test::LumaPsnr(direct.data(), test::FfmpegPictureAt(path, 3.999, dir / "d.bgr"), 320, 240),
        45);

    int sampled = 0;
    for (long long n = 0; n <= reader.lastFrame; ++n) {
        int rowBytes = 0;
        const uint8_t* pixels = nullptr;
        ASSERT_EQ(FetchSourceFrame(reader, n, rowBytes, pixels), 0) << n;
        ASSERT_EQ(rowBytes, 320 * 4);
        const double wanted = korvan::media::SourceFrameSeconds(reader, n);
        // The picture shown at the time, or the next one.
        ASSERT_NEAR(reader.lastFetchedSeconds, wanted, 0.0401) << n;
        if (n % 31 == 0 || n == reader.lastFrame) {
            const std::vector<uint8_t> theirs =
                test::FfmpegPictureAt(path, reader.lastFetchedSeconds - 0.001, dir / "p.bgr");
            EXPECT_GE(test::LumaPsnr(pixels, theirs, 320, 240), 45) << "frame " << n;
            ++sampled;
        }
    }
    EXPECT_GE(sampled, 9);

    // A window from 6 s on: the grabber seeks, and its threaded decoder
    // starts again from the key frame before with nothing left from before.
    reader.firstFrame = 150;
    for (const long long n : {0LL, 7LL}) {
        int rowBytes = 0;
        const uint8_t* pixels = nullptr;
        ASSERT_EQ(FetchSourceFrame(reader, n, rowBytes, pixels), 0);
        ASSERT_NEAR(reader.lastFetchedSeconds, korvan::media::SourceFrameSeconds(reader, n),
                    0.0401);
        EXPECT_GE(test::LumaPsnr(
                      pixels,
                      test::FfmpegPictureAt(path, reader.lastFetchedSeconds - 0.001, dir / "w.bgr"),
                      320, 240),
                  45)
            << "window frame " << n;
    }
    reader.firstFrame = 0;

    const AudioTotals audio = FetchAllAudio(reader);
    EXPECT_EQ(audio.lastStatus, korvan::media::kAudioUnreadable);
    ASSERT_GE(audio.chunkSamples.size(), 4u);
    // Whole chunks of 2.5 s; all of them add up to the length within one.
    EXPECT_NEAR(audio.chunkSamples[0], 110250, 64);
    EXPECT_NEAR(static_cast<double>(audio.samples) / 44100, 10.0, 2.5);
    EXPECT_NEAR(LeftToneHz(audio.pcm), 440, 5);
}

TEST(SourceReaderTest, SourceWithoutSoundGivesSilenceAndShortSourcesOneChunk) {
    test::TempDir dir;
    const std::string path = dir / "silent.avi";
    ASSERT_TRUE(test::MakeMediaClip(path, 6, "64x48", "mjpeg", ""));
    SourceReader reader;
    ASSERT_TRUE(OpenSourceReader(reader, path, {}));
    EXPECT_TRUE(reader.audioSilent);
    EXPECT_EQ(reader.audioFormat.samplesPerSec, 44100u);
    EXPECT_EQ(reader.audioFormat.channels, 2);
    EXPECT_EQ(reader.audioFormat.bitsPerSample, 16);
    EXPECT_EQ(reader.audioFormat.blockAlign, 4);
    EXPECT_EQ(reader.audioFormat.avgBytesPerSec, 176400u);
    EXPECT_DOUBLE_EQ(reader.chunkDurationSeconds, 6.0);

    const AudioTotals audio = FetchAllAudio(reader);
    ASSERT_EQ(audio.chunkSamples.size(), 1u);
    EXPECT_EQ(audio.chunkSamples[0], 6 * 44100);
    for (const int16_t sample : audio.pcm) ASSERT_EQ(sample, 0);

    const std::string longer = dir / "twelve.mkv";
    ASSERT_TRUE(test::MakeMediaClip(longer, 12, "64x48", "mpeg4", "mp2"));
    ASSERT_TRUE(OpenSourceReader(reader, longer, {}));
    EXPECT_DOUBLE_EQ(reader.chunkDurationSeconds, 2.5);
    EXPECT_FALSE(reader.audioSilent);
    EXPECT_EQ(korvan::media::ChunkBytes(reader), 48000 * 2 * 5 / 2);
}

TEST(SourceReaderTest, OutputFrameZeroRestartsTheRunningGrabberAtTheFrameWindow) {
    test::TempDir dir;
    const std::string path = dir / "restart.mpg";
    ASSERT_TRUE(test::MakeMediaClip(path, 4, "176x144", "mpeg2video -q:v 2", "mp2", "-f mpeg"));
    SourceReader reader;
    ASSERT_TRUE(OpenSourceReader(reader, path, {}));

    int rowBytes = 0;
    const uint8_t* pixels = nullptr;
    ASSERT_EQ(FetchSourceFrame(reader, 0, rowBytes, pixels), 0);
    const std::vector<uint8_t> first(pixels, pixels + rowBytes * 144);
    const double firstSeconds = reader.lastFetchedSeconds;
    for (long long n = 1; n <= 40; ++n) ASSERT_EQ(FetchSourceFrame(reader, n, rowBytes, pixels), 0);
    EXPECT_GT(reader.lastFetchedSeconds, 1.0);

    ASSERT_EQ(FetchSourceFrame(reader, 0, rowBytes, pixels), 0);
    EXPECT_DOUBLE_EQ(reader.lastFetchedSeconds, firstSeconds);
    EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + rowBytes * 144), first);

    // A window that starts at frame 50, read at half the size and 12.5 Hz.
    reader.firstFrame = 50;
    reader.outputWidth = 88;
    reader.outputHeight = 72;
    reader.outputFrameRate = 12.5;
    ASSERT_EQ(FetchSourceFrame(reader, 0, rowBytes, pixels), 0);
    EXPECT_EQ(rowBytes, 88 * 4);
    EXPECT_NEAR(reader.lastFetchedSeconds, 2.0, 0.041);
    // Scaled, still the right way up.
    EXPECT_GE(test::LumaPsnr(pixels,
                             test::FfmpegPictureAt(path, reader.lastFetchedSeconds - 0.001,
                                                   dir / "half.bgr", "88x72"),
                             88, 72),
              25);
    ASSERT_EQ(FetchSourceFrame(reader, 10, rowBytes, pixels), 0);
    // 10 frames at 12.5 Hz after 2 s: 20 source pictures on.
    EXPECT_NEAR(reader.lastFetchedSeconds, 2.0 + 0.8, 0.041);
}

TEST(SourceReaderTest, BadInputsAreMessagesOrFailureCodesNeverCrashesOrHangs) {
    test::TempDir dir("zarvo bad input");
    RecordedMessages messages;
    SourceReader reader;

    const std::string empty = dir / "empty.mp4";
    test::WriteFile(empty, "");
    EXPECT_FALSE(OpenSourceReader(reader, empty, messages.Sink()));
    const std::string text = dir / "not media.avi";
    test::WriteFile(text, std::string(4000, 'x'));
    EXPECT_FALSE(OpenSourceReader(reader, text, messages.Sink()));
    EXPECT_FALSE(OpenSourceReader(reader, dir / "missing.avi", messages.Sink()));
    ASSERT_EQ(messages.shown.size(), 3u);
    for (const EncoderMessage& m : messages.shown) {
        EXPECT_EQ(m.caption, " - open file error");
        EXPECT_EQ(m.text, "Could not add PrimaryVideo to IAMMMultiMediaStream");
    }
    // A closed reader gives black pictures and no sound.
    int rowBytes = 0;
    const uint8_t* pixels = nullptr;
    EXPECT_EQ(FetchSourceFrame(reader, 0, rowBytes, pixels), 0);
    long long count = 0;
    long long bytes = 0;
    const uint8_t* buffer = nullptr;
    EXPECT_EQ(FetchSourceAudio(reader, 0, AudioFetchForm::kEncoderPcm, count, bytes, buffer),
              korvan::media::kAudioUnreadable);

    // An MP4 cut short loses its index: it cannot be opened.
    const std::string whole = dir / "whole.mp4";
    ASSERT_TRUE(test::MakeMediaClip(whole, 2, "64x48", "mpeg4", "aac"));
    const std::string cut = dir / "cut.mp4";
    const std::string bytesOfWhole = test::ReadFile(whole);
    test::WriteFile(cut, bytesOfWhole.substr(0, bytesOfWhole.size() / 3));
    EXPECT_FALSE(OpenSourceReader(reader, cut, messages.Sink()));

    // A program stream cut short reads as far as it goes.
    const std::string program = dir / "program.mpg";
    ASSERT_TRUE(test::MakeMediaClip(program, 3, "64x48", "mpeg2video", "mp2", "-f mpeg"));
    const std::string shortProgram = dir / "short program.mpg";
    const std::string programBytes = test::ReadFile(program);
    test::WriteFile(shortProgram, programBytes.substr(0, programBytes.size() / 2));
    ASSERT_TRUE(OpenSourceReader(reader, shortProgram, {}));
    for (long long n = 0; n <= reader.lastFrame; ++n) {
        ASSERT_EQ(FetchSourceFrame(reader, n, rowBytes, pixels), 0);
    }
    EXPECT_GE(FetchAllAudio(reader).chunkSamples.size(), 1u);

    // A file that is emptied and removed while it is read.
    const std::string vanishing = dir / "vanishing.mpg";
    ASSERT_TRUE(test::MakeMediaClip(vanishing, 3, "64x48", "mpeg2video", "mp2", "-f mpeg"));
    ASSERT_TRUE(OpenSourceReader(reader, vanishing, {}));
    ASSERT_EQ(FetchSourceFrame(reader, 0, rowBytes, pixels), 0);
    ASSERT_EQ(truncate(vanishing.c_str(), 0), 0);
    std::filesystem::remove(vanishing);
    for (long long n = 1; n <= reader.lastFrame; ++n) {
        ASSERT_EQ(FetchSourceFrame(reader, n, rowBytes, pixels), 0);
    }
    const AudioTotals afterwards = FetchAllAudio(reader);
    EXPECT_EQ(afterwards.lastStatus, korvan::media::kAudioUnreadable);
}

TEST(SourceReaderTest, RealMediaFilesAreReadWithoutTheLead) {
    test::TempDir dir;
    const std::string path = dir / "clip.rm";
    ASSERT_TRUE(test::MakeMediaClip(path, 2, "160x120", "rv20", "ac3", "-f rm"));
    SourceReader reader;
    ASSERT_TRUE(OpenSourceReader(reader, path, {}));
    EXPECT_TRUE(reader.realMedia);
    EXPECT_EQ(reader.lastFrame, 49);
    EXPECT_DOUBLE_EQ(korvan::media::SourceFrameSeconds(reader, 10), 0.4);
    int rowBytes = 0;
    const uint8_t* pixels = nullptr;
    ASSERT_EQ(FetchSourceFrame(reader, 0, rowBytes, pixels), 0);
    ASSERT_EQ(FetchSourceFrame(reader, 10, rowBytes, pixels), 0);
    EXPECT_NEAR(reader.lastFetchedSeconds, 0.4, 0.001);
    EXPECT_GE(test::LumaPsnr(pixels, test::FfmpegPictureAt(path, 0.399, dir / "p.bgr"), 160, 120),
              45);
    EXPECT_NEAR(static_cast<double>(FetchAllAudio(reader).samples) / 44100, 2.0, 0.1);
}

}  // namespace
