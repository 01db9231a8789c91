// The program's side of a RealMedia job against host programs that play the
// library's part in the job file, as scripted here.
#include "app/rmjob/real_media_job.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "app/tools/activity_log.h"
#include "app/tools/run_context.h"
#include "platform/private_profile.h"
#include "tests/support/process_checks.h"
#include "tests/support/run_session.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;
namespace fs = std::filesystem;

class ManualTimer : public PollTimer {
public:
    void Start(std::chrono::milliseconds period) override { this->period = period; }
    void Stop() override { period = 0ms; }
    bool Running() const override { return period > 0ms; }
    std::chrono::milliseconds period{0};
};

class RecordingWindow : public CommandTarget {
public:
    void PostCommand(unsigned message, unsigned wParam, std::intptr_t lParam) override {
        if (message == kCommandMessage && wParam == kProgressNotification) {
            notifications.push_back(static_cast<int>(lParam));
        }
    }
    std::vector<int> notifications;
};

// Writes as the library would; every key is one write of the INI layer.
void WriteCommon(const std::string& job, const std::string& key, const std::string& value) {
    ASSERT_TRUE(platform::WritePrivateProfileString("common", key, value, job));
}

std::string Read(const std::string& job, const std::string& section, const std::string& key) {
    return platform::GetPrivateProfileString(section, key, "<absent>", 4096, job);
}

// The program's message boxes, as "caption: text".
class MessageRecorder : public test::FailingUi {
public:
    void ShowMessage(const std::string& text, const std::string& caption) override {
        messages.push_back(caption + ": " + text);
    }
    std::vector<std::string> messages;
};

class RealMediaJobTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(export_ + "tmpmd");
        test::WriteFile(export_ + "tmpmd/left over.tmp", "x");
        test::WriteFile(writable_ / "zarvo.ini", "[common]\nexportfolder=" + export_ + "\n");
        durations_ = {{"a.rm", 100.6}, {"b c.rm", 200.2}};
    }
    void TearDown() override {
        job_.reset();
        EXPECT_FALSE(test::HasChildProcess());
    }

    // The host the job starts: a script in the program folder.
    void InstallHost(const std::string& script) {
        const std::string path = program_ / kHostProgramName;
        // The real host finds the job file among the writable files by
        // itself; this one is told where that is.
        test::WriteFile(path, "#!/bin/sh\nJOB='" + JobFile() + "'\n" + script);
        chmod(path.c_str(), 0755);
    }

    RealMediaJob& Job(std::chrono::milliseconds watchdog = kHostStartWatchdog) {
        RealMediaJob::Services services;
        services.probe = [this](const std::string& file) {
            MediaInfo media;
            media.durationSeconds = durations_[fs::path(file).filename()];
            media.videoCodec = "rv20 (RV20 / 0x30325652)";
            return media;
        };
        services.window = &window_;
        services.pollTimer = &timer_;
        services.context = &session_.context;
        services.hostWatchdog = watchdog;
        job_ = std::make_unique<RealMediaJob>(program_.Folder(), writable_.Folder(), services);
        return *job_;
    }

    std::string JobFile() const { return writable_ / "Tobrin.ini"; }
    std::string Input(const std::string& name) const { return "/videos/" + name; }

    test::TempDir program_{"program ü"};
    // The job file and settings live apart from the program, as installed.
    test::TempDir writable_{"settings ü"};
    std::string export_ = program_ / "export folder/";
    std::map<std::string, double> durations_;
    ManualTimer timer_;
    RecordingWindow window_;
    MessageRecorder ui_;
    test::RunSession session_{ui_};
    ProgressClock& clock_ = session_.context.clock;
    Texts& messages_ = ui_.messages;
    std::unique_ptr<RealMediaJob> job_;
};

// A host that notes what it found when it started and ends with the job.
constexpr char kWatchingHost[] =
    "{ pwd; echo \"$#\"; cat \"$JOB\"; } > started.part; mv started.part started\n"
    "while ! grep -q -e 'ipercent=-1' -e 'canceltbr=1' -e 'iErrorCode=[1-9]' \"$JOB\"; do\n"
    "  sleep 0.02\n"
    "done\n";

