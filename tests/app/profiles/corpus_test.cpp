// The kinds of file people have (phone videos, camcorder and TV recordings,
// WebM, old phone clips, VideoCD and DVD files), made with ffmpeg, each
// converted with the first profile of every target through the program's
// own conversion, and each result judged by ffprobe and ffmpeg: its length,
// its sound, a clean decode, the shape of its picture and no combing left.
// Each input prints one line per target ("corpus <input> <target>: ok" or
// what went wrong), so that runs can be compared. Label "corpus".
#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <map>
#include <sstream>
#include <vector>

#include "app/profiles/conversion.h"
#include "app/profiles/value_lists.h"
#include "app/tools/program_ui.h"
#include "platform/temp_folder.h"
#include "tests/support/media_tools.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kShippedProfiles = std::string(ZARVO_SOURCE_DIR) + "/resources/profiles/";

constexpr double kDurationToleranceSeconds = 0.5;
constexpr double kShapeTolerance = 0.05;

class FailureTarget : public CommandTarget {
public:
    void PostCommand(unsigned, unsigned, std::intptr_t lParam) override {
        failed = failed || lParam == kProgressToolFailed;
    }
    bool failed = false;
};

// One kind of input: the ffmpeg commands that make it (each ending in its
// output path, "%in" standing for the file the command before made) and
// what it is.
struct CorpusInput {
    const char* name;
    const char* fileName;
    std::vector<std::string> commands;
    bool interlaced = false;
};

const char* const kMake = "ffmpeg -nostdin -v error -y ";

std::vector<CorpusInput> Corpus() {
    // Pictures and a tone of the same length: "-t" would end the output,
    // but in front of a second input it ends that input only.
    auto source = [](const std::string& size, int rate, double seconds) {
        return std::string(kMake) + "-f lavfi -i testsrc2=size=" + size +
               ":rate=" + std::to_string(rate) + ":duration=" + std::to_string(seconds);
    };
    auto withTone = [&](const std::string& size, int rate, double seconds) {
        return source(size, rate, seconds) +
               " -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds);
    };
    const std::string h264 = " -c:v libx264 -preset ultrafast -pix_fmt yuv420p";
    return {
        {"phone_portrait", "portrait.mp4", {withTone("360x640", 30, 1.5) + h264 + " -c:a aac"}},
        {"phone_rotated",
         "rotated.mp4",
         {withTone("640x360", 30, 1.5) + h264 + " -c:a aac",
          std::string(kMake) + "-i %in -c copy -metadata:s:v:0 rotate=90"}},
        // A 1080i broadcast: 1440 pixels of 4:3 each, fields top first.
        {"tv_1080i_ts",
         "tv.ts",
         {withTone("1440x1080", 50, 1) + " -vf tinterlace=interleave_top,setsar=4/3" + h264 +
          " -flags +ildct+ilme -x264opts tff=1 -c:a mp2 -f mpegts"},
         true},
        {"hevc_10bit",
         "hevc.mkv",
         {withTone("640x360", 25, 1.5) +
          " -c:v libx265 -preset ultrafast -x265-params log-level=error -pix_fmt yuv420p10le "
          "-c:a aac"}},
        {"no_sound", "silent.avi", {source("720x576", 25, 1.5) + " -c:v mpeg4"}},
        {"short_clip", "short.mp4", {withTone("320x240", 25, 0.3) + h264 + " -c:a aac"}},
        {"vp9_opus_webm",
         "clip.webm",
         {withTone("480x270", 25, 1.5) +
          " -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -c:a libopus"}},
        {"aac_5_1_mkv", "surround.mkv", {withTone("1280x720", 25, 1.5) + h264 + " -c:a aac -ac 6"}},
        {"two_audio_tracks",
         "two.mp4",
         {withTone("640x360", 25, 1.5) + " -f lavfi -i sine=frequency=1000:duration=1.5" +
          " -map 0:v -map 1:a -map 2:a -shortest" + h264 + " -c:a aac"}},
        {"qcif_3gp",
         "phone.3gp",
         {withTone("176x144", 15, 1.5) + " -c:v h263 -c:a aac -ar 16000 -ac 1"}},
        {"pal_vcd", "vcd.mpg", {withTone("352x288", 25, 1.5) + " -target pal-vcd"}},
        // A DVD recording of interlaced wide-screen TV.
        {"dvd_interlaced_wide",
         "dvd.vob",
         {withTone("720x576", 50, 1.5) +
          " -vf tinterlace=interleave_top -target pal-dvd -aspect 16:9 -flags +ildct+ilme "
          "-top 1"},
         true},
        // Interlaced pictures in a file that does not say so: a capture.
        {"unflagged_interlaced",
         "capture.avi",
         {withTone("720x576", 50, 1.5) +
          " -vf tinterlace=interleave_bottom -c:v ffv1 -c:a pcm_s16le"},
         true},
    };
}

