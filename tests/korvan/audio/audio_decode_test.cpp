// Streams of the audio encoder checked by ffmpeg, an independent decoder:
// it must decode every combination without a word, accept the CRC, and give
// back the input at a fair signal-to-noise ratio.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvan/mpegenc/audio/audio_crc.h"
#include "korvan/mpegenc/audio/audio_encoder.h"
#include "korvan/mpegenc/audio/audio_tables.h"
#include "platform/program_lookup.h"
#include "tests/korvan/audio/audio_test_support.h"
#include "tests/support/pcm_compare.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace korvan::audio;
using audiotest::AudioSettings;
using audiotest::EncodePcm;
using audiotest::FrameHeaderInfo;
using audiotest::IsBitrateAllowed;
using audiotest::MakeSignal;
using audiotest::ReadFrames;
using korvan::StatusCode;

// ffmpeg checks the CRC of layer I frames over a fixed 128 bits per channel,
// also in joint stereo frames, whose allocation is shorter and which is all
// the check word covers; those frames are checked by CheckLayerOneCrc.
bool FfmpegChecksCrcOf(int layer, int mode) { return !(layer == 1 && mode == kModeJointStereo); }

// Decodes many streams in one ffmpeg run; returns what ffmpeg printed. The
// CRC check is an option of each input's decoder.
std::string DecodeAll(const std::vector<std::string>& streams, bool checkCrc) {
    std::vector<std::string> args = {platform::FindProgram("ffmpeg", ""), "-nostdin", "-v",
                                     "error"};
    for (const std::string& s : streams) {
        if (checkCrc) {
            args.push_back("-err_detect");
            args.push_back("crccheck+explode");
        }
        args.push_back("-i");
        args.push_back(s);
    }
    for (size_t i = 0; i < streams.size(); ++i) {
        args.push_back("-map");
        args.push_back(std::to_string(i) + ":a");
    }
    args.push_back("-f");
    args.push_back("null");
    args.push_back("-");
    const test::ProgramRun run = test::RunProgram(args);
    return run.exitCode == 0 ? run.out + run.err : "ffmpeg failed: " + run.err;
}

// Checks every frame's length and padding bit against the slot lag rule.
void CheckFrameLengths(const std::vector<FrameHeaderInfo>& frames, int layer, int rate,
                       int bitrateIndex) {
    const int64_t samples = layer == 1 ? 384 : 1152;
    const int64_t slotBytes = layer == 1 ? 4 : 1;
    const int64_t unit = int64_t{rate} * slotBytes * 8;
    const int64_t bits = samples * BitrateKbps(layer, bitrateIndex) * 1000;
    const int64_t whole = bits / unit;
    const int64_t fraction = bits % unit;
    for (size_t i = 0; i < frames.size(); ++i) {
        const bool padded = (int64_t(i) + 2) * fraction / unit > (int64_t(i) + 1) * fraction / unit;
        ASSERT_EQ(frames[i].padded, padded) << "frame " << i;
        ASSERT_EQ(int64_t(frames[i].length), (whole + padded) * slotBytes) << "frame " << i;
    }
}

// Recomputes the CRC of every frame of a layer I stream from its header and
// the allocation fields it holds (both channels below the bound, one above).
void CheckLayerOneCrc(const std::string& stream, const std::vector<FrameHeaderInfo>& frames) {
    for (const FrameHeaderInfo& f : frames) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(stream.data() + f.offset);
        const int channels = f.mode == kModeSingleChannel ? 1 : 2;
        const int bound = f.mode == kModeJointStereo ? 4 * (f.modeExtension + 1) : 32;
        const int allocationBits = 4 * (bound * channels + (32 - bound));
        AudioCrc crc;
        crc.AddBits(bytes, 16, 16);
        crc.AddBits(bytes, 48, allocationBits);
        ASSERT_EQ(crc.Value(), (bytes[4] << 8) | bytes[5]) << "frame at " << f.offset;
    }
}

TEST(AudioDecodeTest, EveryLayerModeModelRateAndBitrateDecodes) {
    test::TempDir folder("zarvo audio matrix");
    for (int layer : {1, 2}) {
        for (int rate : {32000, 44100, 48000}) {
            const test::Pcm stereo = MakeSignal(rate, 2, 0.3);
            std::vector<std::string> plain, crcChecked;
            for (int mode = 0; mode < 4; ++mode) {
                for (int index = 1; index <= 14; ++index) {
                    if (!IsBitrateAllowed(layer, mode, index)) continue;
                    for (int model : {1, 2}) {
                        const int crc = (index + model) % 2;
                        const std::string path =
                            folder /
                            ("L" + std::to_string(layer) + " m" + std::to_string(mode) + " b" +
                             std::to_string(index) + " p" + std::to_string(model) + ".mp2");
                        const AudioEncodeResult result =
                            EncodePcm(AudioSettings(layer, mode, index, model, crc), stereo, path);
                        if (layer == 1 && index == 1 && rate != 32000 &&
                            (mode == kModeStereo || mode == kModeDualChannel)) {
                            // 256 bits of allocation do not fit 8 or 9 slots.
                            EXPECT_EQ(result.status.code, StatusCode::kFailed);
                            continue;
                        }
                        ASSERT_EQ(result.status.code, StatusCode::kOk)
                            << path << result.status.message;
                        const std::string bytes = test::ReadFile(path);
                        bool complete = false;
                        const auto frames = ReadFrames(bytes, &complete);
                        ASSERT_TRUE(complete) << path;
                        ASSERT_EQ(frames.size(), size_t(result.frames)) << path;
                        CheckFrameLengths(frames, layer, rate, index);
                        if (crc && !FfmpegChecksCrcOf(layer, mode)) CheckLayerOneCrc(bytes, frames);
                        (crc && FfmpegChecksCrcOf(layer, mode) ? crcChecked : plain)
                            .push_back(path);
                    }
                }
            }
            EXPECT_EQ(DecodeAll(plain, false), "") << "layer " << layer << " rate " << rate;
            EXPECT_EQ(DecodeAll(crcChecked, true), "") << "layer " << layer << " rate " << rate;
        }
    }
}

