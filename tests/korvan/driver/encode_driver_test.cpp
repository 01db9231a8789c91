// The encode driver through RunEncodeJob, with small clips that ffmpeg makes
// and the callbacks serve as the media layer will: the entry's answers, the
// names, the progress that reaches the job file and the host, cancelling,
// sources that fail, a full disk, the limits, merged inputs and the AVI
// forms.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "korvan/mpegenc/driver/avi_output.h"
#include "korvan/mpegenc/driver/encode_preparation.h"
#include "korvan/mpegenc/driver/media_avi_sink.h"
#include "tests/korvan/driver/driver_test_support.h"
#include "tests/korvan/mux/mux_media.h"
#include "tests/korvan/video/ffmpeg_client.h"
#include "tests/support/media_tools.h"

namespace {

using korvan::CompileRequest;
using korvan::EncodeJob;
using korvan::StatusCode;
using test::Exists;

// 15 pictures of 177 x 145 (an odd size, coded 176 x 144) with a tone.
test::ClipRecipe SmallClip(double seconds = 0.6) {
    test::ClipRecipe clip;
    clip.pictures = "testsrc2=size=177x145:rate=25";
    clip.width = 177;
    clip.height = 145;
    clip.seconds = seconds;
    return clip;
}

class EncodeDriverTest : public test::DriverFixture {
protected:
    // `clip` opened on `recipe` and served to a request for `kind` (PAL)
    // whose outputs go to `folder`; no message shown yet.
    void Serve(test::ClipSource& clip, const test::ClipRecipe& recipe, CompileRequest& request,
               int kind, const std::string& folder, korvan::EncodeHost* host) {
        ASSERT_TRUE(clip.Open(recipe, folder));
        Prepare(request, kind, true, 25, recipe.seconds, host);
        request.exportFolder = folder;
        clip.ServeByPicture(request);
        messages_.shown.clear();
    }

    // An MPEG-1 (or `kind`) encode of the small clip with an empty output
    // path, reporting to `host_`.
    int EncodeSmall(CompileRequest& request, test::ClipSource& clip, int kind = 1,
                    const std::string& output = "") {
        Serve(clip, SmallClip(), request, kind, folder_.Folder(), &host_);
        return Encode(JobOf(SmallClip(), output), request);
    }

    std::string Named(const std::string& name) const { return folder_ / name; }

    // The clip's two callbacks share nothing, so the request may have them
    // called alongside each other: the sound is coded on a thread of its own
    // while step 1 runs, or (`alongside` false) after it on one thread.
    void PullSound(CompileRequest& request, bool alongside) {
        state_.threadCount = alongside ? 2 : 1;
        request.separateAudio = [] { return true; };
    }

