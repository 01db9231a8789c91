// zarvo-mpegenc --input: real files of every kind the readers take (an MP4
// of H.264 and AAC, an AVI of MJPEG and PCM, a RealMedia file of RV20 and
// AC-3, a video without sound) through the library's whole encode, for
// every target kind and TV system. Each clip shows one white picture with a
// tone burst starting at the same moment; the program stream must decode
// without a word, carry its sound at the disc's rate, pass the disc's
// authoring tool, last as long as its source and keep flash and beep within
// 40 ms of each other.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tests/korvan/driver/driver_media.h"
#include "tests/korvan/mux/mux_media.h"
#include "tests/support/av_sync.h"
#include "tests/support/temp_dir.h"

namespace {

using korvan::TvSystem;

const std::string kTool = std::string(ZARVO_PROGRAM_FOLDER) + "zarvo-mpegenc";

enum class SourceKind { kMp4, kAvi, kRealMedia, kSilentMp4 };

struct InputCase {
    const char* target;  // zarvo-mpegenc's --target
    bool pal;
    SourceKind source;
    int width;
    int height;
    const char* disc;  // "dvd", "vcd2", "svcd", or "" for a plain program stream
};

std::string NameOf(const testing::TestParamInfo<InputCase>& info) {
    const char* sources[] = {"Mp4", "Avi", "RealMedia", "SilentMp4"};
    return std::string(info.param.target) + (info.param.pal ? "Pal" : "Ntsc") +
           sources[static_cast<int>(info.param.source)];
}

constexpr double kClipSeconds = 1.6;
constexpr int kFlashPicture = 20;

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The clip at the TV system's rate: dark moving pictures (enough to fill a
// SuperVCD's shortest track) but one white, and silence but a 0.2 s tone
// from that picture on.
void MakeSource(const InputCase& c, const std::string& path) {
    std::string codecs;
    switch (c.source) {
        case SourceKind::kMp4:
            codecs = "-ac 2 -c:v libx264 -pix_fmt yuv420p -c:a aac";
            break;
        case SourceKind::kAvi:
            codecs = "-ac 2 -c:v mjpeg -pix_fmt yuvj420p -c:a pcm_s16le";
            break;
        case SourceKind::kRealMedia:
            codecs = "-ac 2 -c:v rv20 -c:a ac3 -f rm";
            break;
        case SourceKind::kSilentMp4:
            codecs = "-c:v libx264 -pix_fmt yuv420p";
            break;
    }
    ASSERT_TRUE(test::MakeFlashAndBeepClip(path, kClipSeconds, kFlashPicture, codecs,
                                           std::to_string(c.width) + "x" + std::to_string(c.height),
                                           c.pal ? "25" : "30000/1001",
                                           c.source != SourceKind::kSilentMp4));
}

std::string AudioSampleRate(const std::string& path) {
    const test::ToolRun run =
        test::RunInstalled("ffprobe", {"-v", "error", "-select_streams", "a", "-show_entries",
                                       "stream=sample_rate", "-of", "csv=p=0", path});
    std::string rate = run.out;
    while (!rate.empty() && (rate.back() == '\n' || rate.back() == '\r')) rate.pop_back();
    return rate;
}

class InputModeTest : public testing::TestWithParam<InputCase> {
protected:
    test::TempDir folder_{"input mode ünï"};
};

TEST_P(InputModeTest, ARealFileBecomesAProgramStreamTheDiscToolsTakeWithSoundInStep) {
    const InputCase& c = GetParam();
    const char* extensions[] = {".mp4", ".avi", ".rm", ".mp4"};
    const std::string input =
        folder_ / ("source clip" + std::string(extensions[static_cast<int>(c.source)]));
    ASSERT_NO_FATAL_FAILURE(MakeSource(c, input));
    const std::string program = folder_ / "out put.mpg";
    std::vector<std::string> arguments = {"--target", c.target, "--input", input, "-o", program};
    if (!c.pal) arguments.push_back("--ntsc");
    const test::ToolRun run = test::RunInstalled(kTool, arguments);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    // The progress of each step, then the result's name.
    EXPECT_NE(run.out.find("Video: 100% - frame "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n" + program + "\n"), std::string::npos) << run.out;
    ASSERT_TRUE(IsFile(program));

    EXPECT_EQ(test::DecodeErrors(program), "");
    const bool sound = c.source != SourceKind::kSilentMp4;
    const std::string disc = c.disc;
    if (sound) {
        EXPECT_EQ(AudioSampleRate(program), disc == "dvd" ? "48000" : "44100");
    } else {
        EXPECT_EQ(AudioSampleRate(program), "");
    }
    const double pictureRate = c.pal ? 25 : 30000.0 / 1001;
    int videoStreams = 0;
    for (const test::ProbedStream& stream : test::ProbeStreams(program)) {
        if (stream.codec.rfind("mpeg", 0) != 0) continue;
        ++videoStreams;
        EXPECT_NEAR(stream.frames, std::round(kClipSeconds * pictureRate), 1);
    }
    EXPECT_EQ(videoStreams, 1);

    if (disc == "dvd") {
        const test::DvdAuthoring dvd =
            test::AuthorDvd(program, folder_ / "dvd", c.pal ? TvSystem::kPal : TvSystem::kNtsc);
        EXPECT_EQ(dvd.complaints, "");
        EXPECT_NEAR(dvd.titleSeconds, kClipSeconds, 1.0);
    } else if (!disc.empty()) {
        EXPECT_EQ(test::VcdImagerComplaints(program, folder_ / "vcd", disc), "");
    }

    const std::vector<double> luma = test::DecodedLumaMeans(program, folder_ / "luma.raw");
    int flash = -1;
    for (size_t i = 0; i < luma.size() && flash < 0; ++i) {
        if (luma[i] > 128) flash = static_cast<int>(i);
    }
    ASSERT_EQ(flash, kFlashPicture);
    if (!sound) return;
    constexpr int kRate = 48000;
    const std::vector<int16_t> decoded = test::DecodedSound(program, kRate, folder_ / "sound.raw");
    size_t beep = 0;
    while (beep < decoded.size() && std::abs(decoded[beep]) < 3000) ++beep;
    ASSERT_LT(beep, decoded.size());
    const test::StreamStarts starts = test::ProbeStreamStarts(program);
    const double flashAt = starts.video + flash / pictureRate;
    const double beepAt = starts.audio + static_cast<double>(beep) / kRate;
    EXPECT_LT(std::fabs(beepAt - flashAt), 0.040) << "flash " << flashAt << " s, beep " << beepAt;
}

// Every target kind in both TV systems, each source kind several times.
INSTANTIATE_TEST_SUITE_P(
    Inputs, InputModeTest,
    testing::Values(InputCase{"mpeg1", true, SourceKind::kMp4, 320, 240, ""},
                    InputCase{"mpeg1", false, SourceKind::kAvi, 320, 240, ""},
                    InputCase{"mpeg2", true, SourceKind::kRealMedia, 320, 240, ""},
                    InputCase{"mpeg2", false, SourceKind::kSilentMp4, 320, 240, ""},
                    InputCase{"dvd", true, SourceKind::kSilentMp4, 720, 576, "dvd"},
                    InputCase{"dvd", false, SourceKind::kMp4, 720, 480, "dvd"},
                    InputCase{"vcd", true, SourceKind::kRealMedia, 352, 288, "vcd2"},
                    InputCase{"vcd", false, SourceKind::kAvi, 352, 240, "vcd2"},
                    InputCase{"svcd", true, SourceKind::kAvi, 480, 576, "svcd"},
                    InputCase{"svcd", false, SourceKind::kMp4, 480, 480, "svcd"}),
    NameOf);

// The AVI form and a duration limit from the command line, and a file the
// readers cannot decode.
TEST(InputModeOptionsTest, AviOutputDurationLimitAndAnUndecodableInput) {
    test::TempDir folder("input mode options");
    const std::string input = folder / "clip.mp4";
    const test::ToolRun made =
        test::RunInstalled("ffmpeg", {"-nostdin", "-v",
                                      "error",    "-y",
                                      "-f",       "lavfi",
                                      "-i",       "testsrc2=size=176x144:rate=25",
                                      "-f",       "lavfi",
                                      "-i",       "sine=frequency=440",
                                      "-t",       std::to_string(kClipSeconds),
                                      "-c:v",     "libx264",
                                      "-pix_fmt", "yuv420p",
                                      "-c:a",     "aac",
                                      input});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    const std::string avi = folder / "clip out.avi";
    test::ToolRun run =
        test::RunInstalled(kTool, {"--target", "mpeg1", "--input", input, "--avi", avi});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(test::DecodeErrors(avi), "");
    int pictures = 0;
    for (const test::ProbedStream& stream : test::ProbeStreams(avi)) {
        if (stream.codec.rfind("pcm_", 0) != 0) pictures = static_cast<int>(stream.frames);
    }
    EXPECT_EQ(pictures, 40);

    const std::string program = folder / "first second.mpg";
    run = test::RunInstalled(
        kTool, {"--target", "mpeg1", "--input", input, "-o", program, "--duration-limit", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("limit reached after 25 source pictures"), std::string::npos) << run.out;
    EXPECT_EQ(test::DecodeErrors(program), "");
    for (const test::ProbedStream& stream : test::ProbeStreams(program)) {
        if (stream.codec.rfind("mpeg", 0) == 0) {
            EXPECT_NEAR(stream.frames, 25, 0.5);
        }
    }

    const std::string garbage = folder / "not a video.mp4";
    const test::ToolRun written =
        test::RunInstalled("sh", {"-c", "head -c 5000 /dev/urandom > \"$0\"", garbage});
    ASSERT_EQ(written.exitCode, 0);
    const std::string nothing = folder / "nothing.mpg";
    run = test::RunInstalled(kTool, {"--target", "dvd", "--input", garbage, "-o", nothing});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE(run.err, "");
    EXPECT_FALSE(IsFile(nothing));
}

// Sources larger than the target's frame: each becomes the target's frame
// size (for the TV system of its rate), its picture at its own display
// shape, the pels' shape honoured, black filling the rest.
TEST(InputModeShapeTest, ALargerSourceIsFittedIntoTheTargetsFrameAtItsDisplayShape) {
    struct ShapeCase {
        const char* target;
        const char* size;
        const char* pelShape;  // setsar's ratio
        const char* rate;
        double displayShape;
        int width;  // of the target's frame
        int height;
    };
    const ShapeCase cases[] = {
        {"vcd", "720x576", "1", "25", 720.0 / 576, 352, 288},
        {"svcd", "1280x720", "1", "30000/1001", 16.0 / 9, 480, 480},
        {"dvd", "720x576", "64/45", "25", 16.0 / 9, 720, 576},
    };
    test::TempDir folder("input mode shape ünï");
    for (const ShapeCase& c : cases) {
        SCOPED_TRACE(std::string(c.target) + " " + c.size + " sar " + c.pelShape);
        const std::string input = folder / (std::string(c.size) + " source.mp4");
        const test::ToolRun made = test::RunInstalled(
            "ffmpeg",
            {"-nostdin",
             "-v",
             "error",
             "-y",
             "-f",
             "lavfi",
             "-i",
             std::string("testsrc2=size=") + c.size + ":rate=" + c.rate + ",setsar=" + c.pelShape,
             "-f",
             "lavfi",
             "-i",
             "sine=frequency=440",
             "-t",
             "1.2",
             "-c:v",
             "libx264",
             "-pix_fmt",
             "yuv420p",
             "-c:a",
             "aac",
             input});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        const std::string program = folder / (std::string(c.target) + " out.mpg");
        const test::ToolRun run =
            test::RunInstalled(kTool, {"--target", c.target, "--input", input, "-o", program});
        ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_EQ(test::DecodeErrors(program), "");

        const test::ToolRun probe = test::RunInstalled(
            "ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                        "stream=width,height,sample_aspect_ratio", "-of", "csv=p=0", program});
        int width = 0;
        int height = 0;
        int sarNum = 0;
        int sarDen = 0;
        ASSERT_EQ(std::sscanf(probe.out.c_str(), "%d,%d,%d:%d", &width, &height, &sarNum, &sarDen),
                  4)
            << probe.out;
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);

        // The picture's non-black area in a middle picture.
        const test::ToolRun crop = test::RunInstalled(
            "ffmpeg", {"-nostdin", "-ss", "0.6", "-i", program, "-vf",
                       "cropdetect=limit=24:round=2:reset=0", "-frames:v", "3", "-f", "null", "-"});
        const std::size_t at = crop.err.rfind("crop=");
        ASSERT_NE(at, std::string::npos) << crop.err;
        int cropWidth = 0;
        int cropHeight = 0;
        ASSERT_EQ(std::sscanf(crop.err.c_str() + at, "crop=%d:%d", &cropWidth, &cropHeight), 2);
        ASSERT_GT(cropHeight, 0);
        const double shape = cropWidth * static_cast<double>(sarNum) / sarDen / cropHeight;
        EXPECT_NEAR(shape / c.displayShape, 1, 0.05)
            << cropWidth << "x" << cropHeight << " of pels " << sarNum << ":" << sarDen;
    }
}

}  // namespace

// The whole path gives the same program stream whatever the thread count
// (of the video coder and of the input's H.264 decoder: one thread, then
// three frame threads) and whichever kernels the processor mode picks (the
// plain ones forced through the per-user profile), for both chroma filters:
// the width leaves a tail the SIMD colour kernels hand to the plain ones.
TEST(InputModeOptionsTest, TheProgramStreamIsTheSameForEveryThreadCountAndProcessorMode) {
    test::TempDir folder("input mode threads");
    const std::string input = folder / "clip.mp4";
    const test::ToolRun made = test::RunInstalled(
        "ffmpeg",
        {"-nostdin", "-v",      "error", "-y",
         "-f",       "lavfi",   "-i",    "testsrc2=size=190x110:rate=25,noise=alls=20:allf=t",
         "-f",       "lavfi",   "-i",    "sine=frequency=440",
         "-t",       "1.2",     "-c:v",  "libx264",
         "-pix_fmt", "yuv420p", "-c:a",  "aac",
         input});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    ASSERT_EQ(std::system(("mkdir -p '" + folder / "plain/zarvo" + "'").c_str()), 0);
    test::WriteFile(folder / "plain/zarvo/win.ini",
                    "[Zarvo - AVI/DVD/VCD/SVCD/MPEG Converter]\nMMXMode=0\n");
    for (const char* target : {"mpeg2", "mpeg1"}) {
        SCOPED_TRACE(target);
        std::string first;
        for (const char* threads : {"1", "3"}) {
            const std::string program = folder / (std::string("out ") + threads + ".mpg");
            const test::ToolRun run = test::RunInstalled(
                kTool, {"--target", target, "--input", input, "-o", program, "--threads", threads});
            ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
            const std::string stream = test::ReadFile(program);
            ASSERT_GT(stream.size(), 10000u);
            if (first.empty()) {
                first = stream;
            } else {
                EXPECT_TRUE(stream == first) << threads << " threads";
            }
        }
        const std::string plain = folder / "plain.mpg";
        const std::string command = "XDG_CONFIG_HOME='" + folder / "plain" + "' " + kTool +
                                    " --target " + target + " --input '" + input + "' -o '" +
                                    plain + "' --threads 2 >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        EXPECT_TRUE(test::ReadFile(plain) == first) << "plain kernels";
        EXPECT_EQ(test::DecodeErrors(plain), "");
    }
}

// With more than one thread the sound is coded on a thread of its own while
// the pictures are, from a second reader of the source. A sound of distinct
// tones (a new pitch every quarter second in each channel, read in chunks
// of 2.5 s) cut by a duration limit in the middle of a chunk: the audio
// stream is the one coded in turn on one thread, byte for byte, and ends
// with the pictures, at the disc's rate and at the source's own.
TEST(InputModeOptionsTest, SoundCodedAlongsideThePicturesEndsWithThemAtALimit) {
    test::TempDir folder("input mode sound alongside");
    const std::string input = folder / "tones.mp4";
    const test::ToolRun made = test::RunInstalled(
        "sh", {"-c",
               "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=176x144:rate=25 -f lavfi -i "
               "'aevalsrc=0.5*sin(2*PI*(300+40*floor(4*t))*t)|"
               "0.4*sin(2*PI*(2000-60*floor(4*t))*t):s=44100' "
               "-t 9 -c:v libx264 -pix_fmt yuv420p -c:a aac \"$0\"",
               input});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    constexpr int kPictures = 158;  // the first picture at or past 6.3 s ends the output
    for (const auto& [target, rateHz] : {std::pair{"mpeg1", 44100}, std::pair{"dvd", 48000}}) {
        SCOPED_TRACE(target);
        std::string soundInTurn;
        std::string programInTurn;
        for (const char* threads : {"1", "3"}) {
            SCOPED_TRACE(threads);
            const std::string program = folder / (std::string(target) + " " + threads + ".mpg");
            const test::ToolRun run =
                test::RunInstalled(kTool, {"--target", target, "--input", input, "-o", program,
                                           "--threads", threads, "--duration-limit", "6.3"});
            ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
            ASSERT_NE(run.out.find("limit reached after 158 source pictures"), std::string::npos)
                << run.out;
            // Step 2's lines still come after step 1's, counting the sound
            // of the pictures coded.
            const size_t videoDone = run.out.find("Video: 100% - frame 158 of 158.");
            const size_t audioDone =
                run.out.find("Step 2 of 2: Audio: 100% - sample 278712 of 278712.");
            ASSERT_NE(videoDone, std::string::npos) << run.out;
            EXPECT_NE(audioDone, std::string::npos) << run.out;
            EXPECT_GT(audioDone, videoDone) << run.out;

            // The presets keep the elementary streams.
            const std::string soundPath = program.substr(0, program.size() - 4) + ".mp2";
            const std::string sound = test::ReadFile(soundPath);
            EXPECT_EQ(test::DecodeErrors(soundPath), "");
            const std::vector<test::ProbedStream> streams = test::ProbeStreams(soundPath);
            ASSERT_EQ(streams.size(), 1u);
            const double frameSeconds = 1152.0 / rateHz;
            const double soundSeconds = streams[0].frames * frameSeconds;
            const double pictureSeconds = kPictures / 25.0;
            // Within a frame of the pictures; the coder runs on past the
            // sound until its filter banks' delay is out.
            EXPECT_GE(soundSeconds, pictureSeconds - frameSeconds) << streams[0].frames;
            EXPECT_LE(soundSeconds, pictureSeconds + frameSeconds + 481.0 / rateHz)
                << streams[0].frames;
            if (soundInTurn.empty()) {
                soundInTurn = sound;
                programInTurn = test::ReadFile(program);
            } else {
                EXPECT_TRUE(sound == soundInTurn);
                EXPECT_TRUE(test::ReadFile(program) == programInTurn);
            }
        }
    }
}