TEST(AudioDecodeTest, DecoderCatchesADamagedCheckWord) {
    test::TempDir folder("zarvo audio crc");
    const test::Pcm pcm = MakeSignal(44100, 2, 0.3);
    const std::string path = folder / "protected.mp2";
    ASSERT_EQ(EncodePcm(AudioSettings(2, 1, 8, 2, 1), pcm, path).status.code, StatusCode::kOk);
    EXPECT_EQ(DecodeAll({path}, true), "");
    std::string bytes = test::ReadFile(path);
    bytes[6] ^= 0x40;  // a bit of the first frame's allocation
    test::WriteFile(path, bytes);
    EXPECT_NE(DecodeAll({path}, true).find("CRC mismatch"), std::string::npos);
}

// 1152 / 44.1 * 224 / 8 = 731.43 slots: frames of 731 and 732 bytes, three
// in seven padded; at 48 kHz exactly 672 bytes.
TEST(AudioDecodeTest, PaddingKeepsTheBitrate) {
    test::TempDir folder("zarvo audio padding");
    const std::string path = folder / "padded.mp2";
    // Seventy frames once the filter bank's 481 samples of delay are coded.
    ASSERT_EQ(EncodePcm(AudioSettings(2, 0, 11, 2),
                        MakeSignal(44100, 2, (70 * 1152 - 481) / 44100.0), path)
                  .status.code,
              StatusCode::kOk);
    bool complete = false;
    auto frames = ReadFrames(test::ReadFile(path), &complete);
    ASSERT_EQ(frames.size(), 70u);
    int padded = 0;
    for (const FrameHeaderInfo& f : frames) {
        EXPECT_EQ(f.length, f.padded ? 732u : 731u);
        padded += f.padded;
    }
    EXPECT_EQ(padded, 30);

    ASSERT_EQ(EncodePcm(AudioSettings(2, 0, 11, 2), MakeSignal(48000, 2, 0.5), path).status.code,
              StatusCode::kOk);
    frames = ReadFrames(test::ReadFile(path), &complete);
    ASSERT_FALSE(frames.empty());
    for (const FrameHeaderInfo& f : frames) {
        EXPECT_EQ(f.length, 672u);
        EXPECT_FALSE(f.padded);
    }
    EXPECT_EQ(DecodeAll({path}, false), "");
}

struct QualityCase {
    int layer;
    int rate;
    int bitrateIndex;
    double minSnrDb;
};

// Each layer II allocation table (and layer I) round trip through ffmpeg:
// a wrong class or field width in a table would ruin the decoded signal.
TEST(AudioDecodeTest, DecodedSignalFollowsTheInput) {
    test::TempDir folder("zarvo audio quality");
    for (const QualityCase& c : {QualityCase{2, 48000, 8, 25},   // 27 subbands, 64 kbit/s each
                                 QualityCase{2, 44100, 11, 30},  // 30 subbands
                                 QualityCase{2, 44100, 4, 15},   // 8 subbands, 32 kbit/s each
                                 QualityCase{2, 32000, 4, 15},   // 12 subbands
                                 QualityCase{1, 44100, 12, 30}, QualityCase{1, 32000, 4, 15}}) {
        for (int model : {1, 2}) {
            const test::Pcm pcm = MakeSignal(c.rate, 2, 0.6);
            const std::string path = folder / "quality.mp2";
            ASSERT_EQ(
                EncodePcm(AudioSettings(c.layer, 0, c.bitrateIndex, model), pcm, path).status.code,
                StatusCode::kOk);
            std::string errors;
            const test::Pcm decoded = test::DecodeWithFfmpeg(path, 2, &errors);
            EXPECT_EQ(errors, "");
            const test::AlignedSnr snr = test::CompareAligned(pcm, decoded, 1000);
            EXPECT_EQ(snr.delay, 481);
            EXPECT_GT(snr.snrDb, c.minSnrDb) << "layer " << c.layer << " rate " << c.rate
                                             << " index " << c.bitrateIndex << " model " << model;
        }
    }
}

