#include "app/profiles/profile_editor_model.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "app/profiles/value_lists.h"

namespace {

// The editor offers the frame rates up to "29.976"; "30" stays in the value
// list for profiles written by hand.
constexpr int kOfferedFrameRates = 5;
constexpr std::array<std::string_view, 2> kChannelNames = {"Mono", "Stereo"};
constexpr std::array<std::string_view, 2> kEditorFileTypes = {"3gp", "3g2"};

// 3GP sound is AMR: narrow-band AMR is sampled at 8000 Hz, everything else
// the editor offers for 3GP at 16000 Hz.
constexpr int kAmrNbFormat = 0;
constexpr int k8000HzEntry = 8;
constexpr int k16000HzEntry = 5;

std::size_t IndexOf(EditorField field) { return static_cast<std::size_t>(field); }

// A signed decimal number as the user typed it, blanks around it allowed.
std::optional<int> ParseWholeNumber(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return std::nullopt;
    const std::size_t last = text.find_last_not_of(" \t");
    text = text.substr(first, last - first + 1);
    if (text.front() == '+') text.remove_prefix(1);
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end) return std::nullopt;
    return value;
}

int ClampTo(EditorSpin spin, int value) {
    const SpinRange range = RangeOf(spin);
    return std::clamp(value, range.minimum, range.maximum);
}

}  // namespace

int FrameSizeEntryFor(int width, int height) {
    for (int i = 0; i <= kOriginalFrameSize; ++i) {
        const FrameSize& size = kFrameSizes[static_cast<std::size_t>(i)];
        if (size.width == width && size.height == height) return i;
    }
    return kCustomFrameSize;
}

std::string_view LabelOf(EditorField field) {
    switch (field) {
        case EditorField::kName:
            return "Name";
        case EditorField::kDescription:
            return "Description";
        case EditorField::kComment:
            return "Comment";
        case EditorField::kWidth:
            return "Width";
        case EditorField::kHeight:
            return "Height";
        case EditorField::kBitrate:
            return "Bitrate";
    }
    return {};
}

std::string_view LabelOf(EditorList list) {
    switch (list) {
        case EditorList::kVideoCodec:
            return "Video Codec";
        case EditorList::kFrameSize:
            return "Frame Size";
        case EditorList::kFrameRate:
            return "Framerate";
        case EditorList::kAudioFormat:
            return "Audio Format";
        case EditorList::kAudioBitrate:
            return "Audio Bitrate";
        case EditorList::kFrequency:
            return "Frequency";
        case EditorList::kChannels:
            return "Channels";
        case EditorList::kFileType:
            return "FileType";
    }
    return {};
}

std::vector<std::string> EntriesOf(EditorList list) {
    std::vector<std::string> entries;
    switch (list) {
        case EditorList::kVideoCodec:
            entries.assign(kVideoCodecs.begin(), kVideoCodecs.end());
            break;
        case EditorList::kFrameSize:
            for (int i = 0; i < kOriginalFrameSize; ++i) {
                const FrameSize& size = kFrameSizes[static_cast<std::size_t>(i)];
                entries.push_back(std::to_string(size.width) + " x " + std::to_string(size.height));
            }
            entries.push_back("Original");
            entries.push_back("Custom...");
            break;
        case EditorList::kFrameRate:
            for (int i = 0; i < kOfferedFrameRates; ++i) {
                entries.push_back(std::string(kFrameRates[static_cast<std::size_t>(i)]) + " fps");
            }
            break;
        case EditorList::kAudioFormat:
            entries.assign(kAudioCodecs.begin(), kAudioCodecs.end());
            break;
        case EditorList::kAudioBitrate:
            for (int kbps : kAudioBitratesKbps) entries.push_back(std::to_string(kbps) + " kbps");
            entries.push_back("No audio");
            break;
        case EditorList::kFrequency:
            for (int hz : kSampleRatesHz) entries.push_back(std::to_string(hz) + " Hz");
            break;
        case EditorList::kChannels:
            entries.assign(kChannelNames.begin(), kChannelNames.end());
            break;
        case EditorList::kFileType:
            entries.assign(kEditorFileTypes.begin(), kEditorFileTypes.end());
            break;
    }
    return entries;
}

