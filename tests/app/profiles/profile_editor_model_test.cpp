#include "app/profiles/profile_editor_model.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/profiles/value_lists.h"
#include "tests/support/temp_dir.h"

namespace {

struct Size {
    int width;
    int height;
};

std::string Section(int index, const std::string& name, Size size, int version = 0) {
    std::ostringstream text;
    text << "[Profile" << index << "]\nName=" << name << "\nDescription=about " << name
         << "\nComment=note " << name << "\nFrameWidth=" << size.width
         << "\nFrameHeight=" << size.height << "\nVideoBitrate=" << 700 + index
         << "\nFrameRate=3\nAudioFormat=2\nAudioBitrate=7\nAudioChannels=1\nAudioFrequency=1\n"
         << "Version=" << version << "\nFileType=5\n";
    return text.str();
}

// The window's side: its tables, loaded from the files as the window does.
class TablesHost : public ProfileEditorHost {
public:
    explicit TablesHost(const ProfileFiles& files) : files_(files) { files_.LoadAll(tables); }
    ProfileTable& ProfileTableOf(int target) override {
        return tables[static_cast<std::size_t>(target)];
    }
    void LoadAllProfileFiles() override {
        ++loads;
        files_.LoadAll(tables);
    }

    ProfileTables tables{};
    int loads = 0;

private:
    const ProfileFiles& files_;
};

class ProfileEditorModelTest : public ::testing::Test {
protected:
    // Writes the target's file with one section per size and opens the editor.
    ProfileEditorModel& Open(int target, const std::vector<Size>& sizes, int version = 0) {
        std::string text = "[common]\nprofiles=" + std::to_string(sizes.size()) + "\n";
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            text += Section(static_cast<int>(i), "P" + std::to_string(i), sizes[i], version);
        }
        test::WriteFile(files_.PathOf(target), text);
        return OpenAsIs(target);
    }
    ProfileEditorModel& OpenAsIs(int target) {
        host_ = std::make_unique<TablesHost>(files_);
        editor_ = std::make_unique<ProfileEditorModel>(target, "Editor", *host_, files_);
        return *editor_;
    }
    std::string FileText(int target) const { return test::ReadFile(files_.PathOf(target)); }
    const Profile& HostRecord(int target, int index) const {
        return host_->tables[static_cast<std::size_t>(target)]
            .profiles[static_cast<std::size_t>(index)];
    }

    test::TempDir folder_{"editor ü"};
    ProfileFiles files_{folder_.Folder()};
    std::unique_ptr<TablesHost> host_;
    std::unique_ptr<ProfileEditorModel> editor_;
};

TEST_F(ProfileEditorModelTest, OpensOnTheFirstProfileAndShowsEveryValue) {
    ProfileEditorModel& editor = Open(kTargetAvi, {{352, 288}, {400, 300}, {0, 0}});
    EXPECT_EQ(editor.ProfileText(), "No.1 of 3");
    EXPECT_EQ(editor.CurrentIndex(), 0);
    EXPECT_EQ(editor.Text(EditorField::kName), "P0");
    EXPECT_EQ(editor.Text(EditorField::kDescription), "about P0");
    EXPECT_EQ(editor.Text(EditorField::kComment), "note P0");
    EXPECT_EQ(editor.Text(EditorField::kBitrate), "700");
    EXPECT_EQ(editor.Selection(EditorList::kFrameSize), 11);
    EXPECT_EQ(editor.Text(EditorField::kWidth), "352");
    EXPECT_EQ(editor.Text(EditorField::kHeight), "288");
    EXPECT_EQ(editor.Selection(EditorList::kFrameRate), 3);
    EXPECT_EQ(editor.Selection(EditorList::kAudioFormat), 2);
    EXPECT_EQ(editor.Selection(EditorList::kAudioBitrate), 7);
    EXPECT_EQ(editor.Selection(EditorList::kFrequency), 1);
    EXPECT_EQ(editor.Selection(EditorList::kChannels), 1);
    EXPECT_EQ(editor.SpinPosition(EditorSpin::kWidth), 352);
    EXPECT_EQ(editor.SpinPosition(EditorSpin::kBitrate), 700);
    EXPECT_FALSE(editor.FileTypeVisible());
    EXPECT_TRUE(editor.FrequencyEnabled());

    // A size outside the list is "Custom..." with its numbers in the fields.
    editor.ReleaseSpin(EditorSpin::kProfile, 1);
    EXPECT_EQ(editor.ProfileText(), "No.2 of 3");
    EXPECT_EQ(editor.Selection(EditorList::kFrameSize), kCustomFrameSize);
    EXPECT_EQ(editor.Text(EditorField::kWidth), "400");
    EXPECT_EQ(editor.Text(EditorField::kHeight), "300");
    editor.ReleaseSpin(EditorSpin::kProfile, 2);
    EXPECT_EQ(editor.Selection(EditorList::kFrameSize), kOriginalFrameSize);
}

