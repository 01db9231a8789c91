#include "korvan/mpegenc/audio/audio_encoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "korvan/mpegenc/audio/audio_frame_encoder.h"
#include "korvan/mpegenc/audio/audio_tables.h"
#include "tests/korvan/audio/audio_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace korvan::audio;
using audiotest::AudioSettings;
using audiotest::EncodePcm;
using audiotest::MakeSignal;
using audiotest::ReadFrames;
using korvan::StatusCode;

// Full-scale noise asks every subband for every bit: the hardest test of the
// frame budget. No frame may spill over it, at any layer, mode, rate or
// bitrate, and every frame must be exactly as long as its header says.
TEST(AudioFrameEncoderTest, FramesStayWithinTheirBudget) {
    std::mt19937 random(2);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    for (int layer : {1, 2}) {
        for (int rate : {32000, 44100, 48000}) {
            for (int mode = 0; mode < 4; ++mode) {
                for (int index = 1; index <= 14; ++index) {
                    for (int model : {1, 2}) {
                        AudioStreamParams params;
                        const std::string problem =
                            ResolveStreamParams(AudioSettings(layer, mode, index, model, index % 2),
                                                AudioFormat{rate, 2}, params);
                        if (!problem.empty()) continue;
                        AudioFrameEncoder encoder(params);
                        std::vector<uint8_t> stream;
                        for (int frame = 0; frame < 3; ++frame) {
                            for (int ch = 0; ch < params.channels; ++ch) {
                                float* samples = encoder.FrameSamples(ch);
                                for (int i = 0; i < params.samplesPerFrame; ++i) {
                                    samples[i] =
                                        frame == 2 ? (i % 2 ? 1.0f : -1.0f) : noise(random);
                                }
                            }
                            const size_t before = stream.size();
                            const FrameReport report = encoder.EncodeFrame(stream);
                            ASSERT_GT(report.usedBits, 0);
                            ASSERT_LE(report.usedBits, report.budgetBits)
                                << "layer " << layer << " rate " << rate << " mode " << mode
                                << " index " << index << " model " << model;
                            ASSERT_EQ(stream.size() - before, size_t(report.bytes));
                            ASSERT_EQ(report.bytes * 8, report.budgetBits);
                        }
                        bool complete = false;
                        const std::string bytes(stream.begin(), stream.end());
                        ASSERT_EQ(ReadFrames(bytes, &complete).size(), 3u);
                        ASSERT_TRUE(complete);
                    }
                }
            }
        }
    }
}

class AudioEncoderTest : public ::testing::Test {
protected:
    test::TempDir folder_{"zarvo audio Ström ü"};
    std::string Path(const std::string& name) { return folder_ / name; }
};

TEST_F(AudioEncoderTest, BlocksMaySplitSamplesAnywhere) {
    const test::Pcm pcm = MakeSignal(44100, 2, 0.2);
    const korvan::EncoderSettings settings = AudioSettings(2, 0, 11, 2);
    ASSERT_EQ(EncodePcm(settings, pcm, Path("whole.mp2")).status.code, StatusCode::kOk);
    const std::string whole = test::ReadFile(Path("whole.mp2"));
    ASSERT_FALSE(whole.empty());
    for (size_t block : {1, 3, 7, 4095}) {
        const std::string name = "split " + std::to_string(block) + ".mp2";
        const AudioEncodeResult result = EncodePcm(settings, pcm, Path(name), block);
        EXPECT_EQ(result.status.code, StatusCode::kOk);
        EXPECT_EQ(test::ReadFile(Path(name)), whole) << "blocks of " << block << " bytes";
    }
}

// Whole frames cover the input and the 481 samples the filter banks hold
// back; nothing at all is coded of an empty source.
TEST_F(AudioEncoderTest, ShortLastBlockIsCompletedToAWholeFrame) {
    for (const auto& [samples, frames] :
         {std::pair{671, 1}, {672, 2}, {1152, 2}, {1153, 2}, {1824, 3}, {0, 0}}) {
        test::Pcm pcm = MakeSignal(48000, 1, 1.0);
        pcm.samples.resize(samples);
        const AudioEncodeResult result =
            EncodePcm(AudioSettings(2, 3, 8, 1), pcm, Path("short.mp2"));
        EXPECT_EQ(result.status.code, StatusCode::kOk);
        EXPECT_EQ(result.frames, frames) << samples << " samples";
        bool complete = false;
        EXPECT_EQ(ReadFrames(test::ReadFile(Path("short.mp2")), &complete).size(), size_t(frames));
        EXPECT_TRUE(complete);
    }
}