// The filter banks of coder and decoder together hold back 481 samples: the
// coder goes on past the end of its input until those are coded too, so
// that the decoded stream ends with the input's last samples, not before.
TEST(AudioDecodeTest, TheLastSamplesOfTheInputAreCoded) {
    constexpr size_t kDelay = 481;
    constexpr size_t kTail = 2000;
    test::TempDir folder("zarvo audio end");
    const test::Pcm second = MakeSignal(44100, 2, 1.0);
    for (int layer : {1, 2}) {
        // One second, and lengths that end on a frame boundary or just past it.
        for (size_t frames :
             {size_t{44100}, size_t{38 * 1152}, size_t{38 * 1152 + 1}, size_t{100 * 384 + 383}}) {
            SCOPED_TRACE("layer " + std::to_string(layer) + ", " + std::to_string(frames) +
                         " samples");
            test::Pcm input = second;
            input.samples.resize(frames * 2);
            const std::string path = folder / "end.mp2";
            ASSERT_EQ(EncodePcm(AudioSettings(layer, 0, layer == 1 ? 12 : 11, 2), input, path)
                          .status.code,
                      StatusCode::kOk);
            std::string errors;
            const test::Pcm decoded = test::DecodeWithFfmpeg(path, 2, &errors);
            EXPECT_EQ(errors, "");
            ASSERT_GE(decoded.Frames(), frames + kDelay);
            // At most one frame of silence follows what the input needs.
            EXPECT_LT(decoded.Frames(), frames + kDelay + (layer == 1 ? 384 : 1152));
            test::Pcm inputTail = input;
            inputTail.samples.assign(input.samples.end() - 2 * kTail, input.samples.end());
            test::Pcm decodedTail = decoded;
            const auto tailStart = decoded.samples.begin() + 2 * (frames + kDelay - kTail);
            decodedTail.samples.assign(tailStart, tailStart + 2 * kTail);
            EXPECT_GT(test::CompareAligned(inputTail, decodedTail, 0).snrDb, 20);
        }
    }
}

TEST(AudioDecodeTest, ChannelsFollowTheMode) {
    test::TempDir folder("zarvo audio channels");
    const std::string path = folder / "channels.mp2";
    // A stereo source coded as one channel carries the average of both.
    const test::Pcm stereo = MakeSignal(48000, 2, 0.5);
    ASSERT_EQ(EncodePcm(AudioSettings(2, 3, 10, 2), stereo, path).status.code, StatusCode::kOk);
    test::Pcm average = stereo;
    average.channels = 1;
    average.samples.resize(stereo.Frames());
    for (size_t i = 0; i < stereo.Frames(); ++i) {
        average.samples[i] =
            static_cast<int16_t>((stereo.samples[2 * i] + stereo.samples[2 * i + 1]) / 2);
    }
    std::string errors;
    EXPECT_GT(test::CompareAligned(average, test::DecodeWithFfmpeg(path, 1, &errors), 1000).snrDb,
              20);
    EXPECT_EQ(errors, "");

    // A mono source in a stereo stream plays in both channels.
    const test::Pcm mono = MakeSignal(48000, 1, 0.5);
    ASSERT_EQ(EncodePcm(AudioSettings(2, 0, 11, 2), mono, path).status.code, StatusCode::kOk);
    const test::Pcm decoded = test::DecodeWithFfmpeg(path, 2, &errors);
    EXPECT_EQ(errors, "");
    test::Pcm both = mono;
    both.channels = 2;
    both.samples.clear();
    for (int16_t s : mono.samples) both.samples.insert(both.samples.end(), {s, s});
    EXPECT_GT(test::CompareAligned(both, decoded, 1000).snrDb, 25);
}

// At a low bitrate a wide stereo signal does not fit two separate channels:
// frames share the upper subbands from a bound on, and still decode.
TEST(AudioDecodeTest, JointStereoSharesTheUpperSubbands) {
    test::TempDir folder("zarvo audio joint");
    for (int layer : {1, 2}) {
        const test::Pcm pcm = MakeSignal(44100, 2, 0.6);
        const std::string path = folder / "joint.mp2";
        ASSERT_EQ(
            EncodePcm(AudioSettings(layer, 1, layer == 1 ? 4 : 6, 2, 1), pcm, path).status.code,
            StatusCode::kOk);
        bool complete = false;
        const auto frames = ReadFrames(test::ReadFile(path), &complete);
        int joint = 0;
        for (const FrameHeaderInfo& f : frames) {
            EXPECT_TRUE(f.mode == kModeJointStereo || f.mode == kModeStereo);
            joint += f.mode == kModeJointStereo;
        }
        EXPECT_GT(joint, int(frames.size()) / 2) << "layer " << layer;
        EXPECT_EQ(DecodeAll({path}, layer == 2), "");
        std::string errors;
        EXPECT_GT(test::CompareAligned(pcm, test::DecodeWithFfmpeg(path, 2, &errors), 1000).snrDb,
                  5);
        EXPECT_EQ(errors, "");
    }
}

}  // namespace