TEST_F(ProfileEditorModelTest, ListsShowTheirEntriesAsTheUserReadsThem) {
    const auto frameSizes = EntriesOf(EditorList::kFrameSize);
    ASSERT_EQ(frameSizes.size(), 16u);
    EXPECT_EQ(frameSizes[0], "80 x 60");
    EXPECT_EQ(frameSizes[11], "352 x 288");
    EXPECT_EQ(frameSizes[14], "Original");
    EXPECT_EQ(frameSizes[15], "Custom...");
    // "30" stays in the value list but is not offered.
    EXPECT_EQ(
        EntriesOf(EditorList::kFrameRate),
        (std::vector<std::string>{"14.985 fps", "23.976 fps", "24 fps", "25 fps", "29.976 fps"}));
    const auto bitrates = EntriesOf(EditorList::kAudioBitrate);
    ASSERT_EQ(bitrates.size(), 15u);
    EXPECT_EQ(bitrates[0], "32 kbps");
    EXPECT_EQ(bitrates[13], "384 kbps");
    EXPECT_EQ(bitrates[kNoAudio], "No audio");
    EXPECT_EQ(EntriesOf(EditorList::kFrequency).front(), "48000 Hz");
    EXPECT_EQ(EntriesOf(EditorList::kFrequency).back(), "8000 Hz");
    EXPECT_EQ(EntriesOf(EditorList::kVideoCodec).size(), 21u);
    EXPECT_EQ(EntriesOf(EditorList::kChannels), (std::vector<std::string>{"Mono", "Stereo"}));
    EXPECT_EQ(EntriesOf(EditorList::kFileType), (std::vector<std::string>{"3gp", "3g2"}));
    EXPECT_EQ(LabelOf(EditorList::kFrameRate), "Framerate");
    EXPECT_EQ(LabelOf(EditorField::kBitrate), "Bitrate");
}

TEST_F(ProfileEditorModelTest, FrameSizeEntriesFillTheFieldsExceptCustom) {
    ProfileEditorModel& editor = Open(kTargetMpeg, {{352, 288}});
    editor.SelectEntry(EditorList::kFrameSize, 3);
    EXPECT_EQ(editor.Text(EditorField::kWidth), "160");
    EXPECT_EQ(editor.Text(EditorField::kHeight), "120");
    EXPECT_EQ(editor.SpinPosition(EditorSpin::kHeight), 120);
    EXPECT_EQ(editor.WorkingCopy().frameWidth, 160);

    editor.SelectEntry(EditorList::kFrameSize, kOriginalFrameSize);
    EXPECT_EQ(editor.Text(EditorField::kWidth), "0");
    EXPECT_EQ(editor.Text(EditorField::kHeight), "0");

    editor.SetText(EditorField::kWidth, "400");
    editor.SetText(EditorField::kHeight, "300");
    editor.SelectEntry(EditorList::kFrameSize, kCustomFrameSize);
    EXPECT_EQ(editor.Text(EditorField::kWidth), "400");
    EXPECT_EQ(editor.WorkingCopy().frameWidth, -1);
    // Save reads the fields, so the file gets the typed size, not -1.
    EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "");
    EXPECT_EQ(files_.ReadInt(kTargetMpeg, 0, "FrameWidth"), 400);
    EXPECT_EQ(files_.ReadInt(kTargetMpeg, 0, "FrameHeight"), 300);
}

