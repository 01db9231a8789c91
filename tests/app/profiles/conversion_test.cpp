// Conversions and thumbnails with the installed ffmpeg, on clips in folders
// whose names hold blanks and letters outside ASCII.
#include "app/profiles/conversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "app/profiles/value_lists.h"
#include "app/tools/program_ui.h"
#include "platform/temp_folder.h"
#include "tests/support/media_tools.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/process_checks.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const std::string kShippedProfiles = std::string(ZARVO_SOURCE_DIR) + "/resources/profiles/";

class RecordingTarget : public CommandTarget {
public:
    void PostCommand(unsigned, unsigned, std::intptr_t lParam) override {
        values.push_back(lParam);
    }
    bool SawFailure() const {
        return std::find(values.begin(), values.end(), kToolFailed) != values.end();
    }
    std::vector<std::intptr_t> values;
};

class SilentUi : public ProgramUi {
public:
    void ShowMessage(const std::string& text, const std::string&) override {
        ADD_FAILURE() << "message box: " << text;
    }
    void DispatchPendingMessages() override {}
};

// Each test checks that the drive root holds nothing afterwards, and that no
// tool is left running.
class ConversionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(platform::TempFolder().empty());
        previousUi_ = InstallProgramUi(&ui_);
    }
    void TearDown() override {
        InstallProgramUi(previousUi_);
        EXPECT_TRUE(fs::is_empty(platform::TempFolder()));
        EXPECT_FALSE(test::HasChildProcess());
    }

    ConversionSetup Setup(const ProfileFiles& files, int target, int profileIndex) {
        return {files, target, profileIndex, platform::TempFolder(), &target_};
    }

    test::TempDir dir_{"conversion ä"};
    RecordingTarget target_;

private:
    SilentUi ui_;
    ProgramUi* previousUi_ = nullptr;
};

TEST(ThumbnailPathTest, TheLastDotOfTheFileNameGivesWayToThm) {
    EXPECT_EQ(ThumbnailPath("/out/Movie.File.mp4"), "/out/Movie.File.THM");
    EXPECT_EQ(ThumbnailPath("/out/My Videos/Clip.mp4"), "/out/My Videos/Clip.THM");
    EXPECT_EQ(ThumbnailPath("/out/a.b/clip"), "/out/a.b/clip.THM");
    EXPECT_EQ(ThumbnailPath("clip"), "clip.THM");
}

TEST_F(ConversionTest, PathsWithBlanksGoThroughTheTemporaryNames) {
    const std::string input = dir_ / "My Clip ñ.avi";
    ASSERT_TRUE(test::MakeClip(input, 2, "-c:v mpeg4 -c:a mp2"));
    const std::string output = dir_ / "My Output é.mp4";
    const ProfileFiles shipped(kShippedProfiles);
    ConvertFile(Setup(shipped, kTargetIpod, 0), input, output);

    const test::ProbedFile converted = test::ProbeWithFfprobe(output);
    EXPECT_EQ(converted.majorBrand, "isom");
    EXPECT_EQ(converted.videoCodec, "mpeg4");
    EXPECT_EQ(converted.audioCodec, "aac");
    EXPECT_FALSE(target_.SawFailure());
    EXPECT_FALSE(target_.values.empty());
}

TEST_F(ConversionTest, PathsWithoutBlanksLeaveTheTemporaryNamesAlone) {
    // (The test program's own temporary folder has no blank in its path.)
    const std::string folder = std::string(std::getenv("XDG_RUNTIME_DIR")) + "/plain_ü/";
    fs::create_directory(folder);
    ASSERT_TRUE(test::MakeClip(folder + "clip.avi", 1, "-c:v mpeg4 -c:a mp2"));
    const std::string sentinel = platform::TempFolder() + kConversionInputName;
    test::WriteFile(sentinel, "untouched");
    const std::string output = folder + "out_ö.avi";

    const ProfileFiles shipped(kShippedProfiles);
    ConvertFile(Setup(shipped, kTargetAvi, 3), folder + "clip.avi", output);
    EXPECT_EQ(test::ReadFile(sentinel), "untouched");
    EXPECT_EQ(test::ProbeWithFfprobe(output).formatName, "avi");
    fs::remove(sentinel);
    fs::remove_all(folder);
}

