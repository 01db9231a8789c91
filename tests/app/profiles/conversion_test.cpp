// Conversions and thumbnails with the installed ffmpeg, on clips in folders
// whose names hold blanks and letters outside ASCII.
#include "app/profiles/conversion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

#include "app/profiles/device_limits.h"
#include "app/profiles/profile_values.h"
#include "app/profiles/value_lists.h"
#include "app/tools/program_ui.h"
#include "platform/temp_folder.h"
#include "tests/support/media_tools.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/process_checks.h"
#include "tests/support/run_session.h"
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
        return std::find(values.begin(), values.end(), kProgressToolFailed) != values.end();
    }
    std::vector<std::intptr_t> values;
};

// Each test checks that the drive root holds nothing afterwards, and that no
// tool is left running.
class ConversionTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(platform::TempFolder().empty()); }
    void TearDown() override {
        EXPECT_TRUE(fs::is_empty(platform::TempFolder()));
        EXPECT_FALSE(test::HasChildProcess());
    }

    ConversionSetup ToolSetup() { return {session_.context, platform::TempFolder(), &target_}; }

    test::TempDir dir_{"conversion ä"};
    RecordingTarget target_;

private:
    test::FailingUi ui_;
    test::RunSession session_{ui_};
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
    ConvertFile(ToolSetup(), ReadEncoderProfile(shipped, kTargetIpod, 0), input, output);

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
    ConvertFile(ToolSetup(), ReadEncoderProfile(shipped, kTargetAvi, 3), folder + "clip.avi",
                output);
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
    ConvertFile(ToolSetup(), ReadEncoderProfile(files, kTarget3gp, 0), input, output);
    EXPECT_TRUE(target_.SawFailure());
    EXPECT_FALSE(fs::exists(output));
}

TEST_F(ConversionTest, AThumbnailIsA160x120PictureBesideTheConvertedFile) {
    const std::string source = dir_ / "long source ü.avi";
    ASSERT_TRUE(test::MakeClip(source, 6, "-c:v mpeg4 -c:a mp2"));
    const std::string converted = dir_ / "Con verted.mp4";
    const ProfileFiles shipped(kShippedProfiles);
    MakeThumbnail(ToolSetup(), source, converted);

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
    MakeThumbnail(ToolSetup(), source, dir_ / "short.mp4");
    EXPECT_FALSE(fs::exists(dir_ / "short.THM"));
}

// What ffprobe reads of a file's coding: its streams, the type of every
// picture, and the reference frames the H.264 stream declares.
struct ProbedCoding {
    std::map<std::string, std::string> video;  // ffprobe's stream entries by key
    std::map<std::string, std::string> audio;
    std::map<std::string, int> pictureTypes;  // "I", "P", "B" and how many
    int referenceFrames = -1;                 // H.264's max_num_ref_frames
};