TEST_F(ProfileEditorModelTest, TypedAndSpunNumbersReselectTheFrameSize) {
    ProfileEditorModel& editor = Open(kTargetAvi, {{400, 300}});
    editor.SetText(EditorField::kWidth, "352");
    EXPECT_EQ(editor.Selection(EditorList::kFrameSize), kCustomFrameSize);
    editor.SetText(EditorField::kHeight, "288");
    EXPECT_EQ(editor.Selection(EditorList::kFrameSize), 11);
    EXPECT_EQ(editor.SpinPosition(EditorSpin::kHeight), 288);
    // The typed numbers reach the working copy only when Save or New reads them.
    EXPECT_EQ(editor.WorkingCopy().frameWidth, 400);

    editor.SetText(EditorField::kWidth, "35x");
    EXPECT_EQ(editor.Selection(EditorList::kFrameSize), kCustomFrameSize);
    EXPECT_EQ(editor.SpinPosition(EditorSpin::kWidth), 352);

    editor.ReleaseSpin(EditorSpin::kWidth, 720);
    editor.ReleaseSpin(EditorSpin::kHeight, 576);
    EXPECT_EQ(editor.Text(EditorField::kWidth), "720");
    EXPECT_EQ(editor.Selection(EditorList::kFrameSize), 13);
    editor.ReleaseSpin(EditorSpin::kBitrate, 20000);
    EXPECT_EQ(editor.Text(EditorField::kBitrate), "15000");
}

TEST_F(ProfileEditorModelTest, ThreeGpChoosesItsFileTypeAndItsRateFollowsTheFormat) {
    ProfileEditorModel& editor = Open(kTarget3gp, {{176, 144}});
    EXPECT_TRUE(editor.FileTypeVisible());
    EXPECT_FALSE(editor.FrequencyEnabled());
    editor.SelectEntry(EditorList::kAudioFormat, 1);  // amr_wb
    EXPECT_EQ(kSampleRatesHz[static_cast<std::size_t>(editor.Selection(EditorList::kFrequency))],
              16000);
    editor.SelectEntry(EditorList::kAudioFormat, 0);  // amr_nb
    EXPECT_EQ(kSampleRatesHz[static_cast<std::size_t>(editor.Selection(EditorList::kFrequency))],
              8000);
    // The rate cannot be chosen by hand.
    editor.SelectEntry(EditorList::kFrequency, 0);
    EXPECT_EQ(editor.Selection(EditorList::kFrequency), 8);
    editor.SelectEntry(EditorList::kFileType, 1);
    EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "");
    EXPECT_EQ(files_.ReadInt(kTarget3gp, 0, "AudioFormat"), 0);
    EXPECT_EQ(files_.ReadInt(kTarget3gp, 0, "AudioFrequency"), 8);
    EXPECT_EQ(files_.ReadInt(kTarget3gp, 0, "FileType"), 1);
}

TEST_F(ProfileEditorModelTest, OtherTargetsKeepTheirRateAndCannotChooseAFileType) {
    ProfileEditorModel& editor = Open(kTargetIpod, {{320, 240}});
    editor.SelectEntry(EditorList::kAudioFormat, 0);
    EXPECT_EQ(editor.Selection(EditorList::kFrequency), 1);
    editor.SelectEntry(EditorList::kFrequency, 4);
    EXPECT_EQ(editor.Selection(EditorList::kFrequency), 4);
    editor.SelectEntry(EditorList::kFileType, 1);
    EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "");
    EXPECT_EQ(files_.ReadInt(kTargetIpod, 0, "AudioFrequency"), 4);
    EXPECT_EQ(files_.ReadInt(kTargetIpod, 0, "FileType"), 2);
}

TEST_F(ProfileEditorModelTest, SavedWmvProfilesGetTheirFileTypeFromTheCodec) {
    ProfileEditorModel& editor = Open(kTargetWmv, {{320, 240}, {320, 240}});
    editor.SelectEntry(EditorList::kVideoCodec, 7);  // wmv2
    editor.SetText(EditorField::kName, "Windows Media");
    EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "");
    EXPECT_EQ(files_.ReadInt(kTargetWmv, 0, "Version"), 7);
    EXPECT_EQ(files_.ReadInt(kTargetWmv, 0, "FileType"), 4);
    // Save changes the window's record directly, without loading the files.
    EXPECT_EQ(HostRecord(kTargetWmv, 0).name, "Windows Media");
    EXPECT_EQ(host_->loads, 0);

    editor.ReleaseSpin(EditorSpin::kProfile, 1);
    editor.SelectEntry(EditorList::kVideoCodec, 0);  // mpeg4
    EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "");
    EXPECT_EQ(files_.ReadInt(kTargetWmv, 1, "FileType"), 2);
    EXPECT_EQ(files_.ReadString(kTargetWmv, 0, "Name"), "Windows Media");
}

