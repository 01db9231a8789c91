#include "app/run/conversion_queue.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "app/rmjob/real_media_hand_off.h"
#include "app/tools/command_target.h"
#include "app/window/main_window_commands.h"
#include "app/window/main_window_model.h"
#include "platform/temp_folder.h"
#include "tests/app/shell/main_window_fakes.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

// Test programs run side by side: this one's temporary folder is its own, so
// that the check for a run's scratch folder sees only this program's.
const platform::ProgramTempFolder kOwnTemporaryFolder;

using Paths = std::vector<std::string>;
namespace fs = std::filesystem;

bool Exists(const std::string& path) { return fs::exists(path); }

// Tools that write files instead of running encoders, and record the order
// of what they were asked to do. An input whose name holds "broken" gives no
// output, as the encoder would. A file of n KiB lasts n seconds.
class FakeTools : public QueueTools {
public:
    explicit FakeTools(RunContext& context) : context(context) {}

    MediaInfo Probe(const std::string& file) override {
        MediaInfo media;
        std::error_code error;
        const auto bytes = fs::file_size(file, error);
        media.durationSeconds = error ? 10 : static_cast<double>(bytes / 1024);
        if (auto it = audioCodecs.find(fs::path(file).filename()); it != audioCodecs.end()) {
            media.audioCodec = it->second;
        }
        return media;
    }
    bool RepairAudio(const std::string& input, const std::string& output, double) override {
        Record("repair " + Name(input) + " " + Name(output));
        Write(output, 4096);
        return true;
    }
    std::string LastFailure() const override { return "no output"; }
    bool ConvertFile(const EncoderProfile&, const std::string& input,
                     const std::string& output) override {
        Record("convert " + Name(input) + " " + Name(output));
        if (onConvert) onConvert(input);
        if (input.find("broken") != std::string::npos) return false;
        Write(output, 4096);
        return true;
    }
    void MakeThumbnail(const std::string& source, const std::string& converted) override {
        Record("thumbnail " + Name(source) + " " + Name(converted));
        if (onThumbnail) onThumbnail(source);
    }
    // The joined file holds every piece, less `joinLosesBytes`; a join that
    // fails has written it all the same.
    bool JoinFiles(const std::vector<std::string>& pieces, const std::string& output) override {
        std::string call = "join " + Name(output);
        std::size_t bytes = 0;
        for (const std::string& piece : pieces) {
            call += " " + Name(piece);
            bytes += fs::file_size(piece);
        }
        Record(call);
        Write(output, bytes - joinLosesBytes);
        return joinWorks;
    }
    bool ConvertDvdPiece(const EncoderProfile&, const std::string& vob,
                         const std::string& audioStreamId, const std::string& output) override {
        Record("piece " + Name(vob) + " [" + audioStreamId + "] " + Name(output));
        if (onConvert) onConvert(vob);
        Write(output, 4096);
        return true;
    }

    static std::string Name(const std::string& path) { return fs::path(path).filename(); }
    void Record(const std::string& call) {
        calls.push_back(call);
        context.cancelRequested = false;  // every tool run clears it when it starts
    }
    static void Write(const std::string& path, std::size_t bytes) {
        test::WriteFile(path, std::string(bytes, 'x'));
    }

    std::map<std::string, std::string> audioCodecs;
    std::function<void(const std::string&)> onConvert;
    std::function<void(const std::string&)> onThumbnail;
    bool joinWorks = true;
    std::size_t joinLosesBytes = 0;
    Paths calls;
    RunContext& context;
};

// The program's message loop as the queue waits on it.
class DispatchHook : public ConsoleUi {
public:
    void DispatchPendingMessages() override {
        if (onDispatch) onDispatch();
    }
    std::function<void()> onDispatch;
};

// The RealMedia host as the queue sees it: a job "made" when the test
// says so; an input whose name holds "broken" fails.
class FakeRealMedia : public RealMediaHandOff {
public:
    bool IsRealVideo(const std::string& file) override { return file.ends_with(".rm"); }
    void StartRealMediaJob(const Paths& inputs, const std::string& output) override {
        calls.push_back("job " + FakeTools::Name(inputs.at(0)) + " " + output);
        jobOutput = inputs.at(0).find("broken") == std::string::npos ? output : "";
    }
    std::string RealMediaJobResult() override { return jobOutput; }
    std::string RealMediaJobTip() override { return tip; }
    void CancelRealMediaJob() override { calls.push_back("cancel job"); }

