// Jobs run through the library's entry points in this process, as the host
// calls them, on RealVideo clips made by ffmpeg: the job file is the only
// channel, and every result is judged by ffmpeg and ffprobe.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include "korvan/entry/job_file.h"
#include "korvan/entry/library_exports.h"
#include "korvan/entry/module_state.h"
#include "korvan/realmedia/capture_sink.h"
#include "platform/message_box.h"
#include "platform/private_profile.h"
#include "platform/temp_folder.h"
#include "tests/support/av_sync.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/real_video.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

// Records the boxes, and answers questions with the choice named `answer`
// (nobody answers while it is empty).
class RecordingPresenter : public platform::MessagePresenter {
public:
    void Show(const std::string& text, const std::string&, platform::MessageBoxIcon) override {
        boxes.push_back(text);
    }
    platform::ChoiceAnswer Ask(const platform::ChoiceQuestion& question) override {
        questions.push_back(question);
        if (answer.empty()) return {};
        const auto chosen = std::find(question.choices.begin(), question.choices.end(), answer);
        if (chosen == question.choices.end()) return {platform::ChoiceOutcome::kCancelled, 0};
        return {platform::ChoiceOutcome::kChosen,
                static_cast<std::size_t>(chosen - question.choices.begin())};
    }
    Texts boxes;
    std::vector<platform::ChoiceQuestion> questions;
    std::string answer;
};

// The host's folder (job file, settings, the audio converter) and an export
// folder, both with blanks and non-ASCII letters; the per-user folders are
// the test program's own.
class JobDriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_CONFIG_HOME", (host_ / "config").c_str(), 1);
        fs::create_directories(export_);
        fs::copy_file(ZARVO_PROGRAM_FOLDER "merrow", host_ / "merrow");
        Settings("");
        korvan::State().hostFolder = host_.Folder();
        // A build tree's host keeps its job file and settings beside it.
        korvan::State().writableFolder = host_.Folder();
        platform::InstallMessagePresenter(&presenter_);
    }
    void TearDown() override { platform::InstallMessagePresenter(nullptr); }

    void Settings(const std::string& librarySettings) {
        test::WriteFile(host_ / "zarvo.ini",
                        "[common]\nexportfolder=" + export_ + "\n[korvan]\n" + librarySettings);
    }

    // The job file as the program writes it, with `inputs` and the keys
    // given over the program's start values.
    void WriteJob(const Texts& inputs, const std::string& planned,
                  const std::map<std::string, std::string>& changes = {}) {
        std::map<std::string, std::string> keys = {
            {"infiles/dvdmode", "0"},    {"infiles/number", std::to_string(inputs.size())},
            {"outformat/merge", "1"},    {"outformat/mediatype", "1"},
            {"common/canceltbr", "0"},   {"common/strtip", ""},
            {"common/iErrorCode", "0"},  {"common/ipercent", "0"},
            {"common/stime", "0"},       {"common/etime", "0"},
            {"common/operationid", "1"}, {"outformat/tempavifilename", planned}};
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            keys["infiles/" + job_file::InputKey(static_cast<int>(i))] = inputs[i];
        }
        for (const auto& [key, value] : changes) keys[key] = value;
        fs::remove(JobFile());
        for (const auto& [name, value] : keys) {
            const std::size_t slash = name.find('/');
            ASSERT_TRUE(platform::WritePrivateProfileString(
                name.substr(0, slash), name.substr(slash + 1), value, JobFile()));
        }
    }

    std::string Read(const std::string& section, const std::string& key) const {
        return platform::GetPrivateProfileString(section, key, "<absent>", 4096, JobFile());
    }
    std::string JobFile() const { return host_ / "Tobrin.ini"; }

    std::string Clip(const std::string& name, double seconds, const std::string& size = "160x120") {
        const std::string path = clips_ / name;
        EXPECT_TRUE(test::MakeRealVideoClip(path, seconds, size)) << path;
        return path;
    }

    // What the export folder holds besides the work folder.
    Texts Exported() const { return test::FileNamesIn(export_, "tmpmd"); }

    test::TempDir host_{"host ü"};
    test::TempDir clips_{"clips ü"};
    std::string export_ = host_ / "export folder/";
    RecordingPresenter presenter_;
};