    CompileRequest request_;
    test::RecordingHost host_{request_};
};

TEST_F(EncodeDriverTest, SelectorsFiveToSevenSwitchEveryStreamOn) {
    for (int selector : {5, 6, 7}) {
        korvan::EncoderSettings& s = state_.settings;
        s.userEncodeVideo = s.userEncodeAudio = s.multiplexVideo = s.multiplexAudio = 0;
        s.horizontalSize = s.verticalSize = 0;
        korvan::EncoderExchange exchange;
        EXPECT_EQ(korvan::EncoderEntry(state_, selector, services_, exchange, 0), 0);
        EXPECT_EQ(s.userEncodeVideo + s.userEncodeAudio + s.multiplexVideo + s.multiplexAudio, 4);
        EXPECT_EQ(s.horizontalSize, 352);
        EXPECT_EQ(s.verticalSize, 240);
    }
}

TEST_F(EncodeDriverTest, TheEntryAnswersWithoutARequestAndWithoutADuration) {
    korvan::EncoderExchange exchange;
    EXPECT_EQ(korvan::EncoderEntry(state_, korvan::kSelectRunEncode, services_, exchange, 0), 4);

    test::ClipSource clip;
    ASSERT_TRUE(clip.Open(SmallClip(), folder_.Folder()));
    Prepare(request_, 2, true, 25, 0, &host_);
    clip.ServeByPicture(request_);
    EXPECT_EQ(Encode(JobOf(SmallClip(), "clip.mpg"), request_), 30);
    EXPECT_EQ(clip.PicturesServed(), 0);
    EXPECT_TRUE(host_.posts.empty());
    EXPECT_FALSE(Exists(Named("clip.mpg")));
}

TEST_F(EncodeDriverTest, AnEmptyOutputPathMakesTempStreamsInTheExportFolder) {
    const std::string before = std::filesystem::current_path().string();
    test::ClipSource clip;
    EXPECT_EQ(EncodeSmall(request_, clip, 2), 31);
    EXPECT_EQ(request_.status.code, StatusCode::kOk) << ::testing::PrintToString(messages_.Texts());
    EXPECT_EQ(request_.resultPath, Named("temp.mpg"));
    EXPECT_TRUE(Exists(Named("temp.m2v")));  // the presets keep the elementary streams
    EXPECT_TRUE(Exists(Named("temp.mp2")));
    EXPECT_FALSE(request_.split);
    EXPECT_EQ(request_.sourcePicturesDone, 15);
    // The odd size is coded one smaller, without the right column and the
    // bottom row: the decoded pictures are the source's top left 176 x 144,
    // the right way up.
    const test::ProbedFile probed = test::ProbeWithFfprobe(Named("temp.m2v"));
    EXPECT_EQ(probed.width, 176);
    EXPECT_EQ(probed.height, 144);
    const test::ToolRun cut = test::RunInstalled(
        "ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                   "testsrc2=size=177x145:rate=25,format=bgr0,crop=176:144:0:0,format=yuv420p",
                   "-frames:v", "15", "-f", "yuv4mpegpipe", Named("cut.y4m")});
    ASSERT_EQ(cut.exitCode, 0) << cut.err;
    const test::Decoded decoded = test::DecodeWithFfmpeg(Named("temp.m2v"), Named("decoded.y4m"));
    ASSERT_EQ(decoded.pictures.size(), 15u);
    EXPECT_GT(
        test::MeanLumaPsnr(decoded.pictures, test::ReadY4mPictures(Named("cut.y4m")), 176 * 144),
        30);
    // The multiplexer's unit files went into a folder of the run's own, not
    // into the current one.
    EXPECT_EQ(test::DecodeErrors(Named("temp.mpg")), "");
    for (const char* unit : {"tmp_v", "tmp_a", "tmpa1", "tmp_s"}) {
        EXPECT_FALSE(Exists(before + "/" + unit)) << unit;
        EXPECT_FALSE(Exists(Named(unit))) << unit;
    }

    // MPEG-1 names its video stream .m1v.
    CompileRequest mpeg1;
    test::RecordingHost quiet(mpeg1);
    test::ClipSource again;
    ASSERT_TRUE(again.Open(SmallClip(), folder_.Folder()));
    Prepare(mpeg1, 1, false, 25, 0.6, &quiet);
    again.ServeByPicture(mpeg1);
    EXPECT_EQ(Encode(JobOf(SmallClip(), "My Clip.avi"), mpeg1), 31);
    EXPECT_EQ(mpeg1.resultPath, Named("my clip.mpg"));
    EXPECT_TRUE(Exists(Named("My Clip.m1v")));
}

