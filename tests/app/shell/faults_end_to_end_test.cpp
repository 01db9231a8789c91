// Conversions that go wrong from outside: a full disk, an encoder killed, an
// export folder taken away, an input deleted, settings and profile files
// that are garbage. Each ends with a clear status, the inputs as they were,
// no output of a failed file left under its name, the queue going on with
// the next file, and (checked after every test) no tool left running.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonObject>
#include <filesystem>
#include <map>
#include <optional>

#include "tests/app/shell/end_to_end_fixture.h"
#include "tests/support/media_tools.h"
#include "tests/support/small_disk.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_literals;
using Paths = std::vector<std::string>;
using test::Text;
using test::Texts;

constexpr char kCompleted[] = "All converting works are Completed!";

// True once process `pid` has `path` open (within `timeout`).
bool WaitUntilOpen(pid_t pid, const std::string& path, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    const std::string descriptors = "/proc/" + std::to_string(pid) + "/fd";
    do {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(descriptors, error)) {
            if (fs::read_symlink(entry.path(), error) == path) return true;
        }
        std::this_thread::sleep_for(20ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::vector<std::string> FileNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class FaultTest : public test::EndToEndTest {
protected:
    // Remembers the inputs' bytes, to check at the end that no step touched
    // them.
    void KeepInputs(const Paths& inputs) {
        for (const std::string& input : inputs) inputs_[input] = test::ReadFile(input);
    }
    void ExpectInputsUntouched() const {
        for (const auto& [path, bytes] : inputs_) {
            EXPECT_TRUE(test::ReadFile(path) == bytes) << path << " was changed";
        }
    }
    void ExpectConverted(const std::string& output, double seconds) const {
        const test::ProbedFile probed = test::ProbeWithFfprobe(output);
        EXPECT_NEAR(probed.durationSeconds, seconds, 0.5) << output;
    }

    std::map<std::string, std::string> inputs_;
};

// The export folder on a file system that fills up during the first file:
// the file fails and nothing of it stays; the second, small one still fits.
// With a blank in the folder's name the tool writes a stand-in name that is
// then moved into place; without one the tool itself meets the full disk.
// The disk is a tmpfs where the test may mount one, and the preloaded small
// disk everywhere.
struct FullDiskCase {
    test::DiskKind disk;
    const char* folder;
};

class FullDiskTest : public FaultTest, public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDiskTest, TheFileThatDoesNotFitFailsAndTheNextIsConverted) {
    // Outside the fixture's folder, whose name holds a blank; removed after
    // the file system in it has gone.
    struct OwnFolder {
        ~OwnFolder() {
            std::error_code ignored;
            fs::remove_all(path, ignored);
        }
        std::string path;
    };
    char pattern[] = "/tmp/zarvo-disk-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const OwnFolder parent{pattern};
    const std::string folder = parent.path + "/" + GetParam().folder + "/";
    // Noise needs every bit of the profile's rate: 20 s of it at 600 kbit/s
    // is about 1.5 MB.
    const std::string noisy = clips_ + "noisy.avi";
    test::MustRun(
        "ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:rate=25:duration=20,"
        "noise=alls=100:allf=t -c:v mpeg4 -q:v 2 " +
        test::Quoted(noisy));
    const std::string small = Clip("small.avi", 1);
    KeepInputs({noisy, small});

    const test::SmallDisk disk(folder, 1 << 20, GetParam().disk);
    if (!disk.Ready()) GTEST_SKIP() << "this process may not mount a tmpfs";
    const QJsonObject state = RunScript("export " + folder + "\nprofile 3\nbrowse " + noisy + "\t" +
                                        small + "\nconvert\nquit\n");

    EXPECT_TRUE(
        Texts(state["status"])[0].starts_with(std::string(kCompleted) + " (1 of 2 failed: "))
        << Texts(state["status"])[0];
    EXPECT_EQ(Texts(state["failed"]), Paths({noisy}));
    EXPECT_EQ(FileNames(folder), Paths({"small.avi"}));
    ExpectConverted(folder + "small.avi", 1);
    ExpectInputsUntouched();
    EXPECT_EQ(test::ProcessesMentioning(folder), Paths());
    EXPECT_EQ(test::ProcessesMentioning(runtime_), Paths());
}

INSTANTIATE_TEST_SUITE_P(Folders, FullDiskTest,
                         ::testing::Values(FullDiskCase{test::DiskKind::kTmpfs, "full"},
                                           FullDiskCase{test::DiskKind::kTmpfs, "full disk"},
                                           FullDiskCase{test::DiskKind::kPreloaded, "full"},
                                           FullDiskCase{test::DiskKind::kPreloaded, "full disk"}),
                         [](const ::testing::TestParamInfo<FullDiskCase>& info) {
                             return std::string(test::DiskKindName(info.param.disk)) +
                                    (std::string(info.param.folder).find(' ') == std::string::npos
                                         ? "ToolWritesThere"
                                         : "StandInMovedThere");
                         });

TEST_F(FaultTest, AnEncoderKilledMidFileFailsThatFileAndTheNextIsConverted) {
    const std::string cut = LongClip("long clip.avi", 3600);
    const std::string after = Clip("after.avi", 1);
    KeepInputs({cut, after});
    const auto [program, encoder] =
        StartConverting("profile 2\nbrowse " + cut + "\t" + after + "\nconvert\nquit\n");
    ASSERT_GT(encoder, 0);
    std::this_thread::sleep_for(2s);
    ASSERT_EQ(kill(encoder, SIGKILL), 0);
    const int status = WaitForProgram(program, 180s);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ProgramLog();

    const QJsonObject state = ReadState();
    EXPECT_TRUE(
        Texts(state["status"])[0].starts_with(std::string(kCompleted) + " (1 of 2 failed: "))
        << Texts(state["status"])[0];
    EXPECT_EQ(Texts(state["failed"]), Paths({cut}));
    EXPECT_EQ(FileNames(export_), Paths({"after.avi"}));
    ExpectConverted(export_ + "after.avi", 1);
    ExpectInputsUntouched();
    EXPECT_EQ(test::ProcessesMentioning(runtime_), Paths());
}

// The export folder removed, or its file system made read-only, while the
// first of two files is converted: neither can be written, both fail, and
// the program ends as usual.
class ExportFolderGoneTest : public FaultTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ExportFolderGoneTest, BothFilesFailAndNothingIsLeft) {
    const bool readOnly = GetParam();
    const std::string folder = root_ / "export here/";
    fs::create_directories(folder);
    std::optional<test::SmallDisk> disk;
    if (readOnly) {
        disk.emplace(folder, 64 << 20, test::DiskKind::kTmpfs);
        if (!disk->Ready()) GTEST_SKIP() << "this process may not mount a tmpfs";
    }
    const std::string first = LongClip("first.avi", 60);
    const std::string second = Clip("second.avi", 1);
    KeepInputs({first, second});
    const auto [program, encoder] = StartConverting("export " + folder + "\nprofile 2\nbrowse " +
                                                    first + "\t" + second + "\nconvert\nquit\n");
    ASSERT_GT(encoder, 0);
    if (readOnly) {
        ASSERT_TRUE(disk->MakeReadOnly());
    } else {
        fs::remove_all(folder);
    }
    const int status = WaitForProgram(program, 180s);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ProgramLog();