TEST_F(JobDriverTest, ARealVideoInputBecomesTheProgramsPlannedMpeg) {
    const std::string input = Clip("first clip.rm", 2);
    WriteJob({input}, export_ + "tempvideofile.mpg");
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_EQ(Read("common", "ipercent"), "-1");
    EXPECT_EQ(Read("common", "iErrorCode"), "0");
    EXPECT_EQ(Read("outformat", "tempavifilename"), export_ + "tempvideofile.mpg");
    EXPECT_NE(Read("common", "strtip"), "");
    EXPECT_EQ(Exported(), Texts({"tempvideofile.mpg"}));
    EXPECT_TRUE(fs::is_directory(export_ + "tmpmd"));
    EXPECT_EQ(test::DecodeErrors(export_ + "tempvideofile.mpg"), "");
    const test::ProbedFile made = test::ProbeWithFfprobe(export_ + "tempvideofile.mpg");
    EXPECT_EQ(made.videoCodec, "mpeg1video");
    EXPECT_EQ(made.audioCodec, "mp2");
    EXPECT_EQ(made.width, 160);
    EXPECT_NEAR(made.durationSeconds, 2, 0.5);
    EXPECT_TRUE(presenter_.boxes.empty());
}

TEST_F(JobDriverTest, JobsThatCannotRunEndWithTheirCodes) {
    // Nothing to do.
    WriteJob({}, "");
    EXPECT_EQ(ConvertRM2AVI(), 1);
    EXPECT_EQ(Read("common", "ipercent"), "-1");
    EXPECT_EQ(Read("common", "iErrorCode"), "1");

    // Testing whether a missing file can be read.
    WriteJob({clips_ / "missing.rm"}, "", {{"common/operationid", "2"}});
    EXPECT_EQ(ConvertRM2AVI(), 3);
    EXPECT_EQ(Read("common", "IsReadable"), "0");
    EXPECT_EQ(Read("common", "iErrorCode"), "3");
    EXPECT_EQ(Read("common", "ipercent"), "0");
    // ...and one that can: tested, not converted.
    WriteJob({Clip("readable.rm", 1)}, "", {{"common/operationid", "2"}});
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_EQ(Read("common", "IsReadable"), "1");

    // A link to a stream, and a file of no media.
    test::WriteFile(clips_ / "link.rm", "rtsp://example.invalid/stream.rm\n");
    WriteJob({clips_ / "link.rm"}, "");
    EXPECT_EQ(ConvertRM2AVI(), 2);
    test::WriteFile(clips_ / "text.avi", std::string(4096, 'x'));
    WriteJob({clips_ / "text.avi"}, "");
    EXPECT_EQ(ConvertRM2AVI(), 4);
    EXPECT_EQ(Read("common", "iErrorCode"), "4");
    EXPECT_EQ(Exported(), Texts());
    EXPECT_TRUE(presenter_.boxes.empty());
}

