#include "app/profiles/profile_files.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/profiles/value_lists.h"
#include "tests/support/temp_dir.h"

namespace {

std::string ProfileSection(int index, const std::string& name, bool withDvdOnlyKeys = true) {
    std::ostringstream text;
    text << "[Profile" << index << "]\nName=" << name << "\nFrameWidth=320\nFrameHeight=240\n"
         << "VideoBitrate=768\nFrameRate=4\nAudioBitrate=7\nAudioChannels=1\nAudioFrequency=1\n"
         << "Version=0\n";
    if (withDvdOnlyKeys) text << "AudioFormat=3\nFileType=2\n";
    return text.str();
}

std::string ProfileFileText(int storedCount, int sections) {
    std::string text = "[common]\nprofiles=" + std::to_string(storedCount) + "\n";
    for (int i = 0; i < sections; ++i) text += ProfileSection(i, "P" + std::to_string(i));
    return text;
}

class ProfileFilesTest : public ::testing::Test {
protected:
    test::TempDir folder_{"profiles ö"};
    ProfileFiles files_{folder_.Folder()};
    ProfileTables tables_{};
};

TEST_F(ProfileFilesTest, AllTablesAreEmptyWithoutFiles) {
    files_.LoadAll(tables_);
    for (const ProfileTable& table : tables_) EXPECT_EQ(table.count, 0);
    EXPECT_EQ(files_.ReadInt(kTargetAvi, 0, "Version"), 0);
    EXPECT_EQ(files_.ReadString(kTargetAvi, 0, "Name"), "");
}

TEST_F(ProfileFilesTest, CountsAboveTwentyLoadTwentyAndZeroLoadsNothing) {
    test::WriteFile(files_.PathOf(kTargetAvi), ProfileFileText(25, 25));
    test::WriteFile(files_.PathOf(kTargetMpeg), ProfileFileText(0, 3));
    test::WriteFile(files_.PathOf(kTargetWmv), ProfileFileText(3, 3));
    test::WriteFile(files_.PathOf(kTargetZune), ProfileFileText(-4, 3));
    files_.LoadAll(tables_);
    EXPECT_EQ(tables_[kTargetAvi].count, 20);
    EXPECT_EQ(tables_[kTargetAvi].profiles[19].name, "P19");
    EXPECT_EQ(tables_[kTargetMpeg].count, 0);
    EXPECT_EQ(tables_[kTargetWmv].count, 3);
    EXPECT_EQ(tables_[kTargetZune].count, 0);

    const Profile& p = tables_[kTargetWmv].profiles[1];
    EXPECT_EQ(p.name, "P1");
    EXPECT_EQ(p.frameWidth, 320);
    EXPECT_EQ(p.frameHeight, 240);
    EXPECT_EQ(p.videoBitrate, 768);
    EXPECT_EQ(p.frameRate, 4);
    EXPECT_EQ(p.audioBitrate, 7);
    EXPECT_EQ(p.audioChannels, 1);
    EXPECT_EQ(p.audioFrequency, 1);
    EXPECT_EQ(p.audioFormat, 3);
    EXPECT_EQ(p.fileType, 2);
}

TEST_F(ProfileFilesTest, DvdRecordsCarryNoAudioFormatOrFileType) {
    test::WriteFile(
        files_.PathOf(kTargetDvd),
        "[common]\nprofiles=2\n" + ProfileSection(0, "without", false) + ProfileSection(1, "with"));
    files_.LoadAll(tables_);
    ASSERT_EQ(tables_[kTargetDvd].count, 2);
    EXPECT_EQ(tables_[kTargetDvd].profiles[0].name, "without");
    EXPECT_EQ(tables_[kTargetDvd].profiles[1].audioFormat, 0);
    EXPECT_EQ(tables_[kTargetDvd].profiles[1].fileType, 0);
    // A conversion reads them straight from the file.
    EXPECT_EQ(files_.ReadInt(kTargetDvd, 1, "FileType"), 2);
}

TEST_F(ProfileFilesTest, ProfileFileNamesMatchWithoutRegardToCase) {
    test::WriteFile(folder_ / "ipodprofile.ini", ProfileFileText(2, 2));
    files_.LoadAll(tables_);
    EXPECT_EQ(tables_[kTargetIpod].count, 2);
    EXPECT_EQ(files_.ReadString(kTargetIpod, 1, "Name"), "P1");
}

TEST_F(ProfileFilesTest, WritingAppliesTheTargetsFileTypeRule) {
    for (int target : {kTargetAvi, kTargetWmv, kTargetZune, kTarget3gp, kTargetPsp}) {
        test::WriteFile(files_.PathOf(target), ProfileFileText(1, 1));
    }
    Profile p;
    p.name = "written";
    p.fileType = 1;

    p.version = 7;  // wmv2
    ASSERT_EQ(ProfileWrite::kWritten, files_.Write(kTargetWmv, 0, p));
    EXPECT_EQ(files_.ReadInt(kTargetWmv, 0, "FileType"), 4);
    p.version = 0;  // mpeg4
    ASSERT_EQ(ProfileWrite::kWritten, files_.Write(kTargetZune, 0, p));
    EXPECT_EQ(files_.ReadInt(kTargetZune, 0, "FileType"), 2);
    ASSERT_EQ(ProfileWrite::kWritten, files_.Write(kTargetAvi, 0, p));
    EXPECT_EQ(files_.ReadInt(kTargetAvi, 0, "FileType"), 5);
    ASSERT_EQ(ProfileWrite::kWritten, files_.Write(kTargetPsp, 0, p));
    EXPECT_EQ(files_.ReadInt(kTargetPsp, 0, "FileType"), 3);
    ASSERT_EQ(ProfileWrite::kWritten, files_.Write(kTarget3gp, 0, p));
    EXPECT_EQ(files_.ReadInt(kTarget3gp, 0, "FileType"), 1);
    EXPECT_EQ(files_.ReadString(kTarget3gp, 0, "Name"), "written");
}

TEST_F(ProfileFilesTest, ASectionAtOrBeyondTheStoredCountIsNotWritten) {
    test::WriteFile(files_.PathOf(kTargetAvi), ProfileFileText(1, 1));
    Profile p;
    p.name = "beyond";
    EXPECT_EQ(files_.Write(kTargetAvi, 1, p), ProfileWrite::kBeyondStoredCount);
    EXPECT_EQ(files_.ReadString(kTargetAvi, 1, "Name"), "");
    ASSERT_TRUE(files_.WriteCount(kTargetAvi, 2));
    EXPECT_EQ(files_.Write(kTargetAvi, 1, p), ProfileWrite::kWritten);
    EXPECT_EQ(files_.ReadString(kTargetAvi, 1, "Name"), "beyond");

    // A profile being added goes in before the count is raised.
    p.name = "added";
    EXPECT_TRUE(files_.WriteSection(kTargetAvi, 2, p));
    EXPECT_EQ(files_.ReadString(kTargetAvi, 2, "Name"), "added");
    EXPECT_EQ(files_.StoredCount(kTargetAvi), 2);
}

TEST(ValueListsTest, FileTypesGiveFormatAndExtension) {
    EXPECT_EQ(FileTypeFormatName(3), "psp");
    EXPECT_EQ(FileTypeExtension(3), ".mp4");
    EXPECT_EQ(FileTypeExtension(6), ".mpg");
    EXPECT_EQ(FileTypeExtension(7), ".");
    EXPECT_EQ(FileTypeExtension(-1), ".");
    EXPECT_EQ(FileTypeFormatName(7), "");
}

// The profiles shipped with the program: every one names values inside the
// lists, carries the FileType its target writes, and the DVD file keeps its
// fixed SuperVCD and VideoCD positions.
TEST(ShippedProfilesTest, EveryShippedProfileIsConsistent) {
    ProfileFiles files(std::string(ZARVO_SOURCE_DIR) + "/resources/profiles/");
    ProfileTables tables{};
    files.LoadAll(tables);
    for (int target = 0; target < kTargetCount; ++target) {
        if (target == kTargetReserved) continue;
        SCOPED_TRACE(std::string(ProfileFileName(target)));
        const ProfileTable& table = tables[static_cast<std::size_t>(target)];
        EXPECT_GE(table.count, 3);
        EXPECT_EQ(files.StoredCount(target), table.count);
        for (int i = 0; i < table.count; ++i) {
            Profile p = table.profiles[static_cast<std::size_t>(i)];
            p.audioFormat = files.ReadInt(target, i, "AudioFormat");
            p.fileType = files.ReadInt(target, i, "FileType");
            SCOPED_TRACE(p.name);
            EXPECT_FALSE(p.name.empty());
            EXPECT_NE(ValueAt(kVideoCodecs, p.version), "");
            EXPECT_NE(ValueAt(kFrameRates, p.frameRate), "");
            EXPECT_NE(ValueAt(kAudioCodecs, p.audioFormat), "");
            EXPECT_NE(ValueAt(kSampleRatesHz, p.audioFrequency), 0);
            EXPECT_TRUE(p.audioBitrate >= 0 && p.audioBitrate <= kNoAudio);
            EXPECT_TRUE(p.audioChannels == 0 || p.audioChannels == 1);
            EXPECT_GT(p.videoBitrate, 0);
            EXPECT_NE(FileTypeFormatName(p.fileType), "");
            EXPECT_EQ(p.fileType, FileTypeForTarget(target, p));
        }
    }
    const ProfileTable& dvd = tables[kTargetDvd];
    ASSERT_EQ(dvd.count, 12);
    for (int i : {4, 10}) EXPECT_NE(dvd.profiles[i].name.find("SuperVCD"), std::string::npos);
    for (int i : {5, 11}) EXPECT_NE(dvd.profiles[i].name.find("VideoCD"), std::string::npos);
    for (int i : {0, 1, 2, 3, 6, 7, 8, 9}) {
        EXPECT_EQ(dvd.profiles[i].name.rfind("DVD", 0), 0u) << dvd.profiles[i].name;
    }
}

}  // namespace