std::map<std::string, std::string> StreamEntries(const std::string& path, const char* stream) {
    std::istringstream text(test::RunTool(
        std::string("ffprobe -v error -select_streams ") + stream +
        " -show_entries stream=codec_name,profile,level,width,height,pix_fmt,sample_rate "
        "-of default=nw=1 " +
        test::Quoted(path)));
    std::map<std::string, std::string> entries;
    for (std::string line; std::getline(text, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) entries[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return entries;
}

ProbedCoding ProbeCoding(const std::string& path) {
    ProbedCoding coding;
    coding.video = StreamEntries(path, "v:0");
    coding.audio = StreamEntries(path, "a:0");
    std::istringstream types(test::RunTool(
        "ffprobe -v error -select_streams v:0 -show_entries frame=pict_type -of csv=p=0 " +
        test::Quoted(path)));
    for (std::string line; std::getline(types, line);) {
        line = line.substr(0, line.find(','));
        if (!line.empty()) ++coding.pictureTypes[line];
    }
    // ffmpeg's header trace prints "... max_num_ref_frames   00101 = 4".
    const std::string trace = test::RunTool("ffmpeg -nostdin -i " + test::Quoted(path) +
                                            " -map 0:v:0 -c copy -bsf:v trace_headers -f null -");
    const std::size_t field = trace.find("max_num_ref_frames");
    if (field != std::string::npos) {
        const std::size_t equals = trace.find(" = ", field);
        if (equals != std::string::npos) coding.referenceFrames = std::atoi(&trace[equals + 3]);
    }
    return coding;
}

int Number(const std::map<std::string, std::string>& entries, const std::string& key) {
    auto it = entries.find(key);
    return it == entries.end() ? -1 : std::atoi(it->second.c_str());
}

// A converted file of a device target against what its device plays: the
// profile's coding and level, the frame size, 4:2:0 pixels, the sound's
// rate, and no B pictures where the profile has none.
void ExpectWhatItsDevicePlays(const ProfileValues& profile, const DeviceFit& fit,
                              const std::string& path) {
    ASSERT_NE(fit.video, nullptr);
    EXPECT_EQ(fit.problems, std::vector<std::string>{});
    const ProbedCoding coding = ProbeCoding(path);
    const DeviceVideoLimits& limits = *fit.video;

    const int width = Number(coding.video, "width");
    const int height = Number(coding.video, "height");
    EXPECT_EQ(width, profile.widthPx);
    EXPECT_EQ(height, profile.heightPx);
    EXPECT_LE(width, limits.maxWidthPx);
    EXPECT_LE(height, limits.maxHeightPx);
    EXPECT_EQ(coding.video.at("pix_fmt"), "yuv420p");

    const std::string& videoProfile = coding.video.at("profile");
    switch (limits.profile) {
        case VideoProfile::kH264Baseline:
            EXPECT_TRUE(videoProfile == "Constrained Baseline" || videoProfile == "Baseline")
                << videoProfile;
            break;
        case VideoProfile::kH264Main:
            EXPECT_EQ(videoProfile, "Main");
            break;
        case VideoProfile::kMpeg4Simple:
            EXPECT_EQ(videoProfile, "Simple Profile");
            break;
        case VideoProfile::kUnsignalled:
            break;
    }
    if (fit.level) {
        // The level the stream carries holds its picture and rate, and the
        // device decodes it.
        const int number = Number(coding.video, "level");
        const CodingLevel* level = LevelNumbered(LevelsOf(limits.profile), number);
        ASSERT_NE(level, nullptr) << number;
        EXPECT_EQ(number, fit.level->number);
        EXPECT_LE(number, limits.maxLevel);
        EXPECT_TRUE(LevelHolds(*level, {width, height, profile.framesPerSecond, 0})) << number;
    }
    if (limits.profile == VideoProfile::kH264Baseline ||
        limits.profile == VideoProfile::kMpeg4Simple) {
        EXPECT_EQ(coding.pictureTypes.count("B"), 0u);
        EXPECT_GT(coding.pictureTypes.count("P"), 0u);
    }
    if (limits.maxReferenceFrames > 0) {
        EXPECT_GE(coding.referenceFrames, 1);
        EXPECT_LE(coding.referenceFrames, limits.maxReferenceFrames);
    }

    const int sampleRate = Number(coding.audio, "sample_rate");
    EXPECT_EQ(sampleRate, profile.sampleRateHz);
    const std::span<const int> rates = fit.device->sampleRatesHz;
    EXPECT_NE(std::find(rates.begin(), rates.end(), sampleRate), rates.end()) << sampleRate;
    if (profile.audioCodec == "aac") {
        EXPECT_EQ(coding.audio.at("profile"), "LC");
    }
}

// Every profile shipped with the program converts a 2-second clip, and the
// result is what the profile names: container, codecs and frame size, as
// ffprobe sees them; on a device's target, also what the device plays.
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
    ConvertFile(ToolSetup(), ReadEncoderProfile(shipped, profile.target, profile.index), input,
                output);

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

    const ProfileValues values = ReadProfileValues(shipped, profile.target, profile.index);
    const DeviceFit fit = FitToDevice(profile.target, values);
    if (fit.device) ExpectWhatItsDevicePlays(values, fit, output);
}

INSTANTIATE_TEST_SUITE_P(AllShipped, ShippedProfileTest, ::testing::ValuesIn(ShippedProfiles()),
                         [](const ::testing::TestParamInfo<ShippedProfile>& info) {
                             std::string file(ProfileFileName(info.param.target));
                             return file.substr(0, file.find('.')) + "_" +
                                    std::to_string(info.param.index);
                         });

// A user's iPod profile with H.264 at 640 x 480, from a 4:2:2 source: the iPod
// takes it only as 4:2:0 Baseline 3.0 with one reference frame, in the MP4
// that carries Apple's box.
TEST_F(ConversionTest, LargeIpodVideoGoesIntoTheIpodsOwnMp4) {
    test::WriteFile(dir_ / "iPodProfile.ini",
                    "[common]\nprofiles=1\n[Profile0]\nName=TV\nFrameWidth=640\n"
                    "FrameHeight=480\nVideoBitrate=1500\nAudioBitrate=7\nAudioChannels=1\n"
                    "AudioFrequency=1\nAudioFormat=3\nVersion=20\nFrameRate=4\nFileType=2\n");
    const std::string input = dir_ / "tv clip.avi";
    ASSERT_TRUE(test::MakeClip(input, 2, "-c:v ffv1 -pix_fmt yuv422p -c:a mp2"));
    const std::string output = dir_ / "tv clip.mp4";
    const ProfileFiles files(dir_.Folder());
    ConvertFile(ToolSetup(), ReadEncoderProfile(files, kTargetIpod, 0), input, output);
    EXPECT_FALSE(target_.SawFailure());

    const ProfileValues values = ReadProfileValues(files, kTargetIpod, 0);
    const DeviceFit fit = FitToDevice(kTargetIpod, values);
    ExpectWhatItsDevicePlays(values, fit, output);
    EXPECT_EQ(test::ProbeWithFfprobe(output).majorBrand, "M4V ");
    // The box: 'uuid' and the 16 bytes that name it.
    const std::string box = std::string("uuid") + "\x6b\x68\x40\xf2\x5f\x24\x4f\xc5\xba\x39" +
                            "\xa5\x1b\xcf\x03\x23\xf3";
    EXPECT_NE(test::ReadFile(output).find(box), std::string::npos);
}

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