TEST_F(ProfileEditorModelTest, DeletingProfileOneOfThreeClosesTheGap) {
    ProfileEditorModel& editor = Open(kTargetAvi, {{160, 120}, {320, 240}, {720, 576}});
    const std::string formerSection2 = Section(2, "P2", {720, 576});
    editor.ReleaseSpin(EditorSpin::kProfile, 1);
    EXPECT_EQ(editor.OnCommand(kCmdDeleteProfile), "");

    EXPECT_EQ(files_.StoredCount(kTargetAvi), 2);
    EXPECT_EQ(files_.ReadString(kTargetAvi, 0, "Name"), "P0");
    EXPECT_EQ(files_.ReadString(kTargetAvi, 1, "Name"), "P2");
    EXPECT_EQ(files_.ReadInt(kTargetAvi, 1, "FrameWidth"), 720);
    EXPECT_EQ(files_.ReadString(kTargetAvi, 1, "Description"), "about P2");
    // The last section stays in the file, beyond the count.
    EXPECT_NE(FileText(kTargetAvi).find(formerSection2), std::string::npos);
    EXPECT_EQ(host_->loads, 1);
    EXPECT_EQ(host_->tables[kTargetAvi].count, 2);
    EXPECT_EQ(editor.ProfileText(), "No.2 of 2");
    EXPECT_EQ(editor.Text(EditorField::kName), "P2");
}

TEST_F(ProfileEditorModelTest, DeletingTheLastProfilesStepsBackToNone) {
    ProfileEditorModel& editor = Open(kTargetMpeg, {{160, 120}, {320, 240}});
    editor.ReleaseSpin(EditorSpin::kProfile, 1);
    EXPECT_EQ(editor.OnCommand(kCmdDeleteProfile), "");
    EXPECT_EQ(editor.ProfileText(), "No.1 of 1");
    EXPECT_EQ(editor.SpinPosition(EditorSpin::kProfile), 0);
    EXPECT_EQ(editor.OnCommand(kCmdDeleteProfile), "");
    EXPECT_EQ(editor.ProfileText(), "No.0 of 0");
    EXPECT_EQ(editor.CurrentIndex(), -1);
    EXPECT_EQ(files_.StoredCount(kTargetMpeg), 0);

    const std::string before = FileText(kTargetMpeg);
    EXPECT_EQ(editor.OnCommand(kCmdDeleteProfile), "");
    editor.ReleaseSpin(EditorSpin::kProfile, 1);
    EXPECT_EQ(editor.CurrentIndex(), -1);
    EXPECT_EQ(FileText(kTargetMpeg), before);
    EXPECT_EQ(host_->loads, 2);
}

TEST_F(ProfileEditorModelTest, NewOnAnEmptyFileCreatesSectionZero) {
    ProfileEditorModel& editor = OpenAsIs(kTargetPsp);
    EXPECT_EQ(editor.ProfileText(), "No.0 of 0");
    EXPECT_EQ(editor.Text(EditorField::kWidth), "0");
    EXPECT_EQ(editor.Selection(EditorList::kFrameSize), kOriginalFrameSize);
    editor.SetText(EditorField::kName, "Pocket");
    editor.SelectEntry(EditorList::kVideoCodec, 20);
    EXPECT_EQ(editor.OnCommand(kCmdNewProfile), "");

    EXPECT_EQ(files_.StoredCount(kTargetPsp), 1);
    EXPECT_EQ(files_.ReadString(kTargetPsp, 0, "Name"), "Pocket");
    EXPECT_EQ(files_.ReadInt(kTargetPsp, 0, "Version"), 20);
    EXPECT_EQ(files_.ReadInt(kTargetPsp, 0, "FileType"), 3);
    EXPECT_EQ(host_->tables[kTargetPsp].count, 1);
    EXPECT_EQ(editor.ProfileText(), "No.1 of 1");
}

TEST_F(ProfileEditorModelTest, SaveWithoutProfilesAddsOne) {
    ProfileEditorModel& editor = OpenAsIs(kTargetZune);
    editor.SetText(EditorField::kName, "First");
    EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "");
    EXPECT_EQ(files_.StoredCount(kTargetZune), 1);
    EXPECT_EQ(files_.ReadString(kTargetZune, 0, "Name"), "First");
    EXPECT_EQ(editor.CurrentIndex(), 0);
}