TEST_F(EncodeDriverTest, ProgressReachesTheJobFileTheHostAndTheProgressLine) {
    test::ClipSource clip;
    std::vector<std::string> lines;
    clip.beforePicture = [&](int64_t) { lines.push_back(request_.progress.Get()); };
    ASSERT_EQ(EncodeSmall(request_, clip, 1, "clip.mpg"), 31);
    ASSERT_EQ(request_.status.code, StatusCode::kOk);

    // Every report is posted with the request's message and wParam, the
    // percent as lParam; the end is posted as -1.
    ASSERT_GE(host_.posts.size(), 16u);
    for (const test::Post& post : host_.posts) {
        EXPECT_EQ(post.message, test::kNotifyMessage);
        EXPECT_EQ(post.wParam, test::kNotifyWParam);
    }
    EXPECT_EQ(host_.posts.back().lParam, -1);
    // Step 1 counts up to its 100 %, pictures 0 to 14 of 15.
    std::vector<intptr_t> stepOne;
    for (size_t i = 0; i < 15; ++i) stepOne.push_back(host_.posts[i].lParam);
    EXPECT_EQ(stepOne,
              (std::vector<intptr_t>{0, 6, 13, 20, 26, 33, 40, 46, 53, 60, 66, 73, 80, 86, 93}));

    // What the host found in the job file each time it looked, in order
    // (an INI value loses its leading blank when it is read).
    const std::vector<std::string> tips = host_.DistinctTips();
    const std::vector<std::string> patterns = {
        "Remain: \\d\\d:\\d\\d:\\d\\d",
        "Video: 100% - frame 15 of 15\\.",
        "Step 2 of 2: Audio: 6% - frame 1 of 15\\.",
        "Step 2 of 2: Audio: 100% - frame 15 of 15\\.",
        "Scanning video stream: \\d+% - byte offset \\d+ of \\d+\\.",
        "Multiplexing: 100% - (\\d+) of \\1  A/V units\\.",
    };
    size_t next = 0;
    for (const std::string& tip : tips) {
        if (next < patterns.size() && std::regex_match(tip, std::regex(patterns[next]))) ++next;
    }
    EXPECT_EQ(next, patterns.size()) << ::testing::PrintToString(tips);
    EXPECT_EQ(platform::GetPrivateProfileInt("common", "ipercent", -9, jobFile_), 100);
    EXPECT_EQ(request_.progress.Get(), tips.back());

    // The detailed line of step 1 stays in the progress line between
    // reports; each picture is reported just before it is fetched.
    ASSERT_EQ(lines.size(), 15u);
    const std::regex detailed(
        "Step 1 of 2: Video:(\\d+)% - frame (\\d+) of 15,\r\nNeed time:\\d+:\\d+:\\d+ "
        "cur/est size: \\d+/\\d+MB");
    for (int picture = 0; picture < 15; ++picture) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(lines[picture], match, detailed)) << lines[picture];
        EXPECT_EQ(std::stoi(match[2].str()), picture);
        EXPECT_EQ(std::stoi(match[1].str()), picture * 100 / 15);
    }
}

TEST_F(EncodeDriverTest, ACancelInStepOneLeavesNoStreamsBehind) {
    for (const bool alongside : {false, true}) {
        SCOPED_TRACE(alongside ? "sound alongside" : "one thread");
        test::ClipSource clip;
        // The user presses Stop while picture 5 is fetched: the program
        // writes the cancel key, and the next report's poll finds it.
        clip.beforePicture = [&](int64_t picture) {
            if (picture == 5) {
                platform::WritePrivateProfileString("common", "canceltbr", "1", jobFile_);
            }
        };
        Serve(clip, SmallClip(), request_, 2, folder_.Folder(), &host_);
        PullSound(request_, alongside);
        EXPECT_EQ(Encode(JobOf(SmallClip(), ""), request_), 31);
        EXPECT_EQ(request_.status.code, StatusCode::kCancelled);
        EXPECT_EQ(messages_.Texts(), std::vector<std::string>{});
        // The sound's thread pulls only the sound of pictures already
        // fetched; in turn, none is pulled before the pictures end.
        if (alongside) {
            EXPECT_LT(clip.AudioCalls(), clip.PicturesServed());
        } else {
            EXPECT_EQ(clip.AudioCalls(), 0);
        }
        EXPECT_LE(clip.PicturesServed(), 8);
        for (const char* name : {"temp.m2v", "temp.mp2", "temp.mpg"}) {
            EXPECT_FALSE(Exists(Named(name)));
        }
        EXPECT_EQ(host_.posts.back().lParam, -1);
        platform::WritePrivateProfileString("common", "canceltbr", "0", jobFile_);
        request_.cancel = false;
    }
}

TEST_F(EncodeDriverTest, ACancelInStepTwoLeavesTheVideoStreamOnly) {
    test::ClipSource clip;
    CompileRequest& request = request_;
    int calls = 0;
    const test::ClipRecipe recipe = SmallClip();
    ASSERT_TRUE(clip.Open(recipe, folder_.Folder()));
    Prepare(request, 1, true, 25, recipe.seconds, &host_);
    clip.ServeByPicture(request);
    const korvan::AudioCallback audio = request.getAudio;
    request.getAudio = [&](int64_t position, korvan::FetchedAudio& block) {
        if (++calls == 4) request.cancel = true;  // CancelConverting, from anywhere
        return audio(position, block);
    };
    EXPECT_EQ(Encode(JobOf(recipe, ""), request), 31);
    EXPECT_EQ(request.status.code, StatusCode::kCancelled);
    EXPECT_TRUE(Exists(Named("temp.m1v")));
    EXPECT_FALSE(Exists(Named("temp.mp2")));
    EXPECT_FALSE(Exists(Named("temp.mpg")));
}

