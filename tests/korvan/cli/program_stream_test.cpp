// zarvo-mpegenc --video IN.y4m [--audio IN.wav] -o OUT.mpg: the whole encode
// (video, audio, multiplex) of every target, judged by the real clients:
// ffmpeg decodes it, dvdauthor and lsdvd take the DVD streams, vcdimager the
// VideoCD and SuperVCD ones.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "tests/korvan/mux/mux_media.h"
#include "tests/support/temp_dir.h"

namespace {

using korvan::TvSystem;

const std::string kTool = std::string(ZARVO_PROGRAM_FOLDER) + "zarvo-mpegenc";

test::ToolRun RunEncoder(const std::vector<std::string>& arguments) {
    return test::RunInstalled(kTool, arguments);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Moving test pictures, `frames` of them at the TV system's rate.
void MakePictures(const std::string& path, const std::string& size, TvSystem system, int frames) {
    const std::string rate = system == TvSystem::kPal ? "25" : "30000/1001";
    const test::ToolRun run =
        test::RunInstalled("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                      "testsrc2=size=" + size + ":rate=" + rate, "-frames:v",
                                      std::to_string(frames), path});
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

// A tone in 16-bit PCM.
void MakeSound(const std::string& path, int sampleRateHz, int channels, double seconds) {
    const test::ToolRun run = test::RunInstalled(
        "ffmpeg",
        {"-v", "error", "-y", "-f", "lavfi", "-i",
         "sine=frequency=440:sample_rate=" + std::to_string(sampleRateHz), "-ac",
         std::to_string(channels), "-t", std::to_string(seconds), "-c:a", "pcm_s16le", path});
    ASSERT_EQ(run.exitCode, 0) << run.err;
}

std::vector<std::string> Codecs(const std::string& path) {
    std::vector<std::string> codecs;
    for (const test::ProbedStream& stream : test::ProbeStreams(path))
        codecs.push_back(stream.codec);
    return codecs;
}

// Each target at the smallest picture its disc allows, with the sound rate
// its disc wants.
struct Target {
    const char* name;
    TvSystem system;
    const char* size;
    int sampleRateHz;
    bool mpeg2;
    const char* disc;  // "dvd", vcdimager's "vcd2" or "svcd", or "" for none
};

void PrintTo(const Target& target, std::ostream* out) {
    *out << target.name << (target.system == TvSystem::kPal ? " PAL" : " NTSC");
}

std::string NameOf(const testing::TestParamInfo<Target>& info) {
    return std::string(info.param.name) + (info.param.system == TvSystem::kPal ? "Pal" : "Ntsc");
}

class WholeEncodeTest : public testing::TestWithParam<Target> {};

TEST_P(WholeEncodeTest, TheProgramStreamDecodesAndItsDiscToolTakesIt) {
    const Target& target = GetParam();
    test::TempDir folder(std::string("mpegenc program ") + target.name + " ünï");
    const bool pal = target.system == TvSystem::kPal;
    const bool dvd = std::string(target.disc) == "dvd";
    // A DVD title of two seconds, so that lsdvd's length says something.
    const int seconds = dvd ? 2 : 1;
    const std::string pictures = folder / "in put.y4m";
    const std::string sound = folder / "in put.wav";
    MakePictures(pictures, target.size, target.system, seconds * (pal ? 25 : 30));
    MakeSound(sound, target.sampleRateHz, 2, seconds);

    std::vector<std::string> arguments = {
        "--target", target.name, "--video", pictures,
        "--audio",  sound,       "-o",      folder / "Clip Ünï.MPG"};
    if (!pal) arguments.push_back("--ntsc");
    const test::ToolRun run = RunEncoder(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // The program stream's name is lowered in case (ASCII letters only); the
    // elementary streams, kept by every preset, are named after the name given.
    const std::string program = folder / "clip Ünï.mpg";
    EXPECT_EQ(run.out, program + "\n");
    EXPECT_TRUE(Exists(folder / (target.mpeg2 ? "Clip Ünï.m2v" : "Clip Ünï.m1v")));
    EXPECT_TRUE(Exists(folder / "Clip Ünï.mp2"));

    EXPECT_EQ(test::DecodeErrors(program), "");
    std::vector<std::string> codecs = {target.mpeg2 ? "mpeg2video" : "mpeg1video", "mp2"};
    // Each DVD GOP opens with a navigation pack, which ffprobe lists first.
    if (dvd) codecs.insert(codecs.begin(), "dvd_nav_packet");
    EXPECT_EQ(Codecs(program), codecs);
    if (dvd) {
        const test::DvdAuthoring disc = test::AuthorDvd(program, folder / "dvd", target.system);
        EXPECT_EQ(disc.complaints, "");
        EXPECT_LT(std::fabs(disc.titleSeconds - seconds), 1.0) << disc.titleSeconds;
    } else if (*target.disc) {
        EXPECT_EQ(test::VcdImagerComplaints(program, folder.Folder(), target.disc), "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Presets, WholeEncodeTest,
    testing::Values(Target{"mpeg1", TvSystem::kPal, "352x288", 44100, false, ""},
                    Target{"mpeg1", TvSystem::kNtsc, "352x240", 44100, false, ""},
                    Target{"vcd", TvSystem::kPal, "352x288", 44100, false, "vcd2"},
                    Target{"vcd", TvSystem::kNtsc, "352x240", 44100, false, "vcd2"},
                    Target{"mpeg2", TvSystem::kPal, "352x288", 48000, true, ""},
                    Target{"mpeg2", TvSystem::kNtsc, "352x240", 48000, true, ""},
                    Target{"svcd", TvSystem::kPal, "480x576", 44100, true, "svcd"},
                    Target{"svcd", TvSystem::kNtsc, "480x480", 44100, true, "svcd"},
                    Target{"dvd", TvSystem::kPal, "720x576", 48000, true, "dvd"},
                    Target{"dvd", TvSystem::kNtsc, "720x480", 48000, true, "dvd"}),
    NameOf);

class ProgramStreamTest : public testing::Test {
protected:
    void SetUp() override {
        MakePictures(pictures_, "352x288", TvSystem::kPal, 10);
        MakeSound(sound_, 44100, 1, 0.4);
    }

    test::TempDir folder_{"mpegenc program streams"};
    const std::string pictures_ = folder_ / "pictures.y4m";
    const std::string sound_ = folder_ / "voice.wav";
};

TEST_F(ProgramStreamTest, TheSettingsDecideWhichElementaryStreamsStay) {
    const std::string settings = folder_ / "keep none.ini";
    test::WriteFile(settings, "[iofiles]\nsaveTempVideo=0\nsaveTempAudio=0\n");
    test::ToolRun run = RunEncoder({"--target", "mpeg1", "--settings", settings, "--video",
                                    pictures_, "--audio", sound_, "-o", folder_ / "none.mpg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Exists(folder_ / "none.mpg"));
    EXPECT_FALSE(Exists(folder_ / "none.m1v"));
    EXPECT_FALSE(Exists(folder_ / "none.mp2"));
    EXPECT_EQ(Codecs(folder_ / "none.mpg"), (std::vector<std::string>{"mpeg1video", "mp2"}));

    test::WriteFile(settings, "[iofiles]\nsaveTempVideo=1\nsaveTempAudio=0\n");
    run = RunEncoder({"--target", "mpeg2", "--settings", settings, "--video", pictures_, "--audio",
                      sound_, "-o", folder_ / "video kept.mpg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Exists(folder_ / "video kept.m2v"));
    EXPECT_FALSE(Exists(folder_ / "video kept.mp2"));

    // Streams named on the command line are written there instead.
    run = RunEncoder({"--target", "mpeg2", "--video", pictures_, "--audio", sound_, "--video-es",
                      folder_ / "named.m2v", "--audio-es", folder_ / "named.mp2", "-o",
                      folder_ / "named out.mpg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Exists(folder_ / "named.m2v"));
    EXPECT_TRUE(Exists(folder_ / "named.mp2"));
    EXPECT_FALSE(Exists(folder_ / "named out.m2v"));
    EXPECT_EQ(test::DecodeErrors(folder_ / "named out.mpg"), "");
}

TEST_F(ProgramStreamTest, PicturesAloneSoundAloneAndBothWithoutAProgramStream) {
    test::ToolRun run = RunEncoder({"--target", "mpeg2", "--video", pictures_, "-o",
                                    folder_ / "silent.mpg", "--recon", folder_ / "recon.y4m"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Codecs(folder_ / "silent.mpg"), std::vector<std::string>{"mpeg2video"});
    EXPECT_EQ(test::DecodeErrors(folder_ / "silent.mpg"), "");
    EXPECT_FALSE(Exists(folder_ / "silent.mp2"));
    EXPECT_TRUE(Exists(folder_ / "recon.y4m"));

    run = RunEncoder({"--target", "vcd", "--audio", sound_, "-o", folder_ / "sound.mpg"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, folder_ / "sound.mpg\n");
    EXPECT_EQ(Codecs(folder_ / "sound.mpg"), std::vector<std::string>{"mp2"});
    EXPECT_EQ(test::DecodeErrors(folder_ / "sound.mpg"), "");
    EXPECT_TRUE(Exists(folder_ / "sound.mp2"));
    EXPECT_FALSE(Exists(folder_ / "sound.m1v"));

    // Without -o both elementary streams are written and nothing else; the
    // sound goes beside its input.
    run = RunEncoder({"--target", "mpeg1", "--video", pictures_, "--audio", sound_, "--video-es",
                      folder_ / "both.m1v"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(test::DecodeErrors(folder_ / "both.m1v"), "");
    EXPECT_EQ(test::DecodeErrors(folder_ / "voice.mp2"), "");
    EXPECT_FALSE(Exists(folder_ / "both.mpg"));
}

TEST_F(ProgramStreamTest, WhatCannotBeEncodedIsRefusedBeforeAnythingIsWritten) {
    // The sound is tested before the pictures are coded.
    const std::string lowRate = folder_ / "low rate.wav";
    MakeSound(lowRate, 22050, 2, 0.2);
    test::ToolRun run = RunEncoder(
        {"--target", "dvd", "--video", pictures_, "--audio", lowRate, "-o", folder_ / "a.mpg"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "Audio sample rate must be 32, 44.1 or 48 kHz.\n");
    EXPECT_FALSE(Exists(folder_ / "a.m2v"));

    // A program stream named like its video stream would be written over it.
    run = RunEncoder(
        {"--target", "dvd", "--video", pictures_, "--audio", sound_, "-o", folder_ / "b.m2v"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "The program stream " + folder_ / "b.m2v" +
                           " would overwrite an elementary stream of the same name.\n");
    EXPECT_FALSE(Exists(folder_ / "b.m2v"));
    EXPECT_FALSE(Exists(folder_ / "b.mp2"));

    // An output that is an input, under another spelling of its path.
    const std::string before = test::ReadFile(pictures_);
    run = RunEncoder({"--target", "mpeg1", "--video", pictures_, "--video-es",
                      folder_.Folder() + "./pictures.y4m"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "zarvo-mpegenc: '" + folder_.Folder() +
                           "./pictures.y4m' is an input and cannot be written\n");
    EXPECT_EQ(test::ReadFile(pictures_), before);
    run = RunEncoder(
        {"--target", "mpeg1", "--audio", folder_ / "voice.wav", "-o", folder_ / "VOICE.WAV"});
    EXPECT_EQ(run.exitCode, 2);
    // The program stream would be created under the lower-cased name.
    EXPECT_EQ(run.err,
              "zarvo-mpegenc: '" + folder_ / "voice.wav" + "' is an input and cannot be written\n");
    EXPECT_FALSE(Exists(folder_ / "VOICE.mp2"));
}

TEST_F(ProgramStreamTest, AFailedVideoStepEndsTheEncode) {
    test::WriteFile(folder_ / "empty.y4m", "YUV4MPEG2 W352 H288 F25:1\n");
    const test::ToolRun run = RunEncoder({"--target", "mpeg1", "--video", folder_ / "empty.y4m",
                                          "--audio", sound_, "-o", folder_ / "empty.mpg"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, folder_ / "empty.y4m holds no picture.\n");
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(Exists(folder_ / "empty.mp2"));
    EXPECT_FALSE(Exists(folder_ / "empty.mpg"));
}

}  // namespace