SpinRange RangeOf(EditorSpin spin) {
    switch (spin) {
        case EditorSpin::kProfile:
            return {0, 200};
        case EditorSpin::kWidth:
        case EditorSpin::kHeight:
            return {0, 2000};
        case EditorSpin::kBitrate:
            return {0, 15000};
    }
    return {};
}

ProfileEditorModel::ProfileEditorModel(int target, std::string title, ProfileEditorHost& host,
                                       const ProfileFiles& files)
    : target_(target), title_(std::move(title)), host_(host), files_(files) {
    count_ = std::clamp(host_.ProfileTableOf(target_).count, 0, kMaxProfiles);
    current_ = count_ > 0 ? 0 : -1;
    // Without profiles the fields show an empty record; New starts from it.
    // (Assigned as one character: GCC 12 at -O3 warns of an overlapping copy
    // in assigning the literal, -Wrestrict.)
    TextRef(EditorField::kWidth).assign(1, '0');
    TextRef(EditorField::kHeight).assign(1, '0');
    TextRef(EditorField::kBitrate).assign(1, '0');
    ShowCurrentProfile();
}

std::string ProfileEditorModel::OnCommand(int commandId) {
    switch (commandId) {
        case kCmdSaveProfiles:
            return Save();
        case kCmdNewProfile:
            return New();
        case kCmdDeleteProfile:
            return Delete();
        case kCmdReloadProfiles:
            ShowCurrentProfile();
            return {};
        case kCmdCloseEditor:
            return Close();
        default:
            return {};
    }
}

void ProfileEditorModel::SetText(EditorField field, std::string text) {
    const std::optional<int> number = ParseWholeNumber(text);
    TextRef(field) = std::move(text);
    switch (field) {
        case EditorField::kWidth:
            if (number) widthSpin_ = ClampTo(EditorSpin::kWidth, *number);
            SelectMatchingFrameSize();
            break;
        case EditorField::kHeight:
            if (number) heightSpin_ = ClampTo(EditorSpin::kHeight, *number);
            SelectMatchingFrameSize();
            break;
        case EditorField::kBitrate:
            if (number) bitrateSpin_ = ClampTo(EditorSpin::kBitrate, *number);
            break;
        default:
            break;
    }
}

void ProfileEditorModel::SelectEntry(EditorList list, int index) {
    if (index < 0 || index >= static_cast<int>(EntriesOf(list).size())) return;
    switch (list) {
        case EditorList::kVideoCodec:
            record_.version = index;
            break;
        case EditorList::kFrameSize: {
            const FrameSize& size = kFrameSizes[static_cast<std::size_t>(index)];
            record_.frameWidth = size.width;
            record_.frameHeight = size.height;
            frameSizeEntry_ = index;
            // "Custom..." leaves the fields for the user to fill in.
            if (index != kCustomFrameSize) ShowFrameSize(size.width, size.height);
            break;
        }
        case EditorList::kFrameRate:
            record_.frameRate = index;
            break;
        case EditorList::kAudioFormat:
            record_.audioFormat = index;
            if (target_ == kTarget3gp) {
                record_.audioFrequency = index == kAmrNbFormat ? k8000HzEntry : k16000HzEntry;
            }
            break;
        case EditorList::kAudioBitrate:
            record_.audioBitrate = index;
            break;
        case EditorList::kFrequency:
            if (FrequencyEnabled()) record_.audioFrequency = index;
            break;
        case EditorList::kChannels:
            record_.audioChannels = index;
            break;
        case EditorList::kFileType:
            if (FileTypeVisible()) record_.fileType = index;
            break;
    }
}

void ProfileEditorModel::ReleaseSpin(EditorSpin spin, int position) {
    position = ClampTo(spin, position);
    switch (spin) {
        case EditorSpin::kProfile:
            if (count_ == 0) return;
            current_ = std::min(position, count_ - 1);
            ShowCurrentProfile();
            break;
        case EditorSpin::kWidth:
            widthSpin_ = position;
            TextRef(EditorField::kWidth) = std::to_string(position);
            SelectMatchingFrameSize();
            break;
        case EditorSpin::kHeight:
            heightSpin_ = position;
            TextRef(EditorField::kHeight) = std::to_string(position);
            SelectMatchingFrameSize();
            break;
        case EditorSpin::kBitrate:
            bitrateSpin_ = position;
            TextRef(EditorField::kBitrate) = std::to_string(position);
            break;
    }
}