// Each fault of the source ends the encode with its message and leaves no
// stream that would pass for a result.
TEST_F(EncodeDriverTest, SourcesThatFailMidwayFailTheEncode) {
    struct Fault {
        const char* name;
        std::function<void(test::ClipSource&, CompileRequest&)> inject;
        std::string message;
        bool videoStays;
    };
    const std::vector<Fault> faults = {
        {"picture", [](test::ClipSource& c, CompileRequest&) { c.failPictureAt = 4; },
         "Could not get picture 4, error code 9.", false},
        {"audio of a picture", [](test::ClipSource& c, CompileRequest&) { c.failAudioCall = 3; },
         "  Could not get audio data at frame 3, error code 9.", true},
        {"audio block too large",
         [](test::ClipSource& c, CompileRequest&) {
             c.oversizedAudioCall = 6;
             c.oversizedBytes = 192001;
         },
         "Returned buffer size is greater than temporary audio buffer size.", true},
    };
    // With the sound on its own thread, a fault of either callback shows
    // the same message, whenever it comes.
    for (const bool alongside : {false, true})
        for (const Fault& fault : faults) {
            SCOPED_TRACE(std::string(fault.name) + (alongside ? ", sound alongside" : ""));
            test::TempDir folder("driver fault");
            CompileRequest request;
            test::ClipSource clip;
            Serve(clip, SmallClip(), request, 2, folder.Folder(), nullptr);
            fault.inject(clip, request);
            PullSound(request, alongside);
            EXPECT_EQ(Encode(JobOf(SmallClip(), "out.mpg"), request), 31);
            EXPECT_EQ(request.status.code, StatusCode::kFailed);
            ASSERT_EQ(messages_.Texts(), std::vector<std::string>{fault.message});
            EXPECT_EQ(messages_.shown[0].icon, korvan::MessageIcon::kError);
            EXPECT_EQ(Exists(folder / "out.m2v"), fault.videoStays);
            EXPECT_FALSE(Exists(folder / "out.mp2"));
            EXPECT_FALSE(Exists(folder / "out.mpg"));
            EXPECT_EQ(request.resultPath, "");
        }
}

// A source counted in samples that fails ends step 2 there without a word:
// the program stream is made with the sound that came.
TEST_F(EncodeDriverTest, ASampleSourceThatFailsMidwayEndsTheSoundThereQuietly) {
    for (const bool alongside : {false, true}) {
        SCOPED_TRACE(alongside ? "sound alongside" : "one thread");
        test::TempDir folder("driver sound ends");
        CompileRequest request;
        test::ClipSource clip;
        Serve(clip, SmallClip(), request, 1, folder.Folder(), nullptr);
        // 2000 samples a call; the third call, at sample 4000, fails.
        clip.ServeBySample(request, 8000);
        clip.failAudioCall = 2;
        PullSound(request, alongside);
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(Encode(JobOf(SmallClip(), "out.mpg"), request), 31);
        EXPECT_NE(
            ::testing::internal::GetCapturedStdout().find("the sound ended at sample 4000 of"),
            std::string::npos);
        EXPECT_EQ(request.status.code, StatusCode::kOk);
        EXPECT_EQ(messages_.Texts(), std::vector<std::string>{});
        EXPECT_EQ(request.resultPath, folder / "out.mpg");
        EXPECT_EQ(test::DecodeErrors(folder / "out.mpg"), "");
        int audioStreams = 0;
        for (const test::ProbedStream& stream : test::ProbeStreams(folder / "out.mpg")) {
            if (stream.codec != "mp2") continue;
            ++audioStreams;
            // 4000 samples and the coder's tail, far short of the pictures.
            EXPECT_GE(test::AudioFrameSeconds(stream.frames), 4000.0 / 44100);
            EXPECT_LE(test::AudioFrameSeconds(stream.frames),
                      4000.0 / 44100 + test::kAudioTailSeconds + 1152.0 / 44100);
        }
        EXPECT_EQ(audioStreams, 1);
    }
}

