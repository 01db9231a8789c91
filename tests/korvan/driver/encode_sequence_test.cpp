// The encode sequence with coding steps that write small streams put together
// byte by byte, so every rule of the order, the tests, the multiplex and the
// clean-up is seen without coding a picture.

#include "korvan/mpegenc/driver/encode_sequence.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "korvan/mpegenc/settings/encoder_presets.h"
#include "tests/korvan/mux/synthetic_streams.h"
#include "tests/support/temp_dir.h"

namespace {

using korvan::EncodeOutcome;
using korvan::EncoderSettings;
using korvan::EncodeStreamNames;
using korvan::Status;
using korvan::StatusCode;

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

// Twelve pictures of MPEG-1 video and a second of layer II frames.
std::vector<uint8_t> VideoBytes() {
    test::SyntheticVideo video(false, 352, 288, 3);
    video.SequenceHeader();
    video.Gop();
    for (int i = 0; i < 12; ++i) {
        test::PictureShape shape;
        shape.type = i == 0 ? 1 : 2;
        shape.temporalReference = i;
        video.Picture(shape);
    }
    video.SequenceEnd();
    return video.Bytes();
}

std::vector<uint8_t> AudioBytes() {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 38; ++i) {
        const std::vector<uint8_t> frame = test::MpegAudioFrame(2, 11, 0, false, 731);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

class RecordingSteps : public korvan::EncodeSteps {
public:
    Status EncodeVideo(const EncoderSettings&, const std::string& path) override {
        calls.push_back("video " + path);
        Write(path, VideoBytes());
        return videoOutcome;
    }
    Status EncodeAudio(const EncoderSettings&, const std::string& path) override {
        calls.push_back("audio " + path);
        Write(path, audioBytes);
        if (cancelAfterAudio) cancelled = true;
        return audioOutcome;
    }

    std::vector<std::string> calls;
    Status videoOutcome;
    Status audioOutcome;
    std::vector<uint8_t> audioBytes = AudioBytes();
    bool cancelAfterAudio = false;
    bool cancelled = false;
};

class CancellingHost : public korvan::mux::MuxHost {
public:
    explicit CancellingHost(const bool& cancelled) : cancelled_(cancelled) {}
    void ReportProgress(const std::string& text, int) override { lines.push_back(text); }
    bool IsCancelled() override { return cancelled_; }
    std::vector<std::string> lines;

private:
    const bool& cancelled_;
};

struct SequenceRun {
    EncodeOutcome outcome;
    std::vector<std::string> messages;
    std::vector<std::string> calls;
};

SequenceRun RunSequence(const EncoderSettings& settings, const EncodeStreamNames& names,
                        RecordingSteps& steps) {
    SequenceRun run;
    CancellingHost host(steps.cancelled);
    run.outcome = korvan::RunEncodeSequence(
        settings, names, steps, host,
        [&](const korvan::EncoderMessage& message) { run.messages.push_back(message.text); });
    run.calls = steps.calls;
    return run;
}

EncoderSettings Mpeg1() {
    return korvan::PresetSettings(korvan::EncoderPreset::kMpeg1, korvan::TvSystem::kPal);
}

TEST(StreamNamesTest, ElementaryStreamsAreNamedAfterTheProgramStream) {
    EncoderSettings settings = Mpeg1();
    EncodeStreamNames names = korvan::StreamNamesFor("/out/My Clip.v1.mpg", settings);
    EXPECT_EQ(names.video, "/out/My Clip.v1.m1v");
    EXPECT_EQ(names.audio, "/out/My Clip.v1.mp2");
    EXPECT_EQ(names.program, "/out/My Clip.v1.mpg");
    EXPECT_EQ(names.secondAudio, "");

    settings = korvan::PresetSettings(korvan::EncoderPreset::kSuperVcd, korvan::TvSystem::kNtsc);
    names = korvan::StreamNamesFor("/a.b/clip", settings);
    EXPECT_EQ(names.video, "/a.b/clip.m2v");
    EXPECT_EQ(names.audio, "/a.b/clip.mp2");
    EXPECT_EQ(korvan::StreamNamesFor("temp.mpg", settings).video, "temp.m2v");
}

TEST(EncodeSequenceTest, VideoThenAudioThenTheMultiplexAndTheSettingsKeepTheStreams) {
    test::TempDir folder("sequence ünï");
    const EncodeStreamNames names = korvan::StreamNamesFor(folder / "Out Put.mpg", Mpeg1());
    RecordingSteps steps;
    const SequenceRun run = RunSequence(Mpeg1(), names, steps);
    EXPECT_EQ(run.outcome.status.code, StatusCode::kOk);
    EXPECT_EQ(run.messages, std::vector<std::string>{});
    EXPECT_EQ(run.calls, (std::vector<std::string>{"video " + folder / "Out Put.m1v",
                                                   "audio " + folder / "Out Put.mp2"}));
    // The program stream takes the lower-cased name; the presets keep both
    // elementary streams.
    EXPECT_EQ(run.outcome.programFiles, std::vector<std::string>{folder / "out put.mpg"});
    EXPECT_TRUE(Exists(folder / "out put.mpg"));
    EXPECT_TRUE(Exists(names.video));
    EXPECT_TRUE(Exists(names.audio));
}

TEST(EncodeSequenceTest, StreamsTheSettingsDoNotKeepGoAfterTheMultiplex) {
    test::TempDir folder("sequence delete");
    const std::pair<int, int> keeps[] = {{0, 0}, {1, 0}, {0, 1}};
    for (auto [keepVideo, keepAudio] : keeps) {
        EncoderSettings settings = Mpeg1();
        settings.saveTempVideo = keepVideo;
        settings.saveTempAudio = keepAudio;
        const EncodeStreamNames names = korvan::StreamNamesFor(folder / "out.mpg", settings);
        RecordingSteps steps;
        const SequenceRun run = RunSequence(settings, names, steps);
        ASSERT_EQ(run.outcome.status.code, StatusCode::kOk);
        EXPECT_TRUE(Exists(names.program));
        EXPECT_EQ(Exists(names.video), keepVideo == 1);
        EXPECT_EQ(Exists(names.audio), keepAudio == 1);
    }
}

TEST(EncodeSequenceTest, StreamsThatWereOnlyMultiplexedAreNeverDeleted) {
    test::TempDir folder("sequence ready");
    EncoderSettings settings = Mpeg1();
    settings.userEncodeVideo = 0;
    settings.userEncodeAudio = 0;
    settings.saveTempVideo = 0;
    settings.saveTempAudio = 0;
    EncodeStreamNames names;
    names.video = folder / "ready.m1v";
    names.audio = folder / "ready.mp2";
    names.secondAudio = folder / "second.mp2";
    names.program = folder / "out.mpg";
    Write(names.video, VideoBytes());
    Write(names.audio, AudioBytes());
    Write(names.secondAudio, AudioBytes());
    RecordingSteps steps;
    const SequenceRun run = RunSequence(settings, names, steps);
    EXPECT_EQ(run.outcome.status.code, StatusCode::kOk);
    EXPECT_EQ(run.calls, std::vector<std::string>{});
    EXPECT_TRUE(Exists(names.video));
    EXPECT_TRUE(Exists(names.audio));
    EXPECT_TRUE(Exists(names.secondAudio));
    // Two audio streams: the program stream holds packets of 0xC0 and 0xC1.
    const std::string program = test::ReadFile(names.program);
    EXPECT_NE(program.find(std::string("\0\0\1\xC1", 4)), std::string::npos);
}

TEST(EncodeSequenceTest, WithoutMultiplexingOnlyTheSwitchedOnStepsRun) {
    test::TempDir folder("sequence steps");
    EncoderSettings settings = Mpeg1();
    settings.multiplexVideo = 0;
    settings.multiplexAudio = 0;
    settings.saveTempVideo = 0;
    settings.saveTempAudio = 0;
    EncodeStreamNames names = korvan::StreamNamesFor(folder / "out.mpg", settings);
    RecordingSteps steps;
    SequenceRun run = RunSequence(settings, names, steps);
    EXPECT_EQ(run.outcome.status.code, StatusCode::kOk);
    EXPECT_EQ(run.calls.size(), 2u);
    EXPECT_EQ(run.outcome.programFiles, std::vector<std::string>{});
    EXPECT_FALSE(Exists(names.program));
    // Nothing was multiplexed, so the streams are the result and stay.
    EXPECT_TRUE(Exists(names.video));
    EXPECT_TRUE(Exists(names.audio));

    settings.userEncodeVideo = 0;
    names.video.clear();  // sound alone needs no video name
    RecordingSteps audioOnly;
    run = RunSequence(settings, names, audioOnly);
    EXPECT_EQ(run.outcome.status.code, StatusCode::kOk);
    EXPECT_EQ(run.calls, std::vector<std::string>{"audio " + names.audio});
}

TEST(EncodeSequenceTest, MissingNamesAndBadSettingsAreRefusedBeforeAnyStep) {
    test::TempDir folder("sequence refused");
    const EncodeStreamNames full = korvan::StreamNamesFor(folder / "out.mpg", Mpeg1());
    struct Case {
        EncodeStreamNames names;
        EncoderSettings settings;
        std::string message;
    };
    std::vector<Case> cases;
    cases.push_back({full, Mpeg1(), ""});
    cases.back().names.video.clear();
    cases.back().message = korvan::kVideoNameMissingMessage;
    cases.push_back({full, Mpeg1(), korvan::kProgramNameMissingMessage});
    cases.back().names.program.clear();
    cases.push_back({full, Mpeg1(), korvan::kInvalidSettingsMessage});
    cases.back().settings.iFramesInGOP = 16;  // longer than the GOP length allows
    cases.push_back({full, Mpeg1(), korvan::kAudioNameMissingMessage});
    cases.back().names.audio.clear();
    cases.push_back({full, Mpeg1(), korvan::kInvalidSettingsMessage});
    cases.back().settings.psychModel = 3;
    // A program stream named like one of its elementary streams would be
    // written over it while it is read; the name is taken in lower case too.
    cases.push_back({full, Mpeg1(),
                     "The program stream " + folder / "OUT.m1v" +
                         " would overwrite an elementary stream of the same name."});
    cases.back().names.program = folder / "OUT.m1v";
    cases.back().names.video = folder / "out.m1v";
    cases.push_back({full, Mpeg1(),
                     "The program stream " + full.audio +
                         " would overwrite an elementary stream of the same name."});
    cases.back().names.program = full.audio;

    for (const Case& c : cases) {
        RecordingSteps steps;
        const SequenceRun run = RunSequence(c.settings, c.names, steps);
        EXPECT_EQ(run.outcome.status.code, StatusCode::kRefused) << c.message;
        EXPECT_EQ(run.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(run.calls, std::vector<std::string>{}) << c.message;
    }
}

TEST(EncodeSequenceTest, AFailedStepEndsTheEncodeWithItsMessage) {
    test::TempDir folder("sequence failed");
    const EncodeStreamNames names = korvan::StreamNamesFor(folder / "out.mpg", Mpeg1());
    RecordingSteps video;
    video.videoOutcome = {StatusCode::kFailed, "Unable to write to output file."};
    SequenceRun run = RunSequence(Mpeg1(), names, video);
    EXPECT_EQ(run.outcome.status.code, StatusCode::kFailed);
    EXPECT_EQ(run.messages, std::vector<std::string>{"Unable to write to output file."});
    EXPECT_EQ(run.calls.size(), 1u);
    EXPECT_FALSE(Exists(names.program));

    // A source that breaks down may have nothing to say; nothing is shown.
    RecordingSteps audio;
    audio.audioOutcome = {StatusCode::kFailed, ""};
    run = RunSequence(Mpeg1(), names, audio);
    EXPECT_EQ(run.outcome.status.code, StatusCode::kFailed);
    EXPECT_EQ(run.messages, std::vector<std::string>{});
    EXPECT_EQ(run.calls.size(), 2u);
    EXPECT_FALSE(Exists(names.program));
}

TEST(EncodeSequenceTest, TheMultiplexersFailureIsShownAndTheStreamsStay) {
    test::TempDir folder("sequence mux failed");
    EncoderSettings settings = Mpeg1();
    settings.saveTempVideo = 0;
    settings.saveTempAudio = 0;
    const EncodeStreamNames names = korvan::StreamNamesFor(folder / "out.mpg", settings);
    RecordingSteps steps;
    steps.audioBytes = {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'};
    const SequenceRun run = RunSequence(settings, names, steps);
    EXPECT_EQ(run.outcome.status.code, StatusCode::kFailed);
    EXPECT_EQ(run.messages, std::vector<std::string>{"File " + names.audio +
                                                     " is not an AC3 or MPEG Audio stream."});
    EXPECT_TRUE(Exists(names.video));
    EXPECT_TRUE(Exists(names.audio));
}

TEST(EncodeSequenceTest, ACancelSkipsWhatIsLeftAndLeavesNoProgramStream) {
    test::TempDir folder("sequence cancel");
    EncoderSettings settings = Mpeg1();
    settings.saveTempVideo = 0;
    settings.saveTempAudio = 0;
    const EncodeStreamNames names = korvan::StreamNamesFor(folder / "out.mpg", settings);

    RecordingSteps inVideo;
    inVideo.videoOutcome = {StatusCode::kCancelled, ""};
    SequenceRun run = RunSequence(settings, names, inVideo);
    EXPECT_EQ(run.outcome.status.code, StatusCode::kCancelled);
    EXPECT_EQ(run.calls.size(), 1u);
    EXPECT_FALSE(Exists(names.audio));
    EXPECT_FALSE(Exists(names.program));

    RecordingSteps afterAudio;
    afterAudio.cancelAfterAudio = true;
    run = RunSequence(settings, names, afterAudio);
    EXPECT_EQ(run.outcome.status.code, StatusCode::kCancelled);
    EXPECT_EQ(run.calls.size(), 2u);
    EXPECT_EQ(run.messages, std::vector<std::string>{});
    EXPECT_FALSE(Exists(names.program));
    EXPECT_TRUE(Exists(names.video));  // only a finished multiplex removes them
    EXPECT_TRUE(Exists(names.audio));
}

}  // namespace