std::string ProfileEditorModel::ProfileText() const {
    return "No." + std::to_string(current_ + 1) + " of " + std::to_string(count_);
}

const std::string& ProfileEditorModel::Text(EditorField field) const {
    return texts_[IndexOf(field)];
}

int ProfileEditorModel::Selection(EditorList list) const {
    int value = 0;
    switch (list) {
        case EditorList::kVideoCodec:
            value = record_.version;
            break;
        case EditorList::kFrameSize:
            value = frameSizeEntry_;
            break;
        case EditorList::kFrameRate:
            value = record_.frameRate;
            break;
        case EditorList::kAudioFormat:
            value = record_.audioFormat;
            break;
        case EditorList::kAudioBitrate:
            value = record_.audioBitrate;
            break;
        case EditorList::kFrequency:
            value = record_.audioFrequency;
            break;
        case EditorList::kChannels:
            value = record_.audioChannels;
            break;
        case EditorList::kFileType:
            value = record_.fileType;
            break;
    }
    const bool offered = value >= 0 && value < static_cast<int>(EntriesOf(list).size());
    return offered ? value : -1;
}

int ProfileEditorModel::SpinPosition(EditorSpin spin) const {
    switch (spin) {
        case EditorSpin::kProfile:
            return profileSpin_;
        case EditorSpin::kWidth:
            return widthSpin_;
        case EditorSpin::kHeight:
            return heightSpin_;
        case EditorSpin::kBitrate:
            return bitrateSpin_;
    }
    return 0;
}

bool ProfileEditorModel::FileTypeVisible() const { return target_ == kTarget3gp; }

bool ProfileEditorModel::FrequencyEnabled() const { return target_ != kTarget3gp; }

void ProfileEditorModel::ShowCurrentProfile() {
    if (current_ < 0) return;
    record_ = HostRecord(current_);
    TextRef(EditorField::kName) = record_.name;
    TextRef(EditorField::kDescription) = record_.description;
    TextRef(EditorField::kComment) = record_.comment;
    frameSizeEntry_ = FrameSizeEntryFor(record_.frameWidth, record_.frameHeight);
    ShowFrameSize(record_.frameWidth, record_.frameHeight);
    bitrateSpin_ = ClampTo(EditorSpin::kBitrate, record_.videoBitrate);
    TextRef(EditorField::kBitrate) = std::to_string(record_.videoBitrate);
    profileSpin_ = current_;
}

void ProfileEditorModel::ShowFrameSize(int width, int height) {
    TextRef(EditorField::kWidth) = std::to_string(width);
    TextRef(EditorField::kHeight) = std::to_string(height);
    widthSpin_ = ClampTo(EditorSpin::kWidth, width);
    heightSpin_ = ClampTo(EditorSpin::kHeight, height);
}

void ProfileEditorModel::SelectMatchingFrameSize() {
    const std::optional<int> width = ParseWholeNumber(Text(EditorField::kWidth));
    const std::optional<int> height = ParseWholeNumber(Text(EditorField::kHeight));
    frameSizeEntry_ = width && height ? FrameSizeEntryFor(*width, *height) : kCustomFrameSize;
}

std::string ProfileEditorModel::ReadFields() {
    std::array<int, 3> numbers{};
    const std::array<EditorField, 3> fields = {EditorField::kWidth, EditorField::kHeight,
                                               EditorField::kBitrate};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string label(LabelOf(fields[i]));
        const std::optional<int> number = ParseWholeNumber(Text(fields[i]));
        if (!number) return "Please enter a whole number for " + label + ".";
        // The encoder would be handed a negative size or rate and fail on
        // every file converted with the profile.
        if (*number < 0) return label + " cannot be negative.";
        numbers[i] = *number;
    }
    record_.name = Text(EditorField::kName);
    record_.description = Text(EditorField::kDescription);
    record_.comment = Text(EditorField::kComment);
    record_.frameWidth = numbers[0];
    record_.frameHeight = numbers[1];
    record_.videoBitrate = numbers[2];
    return {};
}

