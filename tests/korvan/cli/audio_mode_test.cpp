// zarvo-mpegenc --audio: WAV files made by sox, streams checked by ffmpeg.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/program_lookup.h"
#include "tests/korvan/audio/audio_test_support.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kTool = std::string(ZARVO_PROGRAM_FOLDER) + "zarvo-mpegenc";

test::ProgramRun RunTool(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), kTool);
    return test::RunProgram(arguments);
}

// A second of two tones from sox; `format` holds sox's output options.
void MakeWav(const std::string& path, const std::vector<std::string>& format) {
    std::vector<std::string> args = {platform::FindProgram("sox", ""), "-n"};
    args.insert(args.end(), format.begin(), format.end());
    args.insert(args.end(), {path, "synth", "1", "sine", "440", "sine", "1000"});
    const test::ProgramRun run = test::RunProgram(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

std::string DecodeErrors(const std::string& stream) {
    const test::ProgramRun run = test::RunProgram({platform::FindProgram("ffmpeg", ""), "-nostdin",
                                                   "-v", "error", "-i", stream, "-f", "null", "-"});
    return run.exitCode == 0 ? run.err : "ffmpeg failed: " + run.err;
}

std::vector<audiotest::FrameHeaderInfo> Frames(const std::string& path) {
    bool complete = false;
    auto frames = audiotest::ReadFrames(test::ReadFile(path), &complete);
    EXPECT_TRUE(complete) << path;
    return frames;
}

TEST(AudioModeTest, CodesAStereoWavWithThePreset) {
    test::TempDir folder("mpegenc audio ünï");
    const std::string wav = folder / "in put.wav";
    const std::string stream = folder / "out put.mp2";
    MakeWav(wav, {"-r", "48000", "-c", "2", "-b", "16"});
    const test::ProgramRun run = RunTool({"--target", "dvd", "--audio", wav, "--audio-es", stream});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(DecodeErrors(stream), "");
    const auto frames = Frames(stream);
    // 48 000 samples and the filter banks' 481 in frames of 1152.
    ASSERT_EQ(frames.size(), 43u);
    for (const auto& f : frames) {
        EXPECT_EQ(f.layer, 2);
        EXPECT_EQ(f.bitrateIndex, 11);
        EXPECT_EQ(f.mode, 0);
        EXPECT_EQ(f.length, 672u);
    }
}

TEST(AudioModeTest, MonoWavGivesSingleChannelBesideTheInput) {
    test::TempDir folder("mpegenc audio mono");
    const std::string wav = folder / "voice.wav";
    MakeWav(wav, {"-r", "44100", "-c", "1", "-b", "16"});
    const test::ProgramRun run = RunTool({"--target", "mpeg1", "--audio", wav});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string stream = folder / "voice.mp2";
    EXPECT_EQ(DecodeErrors(stream), "");
    const auto frames = Frames(stream);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames[0].mode, 3);
    EXPECT_EQ(frames[0].bitrateIndex, 10);  // a single channel carries at most 192 kbit/s
}

TEST(AudioModeTest, SettingsFileChoosesLayerModeAndCrc) {
    test::TempDir folder("mpegenc audio settings");
    const std::string wav = folder / "in.wav";
    const std::string ini = folder / "layer one.ini";
    const std::string stream = folder / "out.mp1";
    MakeWav(wav, {"-r", "32000", "-c", "2", "-b", "16"});
    test::WriteFile(ini,
                    "[audio]\naudioLayer=1\naudioMode=1\naudioBitrate=4\nerrorProtection=1\n"
                    "psychModel=1\ncopyrightBit=1\n");
    const test::ProgramRun run =
        RunTool({"--target", "vcd", "--settings", ini, "--audio", wav, "--audio-es", stream});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(DecodeErrors(stream), "");
    const auto frames = Frames(stream);
    ASSERT_FALSE(frames.empty());
    for (const auto& f : frames) {
        EXPECT_EQ(f.layer, 1);
        EXPECT_EQ(f.bitrateIndex, 4);
        EXPECT_TRUE(f.protectedByCrc);
        EXPECT_EQ(f.copyrightBit, 1);
        EXPECT_TRUE(f.mode == 0 || f.mode == 1);
    }
}

// Builds a WAV file by hand: a format chunk with `tag` (and, when
// extensible, the sub-format `subTag`), then `dataBytes` of silence while
// the data chunk claims `claimedBytes`.
std::string HandMadeWav(int tag, int subTag, int channels, int bits, uint32_t claimedBytes,
                        uint32_t dataBytes) {
    auto le16 = [](std::string& s, uint32_t v) {
        s += char(v & 0xFF);
        s += char(v >> 8 & 0xFF);
    };
    auto le32 = [&](std::string& s, uint32_t v) {
        le16(s, v & 0xFFFF);
        le16(s, v >> 16);
    };
    std::string fmt;
    le16(fmt, tag);
    le16(fmt, channels);
    le32(fmt, 44100);
    le32(fmt, 44100 * channels * bits / 8);
    le16(fmt, channels * bits / 8);
    le16(fmt, bits);
    if (tag == 0xFFFE) {
        le16(fmt, 22);
        le16(fmt, bits);
        le32(fmt, channels == 2 ? 3 : 4);
        le16(fmt, subTag);
        fmt += std::string("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    std::string wav = "RIFF";
    le32(wav, 0);
    wav += "WAVE";
    wav += "LIST";
    le32(wav, 3);
    wav += std::string("abc\0", 4);  // an odd chunk and its pad byte
    wav += "fmt ";
    le32(wav, static_cast<uint32_t>(fmt.size()));
    wav += fmt;
    wav += "data";
    le32(wav, claimedBytes);
    wav += std::string(dataBytes, '\0');
    return wav;
}

TEST(AudioModeTest, ReadsExtensibleAndTruncatedWavs) {
    test::TempDir folder("mpegenc audio hand made");
    const std::string wav = folder / "hand.wav";
    const std::string stream = folder / "hand.mp2";
    // 2304 samples per channel: two frames, and one more for the filter
    // banks' delay; the data chunk claims more than the file holds, as
    // streamed WAV files do.
    test::WriteFile(wav, HandMadeWav(0xFFFE, 1, 2, 16, 0xFFFFFFFF, 2304 * 4));
    const test::ProgramRun run =
        RunTool({"--target", "mpeg1", "--audio", wav, "--audio-es", stream});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Frames(stream).size(), 3u);
}

TEST(AudioModeTest, OtherWavFormatsGetOneLineAndExitTwo) {
    test::TempDir folder("mpegenc audio refused");
    struct Case {
        std::string name;
        std::string expected;  // after "zarvo-mpegenc: "
    };
    MakeWav(folder / "24bit.wav", {"-r", "48000", "-c", "2", "-b", "24"});
    MakeWav(folder / "float.wav", {"-r", "48000", "-c", "2", "-e", "floating-point", "-b", "32"});
    MakeWav(folder / "six.wav", {"-r", "48000", "-c", "6", "-b", "16"});
    test::WriteFile(folder / "text.wav", "not a sound at all");
    test::WriteFile(folder / "alaw.wav", HandMadeWav(6, 0, 1, 8, 100, 100));
    test::WriteFile(folder / "ext24.wav", HandMadeWav(0xFFFE, 1, 2, 24, 600, 600));
    test::WriteFile(folder / "nodata.wav", HandMadeWav(1, 0, 2, 16, 0, 0).substr(0, 48));
    const std::vector<Case> cases = {
        {"24bit.wav", "is not 16-bit PCM WAV (format 1, 24 bits)"},
        {"float.wav", "is not 16-bit PCM WAV (format 3, 32 bits)"},
        {"six.wav", "has 6 channels; 1 or 2 can be coded"},
        {"text.wav", "not a WAV file"},
        {"alaw.wav", "is not 16-bit PCM WAV (format 6, 8 bits)"},
        {"ext24.wav", "is not 16-bit PCM WAV (format 1, 24 bits)"},
        {"nodata.wav", "no WAV data chunk"},
    };
    for (const Case& c : cases) {
        const std::string wav = folder / c.name;
        const test::ProgramRun run =
            RunTool({"--target", "mpeg2", "--audio", wav, "--audio-es", folder / "out.mp2"});
        EXPECT_EQ(run.exitCode, 2) << c.name;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("zarvo-mpegenc: '" + wav + "'", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(c.expected), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    }
    EXPECT_FALSE(test::ReadFile(folder / "out.mp2").size() > 0);
}

TEST(AudioModeTest, RatesAndOutputsTheEncoderRefuses) {
    test::TempDir folder("mpegenc audio failures");
    const std::string wav = folder / "in.wav";
    MakeWav(wav, {"-r", "22050", "-c", "2", "-b", "16"});
    test::ProgramRun run = RunTool({"--target", "dvd", "--audio", wav});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "Audio sample rate must be 32, 44.1 or 48 kHz.\n");

    MakeWav(wav, {"-r", "44100", "-c", "2", "-b", "16"});
    const std::string unwritable = folder / "missing folder/out.mp2";
    run = RunTool({"--target", "dvd", "--audio", wav, "--audio-es", unwritable});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Unable to open file " + unwritable + " for writing.\n");

    run = RunTool({"--target", "dvd", "--audio-es", folder / "out.mp2"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "zarvo-mpegenc: --audio-es needs an input (--audio IN.wav)\n");
}

}  // namespace