TEST_F(ProfileEditorModelTest, NewAppendsAndBecomesCurrent) {
    ProfileEditorModel& editor = Open(kTargetAvi, {{160, 120}, {320, 240}});
    editor.SetText(EditorField::kName, "Custom size");
    editor.SetText(EditorField::kWidth, "400");
    editor.SetText(EditorField::kHeight, "300");
    EXPECT_EQ(editor.OnCommand(kCmdNewProfile), "");
    EXPECT_EQ(editor.ProfileText(), "No.3 of 3");
    EXPECT_EQ(editor.SpinPosition(EditorSpin::kProfile), 2);
    EXPECT_EQ(files_.ReadString(kTargetAvi, 2, "Name"), "Custom size");
    EXPECT_EQ(files_.ReadInt(kTargetAvi, 2, "FrameWidth"), 400);
    // New takes the edits as a new profile; the one shown before is unchanged.
    EXPECT_EQ(files_.ReadString(kTargetAvi, 0, "Name"), "P0");
    EXPECT_EQ(HostRecord(kTargetAvi, 2).frameHeight, 300);
}

TEST_F(ProfileEditorModelTest, NewRefusesATwentyFirstProfile) {
    ProfileEditorModel& editor = Open(kTargetAvi, std::vector<Size>(20, {320, 240}));
    const std::string before = FileText(kTargetAvi);
    const std::string message = editor.OnCommand(kCmdNewProfile);
    EXPECT_NE(message.find("at most 20 profiles"), std::string::npos) << message;
    EXPECT_EQ(FileText(kTargetAvi), before);
    EXPECT_EQ(editor.ProfileText(), "No.1 of 20");
    EXPECT_EQ(host_->loads, 0);
}

TEST_F(ProfileEditorModelTest, NegativeOrMalformedNumbersAreRefusedLargeOnesTakenAsTyped) {
    ProfileEditorModel& editor = Open(kTargetMpeg, {{320, 240}});
    const std::string before = FileText(kTargetMpeg);
    editor.SetText(EditorField::kName, "changed");
    editor.SetText(EditorField::kWidth, "-320");
    EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "Width cannot be negative.");
    editor.SetText(EditorField::kWidth, "320");
    editor.SetText(EditorField::kBitrate, "-1");
    EXPECT_EQ(editor.OnCommand(kCmdNewProfile), "Bitrate cannot be negative.");
    editor.SetText(EditorField::kBitrate, "");
    EXPECT_NE(editor.OnCommand(kCmdSaveProfiles).find("Bitrate"), std::string::npos);
    editor.SetText(EditorField::kBitrate, "99999999999");
    EXPECT_NE(editor.OnCommand(kCmdSaveProfiles).find("Bitrate"), std::string::npos);
    EXPECT_EQ(FileText(kTargetMpeg), before);
    EXPECT_EQ(HostRecord(kTargetMpeg, 0).name, "P0");

    editor.SetText(EditorField::kBitrate, " 20000 ");
    editor.SetText(EditorField::kHeight, "3000");
    EXPECT_EQ(editor.SpinPosition(EditorSpin::kHeight), 2000);
    EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "");
    EXPECT_EQ(files_.ReadInt(kTargetMpeg, 0, "VideoBitrate"), 20000);
    EXPECT_EQ(files_.ReadInt(kTargetMpeg, 0, "FrameHeight"), 3000);
    EXPECT_EQ(files_.ReadString(kTargetMpeg, 0, "Name"), "changed");
}

TEST_F(ProfileEditorModelTest, ReloadDiscardsEditsAndCloseSavesNothing) {
    ProfileEditorModel& editor = Open(kTargetAvi, {{320, 240}});
    const std::string before = FileText(kTargetAvi);
    editor.SetText(EditorField::kName, "unsaved");
    editor.SelectEntry(EditorList::kChannels, 0);
    editor.SelectEntry(EditorList::kFrameSize, 0);
    EXPECT_EQ(editor.OnCommand(kCmdReloadProfiles), "");
    EXPECT_EQ(editor.Text(EditorField::kName), "P0");
    EXPECT_EQ(editor.Selection(EditorList::kChannels), 1);
    EXPECT_EQ(editor.Text(EditorField::kWidth), "320");

    // Close asks about the change; "Cancel" keeps the editor open, "No"
    // closes it without saving.
    struct Answers : ProfileEditorView {
        std::string AskQuestion(const std::string& text) override {
            questions.push_back(text);
            const std::string answer = replies.front();
            replies.erase(replies.begin());
            return answer;
        }
        std::vector<std::string> questions;
        std::vector<std::string> replies = {"Cancel", "No"};
    } answers;
    editor.SetView(&answers);
    editor.SetText(EditorField::kName, "unsaved");
    EXPECT_TRUE(editor.HasUnsavedChanges());
    EXPECT_EQ(editor.OnCommand(kCmdCloseEditor), "");
    EXPECT_FALSE(editor.Closed());
    EXPECT_EQ(editor.OnCommand(kCmdCloseEditor), "");
    EXPECT_TRUE(editor.Closed());
    EXPECT_EQ(answers.questions, std::vector<std::string>(2, "Save the changes to this profile?"));
    EXPECT_EQ(FileText(kTargetAvi), before);
}

