// The real program on folders as users have them: inputs in the export
// folder, links to inputs, two inputs with one name, names with blanks,
// double quotes and letters outside ASCII, a read-only input folder, and
// leftovers of an earlier run. Whatever happens, no input changes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <map>

#include "tests/app/shell/end_to_end_fixture.h"
#include "tests/support/media_tools.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;
using test::Text;
using test::Texts;

constexpr const char* kCompleted = "All converting works are Completed!";

Paths Listing(const std::string& folder) {
    Paths names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Decodes the whole file; the error lines ffmpeg prints (none for a good file).
std::string DecodeErrors(const std::string& path) {
    int exitCode = -1;
    const std::string errors = test::RunArguments(
        {"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "null", "-"}, &exitCode);
    return exitCode == 0 ? errors : "exit " + std::to_string(exitCode) + ": " + errors;
}

bool Mentions(const Paths& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(), [&](const std::string& text) {
        return text.find(part) != std::string::npos;
    });
}

class UserFoldersTest : public test::EndToEndTest {
protected:
    // A clip anywhere; the container follows the name's extension.
    std::string ClipAt(const std::string& path, double seconds, const std::string& options = "") {
        fs::create_directories(fs::path(path).parent_path());
        EXPECT_TRUE(test::MakeClip(path, seconds, options, "160x120")) << path;
        inputs_[path] = test::ReadFile(path);
        return path;
    }
    // Every input still holds the bytes it held when it was made.
    void ExpectInputsUnchanged() const {
        for (const auto& [path, bytes] : inputs_) {
            EXPECT_TRUE(test::ReadFile(path) == bytes) << path << " changed";
        }
    }
    void ExpectGoodClip(const std::string& path, double seconds) const {
        SCOPED_TRACE(path);
        EXPECT_NEAR(test::ProbeWithFfprobe(path).durationSeconds, seconds, 0.5);
        EXPECT_EQ(DecodeErrors(path), "");
    }
    QJsonObject Convert(const Paths& files, const std::string& options = "") {
        std::string browse = "browse";
        for (std::size_t i = 0; i < files.size(); ++i) browse += (i ? "\t" : " ") + files[i];
        return RunScript("target 0\nprofile 3\n" + options + browse + "\nconvert\nquit\n");
    }

    std::map<std::string, std::string> inputs_;
};

class InputInExportFolderTest : public UserFoldersTest,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(InputInExportFolderTest, ConvertsBesideTheInputWithoutTouchingIt) {
    const std::string base = GetParam();
    const std::string input = ClipAt(export_ + base + ".avi", 1);
    const QJsonObject state = Convert({input});
    ExpectInputsUnchanged();
    EXPECT_EQ(Listing(export_), Paths({base + " (2).avi", base + ".avi"}));
    ExpectGoodClip(export_ + base + " (2).avi", 1);
    EXPECT_EQ(Texts(state["status"])[0],
              std::string(kCompleted) + " (saved as " + base + " (2).avi)");
    EXPECT_TRUE(Mentions(Texts(state["status_log"]), base + " (2).avi"));
}

TEST_P(InputInExportFolderTest, MergesBesideTheInputWithoutTouchingIt) {
    const std::string base = GetParam();
    const std::string input = ClipAt(export_ + base + ".avi", 1);
    const std::string other = ClipAt(clips_ + "other.avi", 2);
    const QJsonObject state = Convert({input, other}, "merge\n");
    ExpectInputsUnchanged();
    EXPECT_EQ(Listing(export_), Paths({base + " (2).avi", base + ".avi"}));
    ExpectGoodClip(export_ + base + " (2).avi", 3);
    EXPECT_EQ(Texts(state["status"])[0],
              std::string(kCompleted) + " (saved as " + base + " (2).avi)");
}

INSTANTIATE_TEST_SUITE_P(Names, InputInExportFolderTest,
                         ::testing::Values("clip", "my clip", "say \"hi\" \xC3\xBC"));

TEST_F(UserFoldersTest, TwoInputsWithOneNameGetTwoOutputs) {
    const std::string first = ClipAt(clips_ + "a/clip.avi", 1);
    const std::string second = ClipAt(clips_ + "b/clip.mpg", 2);
    QJsonObject state = Convert({first, second});
    EXPECT_EQ(Listing(export_), Paths({"clip (2).avi", "clip.avi"}));
    ExpectGoodClip(export_ + "clip.avi", 1);
    ExpectGoodClip(export_ + "clip (2).avi", 2);
    EXPECT_TRUE(Texts(state["failed"]).empty());

    // Joined, each plays once.
    fs::remove(export_ + "clip.avi");
    fs::remove(export_ + "clip (2).avi");
    state = Convert({first, second}, "merge\n");
    EXPECT_EQ(Listing(export_), Paths({"clip.avi"}));
    ExpectGoodClip(export_ + "clip.avi", 3);
    ExpectInputsUnchanged();
}

// An output name that leads to an input through a symbolic or a hard link,
// and an input given as a link in the export folder.
TEST_F(UserFoldersTest, LinksToInputsAreInputs) {
    fs::create_directories(export_);
    const std::string linked = ClipAt(clips_ + "linked.avi", 1);
    fs::create_symlink(linked, export_ + "linked.avi");
    const std::string hard = ClipAt(clips_ + "hard.avi", 2);
    fs::create_hard_link(hard, export_ + "hard.avi");
    const std::string target = ClipAt(clips_ + "real \xC3\xBC.avi", 1);
    fs::create_symlink(target, export_ + "via link.avi");
    const QJsonObject state = Convert({linked, hard, export_ + "via link.avi"});
    ExpectInputsUnchanged();
    EXPECT_TRUE(fs::is_symlink(export_ + "linked.avi"));
    EXPECT_TRUE(fs::equivalent(export_ + "hard.avi", hard));
    EXPECT_EQ(fs::read_symlink(export_ + "via link.avi"), target);
    EXPECT_EQ(Listing(export_), Paths({"hard (2).avi", "hard.avi", "linked (2).avi", "linked.avi",
                                       "via link (2).avi", "via link.avi"}));
    ExpectGoodClip(export_ + "linked (2).avi", 1);
    ExpectGoodClip(export_ + "hard (2).avi", 2);
    ExpectGoodClip(export_ + "via link (2).avi", 1);
    EXPECT_TRUE(Texts(state["failed"]).empty());
}

// The outputs, named after the inputs, are joined by mencoder.
TEST_F(UserFoldersTest, DoubleQuotesInNamesReachMencoderIntact) {
    const std::string first = ClipAt(clips_ + "say \"hi\".mp4", 1, "-c:v mpeg4 -c:a aac");
    const std::string second = ClipAt(clips_ + "b \"2\" \xC3\xBC.avi", 2);
    const QJsonObject state = Convert({first, second}, "merge\n");
    ExpectInputsUnchanged();
    EXPECT_EQ(Texts(state["status"])[0], kCompleted);
    EXPECT_EQ(Listing(export_), Paths({"say \"hi\".avi"}));
    ExpectGoodClip(export_ + "say \"hi\".avi", 3);
    EXPECT_EQ(Listing(clips_), Paths({"b \"2\" \xC3\xBC.avi", "say \"hi\".mp4"}));
}

// Nothing is written beside the inputs: no copy, no temporary file.
TEST_F(UserFoldersTest, AReadOnlyInputFolderStaysAsItWas) {
    const std::string folder = root_ / "read only \xC3\xBC/";
    const std::string first = ClipAt(folder + "phone \"clip\".mp4", 1, "-c:v mpeg4 -c:a aac");
    const std::string second = ClipAt(folder + "second clip.avi", 1);
    for (const std::string& path : {first, second}) chmod(path.c_str(), 0444);
    chmod(folder.c_str(), 0555);
    const QJsonObject state = Convert({first, second});
    chmod(folder.c_str(), 0755);
    ExpectInputsUnchanged();
    EXPECT_EQ(Listing(folder), Paths({"phone \"clip\".mp4", "second clip.avi"}));
    EXPECT_TRUE(Texts(state["failed"]).empty());
    ExpectGoodClip(export_ + "phone \"clip\".avi", 1);
    ExpectGoodClip(export_ + "second clip.avi", 1);
}

// A file from an earlier run under the name of an entry that fails now is
// not a piece of this run's join.
TEST_F(UserFoldersTest, LeftoversOfAnEarlierRunAreNotJoined) {
    const std::string first = ClipAt(clips_ + "a.avi", 1);
    const std::string broken = clips_ + "b broken.avi";
    test::WriteFile(broken, std::string(4096, 'x'));
    const std::string third = ClipAt(clips_ + "c.avi", 1);
    fs::create_directories(export_);
    ASSERT_TRUE(test::MakeClip(export_ + "b broken.avi", 4, "", "160x120"));
    const QJsonObject state = Convert({first, broken, third}, "merge\n");
    EXPECT_TRUE(
        Texts(state["status"])[0].starts_with(std::string(kCompleted) + " (1 of 3 failed: "))
        << Texts(state["status"])[0];
    ExpectGoodClip(export_ + "a.avi", 2);
    EXPECT_FALSE(fs::exists(export_ + "c.avi"));
}

}  // namespace