TEST_F(EncodeDriverTest, TheSoundOfTheLastPictureMayBeMissing) {
    test::ClipSource clip;
    clip.failAudioCall = 14;
    EXPECT_EQ(EncodeSmall(request_, clip), 31);
    EXPECT_EQ(request_.status.code, StatusCode::kOk);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{});

    // Counted by sample: 2000 samples a call, the last call (460 samples
    // short of the end, less than a picture's 1764) fails.
    CompileRequest bySample;
    test::ClipSource again;
    Serve(again, SmallClip(), bySample, 1, folder_.Folder(), nullptr);
    again.ServeBySample(bySample, 8000);
    again.failAudioCall = 13;
    EXPECT_EQ(Encode(JobOf(SmallClip(), "short.mpg"), bySample), 31);
    EXPECT_EQ(bySample.status.code, StatusCode::kOk);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{});
    EXPECT_EQ(test::DecodeErrors(Named("short.mpg")), "");
}

// The streams' names point at a device that is always full, so every write
// fails as on a full disk.
TEST_F(EncodeDriverTest, AFullDiskFailsTheStepThatWritesWithItsMessage) {
    struct Case {
        const char* full;
        std::string message;
    };
    const Case cases[] = {
        {"out.m1v", "Unable to write to output file."},
        {"out.mp2", "Could not write to file %s"},
        // The multiplexer's buffer holds all of so short a stream.
        {"out.mpg", "Unable to flush the buffers of program file %s."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.full);
        test::TempDir folder("driver full disk");
        ASSERT_EQ(symlink("/dev/full", (folder / c.full).c_str()), 0);
        CompileRequest request;
        test::ClipSource clip;
        Serve(clip, SmallClip(), request, 1, folder.Folder(), nullptr);
        EXPECT_EQ(Encode(JobOf(SmallClip(), "out.mpg"), request), 31);
        EXPECT_EQ(request.status.code, StatusCode::kFailed);
        EXPECT_EQ(messages_.Texts(),
                  std::vector<std::string>{korvan::FillMessage(c.message, folder / c.full)});
        // The stream that could not be written is gone, and no program
        // stream is left.
        EXPECT_FALSE(Exists(folder / c.full));
        EXPECT_FALSE(Exists(folder / "out.mpg"));
        EXPECT_EQ(request.programFiles, std::vector<std::string>{});
    }
}

TEST_F(EncodeDriverTest, ASizeLimitEndsTheOutputAndMarksItSplit) {
    // About 4 KB a picture: the limit falls after some 60 of 125.
    const test::ClipRecipe recipe = SmallClip(5);
    test::ClipSource clip;
    ASSERT_TRUE(clip.Open(recipe, folder_.Folder()));
    Prepare(request_, 2, true, 25, recipe.seconds, &host_);
    clip.ServeByPicture(request_);
    request_.sizeLimitOn = true;
    request_.sizeLimitMB = 0.3;
    ASSERT_EQ(Encode(JobOf(recipe, "part.mpg"), request_), 31);
    ASSERT_EQ(request_.status.code, StatusCode::kOk) << ::testing::PrintToString(messages_.Texts());
    EXPECT_TRUE(request_.split);
    EXPECT_GT(request_.sourcePicturesDone, 20);
    EXPECT_LT(request_.sourcePicturesDone, 125);
    // The program stream holds exactly the pictures the job driver is told
    // of, and about the sound that goes with them. Its size is the limit's
    // within the few pictures that were fetched (and so are coded) before
    // their predecessors' bits were counted: the motion search runs ahead.
    const std::string program = Named("part.mpg");
    EXPECT_EQ(test::DecodeErrors(program), "");
    const std::vector<test::ProbedStream> streams = test::ProbeStreams(program);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].frames, request_.sourcePicturesDone);
    const double videoSeconds = request_.sourcePicturesDone / 25.0;
    EXPECT_GE(test::AudioFrameSeconds(streams[1].frames), videoSeconds - 1152.0 / 44100);
    EXPECT_LE(test::AudioFrameSeconds(streams[1].frames), videoSeconds + test::kAudioTailSeconds);
    const double programMB = test::ReadFile(program).size() / 1048576.0;
    EXPECT_LT(programMB, 0.3 * 1.15);
    EXPECT_GT(programMB, 0.3 * 0.85);
}