    std::string jobOutput;
    std::string tip;
    Paths calls;
};

class FakeHandOffs : public QueueHandOffs {
public:
    int BuildDvdImage(const std::string& file, const std::string&) override {
        calls.push_back("image " + FakeTools::Name(file));
        return imageWorks;
    }
    std::string DvdImageFailure() const override { return "no disc today"; }
    void OpenBurningWindow(DiscKind kind, const Paths& files) override {
        calls.push_back("burn " + std::to_string(kind) + " " + FakeTools::Name(files.at(0)));
    }

    int imageWorks = 1;
    Paths calls;
};

std::string ProfileFile(int profiles, int fileType) {
    std::string text = "[common]\nprofiles=" + std::to_string(profiles) + "\n";
    for (int i = 0; i < profiles; ++i) {
        text += "[Profile" + std::to_string(i) + "]\nName=P" + std::to_string(i) +
                "\nFileType=" + std::to_string(i == 1 ? 2 : fileType) + "\n";
    }
    return text;
}

class ConversionQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(input_.Folder() + "in");
        test::WriteFile(program_ / "zarvo.ini", "[common]\nexportfolder=" + out_ + "\n");
        test::WriteFile(program_ / "AviProfile.ini", ProfileFile(2, 5));
        test::WriteFile(program_ / "PSPProfile.ini", ProfileFile(1, 3));
        test::WriteFile(program_ / "DVDProfile.ini", ProfileFile(12, 6));
        model_ = std::make_unique<MainWindowModel>(session_.context, program_.Folder());
        model_->SetView(&view_);
        model_->SetProbe(&probe_);
        model_->SetQueueTools(&tools_);
        model_->SetHandOffs(&handOffs_);
        model_->SetRealMediaHandOff(&realMedia_);
        model_->Initialise();
    }

    std::string Input(const std::string& name) {
        const std::string path = input_.Folder() + "in/" + name;
        test::WriteFile(path, "input");
        return path;
    }
    void Browse(const Paths& files) {
        view_.fileReplies.push_back(files);
        model_->OnCommand(kCmdBrowseFiles);
    }
    std::string Out(const std::string& name) const { return out_ + name; }
    std::string LeftPane() const { return model_->StatusTexts()[0]; }
    // A run's temporary files live in a folder of its own, which goes with
    // the run; the export folder gets none.
    void ExpectNoScratchLeft() const {
        EXPECT_FALSE(Exists(Out("tmpmd")));
        for (const auto& entry : fs::directory_iterator(platform::TempFolder())) {
            EXPECT_FALSE(entry.path().filename().string().starts_with("run-")) << entry.path();
        }
    }

    test::TempDir program_{"program"};
    test::TempDir input_{"queue input ü"};
    std::string out_ = program_ / "out put/";
    test::FakeView view_;
    test::FakeProbe probe_;
    DispatchHook ui_;
    test::RunSession session_{ui_};
    FakeTools tools_{session_.context};
    FakeHandOffs handOffs_;
    FakeRealMedia realMedia_;
    std::unique_ptr<MainWindowModel> model_;
};

TEST_F(ConversionQueueTest, AnEmptyListStartsNothingAndSaysWhy) {
    model_->OnCommand(kCmdConvert);
    EXPECT_TRUE(tools_.calls.empty());
    EXPECT_FALSE(model_->Converting());
    EXPECT_EQ(LeftPane(), "Add the files to convert first.");
}