std::string Field(const std::string& text, const std::string& key) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return {};
}

// width:height of the picture as shown, from a middle picture's non-black
// area and the stream's pixel shape and rotation; 0 when not measured.
double ShownShape(const std::string& path, double durationSeconds) {
    const std::string stream = test::RunArguments(
        {"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
         "stream=sample_aspect_ratio:stream_side_data=rotation", "-of", "default=nw=1", path});
    double pixel = 1;
    const std::string sar = Field(stream, "sample_aspect_ratio");
    const std::size_t colon = sar.find(':');
    if (colon != std::string::npos && std::atof(sar.c_str()) > 0) {
        pixel = std::atof(sar.c_str()) / std::atof(sar.c_str() + colon + 1);
    }
    // ffmpeg turns a rotated picture before the filters see it; its pixels
    // turn with it.
    if (std::abs(std::atoi(Field(stream, "rotation").c_str())) % 180 == 90) pixel = 1 / pixel;

    const std::string crop =
        test::RunArguments({"ffmpeg", "-nostdin", "-i", path, "-vf",
                            "trim=start=" + std::to_string(durationSeconds / 2) +
                                ",cropdetect=limit=0.1:round=2:reset=0:skip=0",
                            "-frames:v", "3", "-an", "-f", "null", "-"});
    const std::size_t at = crop.rfind("crop=");
    if (at == std::string::npos) return 0;
    const int width = std::atoi(crop.c_str() + at + 5);
    const int height = std::atoi(crop.c_str() + crop.find(':', at) + 1);
    return height > 0 ? width * pixel / height : 0;
}

double DurationSeconds(const std::string& path) {
    return std::atof(Field(test::RunArguments({"ffprobe", "-v", "error", "-show_entries",
                                               "format=duration", "-of", "default=nw=1", path}),
                           "duration")
                         .c_str());
}

