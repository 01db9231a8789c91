// The profile editor's state and command handling, without any drawing: one
// profile of a target's profile file at a time, stepped through, changed
// from fixed lists, saved, added and deleted. It works on the main window's
// in-memory table of the target and on the profile file itself. The Qt
// dialog draws it and forwards the user's edits; tests drive it without a
// display.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "app/profiles/profile.h"
#include "app/profiles/profile_files.h"

// What the editor needs of the window that opens it.
class ProfileEditorHost {
public:
    virtual ~ProfileEditorHost() = default;
    // The table the window lists for `target`; Save changes its records.
    virtual ProfileTable& ProfileTableOf(int target) = 0;
    // Loads all nine profile files into the window's tables again.
    virtual void LoadAllProfileFiles() = 0;
};

// What the editor asks of whoever shows it.
class ProfileEditorView {
public:
    virtual ~ProfileEditorView() = default;
    // A question with the buttons "Yes", "No" and "Cancel"; returns the
    // button pressed ("Cancel" when the box was closed).
    virtual std::string AskQuestion(const std::string& /*text*/) { return "No"; }
};

// Asked when Close would throw away changed values.
inline constexpr char kSaveChangesQuestion[] = "Save the changes to this profile?";

// The working copy of the profile being edited.
using ProfileEditorRecord = Profile;

// The command ids of the editor's buttons.
enum ProfileEditorCommand : int {
    kCmdDeleteProfile = 1046,
    kCmdNewProfile = 1047,
    kCmdCloseEditor = 40051,
    kCmdReloadProfiles = 40052,
    kCmdSaveProfiles = 40053,
};

// The editor's fields that the user types into.
enum class EditorField { kName, kDescription, kComment, kWidth, kHeight, kBitrate };
inline constexpr std::array<EditorField, 6> kEditorFields = {
    EditorField::kName,  EditorField::kDescription, EditorField::kComment,
    EditorField::kWidth, EditorField::kHeight,      EditorField::kBitrate};

// The editor's drop-down lists.
enum class EditorList {
    kVideoCodec,
    kFrameSize,
    kFrameRate,
    kAudioFormat,
    kAudioBitrate,
    kFrequency,
    kChannels,
    kFileType,
};
inline constexpr std::array<EditorList, 8> kEditorLists = {
    EditorList::kVideoCodec,  EditorList::kFrameSize,    EditorList::kFrameRate,
    EditorList::kAudioFormat, EditorList::kAudioBitrate, EditorList::kFrequency,
    EditorList::kChannels,    EditorList::kFileType};

// The up-down controls beside the number fields and the profile number.
enum class EditorSpin { kProfile, kWidth, kHeight, kBitrate };

struct SpinRange {
    int minimum = 0;
    int maximum = 0;
};

struct FrameSize {
    int width = 0;
    int height = 0;
};

// The frame-size list: fixed sizes, then "Original" (0 x 0) and "Custom...".
inline constexpr std::array<FrameSize, 16> kFrameSizes = {{{80, 60},
                                                           {96, 72},
                                                           {128, 96},
                                                           {160, 120},
                                                           {176, 120},
                                                           {176, 144},
                                                           {192, 144},
                                                           {240, 180},
                                                           {320, 200},
                                                           {320, 240},
                                                           {352, 240},
                                                           {352, 288},
                                                           {720, 480},
                                                           {720, 576},
                                                           {0, 0},
                                                           {-1, -1}}};
inline constexpr int kOriginalFrameSize = 14;
inline constexpr int kCustomFrameSize = 15;

// The frame-size entry a width and height select: the first fixed size or
// "Original" that equals both, else "Custom...".
int FrameSizeEntryFor(int width, int height);

// The label the editor shows beside a control, exactly as the user sees it.
std::string_view LabelOf(EditorField field);
std::string_view LabelOf(EditorList list);
// The entries of a list, as shown.
std::vector<std::string> EntriesOf(EditorList list);
SpinRange RangeOf(EditorSpin spin);

class ProfileEditorModel {
public:
    // Opens on profile 0 of the host's table for `target` (none when the table
    // is empty). `title` is the dialog's caption.
    ProfileEditorModel(int target, std::string title, ProfileEditorHost& host,
                       const ProfileFiles& files);

    // Not owned; null for none (every question is then answered "No").
    void SetView(ProfileEditorView* view);

    // A button, by its command id. Returns the text of the message box to
    // show, or "" when there is none. Close asks first whether changed
    // values are to be saved.
    std::string OnCommand(int commandId);
    // The user typed into a field; the whole new text.
    void SetText(EditorField field, std::string text);
    // The user chose entry `index` of a list.
    void SelectEntry(EditorList list, int index);
    // The user released a spin at `position`.
    void ReleaseSpin(EditorSpin spin, int position);

    int Target() const { return target_; }
    const std::string& Title() const { return title_; }
    int Count() const { return count_; }
    // -1 when there are no profiles.
    int CurrentIndex() const { return current_; }
    // "No.%d of %d".
    std::string ProfileText() const;
    const std::string& Text(EditorField field) const;
    // The list's selected entry; -1 when the working copy's value is not one
    // the list offers.
    int Selection(EditorList list) const;
    int SpinPosition(EditorSpin spin) const;
    const ProfileEditorRecord& WorkingCopy() const { return record_; }

    // Only 3GP profiles choose their file type; their sample rate follows the
    // audio format.
    bool FileTypeVisible() const;
    bool FrequencyEnabled() const;
    // The fields or lists differ from the profile as it was shown.
    bool HasUnsavedChanges() const;
    // Close has been pressed; the dialog ends.
    bool Closed() const { return closed_; }

private:
    void ShowCurrentProfile();
    void ShowFrameSize(int width, int height);
    void SelectMatchingFrameSize();
    std::string ReadFields();
    std::string Save();
    std::string New();
    std::string Delete();
    std::string Close();
    std::string CannotWrite() const;
    std::string& TextRef(EditorField field);
    const Profile& HostRecord(int index);

    int target_;
    std::string title_;
    ProfileEditorHost& host_;
    const ProfileFiles& files_;
    int count_ = 0;
    int current_ = -1;
    ProfileEditorRecord record_;
    int frameSizeEntry_ = kOriginalFrameSize;
    std::array<std::string, kEditorFields.size()> texts_;
    int profileSpin_ = 0;
    int widthSpin_ = 0;
    int heightSpin_ = 0;
    int bitrateSpin_ = 0;
    bool closed_ = false;
    ProfileEditorView defaultView_;
    ProfileEditorView* view_ = &defaultView_;
};