TEST_F(ConversionQueueTest, ConvertsEveryEntryWithTheProfilesExtension) {
    Browse({Input("a b.avi"), Input("c.mov")});
    model_->SelectProfile(1);  // an AVI profile whose FileType is 2 (mp4)
    Paths duringRun;
    tools_.onConvert = [&](const std::string&) {
        duringRun.push_back(model_->ConvertCaption());
        duringRun.push_back(model_->IsCommandAvailable(kCmdBrowseFiles) ? "inputs" : "locked");
        duringRun.push_back(model_->MergeEnabled() ? "merge" : "no merge");
    };
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls, Paths({"convert a b.avi a b.mp4", "convert c.mov c.mp4"}));
    EXPECT_TRUE(Exists(Out("a b.mp4")));
    EXPECT_TRUE(Exists(Out("c.mp4")));
    EXPECT_EQ(duringRun[0], "Stop Conversion");
    EXPECT_EQ(duringRun[1], "locked");
    EXPECT_EQ(duringRun[2], "no merge");
    EXPECT_EQ(LeftPane(), "All converting works are Completed!");
    EXPECT_EQ(model_->ConvertCaption(), "Convert Now!");
    EXPECT_TRUE(model_->IsCommandAvailable(kCmdBrowseFiles));
    EXPECT_TRUE(model_->FailedInputs().empty());
}

TEST_F(ConversionQueueTest, MergeJoinsTheGoodOutputsUnderTheFirstName) {
    Browse({Input("one.avi"), Input("two broken.avi"), Input("three.avi")});
    model_->ToggleMerge();
    model_->OnCommand(kCmdConvert);
    // The joined file is encoded under a name of its own and takes the first
    // output's only once it is whole.
    EXPECT_EQ(tools_.calls,
              Paths({"convert one.avi one.avi", "convert two broken.avi two broken.avi",
                     "convert three.avi three.avi", "join one_merge.avi one.avi three.avi",
                     "convert one_merge.avi .zarvo-one.avi"}));
    EXPECT_TRUE(Exists(Out("one.avi")));
    EXPECT_FALSE(Exists(Out(".zarvo-one.avi")));
    EXPECT_FALSE(Exists(Out("three.avi")));
    EXPECT_FALSE(Exists(Out("one_merge.avi")));
    EXPECT_EQ(LeftPane(),
              "All converting works are Completed! (1 of 3 failed: two broken.avi: "
              "no output)");
    EXPECT_EQ(model_->FailedInputs(), Paths({input_.Folder() + "in/two broken.avi"}));
    const Paths& log = model_->StatusLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "two broken.avi failed: no output"), log.end());
    // The list marks the failed entry with its reason.
    EXPECT_TRUE(model_->FileListTexts()[1].ends_with("  [Failed: no output]"));
    EXPECT_FALSE(model_->FileListTexts()[0].ends_with("]"));
}

// The tool's word and the joined file's length decide, not the file's size.
TEST_F(ConversionQueueTest, AFailedJoinKeepsTheSeparateOutputs) {
    Browse({Input("one.avi"), Input("two.avi")});
    model_->ToggleMerge();
    tools_.joinWorks = false;
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls.back(), "join one_merge.avi one.avi two.avi");
    EXPECT_TRUE(Exists(Out("one.avi")));
    EXPECT_TRUE(Exists(Out("two.avi")));
    EXPECT_FALSE(Exists(Out("one_merge.avi")));
    EXPECT_EQ(LeftPane(), "All converting works are Completed! (joining failed)");

    const auto emptyExportFolder = [this] {
        for (const auto& entry : fs::directory_iterator(out_)) fs::remove_all(entry.path());
    };
    emptyExportFolder();
    tools_.calls.clear();
    tools_.joinWorks = true;
    tools_.joinLosesBytes = 2048;  // two seconds short: a piece left out
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls.back(), "join one_merge.avi one.avi two.avi");
    EXPECT_TRUE(Exists(Out("two.avi")));
    EXPECT_EQ(LeftPane(), "All converting works are Completed! (joining failed)");

    tools_.joinLosesBytes = 1024;  // within a second: a join that worked
    emptyExportFolder();
    model_->OnCommand(kCmdConvert);
    EXPECT_FALSE(Exists(Out("two.avi")));
    EXPECT_EQ(LeftPane(), "All converting works are Completed!");
}

TEST_F(ConversionQueueTest, NothingIsJoinedWhenEveryEntryFailed) {
    Browse({Input("broken one.avi"), Input("broken two.avi")});
    model_->ToggleMerge();
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls.size(), 2u);
    EXPECT_EQ(LeftPane(),
              "All converting works are Completed! (2 of 2 failed: broken one.avi: "
              "no output; see the list)");
}

