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

}  // namespace