// 11 pictures end between two reference pictures (every third is one), so
// the sequence must end sooner than it was planned: with a fixed quantiser
// (MPEG-1) and with GOPs that may be coded again (DVD).
// The sound coded alongside the pictures stops at the same picture, and is
// the same stream as the one coded after them.
TEST_F(EncodeDriverTest, ADurationLimitMayEndTheSequenceBetweenReferencePictures) {
    for (int kind : {1, 3}) {
        std::string soundInTurn;
        for (const bool alongside : {false, true}) {
            SCOPED_TRACE(std::to_string(kind) + (alongside ? ", sound alongside" : ""));
            test::TempDir folder("driver duration");
            const test::ClipRecipe recipe = SmallClip(1);
            test::ClipSource clip;
            CompileRequest request;
            Serve(clip, recipe, request, kind, folder.Folder(), nullptr);
            PullSound(request, alongside);
            request.durationLimitOn = true;
            request.durationLimitSeconds = 0.43;
            ASSERT_EQ(Encode(JobOf(recipe, "cut.mpg"), request), 31);
            ASSERT_EQ(request.status.code, StatusCode::kOk)
                << ::testing::PrintToString(messages_.Texts());
            EXPECT_TRUE(request.split);
            EXPECT_EQ(request.sourcePicturesDone, 11);
            EXPECT_EQ(test::DecodeErrors(folder / "cut.mpg"), "");
            const std::vector<test::ProbedStream> streams = test::ProbeStreams(folder / "cut.mpg");
            ASSERT_FALSE(streams.empty());
            EXPECT_EQ(streams[kind == 3 ? 1 : 0].frames, 11);  // a DVD lists its navigation first
            EXPECT_EQ(clip.AudioCalls(), 11);
            const std::string sound = test::ReadFile(folder / "cut.mp2");
            EXPECT_GT(sound.size(), 1000u);
            if (alongside) {
                EXPECT_TRUE(sound == soundInTurn);
            } else {
                soundInTurn = sound;
            }
        }
    }
}

TEST_F(EncodeDriverTest, PicturesAtAnotherRateKeepTheirTime) {
    // 50 pictures a second into a 25 Hz stream: every other one is coded.
    test::ClipRecipe recipe = SmallClip(1);
    recipe.pictures = "testsrc2=size=177x145:rate=50";
    test::ClipSource clip;
    ASSERT_TRUE(clip.Open(recipe, folder_.Folder()));
    std::vector<int64_t> asked;
    clip.beforePicture = [&](int64_t n) { asked.push_back(n); };
    Prepare(request_, 1, true, 50, 0.6, &host_);
    clip.ServeByPicture(request_);
    EncodeJob job = JobOf(recipe, "fifty.mpg");
    job.firstPicture = 10;
    ASSERT_EQ(Encode(job, request_), 31);
    ASSERT_EQ(request_.status.code, StatusCode::kOk);
    std::vector<int64_t> expected;
    for (int64_t n = 10; n < 40; n += 2) expected.push_back(n);
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(request_.sourcePicturesDone, 30);
    // The sound of all 30 source pictures, one call each.
    EXPECT_EQ(clip.AudioCalls(), 30);
}

TEST_F(EncodeDriverTest, InputsTheEncoderCannotTakeAreLeftOutOrRefused) {
    // Sound at 22 050 Hz: shown, and the pictures are encoded alone.
    test::ClipRecipe recipe = SmallClip();
    recipe.sampleRateHz = 22050;
    test::ClipSource clip;
    ASSERT_TRUE(clip.Open(recipe, folder_.Folder()));
    Prepare(request_, 1, true, 25, recipe.seconds, &host_);
    clip.ServeByPicture(request_);
    ASSERT_EQ(Encode(JobOf(recipe, "silent.mpg"), request_), 31);
    EXPECT_EQ(request_.status.code, StatusCode::kOk);
    EXPECT_EQ(messages_.Texts(),
              std::vector<std::string>{"Audio sample rate must be 32, 44.1 or 48 kHz."});
    EXPECT_EQ(clip.AudioCalls(), 0);
    EXPECT_EQ(test::ProbeStreams(Named("silent.mpg")).size(), 1u);

    // Too wide a picture and 8-bit sound: nothing is left to encode.
    recipe.width = 1922;
    recipe.sampleRateHz = 44100;
    messages_.shown.clear();
    CompileRequest refused;
    Prepare(refused, 1, true, 25, recipe.seconds, nullptr);
    clip.ServeByPicture(refused);
    EncodeJob eightBits = JobOf(recipe, "none.mpg");
    eightBits.bitsPerSample = 8;
    EXPECT_EQ(Encode(eightBits, refused), 31);
    EXPECT_EQ(refused.status.code, StatusCode::kRefused);
    EXPECT_EQ(messages_.Texts(),
              (std::vector<std::string>{"Horizontal size must be in the range 1 .. 1920.",
                                        "Audio with 8 bits per sample cannot be encoded."}));
    EXPECT_FALSE(Exists(Named("none.mpg")));

    // An output that is the job's input.
    messages_.shown.clear();
    test::WriteFile(Named("movie.mpg"), "the user's own file");
    CompileRequest overwrite;
    Prepare(overwrite, 1, true, 25, 0.6, nullptr);
    overwrite.inputs = {Named("movie.mpg")};
    test::ClipSource small;
    ASSERT_TRUE(small.Open(SmallClip(), folder_.Folder()));
    small.ServeByPicture(overwrite);
    EXPECT_EQ(Encode(JobOf(SmallClip(), "/videos/movie.avi"), overwrite), 31);
    EXPECT_EQ(overwrite.status.code, StatusCode::kRefused);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{korvan::FillMessage(
                                     korvan::kOutputIsInputMessage, Named("movie.mpg"))});
    EXPECT_EQ(test::ReadFile(Named("movie.mpg")), "the user's own file");
}