TEST_F(ConversionQueueTest, MergeOfOneFileKeepsItsNameAndPspGetsOneThumbnail) {
    model_->OnCommand(1202);  // PSP
    Browse({Input("clip.avi")});
    model_->ToggleMerge();
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls, Paths({"convert clip.avi clip.mp4", "thumbnail clip.avi clip.mp4"}));
    EXPECT_TRUE(Exists(Out("clip.mp4")));
}

TEST_F(ConversionQueueTest, PspWithoutMergeGetsAThumbnailPerFile) {
    model_->OnCommand(1202);
    Browse({Input("a.avi"), Input("b.avi")});
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls, Paths({"convert a.avi a.mp4", "thumbnail a.avi a.mp4",
                                   "convert b.avi b.mp4", "thumbnail b.avi b.mp4"}));
}

TEST_F(ConversionQueueTest, StopDuringTheSecondFileEndsTheQueueWithoutMerge) {
    Browse({Input("one.avi"), Input("two.avi"), Input("three.avi")});
    model_->ToggleMerge();
    // The press arrives while the second encoder runs, as the tool's message
    // dispatching delivers it.
    tools_.onConvert = [&](const std::string& input) {
        if (input.ends_with("two.avi")) model_->OnCommand(kCmdConvert);
    };
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls, Paths({"convert one.avi one.avi", "convert two.avi two.avi"}));
    EXPECT_TRUE(session_.context.cancelRequested);
    EXPECT_EQ(realMedia_.calls, Paths({"cancel job"}));
    EXPECT_EQ(model_->StoppedInput(), input_.Folder() + "in/two.avi");
    // The stopped file is no result: nothing stays under its name.
    EXPECT_TRUE(Exists(Out("one.avi")));
    EXPECT_FALSE(Exists(Out("two.avi")));
    EXPECT_FALSE(Exists(Out("three.avi")));
    EXPECT_FALSE(Exists(Out("one_merge.avi")));
    EXPECT_EQ(LeftPane(), "Conversion stopped: 1 of 3 files converted.");
    EXPECT_FALSE(model_->Converting());
}

// Closing asks first while a conversion runs: No carries on, Yes stops it
// as Stop does and closes.
TEST_F(ConversionQueueTest, ClosingTheWindowAsksBeforeItStopsTheRunningTool) {
    Browse({Input("one.avi"), Input("two.avi")});
    view_.yesNoReplies = {false, true};
    tools_.onConvert = [&](const std::string&) { model_->OnCommand(kCmdClose); };
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls, Paths({"convert one.avi one.avi", "convert two.avi two.avi"}));
    EXPECT_TRUE(session_.context.cancelRequested);
    EXPECT_EQ(std::count(view_.calls.begin(), view_.calls.end(),
                         "ask A conversion is running. Stop it and quit?"),
              2);
    EXPECT_EQ(view_.calls.back(), "close");
    EXPECT_TRUE(Exists(Out("one.avi")));
    EXPECT_FALSE(Exists(Out("two.avi")));
    // Idle, it closes at once.
    view_.calls.clear();
    model_->OnCommand(kCmdClose);
    EXPECT_EQ(view_.calls, Paths({"close"}));
}

TEST_F(ConversionQueueTest, AudioTheEncoderCannotDecodeIsRepairedFirst) {
    Browse({Input("phone.mp4"), Input("plain.avi")});
    tools_.audioCodecs["phone.mp4"] = "aac (LC) (mp4a / 0x6134706D)";
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls,
              Paths({"repair phone.mp4 men_video.tmp", "convert men_video.tmp phone.avi",
                     "convert plain.avi plain.avi"}));
    EXPECT_TRUE(Exists(Out("phone.avi")));
    ExpectNoScratchLeft();
}

TEST_F(ConversionQueueTest, TheThumbnailOfARepairedInputIsTakenBeforeTheScratchIsEmptied) {
    model_->OnCommand(1202);  // PSP
    Browse({Input("phone.mp4")});
    tools_.audioCodecs["phone.mp4"] = "0x6134706d";
    bool repairedInputThere = false;
    tools_.onThumbnail = [&](const std::string& source) { repairedInputThere = Exists(source); };
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls.back(), "thumbnail men_video.tmp phone.mp4");
    EXPECT_TRUE(repairedInputThere);
    ExpectNoScratchLeft();
}