TEST_F(AudioEncoderTest, ReportsProgressAndStopsOnCancel) {
    // 14 layer II frames, the last short, and one of silence for the 481
    // samples the filter banks hold back.
    const test::Pcm pcm = MakeSignal(32000, 2, 0.5);
    const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.samples.data());
    bool handedOut = false;
    std::vector<AudioProgress> progress;
    AudioCallbacks callbacks;
    callbacks.fetch = [&](PcmBlock& block) {
        if (handedOut) return FetchResult::kEnd;
        handedOut = true;
        block.bytes = bytes;
        block.byteCount = pcm.samples.size() * 2;
        return FetchResult::kBlock;
    };
    callbacks.frameDone = [&](const AudioProgress& p) { progress.push_back(p); };
    AudioEncodeResult result = EncodeAudioStream(AudioSettings(2, 0, 8, 2), AudioFormat{32000, 2},
                                                 Path("all.mp2"), callbacks);
    EXPECT_EQ(result.status.code, StatusCode::kOk);
    ASSERT_EQ(result.frames, 15);
    ASSERT_EQ(progress.size(), 15u);
    EXPECT_EQ(progress[0].frames, 1);
    EXPECT_EQ(progress[0].samples, 1152);
    EXPECT_EQ(progress[13].samples, 16000);
    EXPECT_EQ(progress.back().frames, 15);
    EXPECT_EQ(progress.back().samples, 16000);

    handedOut = false;
    int checks = 0;
    callbacks.frameDone = nullptr;
    callbacks.cancelRequested = [&] { return ++checks > 3; };
    result = EncodeAudioStream(AudioSettings(2, 0, 8, 2), AudioFormat{32000, 2},
                               Path("cancelled.mp2"), callbacks);
    EXPECT_EQ(result.status.code, StatusCode::kCancelled);
    EXPECT_TRUE(result.status.message.empty());
    EXPECT_EQ(result.frames, 3);
    EXPECT_EQ(checks, 4);  // before each of three frames, and the one that stopped it
    bool complete = false;
    EXPECT_EQ(ReadFrames(test::ReadFile(Path("cancelled.mp2")), &complete).size(), 3u);
    EXPECT_TRUE(complete);
}

TEST_F(AudioEncoderTest, SourceFailureEndsTheEncode) {
    const test::Pcm pcm = MakeSignal(44100, 2, 0.2);
    int calls = 0;
    AudioCallbacks callbacks;
    callbacks.fetch = [&](PcmBlock& block) {
        if (++calls > 2) return FetchResult::kFailed;
        block.bytes = reinterpret_cast<const uint8_t*>(pcm.samples.data());
        block.byteCount = 1152 * 4;  // one frame's worth per call
        return FetchResult::kBlock;
    };
    const AudioEncodeResult result = EncodeAudioStream(
        AudioSettings(2, 0, 11, 2), AudioFormat{44100, 2}, Path("failed.mp2"), callbacks);
    EXPECT_EQ(result.status.code, StatusCode::kSourceFailed);
    EXPECT_EQ(result.frames, 2);
}

TEST_F(AudioEncoderTest, RefusesWhatItCannotCode) {
    const test::Pcm pcm = MakeSignal(44100, 2, 0.1);
    struct Case {
        korvan::EncoderSettings settings;
        int rate;
        int channels;
        std::string message;
    };
    const std::vector<Case> cases = {
        {AudioSettings(2, 0, 11, 2), 22050, 2, "Unknown audio sampling rate"},
        {AudioSettings(2, 0, 11, 2), 44100, 6, "Unsupported number of audio channels."},
        {AudioSettings(3, 0, 11, 2), 44100, 2, "Invalid audio settings."},
        {AudioSettings(2, 4, 11, 2), 44100, 2, "Invalid audio settings."},
        {AudioSettings(2, 0, 15, 2), 44100, 2, "Invalid audio settings."},
        {AudioSettings(2, 0, 11, 3), 44100, 2, "Invalid audio settings."},
        {AudioSettings(2, 0, 0, 2), 44100, 2, "Free format audio bitrate is not supported."},
        {AudioSettings(1, 0, 1, 2), 48000, 2, "Audio bitrate too low for the audio mode."},
    };
    for (const Case& c : cases) {
        test::Pcm input = pcm;
        input.sampleRateHz = c.rate;
        input.channels = c.channels;
        const AudioEncodeResult result = EncodePcm(c.settings, input, Path("refused.mp2"));
        EXPECT_EQ(result.status.code, StatusCode::kFailed);
        EXPECT_EQ(result.status.message, c.message);
    }
    korvan::EncoderSettings badEmphasis = AudioSettings(2, 0, 11, 2);
    badEmphasis.deEmphasis = 2;
    EXPECT_EQ(EncodePcm(badEmphasis, pcm, Path("refused.mp2")).status.message,
              "Invalid audio settings.");
    // The same bitrate is fine for joint stereo, which shares the upper
    // subbands' allocation fields.
    test::Pcm at48k = pcm;
    at48k.sampleRateHz = 48000;
    EXPECT_EQ(EncodePcm(AudioSettings(1, 1, 1, 2), at48k, Path("joint.mp2")).status.code,
              StatusCode::kOk);
}