    const QJsonObject state = ReadState();
    EXPECT_TRUE(
        Texts(state["status"])[0].starts_with(std::string(kCompleted) + " (2 of 2 failed: "))
        << Texts(state["status"])[0];
    EXPECT_EQ(Texts(state["failed"]), Paths({first, second}));
    EXPECT_EQ(FileNames(folder), Paths());
    ExpectInputsUntouched();
    EXPECT_EQ(test::ProcessesMentioning(runtime_), Paths());
}

INSTANTIATE_TEST_SUITE_P(Ways, ExportFolderGoneTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "MadeReadOnly" : "Removed";
                         });

// The file being converted and the next one deleted while the first is
// converted: the tool already reads the first, which converts whole; the
// second is missing when its turn comes and fails; the third converts.
TEST_F(FaultTest, InputsDeletedDuringTheQueueAreReportedAndTheRestConverted) {
    const std::string first = LongClip("first.avi", 60);
    const std::string second = Clip("second.avi", 1);
    const std::string third = Clip("third.avi", 1);
    KeepInputs({third});
    const auto [program, encoder] = StartConverting("profile 2\nbrowse " + first + "\t" + second +
                                                    "\t" + third + "\nconvert\nquit\n");
    ASSERT_GT(encoder, 0);
    ASSERT_TRUE(WaitUntilOpen(encoder, first, 60s));
    fs::remove(first);
    fs::remove(second);
    const int status = WaitForProgram(program, 180s);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ProgramLog();

    const QJsonObject state = ReadState();
    EXPECT_TRUE(
        Texts(state["status"])[0].starts_with(std::string(kCompleted) + " (1 of 3 failed: "))
        << Texts(state["status"])[0];
    EXPECT_EQ(Texts(state["failed"]), Paths({second}));
    EXPECT_EQ(FileNames(export_), Paths({"first.avi", "third.avi"}));
    ExpectConverted(export_ + "first.avi", 60);
    ExpectConverted(export_ + "third.avi", 1);
    ExpectInputsUntouched();
    EXPECT_EQ(test::ProcessesMentioning(runtime_), Paths());
}

// A settings file of binary garbage and a profile file cut off in the middle
// of a line: the program starts, takes the export folder it is given, and
// converts with a profile the cut left whole.
TEST_F(FaultTest, GarbageSettingsAndATruncatedProfileFileStillConvert) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) % 251));
    garbage += "\n[common\nexportfolder\n=\n[]\n\0\0\0"s;
    test::WriteFile(program_ + "zarvo.ini", garbage);
    const std::string profiles = test::ReadFile(program_ + "AviProfile.ini");
    const std::size_t cut = profiles.find("VideoBitrate=", profiles.find("[Profile4]")) + 15;
    test::WriteFile(program_ + "AviProfile.ini", profiles.substr(0, cut));
    const std::string clip = Clip("a.avi", 1);
    KeepInputs({clip});
    fs::create_directories(export_);

    const QJsonObject state =
        RunScript("export " + export_ + "\nprofile 3\nbrowse " + clip + "\nconvert\nquit\n");

    EXPECT_EQ(Texts(state["status"])[0], kCompleted);
    EXPECT_EQ(FileNames(export_), Paths({"a.avi"}));
    ExpectConverted(export_ + "a.avi", 1);
    ExpectInputsUntouched();
    // The export folder was written into the garbage, which kept its bytes,
    // and the next start reads it back.
    const std::string settings = test::ReadFile(program_ + "zarvo.ini");
    EXPECT_NE(settings.find(garbage.substr(0, 1000)), std::string::npos);
    EXPECT_EQ(Text(RunScript("quit\n")["export_folder"]), export_);
}

}  // namespace