TEST_F(ConversionTest, AProfileTheToolRefusesIsReportedAndLeavesNothing) {
    // amr_nb has no encoder in this ffmpeg.
    test::WriteFile(dir_ / "3GPProfile.ini",
                    "[common]\nprofiles=1\n[Profile0]\nName=AMR\nFrameWidth=176\n"
                    "FrameHeight=144\nAudioFormat=0\nAudioFrequency=8\nFileType=0\n");
    const std::string input = dir_ / "in clip.avi";
    ASSERT_TRUE(test::MakeClip(input, 1, "-c:v mpeg4 -c:a mp2"));
    const std::string output = dir_ / "out clip.3gp";
    const ProfileFiles files(dir_.Folder());
    ConvertFile(Setup(files, kTarget3gp, 0), input, output);
    EXPECT_TRUE(target_.SawFailure());
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(ConversionTest, AThumbnailIsA160x120PictureBesideTheConvertedFile) {
    const std::string source = dir_ / "long source ü.avi";
    ASSERT_TRUE(test::MakeClip(source, 6, "-c:v mpeg4 -c:a mp2"));
    const std::string converted = dir_ / "Con verted.mp4";
    const ProfileFiles shipped(kShippedProfiles);
    MakeThumbnail(Setup(shipped, kTargetPsp, 0), source, converted);

    const test::ProbedFile thumbnail = test::ProbeWithFfprobe(dir_ / "Con verted.THM");
    EXPECT_EQ(thumbnail.videoCodec, "mjpeg");
    EXPECT_EQ(thumbnail.width, 160);
    EXPECT_EQ(thumbnail.height, 120);
    EXPECT_FALSE(target_.SawFailure());
}

TEST_F(ConversionTest, ASourceShorterThanFiveSecondsGivesNoThumbnail) {
    const std::string source = dir_ / "short.avi";
    ASSERT_TRUE(test::MakeClip(source, 2, "-c:v mpeg4 -c:a mp2"));
    const ProfileFiles shipped(kShippedProfiles);
    MakeThumbnail(Setup(shipped, kTargetPsp, 0), source, dir_ / "short.mp4");
    EXPECT_FALSE(fs::exists(dir_ / "short.THM"));
}

// Every profile shipped with the program converts a 2-second clip, and the
// result is what the profile names: container, codecs and frame size, as
// ffprobe sees them.
struct ShippedProfile {
    int target;
    int index;
};

std::vector<ShippedProfile> ShippedProfiles() {
    std::vector<ShippedProfile> profiles;
    const ProfileFiles shipped(kShippedProfiles);
    for (int target = 0; target < kTargetCount; ++target) {
        if (ProfileFileName(target).empty()) continue;
        for (int index = 0; index < shipped.StoredCount(target); ++index) {
            profiles.push_back({target, index});
        }
    }
    return profiles;
}

class ShippedProfileTest : public ConversionTest,
                           public ::testing::WithParamInterface<ShippedProfile> {};

// How ffprobe names what each list entry produces.
const std::map<std::string, std::string> kDecodedVideoCodec = {{"mpeg4", "mpeg4"},
                                                               {"msmpeg4", "msmpeg4v3"},
                                                               {"mpeg1video", "mpeg1video"},
                                                               {"xvid", "mpeg4"},
                                                               {"mpeg2video", "mpeg2video"},
                                                               {"wmv1", "wmv1"},
                                                               {"wmv2", "wmv2"},
                                                               {"h263", "h263"},
                                                               {"h264", "h264"},
                                                               {"mjpeg", "mjpeg"}};
// The format and the start of the major brand (3GP with H.264 is "3gp6").
const std::map<std::string, std::pair<std::string, std::string>> kContainer = {
    {"3gp", {"mov,mp4,m4a,3gp,3g2,mj2", "3gp"}},
    {"3g2", {"mov,mp4,m4a,3gp,3g2,mj2", "3g2"}},
    {"mp4", {"mov,mp4,m4a,3gp,3g2,mj2", "isom"}},
    {"psp", {"mov,mp4,m4a,3gp,3g2,mj2", "MSNV"}},
    {"asf", {"asf", ""}},
    {"avi", {"avi", ""}},
    {"mpeg", {"mpeg", ""}}};

TEST_P(ShippedProfileTest, ConvertsToWhatTheProfileNames) {
    const ShippedProfile profile = GetParam();
    const ProfileFiles shipped(kShippedProfiles);
    auto read = [&](const char* key) {
        return shipped.ReadInt(profile.target, profile.index, key);
    };
    const std::string videoCodec(ValueAt(kVideoCodecs, read("Version")));
    const std::string audioCodec(ValueAt(kAudioCodecs, read("AudioFormat")));
    const FileType fileType = ValueAt(kFileTypes, read("FileType"));
    ASSERT_TRUE(kDecodedVideoCodec.count(videoCodec)) << videoCodec;
    ASSERT_TRUE(kContainer.count(std::string(fileType.formatName))) << fileType.formatName;

    const std::string input = dir_ / "clip ü.avi";
    ASSERT_TRUE(test::MakeClip(input, 2, "-c:v mpeg4 -c:a mp2"));
    const std::string output = dir_ / ("out put." + std::string(fileType.extensionName));
    ConvertFile(Setup(shipped, profile.target, profile.index), input, output);

    EXPECT_FALSE(target_.SawFailure());
    const test::ProbedFile converted = test::ProbeWithFfprobe(output);
    const auto& [format, brand] = kContainer.at(std::string(fileType.formatName));
    EXPECT_EQ(converted.formatName, format);
    EXPECT_EQ(converted.majorBrand.substr(0, brand.size()), brand) << converted.majorBrand;
    EXPECT_EQ(converted.videoCodec, kDecodedVideoCodec.at(videoCodec));
    EXPECT_EQ(converted.audioCodec, audioCodec);
    const int width = read("FrameWidth");
    const int height = read("FrameHeight");
    EXPECT_EQ(converted.width, width ? width : 320);
    EXPECT_EQ(converted.height, height ? height : 240);
    EXPECT_NEAR(converted.durationSeconds, 2.0, 0.3);
}

INSTANTIATE_TEST_SUITE_P(AllShipped, ShippedProfileTest, ::testing::ValuesIn(ShippedProfiles()),
                         [](const ::testing::TestParamInfo<ShippedProfile>& info) {
                             std::string file(ProfileFileName(info.param.target));
                             return file.substr(0, file.find('.')) + "_" +
                                    std::to_string(info.param.index);
                         });

TEST(ShippedProfilesTest, EveryShippedFileIsATargetsProfileFile) {
    std::vector<std::string> unknown;
    for (const auto& entry : fs::directory_iterator(kShippedProfiles)) {
        const std::string name = entry.path().filename().string();
        bool known = false;
        for (int target = 0; target < kTargetCount; ++target) {
            known = known || ProfileFileName(target) == name;
        }
        if (!known) unknown.push_back(name);
    }
    EXPECT_EQ(unknown, std::vector<std::string>{});
    EXPECT_FALSE(ShippedProfiles().empty());
}

}  // namespace