TEST_F(AudioEncoderTest, OutputFailuresNameTheStream) {
    const test::Pcm pcm = MakeSignal(44100, 2, 0.1);
    const std::string missing = Path("no such folder/out.mp2");
    AudioEncodeResult result = EncodePcm(AudioSettings(2, 0, 11, 2), pcm, missing);
    EXPECT_EQ(result.status.code, StatusCode::kFailed);
    EXPECT_EQ(result.status.message, "Unable to open file " + missing + " for writing.");

    result = EncodePcm(AudioSettings(2, 0, 11, 2), pcm, "/dev/full");
    EXPECT_EQ(result.status.code, StatusCode::kFailed);
    EXPECT_EQ(result.status.message, "Could not write to file /dev/full");
}

TEST_F(AudioEncoderTest, HeaderCarriesTheSettings) {
    korvan::EncoderSettings settings = AudioSettings(2, 2, 9, 1, 1);
    settings.privateBit = 1;
    settings.copyrightBit = 1;
    settings.originalBit = 1;
    settings.deEmphasis = 3;
    const test::Pcm pcm = MakeSignal(32000, 2, 0.2);
    ASSERT_EQ(EncodePcm(settings, pcm, Path("header.mp2")).status.code, StatusCode::kOk);
    bool complete = false;
    const auto frames = ReadFrames(test::ReadFile(Path("header.mp2")), &complete);
    ASSERT_FALSE(frames.empty());
    for (const auto& f : frames) {
        EXPECT_EQ(f.layer, 2);
        EXPECT_TRUE(f.protectedByCrc);
        EXPECT_EQ(f.bitrateIndex, 9);
        EXPECT_EQ(f.samplingCode, 2);
        EXPECT_EQ(f.privateBit, 1);
        EXPECT_EQ(f.mode, 2);
        EXPECT_EQ(f.modeExtension, 0);
        EXPECT_EQ(f.copyrightBit, 1);
        EXPECT_EQ(f.originalBit, 1);
        EXPECT_EQ(f.emphasis, 3);
    }
}

TEST_F(AudioEncoderTest, SingleChannelLayerTwoTopsOutAt192kbps) {
    const test::Pcm mono = MakeSignal(48000, 1, 0.1);
    bool complete = false;
    ASSERT_EQ(EncodePcm(AudioSettings(2, 3, 12, 2), mono, Path("capped.mp2")).status.code,
              StatusCode::kOk);
    auto frames = ReadFrames(test::ReadFile(Path("capped.mp2")), &complete);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0].bitrateIndex, 10);
    EXPECT_EQ(frames[0].length, 576u);
    // Layer I allows 384 kbit/s in one channel, and stereo keeps its rate.
    ASSERT_EQ(EncodePcm(AudioSettings(1, 3, 12, 2), mono, Path("layer1.mp2")).status.code,
              StatusCode::kOk);
    EXPECT_EQ(ReadFrames(test::ReadFile(Path("layer1.mp2")), &complete)[0].bitrateIndex, 12);
    ASSERT_EQ(EncodePcm(AudioSettings(2, 0, 12, 2), mono, Path("stereo.mp2")).status.code,
              StatusCode::kOk);
    EXPECT_EQ(ReadFrames(test::ReadFile(Path("stereo.mp2")), &complete)[0].bitrateIndex, 12);
}

}  // namespace