TEST_F(ConversionQueueTest, MissingInputsAreSkippedAndCounted) {
    const std::string gone = Input("gone.avi");
    Browse({gone, Input("here.avi")});
    fs::remove(gone);
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls, Paths({"convert here.avi here.avi"}));
    EXPECT_EQ(LeftPane(),
              "All converting works are Completed! (1 of 2 failed: gone.avi: the file "
              "is not there any more)");
    EXPECT_EQ(model_->FailedInputs(), Paths({gone}));
}

TEST_F(ConversionQueueTest, ProgressNotificationsShowWhileConverting) {
    model_->OnProgressNotification(50);
    EXPECT_EQ(model_->Progress(), 0);
    Browse({Input("a.avi")});
    int seen = -1;
    tools_.onConvert = [&](const std::string&) {
        model_->OnProgressNotification(42);
        seen = model_->Progress();
        EXPECT_EQ(LeftPane().rfind(" Converting ", 0), 0u);
        model_->OnProgressNotification(kProgressToolFailed);
        EXPECT_EQ(LeftPane(), "Error to open/convert this file! (see Log)");
    };
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(seen, 42);
    EXPECT_EQ(model_->Progress(), 0);
    // A failure the tool reported counts even when it left an output.
    EXPECT_EQ(LeftPane(), "All converting works are Completed! (1 of 1 failed: a.avi: no output)");
}

TEST_F(ConversionQueueTest, DvdTargetHandsTheJoinToAuthoringAndBurning) {
    model_->OnCommand(1037);
    Browse({Input("a.avi"), Input("b.avi")});
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls.back(), "convert a_merge.mpg .zarvo-a.mpg");
    EXPECT_EQ(handOffs_.calls, Paths({"image a.mpg", "burn 0 a.mpg"}));
    // The burning window takes over from here: the status line adds nothing.
    EXPECT_EQ(LeftPane(), "All converting works are Completed!");

    // A failed image is said so, and nothing is burned.
    fs::remove(Out("a.mpg"));
    handOffs_.calls.clear();
    handOffs_.imageWorks = 0;
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(handOffs_.calls, Paths({"image a.mpg"}));
    EXPECT_EQ(LeftPane(), "All converting works are Completed! (no DVD image: no disc today)");

    for (const auto& [profile, call] : std::map<int, std::string>{{4, "burn 1 a.mpg"},
                                                                  {10, "burn 1 a.mpg"},
                                                                  {5, "burn 2 a.mpg"},
                                                                  {11, "burn 2 a.mpg"}}) {
        handOffs_.calls.clear();
        fs::remove(Out("a.mpg"));
        model_->SelectProfile(profile);
        model_->OnCommand(kCmdConvert);
        EXPECT_EQ(handOffs_.calls, Paths({call})) << profile;
    }
}

TEST_F(ConversionQueueTest, RealVideoGoesThroughTheConversionHost) {
    Browse({Input("movie.rm"), Input("broken.rm"), Input("next.avi")});
    int waits = 0;
    ui_.onDispatch = [&] {
        // The host's progress, then its end.
        if (++waits == 1) {
            realMedia_.tip = " Remain: 00:00:04";
            model_->OnProgressNotification(40);
            return;
        }
        if (!realMedia_.jobOutput.empty()) FakeTools::Write(realMedia_.jobOutput, 4096);
        model_->OnProgressNotification(kProgressJobFinished);
    };
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(realMedia_.calls, Paths({"job movie.rm " + Out("tempvideofile.mpg"),
                                       "job broken.rm " + Out("tempvideofile.mpg")}));
    // The job that failed is given up and the queue goes on.
    EXPECT_EQ(tools_.calls,
              Paths({"convert tempvideofile.mpg movie.avi", "convert next.avi next.avi"}));
    EXPECT_EQ(model_->FailedInputs(), Paths({input_.Folder() + "in/broken.rm"}));
    EXPECT_FALSE(Exists(Out("tempvideofile.mpg")));
    EXPECT_NE(std::find(model_->StatusLog().begin(), model_->StatusLog().end(),
                        " Converting " + input_.Folder() + "in/movie.rm Now..."),
              model_->StatusLog().end());
    EXPECT_EQ(model_->JobTipLog(), Paths({" Remain: 00:00:04"}));
    EXPECT_EQ(model_->ProgressLog().front(), 40);
    EXPECT_EQ(model_->StoppedInput(), "");
}