TEST_F(EncodeDriverTest, MergedInputsBecomeOneProgramStream) {
    const std::vector<std::string> inputs = {"/videos/first.avi", "/other/second.mp4"};
    test::ClipSource first;
    test::ClipSource second;
    const test::ClipRecipe recipe = SmallClip(0.6);
    ASSERT_TRUE(first.Open(recipe, folder_.Folder()));
    ASSERT_TRUE(second.Open(recipe, folder_.Folder()));
    test::ClipSource* sources[] = {&first, &second};
    for (size_t index = 0; index < 2; ++index) {
        CompileRequest request;
        Prepare(request, 1, true, 25, recipe.seconds, nullptr);
        request.merge.inputs = inputs;
        request.merge.current = index;
        // Limits do not cut a merged output.
        request.durationLimitOn = true;
        request.durationLimitSeconds = 0.2;
        sources[index]->ServeByPicture(request);
        ASSERT_EQ(Encode(JobOf(recipe, inputs[index]), request), 31);
        ASSERT_EQ(request.status.code, StatusCode::kOk)
            << ::testing::PrintToString(messages_.Texts());
        EXPECT_FALSE(request.split);
        if (index == 0) {
            EXPECT_TRUE(Exists(Named("first_new.m1v")));
            EXPECT_TRUE(Exists(Named("first_new.mp2")));
            EXPECT_EQ(request.resultPath, "");
        } else {
            EXPECT_EQ(request.resultPath, Named("first_new.mpg"));
        }
    }
    // The second input's streams were appended to the first's and removed.
    EXPECT_FALSE(Exists(Named("second_new.m1v")));
    EXPECT_FALSE(Exists(Named("second_new.mp2")));
    EXPECT_EQ(test::DecodeErrors(Named("first_new.mpg")), "");
    const std::vector<test::ProbedStream> streams = test::ProbeStreams(Named("first_new.mpg"));
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].frames, 30);
    EXPECT_GE(test::AudioFrameSeconds(streams[1].frames), 1.2 - 2 * 1152.0 / 44100);
    EXPECT_LE(test::AudioFrameSeconds(streams[1].frames), 1.2 + 2 * test::kAudioTailSeconds);
}

// The video stream's rates as ffprobe gives them: the coded stream's and
// the AVI header's ("r_frame_rate,avg_frame_rate").
std::string AviVideoRates(const std::string& path) {
    const test::ToolRun run = test::RunInstalled(
        "ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries",
                    "stream=r_frame_rate,avg_frame_rate", "-of", "csv=p=0", path});
    std::string rates = run.out;
    while (!rates.empty() && (rates.back() == '\n' || rates.back() == '\r')) rates.pop_back();
    return rates;
}

// The video stream of an AVI (its sound is PCM).
test::ProbedStream AviVideo(const std::string& path) {
    for (const test::ProbedStream& stream : test::ProbeStreams(path)) {
        if (stream.codec.rfind("pcm_", 0) != 0) return stream;
    }
    return {};
}

// The sound of an AVI as ffmpeg decodes it, 16-bit little-endian.
std::string DecodedAviSound(const std::string& path) {
    return test::RunInstalled("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a", "-f", "s16le",
                                         "-acodec", "pcm_s16le", "-"})
        .out;
}