std::string ProfileEditorModel::Save() {
    if (count_ == 0) return New();
    std::string refused = ReadFields();
    if (!refused.empty()) return refused;
    host_.ProfileTableOf(target_).profiles[static_cast<std::size_t>(current_)] = record_;
    // A profile the file does not list (its count was lowered meanwhile) is
    // left out quietly; only a file that cannot be written is reported.
    if (files_.Write(target_, current_, record_) == ProfileWrite::kFailed) return CannotWrite();
    return {};
}

void ProfileEditorModel::SetView(ProfileEditorView* view) { view_ = view ? view : &defaultView_; }

bool ProfileEditorModel::HasUnsavedChanges() const {
    if (current_ < 0 || current_ >= count_) return false;
    const Profile& shown =
        host_.ProfileTableOf(target_).profiles[static_cast<std::size_t>(current_)];
    const auto number = [this](EditorField field) { return ParseWholeNumber(Text(field)); };
    return Text(EditorField::kName) != shown.name ||
           Text(EditorField::kDescription) != shown.description ||
           Text(EditorField::kComment) != shown.comment ||
           number(EditorField::kWidth) != shown.frameWidth ||
           number(EditorField::kHeight) != shown.frameHeight ||
           number(EditorField::kBitrate) != shown.videoBitrate ||
           record_.version != shown.version || record_.frameRate != shown.frameRate ||
           record_.audioFormat != shown.audioFormat || record_.audioBitrate != shown.audioBitrate ||
           record_.audioChannels != shown.audioChannels ||
           record_.audioFrequency != shown.audioFrequency || record_.fileType != shown.fileType;
}

std::string ProfileEditorModel::Close() {
    if (HasUnsavedChanges()) {
        const std::string answer = view_->AskQuestion(kSaveChangesQuestion);
        if (answer == "Yes") {
            // A value that cannot be saved keeps the editor open with its reason.
            std::string refused = Save();
            if (!refused.empty()) return refused;
        } else if (answer != "No") {
            return {};
        }
    }
    closed_ = true;
    return {};
}

std::string ProfileEditorModel::New() {
    // The window's tables hold no more than this; a profile beyond it could
    // never be listed or chosen.
    if (count_ >= kMaxProfiles) {
        return "A profile file holds at most " + std::to_string(kMaxProfiles) +
               " profiles. Delete one before adding another.";
    }
    std::string refused = ReadFields();
    if (!refused.empty()) return refused;
    if (!files_.WriteSection(target_, count_, record_) || !files_.WriteCount(target_, count_ + 1)) {
        return CannotWrite();
    }
    ++count_;
    host_.LoadAllProfileFiles();
    current_ = count_ - 1;
    ShowCurrentProfile();
    return {};
}

std::string ProfileEditorModel::Delete() {
    if (count_ < 1) return {};
    bool written = true;
    for (int i = 0; i < count_; ++i) {
        if (i == current_) continue;
        const int section = i < current_ ? i : i - 1;
        written = files_.Write(target_, section, HostRecord(i)) != ProfileWrite::kFailed && written;
    }
    // The last section stays in the file beyond the new count.
    if (!files_.WriteCount(target_, count_ - 1)) return CannotWrite();
    --count_;
    host_.LoadAllProfileFiles();
    if (current_ >= count_) current_ = count_ - 1;
    ShowCurrentProfile();
    profileSpin_ = std::max(current_, 0);
    return written ? std::string() : CannotWrite();
}

std::string ProfileEditorModel::CannotWrite() const {
    return "The profile file cannot be written: " + files_.PathOf(target_);
}

std::string& ProfileEditorModel::TextRef(EditorField field) { return texts_[IndexOf(field)]; }

const Profile& ProfileEditorModel::HostRecord(int index) {
    const ProfileTable& table = host_.ProfileTableOf(target_);
    return table.profiles[static_cast<std::size_t>(std::clamp(index, 0, kMaxProfiles - 1))];
}