TEST_F(ConversionQueueTest, StopDuringTheRealMediaJobEndsWithoutConverting) {
    Browse({Input("movie.rm"), Input("next.avi")});
    ui_.onDispatch = [&] {
        FakeTools::Write(realMedia_.jobOutput, 10);
        model_->OnCommand(kCmdConvert);
    };
    model_->OnCommand(kCmdConvert);
    EXPECT_TRUE(tools_.calls.empty());
    EXPECT_EQ(realMedia_.calls.back(), "cancel job");
    EXPECT_FALSE(Exists(Out("tempvideofile.mpg")));
    EXPECT_EQ(LeftPane(), "Conversion stopped: 0 of 2 files converted.");
    EXPECT_EQ(model_->StoppedInput(), input_.Folder() + "in/movie.rm");
}

class DvdTitleQueueTest : public ConversionQueueTest {
protected:
    void ChooseDvd(const Paths& vobs) {
        const std::string dvd = input_.Folder() + "dvd";
        fs::create_directories(dvd + "/VIDEO_TS");
        for (const std::string& vob : vobs) test::WriteFile(dvd + "/VIDEO_TS/" + vob, "vob");
        probe_.audioLines = {"Stream #0:2[0x80]: Audio: ac3", "Stream #0:3[0x81]: Audio: ac3"};
        view_.folderReplies.push_back(dvd);
        view_.audioReplies.push_back(1);
        model_->OnCommand(kCmdChooseDvd);
    }
};

TEST_F(DvdTitleQueueTest, PiecesOfTheTitleAreConvertedWithTheChosenAudioAndJoined) {
    ChooseDvd({"VTS_01_1.VOB", "VTS_01_2.VOB"});
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls, Paths({"piece VTS_01_1.VOB [0x81] VTS_01_1.VOB",
                                   "piece VTS_01_2.VOB [0x81] VTS_01_2.VOB",
                                   "join merge_video.tmp VTS_01_1.VOB VTS_01_2.VOB",
                                   "convert merge_video.tmp VTS_01_1.avi"}));
    EXPECT_TRUE(Exists(Out("VTS_01_1.avi")));
    ExpectNoScratchLeft();
    EXPECT_EQ(LeftPane(), "All converting works are Completed!");
}

TEST_F(DvdTitleQueueTest, ASinglePieceIsMovedToTheFinalName) {
    ChooseDvd({"VTS_01_1.VOB"});
    model_->OnCommand(1202);  // PSP
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls, Paths({"piece VTS_01_1.VOB [0x81] VTS_01_1.VOB",
                                   "thumbnail VTS_01_1.VOB VTS_01_1.mp4"}));
    EXPECT_TRUE(Exists(Out("VTS_01_1.mp4")));
}

TEST_F(DvdTitleQueueTest, StopEndsTheTitleWithoutJoining) {
    ChooseDvd({"VTS_01_1.VOB", "VTS_01_2.VOB", "VTS_01_3.VOB"});
    bool audioButtonAvailable = true;
    tools_.onConvert = [&](const std::string& vob) {
        audioButtonAvailable = model_->IsCommandAvailable(kCmdSelectAudioStream);
        if (!vob.ends_with("VTS_01_2.VOB")) return;
        model_->OnCommand(kCmdConvert);
        // A tool run after the stop clears the tool cancel flag, not the stop.
        tools_.Record("probe");
    };
    model_->OnCommand(kCmdConvert);
    EXPECT_EQ(tools_.calls, Paths({"piece VTS_01_1.VOB [0x81] VTS_01_1.VOB",
                                   "piece VTS_01_2.VOB [0x81] VTS_01_2.VOB", "probe"}));
    EXPECT_FALSE(audioButtonAvailable);
    EXPECT_TRUE(model_->IsCommandAvailable(kCmdSelectAudioStream));
    EXPECT_FALSE(Exists(Out("VTS_01_1.avi")));
    EXPECT_EQ(LeftPane(), "Conversion stopped: 0 of 1 file converted.");
}

}  // namespace