TEST_F(EncodeDriverTest, TheAviFormsWriteTheirFilesThroughTheAviWriter) {
    const test::ClipRecipe recipe = SmallClip(0.6);
    test::ClipSource clip;
    ASSERT_TRUE(clip.Open(recipe, folder_.Folder()));
    korvan::MediaAviSink writer({folder_.Folder() + "/", messages_.Sink(), {}, {}});
    services_.aviWriter = &writer;
    Prepare(request_, 1, true, 25, recipe.seconds, &host_);
    request_.output = korvan::OutputForm::kAvi;
    clip.ServeByPicture(request_);
    ASSERT_EQ(Encode(JobOf(recipe, "/videos/Clip.rm"), request_), 31);
    ASSERT_EQ(request_.status.code, StatusCode::kOk) << ::testing::PrintToString(messages_.Texts());
    EXPECT_EQ(request_.resultPath, Named("Clip.avi"));
    EXPECT_EQ(host_.tips.front(), "Remain: 00:00:00");

    // Every picture at its coded size, played at 25 a second (the close
    // patched the rate), and the sound exactly as the callbacks gave it.
    const std::string avi = Named("Clip.avi");
    EXPECT_EQ(test::DecodeErrors(avi), "");
    // The video is coded at the rate it plays at, not only labelled with it.
    EXPECT_EQ(AviVideoRates(avi), "25/1,25/1");
    const test::ProbedFile probed = test::ProbeWithFfprobe(avi);
    EXPECT_EQ(probed.width, 176);
    EXPECT_EQ(probed.height, 144);
    EXPECT_EQ(test::ProbeStreams(avi).size(), 2u);
    const test::ProbedStream video = AviVideo(avi);
    EXPECT_EQ(video.frames, 15);
    EXPECT_NEAR(video.durationSeconds, 0.6, 1e-3);
    const std::string sound = DecodedAviSound(avi);
    EXPECT_EQ(std::vector<uint8_t>(sound.begin(), sound.end()), clip.Pcm());

    // The MP3 form's intermediate AVI, with a duration limit: 10 pictures
    // and the sound of 0.4 s.
    CompileRequest mp3;
    test::ClipSource again;
    ASSERT_TRUE(again.Open(recipe, folder_.Folder()));
    Prepare(mp3, 1, true, 25, recipe.seconds, nullptr);
    mp3.output = korvan::OutputForm::kAviForMp3;
    mp3.durationLimitOn = true;
    mp3.durationLimitSeconds = 0.4;
    again.ServeBySample(mp3, 3000);
    ASSERT_EQ(Encode(JobOf(recipe, "song.mpg"), mp3), 31);
    ASSERT_EQ(mp3.status.code, StatusCode::kOk) << ::testing::PrintToString(messages_.Texts());
    EXPECT_TRUE(mp3.split);
    EXPECT_EQ(mp3.sourcePicturesDone, 10);
    const std::string temp = Named("song.temp.avi");
    EXPECT_EQ(test::DecodeErrors(temp), "");
    EXPECT_EQ(AviVideo(temp).frames, 10);
    EXPECT_EQ(DecodedAviSound(temp).size(), 17640u * 4);

    // An AVI whose pictures cannot all be had is no result.
    CompileRequest broken;
    test::ClipSource third;
    ASSERT_TRUE(third.Open(recipe, folder_.Folder()));
    third.failPictureAt = 5;
    Prepare(broken, 1, true, 25, recipe.seconds, nullptr);
    broken.output = korvan::OutputForm::kAvi;
    third.ServeByPicture(broken);
    messages_.shown.clear();
    ASSERT_EQ(Encode(JobOf(recipe, "broken.mpg"), broken), 31);
    EXPECT_EQ(broken.status.code, StatusCode::kFailed);
    EXPECT_FALSE(messages_.Texts().empty());
    EXPECT_FALSE(Exists(Named("broken.avi")));

    // No writer: the encode fails with a message.
    services_.aviWriter = nullptr;
    messages_.shown.clear();
    CompileRequest none;
    Prepare(none, 1, true, 25, recipe.seconds, nullptr);
    none.output = korvan::OutputForm::kAvi;
    again.ServeByPicture(none);
    EXPECT_EQ(Encode(JobOf(recipe, "x.mpg"), none), 31);
    EXPECT_EQ(none.status.code, StatusCode::kFailed);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{korvan::kNoAviWriterMessage});
}

}  // namespace