// The RealMedia engine beside the host, and what it says of the objects it
// made that still exist (it stays loaded while this holds it).
class EngineHandle {
public:
    explicit EngineHandle(const std::string& hostFolder) {
        fs::copy_file(ZARVO_ENGINE_LIBRARY, hostFolder + "libpnen3260.so");
        handle_ = dlopen((hostFolder + "libpnen3260.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) live_ = reinterpret_cast<int (*)()>(dlsym(handle_, "EngineLiveObjects"));
    }
    ~EngineHandle() {
        if (handle_) dlclose(handle_);
    }
    int LiveObjects() const { return live_ ? live_() : -1; }

private:
    void* handle_ = nullptr;
    int (*live_)() = nullptr;
};

TEST_F(JobDriverTest, ARealMediaFileOnlyTheEngineCanPlayBecomesAnIntermediateAvi) {
    Settings("realmediareader=0\n");
    const EngineHandle engine(host_.Folder());
    const std::string input = clips_ / "engine only.rm";
    ASSERT_TRUE(test::MakeFlashAndBeepClip(input, 10, 100, "-c:v rv20 -c:a ac3 -f rm"));
    WriteJob({input}, export_ + "tempvideofile.mpg");
    EXPECT_EQ(ConvertRM2AVI(), 5);
    const std::string avi = input + "tmp.avi";
    EXPECT_EQ(Read("outformat", "tempavifilename"), avi);
    EXPECT_EQ(Read("common", "ipercent"), "-1");
    EXPECT_EQ(Read("common", "iErrorCode"), "5");
    EXPECT_EQ(Read("common", "strtip"), "Remain 00:00:00");
    EXPECT_TRUE(presenter_.boxes.empty());

    // Every picture of the input is one frame, at the input's pace, with
    // all of its sound, in step.
    EXPECT_EQ(test::DecodeErrors(avi), "");
    const test::StreamFacts made = test::ProbeStreamFacts(avi);
    const test::StreamFacts source = test::ProbeStreamFacts(input);
    EXPECT_EQ(made.pictures, source.pictures);
    EXPECT_NEAR(made.videoSeconds, source.videoSeconds, 0.2);
    EXPECT_NEAR(made.audioSeconds, source.audioSeconds, 0.2);
    const double flash = test::FlashSeconds(avi);
    EXPECT_NEAR(flash, 4.0, 0.05);
    EXPECT_NEAR(test::BeepSeconds(avi), flash, 0.08);

    // Every object of the playback is gone, on both sides.
    EXPECT_EQ(korvan::realmedia::LiveEngineObjects(), 0);
    EXPECT_EQ(engine.LiveObjects(), 0);
    // Cancelling after the end changes nothing.
    EXPECT_EQ(CancelConverting(), 0);
    EXPECT_EQ(CancelConverting(), 0);
}

TEST_F(JobDriverTest, WithoutTheEngineOrWithAFileItCannotPlayTheJobFails) {
    Settings("realmediareader=0\n");
    const std::string input = Clip("engine only.rm", 1);
    WriteJob({input}, export_ + "tempvideofile.mpg");
    EXPECT_EQ(ConvertRM2AVI(), 1);
    EXPECT_EQ(presenter_.boxes, Texts({"Failed to load the pnen3260.dll library.\n"}));
    EXPECT_EQ(Read("common", "ipercent"), "-1");
    EXPECT_EQ(Read("common", "iErrorCode"), "1");
    EXPECT_FALSE(fs::exists(input + "tmp.avi"));

    // A RealMedia signature over bytes no decoder can read.
    presenter_.boxes.clear();
    const EngineHandle engine(host_.Folder());
    const std::string damaged = clips_ / "damaged.rm";
    test::WriteFile(damaged, ".RMF" + std::string(8192, '\x5a'));
    WriteJob({damaged}, export_ + "tempvideofile.mpg");
    EXPECT_EQ(ConvertRM2AVI(), 1);
    EXPECT_EQ(Read("common", "ipercent"), "-1");
    EXPECT_EQ(Read("common", "iErrorCode"), "1");
    EXPECT_FALSE(fs::exists(damaged + "tmp.avi"));
    EXPECT_TRUE(presenter_.boxes.empty());

    // A file already under the intermediate's name is someone else's: it is
    // neither written over nor deleted.
    test::WriteFile(input + "tmp.avi", "another input");
    WriteJob({input}, export_ + "tempvideofile.mpg");
    EXPECT_EQ(ConvertRM2AVI(), 1);
    EXPECT_EQ(Read("common", "iErrorCode"), "1");
    EXPECT_EQ(test::ReadFile(input + "tmp.avi"), "another input");
    ASSERT_EQ(presenter_.boxes.size(), 1u);
    EXPECT_NE(presenter_.boxes[0].find("tmp.avi exists already; it is kept"), std::string::npos);
    EXPECT_EQ(korvan::realmedia::LiveEngineObjects(), 0);
    EXPECT_EQ(engine.LiveObjects(), 0);
}

TEST_F(JobDriverTest, StoppingAPlaybackLeavesNoObjectAndNoAvi) {
    Settings("realmediareader=0\n");
    const EngineHandle engine(host_.Folder());
    const std::string input = Clip("long.rm", 60);
    // The stop request is there from the start: the first cancel poll, a
    // second in, ends the playback long before its end.
    WriteJob({input}, export_ + "tempvideofile.mpg", {{"common/canceltbr", "1"}});
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(ConvertRM2AVI(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(CancelConverting(), 0);
    EXPECT_EQ(CancelConverting(), 0);
    EXPECT_EQ(Read("common", "ipercent"), "-1");
    EXPECT_FALSE(fs::exists(input + "tmp.avi"));
    EXPECT_EQ(korvan::realmedia::LiveEngineObjects(), 0);
    EXPECT_EQ(engine.LiveObjects(), 0);
}

TEST_F(JobDriverTest, MergedInputsBecomeOneProgramStream) {
    const std::string first = Clip("a first.rm", 1);
    const std::string second = Clip("b.rm", 2);
    WriteJob({first, second}, export_ + "tempvideofile.mpg");
    EXPECT_EQ(ConvertRM2AVI(), 0);
    const std::string joined = Read("outformat", "tempavifilename");
    EXPECT_EQ(Exported(), Texts({fs::path(joined).filename()}));
    EXPECT_EQ(test::DecodeErrors(joined), "");
    EXPECT_NEAR(test::ProbeWithFfprobe(joined).durationSeconds, 3, 0.5);
}

TEST_F(JobDriverTest, AClipFileTrimsTheInput) {
    const std::string input = Clip("trimmed.rm", 8);
    test::WriteFile(export_ + "trimmed.clip", "[zarvo]\ntime1=2\ntime2=5\nduration=8\n");
    WriteJob({input}, export_ + "tempvideofile.mpg");
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_EQ(test::DecodeErrors(export_ + "tempvideofile.mpg"), "");
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "tempvideofile.mpg").durationSeconds, 3, 0.5);
}

TEST_F(JobDriverTest, StartAndEndTimesInEitherOrderChooseTheSeconds) {
    const std::string input = Clip("long.rm", 32, "64x48");
    WriteJob({input}, export_ + "tempvideofile.mpg",
             {{"common/stime", "30"}, {"common/etime", "10"}});
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_EQ(test::DecodeErrors(export_ + "tempvideofile.mpg"), "");
    EXPECT_NEAR(test::ProbeWithFfprobe(export_ + "tempvideofile.mpg").durationSeconds, 20, 0.5);
}

TEST_F(JobDriverTest, AnInputPastTheDurationLimitGoesOnInNumberedFiles) {
    Settings("durationlimit=1\n");
    const std::string input = Clip("movie.rm", 3.5);
    WriteJob({input}, export_ + "movie.mpg");
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_EQ(Exported(), Texts({"movie.mpg", "movie001.mpg", "movie002.mpg", "movie003.mpg"}));
    EXPECT_EQ(Read("outformat", "tempavifilename"), export_ + "movie003.mpg");
    double total = 0;
    for (const std::string& name : Exported()) {
        SCOPED_TRACE(name);
        EXPECT_EQ(test::DecodeErrors(export_ + name), "");
        total += test::ProbeWithFfprobe(export_ + name).durationSeconds;
    }
    EXPECT_NEAR(total, 3.5, 0.6);
}

TEST_F(JobDriverTest, MediaTypeSixMakesAnMp3ThroughTheAudioConverter) {
    const std::string input = Clip("song.rm", 3);
    test::WriteFile(export_ + "song.clip", "[zarvo]\ntime1=1\ntime2=2\nduration=3\n");
    WriteJob({input}, export_ + "song.mpg", {{"outformat/mediatype", "6"}});
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_EQ(Read("outformat", "tempavifilename"), export_ + "song.mp3");
    // The intermediate AVI and the hand-off file are gone.
    EXPECT_EQ(Exported(), Texts({"song.clip", "song.mp3"}));
    EXPECT_FALSE(fs::exists(platform::TempFolder() + "zarvo.ini"));
    const test::ProbedFile mp3 = test::ProbeWithFfprobe(export_ + "song.mp3");
    EXPECT_EQ(mp3.audioCodec, "mp3");
    EXPECT_NEAR(mp3.durationSeconds, 1, 0.2);
}

TEST_F(JobDriverTest, MediaTypeZeroMakesAnAviOfSizesRoundedToFour) {
    const std::string input = clips_ / "odd size.mp4";
    ASSERT_TRUE(test::MakeClip(input, 1, "-c:v mpeg4 -c:a aac", "322x242"));
    WriteJob({input}, "", {{"outformat/mediatype", "0"}});
    EXPECT_EQ(ConvertRM2AVI(), 0);
    const std::string avi = export_ + "odd size.avi";
    EXPECT_EQ(Read("outformat", "tempavifilename"), avi);
    const test::ProbedFile probed = test::ProbeWithFfprobe(avi);
    EXPECT_EQ(probed.formatName, "avi");
    EXPECT_EQ(probed.width, 320);
    EXPECT_EQ(probed.height, 240);
    // Every picture and the whole second of sound are there.
    EXPECT_EQ(test::RunTool("ffprobe -v error -count_frames -select_streams v -show_entries "
                            "stream=nb_read_frames -of csv=p=0 " +
                            test::Quoted(avi)),
              "25\n");
    EXPECT_NEAR(test::ToneFrequencyHz(avi, clips_ / "tone.raw"), 440, 5);
    const std::string sound = test::RunTool(
        "ffprobe -v error -select_streams a -show_entries stream=nb_frames,sample_rate -of "
        "csv=p=0 " +
        test::Quoted(avi));
    const std::size_t comma = sound.find(',');
    ASSERT_NE(comma, std::string::npos) << sound;
    EXPECT_NEAR(std::atof(sound.c_str() + comma + 1) / std::atof(sound.c_str()), 1.0, 0.05);
}

// Little-endian 32-bit field of the compressor record at `offset`.
uint32_t RecordField(const std::string& record, std::size_t offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(record.at(offset + i));
    return value;
}

TEST_F(JobDriverTest, TheAviCompressorIsAskedForOnceSavedAndUsedByTheNextAvi) {
    const std::string input = clips_ / "to avi.mp4";
    ASSERT_TRUE(test::MakeClip(input, 1, "-c:v mpeg4 -c:a aac", "160x120"));
    const std::string saved = host_ / "avicode.dat";
    const std::string avi = export_ + "to avi.avi";

    // Nobody to ask: the default, said in the trace, and nothing saved.
    WriteJob({input}, "", {{"outformat/mediatype", "0"}});
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_NE(::testing::internal::GetCapturedStdout().find("Nobody to ask for the AVI compressor"),
              std::string::npos);
    EXPECT_EQ(test::ProbeWithFfprobe(avi).videoCodec, "mpeg4");
    EXPECT_FALSE(fs::exists(saved));
    ASSERT_EQ(presenter_.questions.size(), 1u);
    // The compressors offered, the default first and selected.
    const platform::ChoiceQuestion& question = presenter_.questions[0];
    EXPECT_EQ(question.text, "Choose the video compressor of the AVI files:");
    ASSERT_GE(question.choices.size(), 3u);
    EXPECT_EQ(question.choices[0], "MPEG-4 Part 2 (Xvid compatible)");
    EXPECT_EQ(question.initial, 0u);
    EXPECT_NE(std::find(question.choices.begin(), question.choices.end(), "Motion JPEG"),
              question.choices.end());

    // Answered: saved as the 44-byte record, and this AVI is Motion JPEG.
    presenter_.answer = "Motion JPEG";
    fs::remove(avi);
    WriteJob({input}, "", {{"outformat/mediatype", "0"}});
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_EQ(presenter_.questions.size(), 2u);
    EXPECT_EQ(test::ProbeWithFfprobe(avi).videoCodec, "mjpeg");
    const std::string record = test::ReadFile(saved);
    ASSERT_EQ(record.size(), 44u);
    EXPECT_EQ(record.substr(0, 8), "vidsMJPG");
    EXPECT_EQ(RecordField(record, 8), 100u);    // key frame every
    EXPECT_EQ(RecordField(record, 12), 9500u);  // quality
    EXPECT_EQ(RecordField(record, 20), 0xCu);   // flags: key frames, valid
    EXPECT_EQ(RecordField(record, 36), 0u);     // parameter block size

    // The next AVI uses it without asking.
    presenter_.answer = "Full Frames (Uncompressed)";
    fs::remove(avi);
    WriteJob({input}, "", {{"outformat/mediatype", "0"}});
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_EQ(presenter_.questions.size(), 2u);
    EXPECT_EQ(test::ProbeWithFfprobe(avi).videoCodec, "mjpeg");

    // A saved codec this system lacks is asked for again, from the start.
    std::string foreign = record;
    foreign.replace(4, 4, "cvid");
    test::WriteFile(saved, foreign);
    fs::remove(avi);
    WriteJob({input}, "", {{"outformat/mediatype", "0"}});
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_EQ(presenter_.questions.size(), 3u);
    EXPECT_EQ(test::ProbeWithFfprobe(avi).videoCodec, "rawvideo");
    EXPECT_EQ(test::ReadFile(saved).substr(0, 8), std::string("vidsDIB ", 8));
    EXPECT_TRUE(presenter_.boxes.empty());
}

TEST_F(JobDriverTest, TheStopRequestEndsTheJobAndItsTemporaryFiles) {
    // The program's own temporary copy ("dvdmode" 1) goes with the stop.
    const std::string input = clips_ / "copy.rm";
    fs::copy_file(Clip("long.rm", 120, "320x240"), input);
    WriteJob({input}, export_ + "tempvideofile.mpg", {{"infiles/dvdmode", "1"}});
    std::thread program([this] {
        std::this_thread::sleep_for(1500ms);
        ASSERT_TRUE(platform::WritePrivateProfileString("common", "canceltbr", "1", JobFile()));
    });
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(ConvertRM2AVI(), 0);
    program.join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 3500ms);
    EXPECT_EQ(Read("common", "ipercent"), "-1");
    EXPECT_EQ(Exported(), Texts());
    EXPECT_FALSE(fs::exists(input));
}

TEST_F(JobDriverTest, TemporaryInputsGoOnceConverted) {
    const std::string input = clips_ / "copy.rm";
    fs::copy_file(Clip("short.rm", 1), input);
    WriteJob({input}, export_ + "tempvideofile.mpg", {{"infiles/dvdmode", "1"}});
    EXPECT_EQ(ConvertRM2AVI(), 0);
    EXPECT_FALSE(fs::exists(input));
    EXPECT_TRUE(fs::exists(clips_ / "short.rm"));
    EXPECT_EQ(Exported(), Texts({"tempvideofile.mpg"}));
}

TEST(ConvertingTipTest, TheTipIsCopiedWithItsEndAndCounted) {
    char buffer[korvan::kTipCapacity];
    std::memset(buffer, '#', sizeof buffer);
    korvan::State().tip.clear();
    EXPECT_EQ(GetConvertingTip(buffer), 0u);
    EXPECT_EQ(buffer[0], '#');
    korvan::State().tip = "Remain 00:01:05";
    EXPECT_EQ(GetConvertingTip(buffer), 16u);
    EXPECT_STREQ(buffer, "Remain 00:01:05");
    // A tip longer than the host's buffer is cut, never written past it.
    korvan::State().tip = std::string(5000, 'x');
    EXPECT_EQ(GetConvertingTip(buffer), korvan::kTipCapacity);
    EXPECT_EQ(std::strlen(buffer), korvan::kTipCapacity - 1);
    korvan::State().tip.clear();
    // Nothing running: nothing to cancel or end.
    EXPECT_EQ(CancelConverting(), 0);
    EndConvertingDialog();
}

}  // namespace