int AudioStreams(const std::string& path) {
    const std::string text =
        test::RunArguments({"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
                            "stream=index", "-of", "csv=p=0", path});
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// Pictures the idet filter finds interlaced and progressive.
std::pair<long, long> FieldCounts(const std::string& path) {
    const std::string text = test::RunArguments(
        {"ffmpeg", "-nostdin", "-i", path, "-vf", "idet", "-an", "-f", "null", "-"});
    const std::size_t at = text.rfind("Multi frame detection:");
    if (at == std::string::npos) return {-1, -1};
    auto count = [&](const char* label) {
        const std::size_t found = text.find(label, at);
        return found == std::string::npos ? 0L : std::atol(text.c_str() + found + strlen(label));
    };
    return {count("TFF:") + count("BFF:"), count("Progressive:")};
}

// The targets whose players or containers take no file without sound.
bool TargetNeedsSound(int target) { return target == kTargetPsp || target == kTargetDvd; }

class CorpusTest : public ::testing::TestWithParam<CorpusInput> {
protected:
    test::TempDir dir_{"corpus"};
    test::FailingUi ui_;
    test::RunSession session_{ui_};
};

TEST_P(CorpusTest, EveryTargetsFirstProfileConvertsItRight) {
    const CorpusInput& corpus = GetParam();
    const std::string input = dir_ / corpus.fileName;
    std::string previous;
    for (std::size_t i = 0; i < corpus.commands.size(); ++i) {
        std::string command = corpus.commands[i];
        const std::size_t in = command.find("%in");
        if (in != std::string::npos) command.replace(in, 3, test::Quoted(previous));
        const std::string made = i + 1 == corpus.commands.size()
                                     ? input
                                     : dir_ / ("step" + std::to_string(i) + "_" + corpus.fileName);
        int exitCode = -1;
        test::RunArguments(test::WordsThen(command, made), &exitCode);
        ASSERT_EQ(exitCode, 0) << command;
        previous = made;
    }
    const double inputSeconds = DurationSeconds(input);
    const double inputShape = ShownShape(input, inputSeconds);
    const bool inputHasSound = AudioStreams(input) > 0;
    ASSERT_GT(inputSeconds, 0);
    ASSERT_GT(inputShape, 0);

    const ProfileFiles shipped(kShippedProfiles);
    for (int target = 0; target < kTargetCount; ++target) {
        if (ProfileFileName(target).empty()) continue;
        const std::string targetName(ProfileFileName(target));
        const FileType type = ValueAt(kFileTypes, shipped.ReadInt(target, 0, "FileType"));
        const std::string output = dir_ / (targetName + "_out." + std::string(type.extensionName));
        FailureTarget notify;
        ConvertFile({session_.context, platform::TempFolder(), &notify},
                    ReadEncoderProfile(shipped, target, 0), input, output);

        std::vector<std::string> wrong;
        if (notify.failed) wrong.push_back("reported failure");
        const double seconds = DurationSeconds(output);
        if (std::abs(seconds - inputSeconds) > kDurationToleranceSeconds) {
            wrong.push_back("duration " + std::to_string(seconds) + " of " +
                            std::to_string(inputSeconds));
        }
        if (seconds > 0) {
            // NTSC's rate, not the 3747/125 that "-r 29.976" gives.
            if (ValueAt(kFrameRates, shipped.ReadInt(target, 0, "FrameRate")) == "29.976") {
                const std::string rate =
                    Field(test::RunArguments({"ffprobe", "-v", "error", "-select_streams", "v:0",
                                              "-show_entries", "stream=r_frame_rate", "-of",
                                              "default=nw=1", output}),
                          "r_frame_rate");
                // ASF keeps times in milliseconds, so ffprobe guesses a
                // short clip's rate (359/12 for 0.3 s).
                const bool measured = type.formatName == "asf";
                if (rate == "3747/125" || (!measured && rate != "30000/1001")) {
                    wrong.push_back("frame rate " + rate);
                }
            }
            const int sound = AudioStreams(output);
            if ((inputHasSound || TargetNeedsSound(target)) && sound == 0) {
                wrong.push_back("no sound");
            }
            int exitCode = -1;
            const std::string errors = test::RunArguments(
                {"ffmpeg", "-nostdin", "-v", "error", "-i", output, "-f", "null", "-"}, &exitCode);
            if (exitCode != 0 || !errors.empty()) {
                wrong.push_back("decode: " + errors.substr(0, 120));
            }
            const double shape = ShownShape(output, seconds);
            if (std::abs(shape / inputShape - 1) > kShapeTolerance) {
                wrong.push_back("shape " + std::to_string(shape) + " of " +
                                std::to_string(inputShape));
            }
            if (corpus.interlaced) {
                const auto [interlaced, progressive] = FieldCounts(output);
                // idet's multi-frame count calls a few pictures of any
                // moving clip interlaced; combing makes it most of them.
                if (interlaced * 4 > progressive) {
                    wrong.push_back("combed: " + std::to_string(interlaced) + " interlaced, " +
                                    std::to_string(progressive) + " progressive");
                }
            }
        }
        std::string line = "corpus " + std::string(corpus.name) + " " + targetName + ": ";
        if (wrong.empty()) {
            line += "ok";
        } else {
            for (std::size_t i = 0; i < wrong.size(); ++i) line += (i ? "; " : "") + wrong[i];
        }
        std::cout << line << std::endl;
        EXPECT_TRUE(wrong.empty()) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, CorpusTest, ::testing::ValuesIn(Corpus()),
                         [](const ::testing::TestParamInfo<CorpusInput>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