TEST_F(RealMediaJobTest, EveryStartValueIsWrittenBeforeTheHostStartsAndProgressIsRead) {
    // The file an earlier, crashed job left behind.
    test::WriteFile(JobFile(),
                    "[common]\nipercent=-1\niErrorCode=3\ncanceltbr=1\nstrtip=old tip\n"
                    "[outformat]\ntempavifilename=/old/result.mpg\n");
    InstallHost(kWatchingHost);
    RealMediaJob& job = Job();
    job.StartRealMediaJob({Input("a.rm"), Input("b c.rm")}, export_ + "tempvideofile.mpg");
    EXPECT_EQ(timer_.period, 1000ms);
    EXPECT_EQ(clock_.totalSeconds, 300);
    EXPECT_FALSE(fs::exists(export_ + "tmpmd/left over.tmp"));

    const std::map<std::string, std::string> startValues = {
        {"infiles/dvdmode", "0"},
        {"infiles/number", "2"},
        {"infiles/file000", Input("a.rm")},
        {"infiles/file001", Input("b c.rm")},
        {"outformat/tempavifilename", export_ + "tempvideofile.mpg"},
        {"outformat/merge", "1"},
        {"outformat/mediatype", "1"},
        {"common/canceltbr", "0"},
        {"common/strtip", ""},
        {"common/iErrorCode", "0"},
        {"common/ipercent", "0"},
        {"common/stime", "0"},
        {"common/etime", "0"},
        {"common/operationid", "1"}};
    const std::string started = program_ / "started";
    for (int i = 0; i < 500 && !fs::exists(started); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(fs::exists(started));
    // The host ran in the program folder without arguments and found the
    // job complete.
    const std::string seen = test::ReadFile(started);
    const std::string folderLine = program_.Folder().substr(0, program_.Folder().size() - 1);
    EXPECT_EQ(seen.substr(0, seen.find("\n[")), folderLine + "\n0");
    test::WriteFile(program_ / "seen.ini", seen.substr(seen.find("\n[") + 1));
    // The host reads the file as it is, so the bytes themselves are the
    // contract: the earlier job's keys are overwritten where they stand, and
    // the new ones follow in the order they are written.
    EXPECT_EQ(test::ReadFile(program_ / "seen.ini"),
              "[common]\nipercent=0\niErrorCode=0\ncanceltbr=0\nstrtip=\nstime=0\netime=0\n"
              "operationid=1\n[outformat]\ntempavifilename=" +
                  export_ +
                  "tempvideofile.mpg\nmerge=1\nmediatype=1\n[infiles]\ndvdmode=0\nnumber=2\n"
                  "file000=/videos/a.rm\nfile001=/videos/b c.rm\n");
    for (const auto& [name, value] : startValues) {
        const std::size_t slash = name.find('/');
        EXPECT_EQ(Read(program_ / "seen.ini", name.substr(0, slash), name.substr(slash + 1)), value)
            << name;
    }

    WriteCommon(JobFile(), "ipercent", "50");
    WriteCommon(JobFile(), "strtip", " Remain: 00:00:07");
    job.OnPollTimer();
    EXPECT_EQ(clock_.positionSeconds, 150);
    // The INI layer trims values, as Windows did.
    EXPECT_EQ(job.RealMediaJobTip(), "Remain: 00:00:07");
    EXPECT_TRUE(job.HostRunning());

    // The end: the result name is written first, then the end mark.
    platform::WritePrivateProfileString("outformat", "tempavifilename", export_ + "made.mpg",
                                        JobFile());
    WriteCommon(JobFile(), "ipercent", "-1");
    job.OnPollTimer();
    EXPECT_EQ(window_.notifications, (std::vector<int>{50, 100, -1}));
    EXPECT_EQ(clock_.positionSeconds, 300);
    EXPECT_EQ(job.RealMediaJobResult(), export_ + "made.mpg");
    EXPECT_FALSE(timer_.Running());
    EXPECT_FALSE(job.HostRunning());
    EXPECT_TRUE(messages_.empty());
    // The host's tip line and the result are in the session's log.
    const std::string log = session_.log.Text();
    EXPECT_NE(log.find("tobrin: job for " + Input("a.rm")), std::string::npos) << log;
    EXPECT_NE(log.find("tobrin: Remain: 00:00:07"), std::string::npos) << log;
    EXPECT_NE(log.find("tobrin: result " + export_ + "made.mpg"), std::string::npos) << log;
}

TEST_F(RealMediaJobTest, ResultCodesShowTheirMessagesInOpenFileErrorAndEndTheJob) {
    InstallHost(kWatchingHost);
    const std::string input = Input("a.rm");
    const Texts expected = {
        "Open File Error: Can't open - " + input,
        "Open File Error: " + input +
            " is a text file, please open it with text editor, download original media file "
            "first.",
        "Open File Error: Can't find - " + input,
        "Open File Error: Can't open - " + input +
            "\n\nMost probable reasons are:\n"
            "1. Your video file is an audio file only.\n"};
    for (int code = 1; code <= 4; ++code) {
        SCOPED_TRACE(code);
        messages_.clear();
        window_.notifications.clear();
        RealMediaJob& job = Job();
        job.StartRealMediaJob({input}, export_ + "tempvideofile.mpg");
        WriteCommon(JobFile(), "iErrorCode", std::to_string(code));
        job.OnPollTimer();
        ASSERT_EQ(messages_.size(), 1u);
        EXPECT_EQ(messages_[0].substr(0, expected[code - 1].size()), expected[code - 1]);
        EXPECT_EQ(job.RealMediaJobResult(), "");
        EXPECT_FALSE(timer_.Running());
        EXPECT_EQ(window_.notifications, (std::vector<int>{0, -1}));
        job.CancelRealMediaJob();
        EXPECT_FALSE(job.HostRunning());
    }
    // Code 4 names the Debian packages that bring the decoders.
    EXPECT_NE(messages_[0].find("libavcodec-extra"), std::string::npos);

    // Code 5 hands over the intermediate file without a message.
    messages_.clear();
    RealMediaJob& job = Job();
    job.StartRealMediaJob({input}, export_ + "tempvideofile.mpg");
    platform::WritePrivateProfileString("outformat", "tempavifilename", export_ + "a.rmtmp.avi",
                                        JobFile());
    WriteCommon(JobFile(), "ipercent", "-1");
    WriteCommon(JobFile(), "iErrorCode", "5");
    job.OnPollTimer();
    EXPECT_EQ(job.RealMediaJobResult(), export_ + "a.rmtmp.avi");
    EXPECT_TRUE(messages_.empty());
}

// The end mark comes before the result code: a failure is still a failure
// when the poll falls between the two writes.
TEST_F(RealMediaJobTest, TheResultCodeIsReadAfterTheHostHasGone) {
    InstallHost(
        "while ! grep -q 'ipercent=-1' \"$JOB\"; do sleep 0.02; done\n"
        "sleep 0.3; sed 's/^iErrorCode=0/iErrorCode=3/' \"$JOB\" > t.ini; mv t.ini \"$JOB\"\n");
    RealMediaJob& job = Job();
    job.StartRealMediaJob({Input("a.rm")}, export_ + "tempvideofile.mpg");
    WriteCommon(JobFile(), "ipercent", "-1");
    job.OnPollTimer();
    EXPECT_EQ(messages_, Texts({"Open File Error: Can't find - " + Input("a.rm")}));
    EXPECT_EQ(job.RealMediaJobResult(), "");
}

TEST_F(RealMediaJobTest, CancelWritesTheStopRequestAndReturnsWithTheHostGone) {
    InstallHost(kWatchingHost);
    RealMediaJob& job = Job();
    job.StartRealMediaJob({Input("a.rm")}, export_ + "tempvideofile.mpg");
    auto started = std::chrono::steady_clock::now();
    job.CancelRealMediaJob();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_EQ(Read(JobFile(), "common", "canceltbr"), "1");
    EXPECT_FALSE(timer_.Running());
    EXPECT_FALSE(job.HostRunning());

    // A host that does not listen is ended after two seconds.
    InstallHost("exec sleep 60\n");
    job.StartRealMediaJob({Input("a.rm")}, export_ + "tempvideofile.mpg");
    EXPECT_EQ(Read(JobFile(), "common", "canceltbr"), "0");
    started = std::chrono::steady_clock::now();
    job.CancelRealMediaJob();
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, 1900ms);
    EXPECT_LT(took, 3s);
    EXPECT_FALSE(job.HostRunning());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(RealMediaJobTest, AHostThatIsMissingOrDiesIsGivenUpAfterTheWatchdog) {
    RealMediaJob& job = Job(300ms);
    job.StartRealMediaJob({Input("a.rm")}, export_ + "tempvideofile.mpg");
    job.OnPollTimer();
    EXPECT_TRUE(messages_.empty());
    EXPECT_TRUE(timer_.Running());
    std::this_thread::sleep_for(350ms);
    job.OnPollTimer();
    EXPECT_EQ(messages_, Texts({"Open File Error: Can't open - " + Input("a.rm")}));
    EXPECT_EQ(window_.notifications, (std::vector<int>{0, 0, -1}));
    EXPECT_FALSE(timer_.Running());

    // One that starts, reports some progress and dies without an end mark.
    messages_.clear();
    InstallHost("sed 's/^ipercent=0/ipercent=30/' \"$JOB\" > t.ini; mv t.ini \"$JOB\"; exit 9\n");
    job.StartRealMediaJob({Input("a.rm")}, export_ + "tempvideofile.mpg");
    std::this_thread::sleep_for(400ms);
    job.OnPollTimer();
    EXPECT_EQ(messages_, Texts({"Open File Error: Can't open - " + Input("a.rm")}));
    EXPECT_EQ(job.RealMediaJobResult(), "");
}

TEST_F(RealMediaJobTest, TheProgramEndingStopsTheHost) {
    InstallHost(kWatchingHost);
    Job().StartRealMediaJob({Input("a.rm")}, export_ + "tempvideofile.mpg");
    EXPECT_TRUE(job_->HostRunning());
    job_.reset();
    EXPECT_EQ(Read(JobFile(), "common", "canceltbr"), "1");
    EXPECT_FALSE(test::HasChildProcess());
}

TEST(RealVideoTest, RealVideoTwoThreeAndFourInAnyCase) {
    EXPECT_TRUE(IsRealVideoCodec("rv20 (RV20 / 0x30325652)"));
    EXPECT_TRUE(IsRealVideoCodec("RV40"));
    EXPECT_TRUE(IsRealVideoCodec("Rv30"));
    EXPECT_FALSE(IsRealVideoCodec("rv10 (RV10 / 0x30315652)"));
    EXPECT_FALSE(IsRealVideoCodec("h264"));
    EXPECT_FALSE(IsRealVideoCodec(""));
}

}  // namespace