TEST_F(ProfileEditorModelTest, CloseAsksOnlyAboutChangesAndSavesThemOnYes) {
    ProfileEditorModel& editor = Open(kTargetAvi, {{320, 240}, {352, 288}});
    struct Answers : ProfileEditorView {
        std::string AskQuestion(const std::string& text) override {
            questions.push_back(text);
            return reply;
        }
        std::vector<std::string> questions;
        std::string reply = "Yes";
    } answers;
    editor.SetView(&answers);
    // Values typed back to what they were are no change.
    editor.SetText(EditorField::kBitrate, "9");
    editor.SetText(EditorField::kBitrate, "700");
    EXPECT_FALSE(editor.HasUnsavedChanges());
    editor.SelectEntry(EditorList::kAudioBitrate, 2);
    EXPECT_TRUE(editor.HasUnsavedChanges());
    // A value that cannot be saved keeps the editor open with its reason.
    editor.SetText(EditorField::kWidth, "-5");
    EXPECT_EQ(editor.OnCommand(kCmdCloseEditor), "Width cannot be negative.");
    EXPECT_FALSE(editor.Closed());
    editor.SetText(EditorField::kWidth, "640");
    EXPECT_EQ(editor.OnCommand(kCmdCloseEditor), "");
    EXPECT_TRUE(editor.Closed());
    EXPECT_EQ(answers.questions.size(), 2u);
    EXPECT_EQ(files_.ReadInt(kTargetAvi, 0, "FrameWidth"), 640);
    EXPECT_EQ(files_.ReadInt(kTargetAvi, 0, "AudioBitrate"), 2);
    EXPECT_EQ(HostRecord(kTargetAvi, 0).frameWidth, 640);
}

TEST_F(ProfileEditorModelTest, ValuesTheListsDoNotOfferAreShownAsNoneAndKept) {
    test::WriteFile(files_.PathOf(kTargetAvi),
                    "[common]\nprofiles=1\n[Profile0]\nName=odd\nFrameRate=5\nVersion=40\n");
    ProfileEditorModel& editor = OpenAsIs(kTargetAvi);
    EXPECT_EQ(editor.Selection(EditorList::kFrameRate), -1);
    EXPECT_EQ(editor.Selection(EditorList::kVideoCodec), -1);
    editor.SelectEntry(EditorList::kVideoCodec, 21);
    EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "");
    EXPECT_EQ(files_.ReadInt(kTargetAvi, 0, "FrameRate"), 5);
    EXPECT_EQ(files_.ReadInt(kTargetAvi, 0, "Version"), 40);
}

TEST_F(ProfileEditorModelTest, SaveSkipsAProfileTheFileNoLongerLists) {
    ProfileEditorModel& editor = Open(kTargetAvi, {{320, 240}, {320, 240}});
    editor.ReleaseSpin(EditorSpin::kProfile, 1);
    ASSERT_TRUE(files_.WriteCount(kTargetAvi, 1));
    editor.SetText(EditorField::kName, "memory only");
    EXPECT_EQ(editor.OnCommand(kCmdSaveProfiles), "");
    EXPECT_EQ(files_.ReadString(kTargetAvi, 1, "Name"), "P1");
    EXPECT_EQ(HostRecord(kTargetAvi, 1).name, "memory only");
}

TEST_F(ProfileEditorModelTest, AFileThatCannotBeWrittenIsReported) {
    const ProfileFiles nowhere(folder_ / "missing folder/");
    TablesHost host(nowhere);
    ProfileEditorModel editor(kTargetAvi, "", host, nowhere);
    const std::string message = editor.OnCommand(kCmdNewProfile);
    EXPECT_NE(message.find("cannot be written"), std::string::npos) << message;
    EXPECT_EQ(editor.ProfileText(), "No.0 of 0");
    EXPECT_EQ(host.loads, 0);
}

}  // namespace
