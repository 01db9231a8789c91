#include "app/disc/burning_window_model.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/file_status.h"

namespace {

constexpr int kDvdWindowHeight = 345;
constexpr int kFileTreeExtraHeight = 100;
constexpr int kButtonWidth = 115;
constexpr int kButtonHeight = 21;
constexpr int kMargin = 10;
constexpr std::size_t kScanNameLimit = 70;
constexpr int kErrorTextBytes = 2048;
constexpr int kImagePathBytes = 4096;
constexpr int kDeviceListEntries = 26;
constexpr double kBytesPerMegabyte = 1048576.0;

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Printed(const char* format, int value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// An option record as the SDK expects it before GetOptions fills it: every
// text "not defined", every other byte 255.
FoxBurnerOptions PresetOptions() {
    FoxBurnerOptions options;
    std::memset(&options, 0xFF, sizeof options);
    for (char* field : {options.volumeLabel, options.publisher, options.applicationId}) {
        std::memset(field, 0, FOXBURNER_TEXT_FIELD_BYTES);
        std::strcpy(field, FOXBURNER_UNDEFINED_TEXT);
    }
    return options;
}

void SetText(char (&field)[FOXBURNER_TEXT_FIELD_BYTES], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

int ProjectTypeOf(DiscKind kind) {
    switch (kind) {
        case kSuperVcdDisc:
            return FOXBURNER_PROJECT_SUPER_VCD;
        case kVideoCdDisc:
            return FOXBURNER_PROJECT_VIDEO_CD;
        case kDvdDisc:
            break;
    }
    return FOXBURNER_PROJECT_DVD_VIDEO;
}

// The SDK's events, with the window's model as their context.
void FinalizeEvent(void* context) { static_cast<BurningWindowModel*>(context)->OnFinalizeEvent(); }

void BurnDoneEvent(void* context, int errorCode) {
    static_cast<BurningWindowModel*>(context)->OnBurnDoneEvent(errorCode);
}

void ProcessEvent(void* context, float percent, float bufferPercent, double bytesWritten) {
    static_cast<BurningWindowModel*>(context)->OnProcessEvent(percent, bufferPercent, bytesWritten);
}

void VideoScannerEvent(void* context, float percent) {
    static_cast<BurningWindowModel*>(context)->OnVideoScannerEvent(percent);
}

void VideoScanDoneEvent(void* context, const char* fileName, int refused, double frameRate,
                        int bitRate, int aspectRatio, int width, int height) {
    static_cast<BurningWindowModel*>(context)->OnVideoScanDoneEvent(
        fileName ? fileName : "", refused, frameRate, bitRate, aspectRatio, width, height);
}

}  // namespace

BurningWindowLayout LayOutBurningWindow(DiscKind kind) {
    BurningWindowLayout l;
    constexpr int w = BurningWindowLayout::kWidth;
    l.messageList = {kMargin, kMargin, w - kMargin, 130};
    l.information = {kMargin, 140, w - kMargin, 270};
    l.deviceLabel = {20, 162, 80, 180};
    l.deviceBox = {80, 159, w - 20, 181};
    l.labelCaption = {20, 190, 80, 208};
    l.volumeLabel = {80, 187, w - 20, 209};
    l.ejectBox = {20, 216, 180, 236};
    l.finalizeBox = {190, 216, 300, 236};
    l.bufferCaption = {20, 244, 70, 262};
    l.bufferValue = {70, 244, 150, 262};
    l.bytesCaption = {160, 244, 220, 262};
    l.bytesValue = {220, 244, w - 20, 262};
    // The file tree sits from 10 to 110 pixels below the group.
    l.fileTreeVisible = kind != kDvdDisc;
    const int treeSpace = l.fileTreeVisible ? kFileTreeExtraHeight : 0;
    l.fileTree = {kMargin, l.information.bottom + 10, w - kMargin, l.information.bottom + 110};
    l.progress = {kMargin, 280 + treeSpace, w - kMargin, 298 + treeSpace};
    l.height = kDvdWindowHeight + treeSpace;
    const int buttonTop = l.height - kMargin - kButtonHeight;
    l.cancel = {w - kMargin - kButtonWidth, buttonTop, w - kMargin, buttonTop + kButtonHeight};
    l.burnNow = {l.cancel.left - kMargin - kButtonWidth, buttonTop, l.cancel.left - kMargin,
                 buttonTop + kButtonHeight};
    return l;
}

std::string AspectRatioText(DiscKind kind, int code, int width, int height) {
    if (code == 1) {
        // Square pixels: the picture is as wide as its size says.
        if (width > 0 && height > 0) {
            const double shape = static_cast<double>(width) / height;
            if (std::abs(shape - 16.0 / 9.0) < 0.05) return "16:9";
            if (std::abs(shape - 4.0 / 3.0) < 0.05) return "4:3";
            return Printed("%.2f:1", shape);
        }
        return "1:1";
    }
    if (kind == kVideoCdDisc) {
        // MPEG-1 pixel shapes of 625- and 525-line television, 4:3 and 16:9.
        switch (code) {
            case 8:
            case 12:
                return "4:3";
            case 3:
            case 6:
                return "16:9";
            default:
                break;
        }
    } else {
        switch (code) {
            case 2:
                return "4:3";
            case 3:
                return "16:9";
            case 4:
                return "2.21:1";
            default:
                break;
        }
    }
    return Printed("code %d", code);
}

std::string WrittenText(double bytes) { return Printed("%.1f MB", bytes / kBytesPerMegabyte); }

FileTreeEntry MakeFileTreeEntry(DiscKind kind, const std::string& file, long long sizeBytes,
                                double frameRate, int bitRate, int aspectRatio, int width,
                                int height) {
    FileTreeEntry entry;
    entry.name = file;
    entry.lines.push_back(
        Printed("Filesize: %.2lf MB", static_cast<double>(sizeBytes) / kBytesPerMegabyte));
    entry.lines.push_back(Printed("Framerate: %.2lf Frames/sec", frameRate));
    entry.lines.push_back(Printed("Bitrate: %d Kbits/s", bitRate / 1024));
    entry.lines.push_back("Aspect Ratio: " + AspectRatioText(kind, aspectRatio, width, height));
    char size[96];
    std::snprintf(size, sizeof size, "Width(Pixel): %i / Height(Pixel): %i", width, height);
    entry.lines.push_back(size);
    return entry;
}

std::string ScanningText(const std::string& file) {
    if (file.size() <= kScanNameLimit) return "Scanning Video - " + file;
    return "Scanning Video - " + file.substr(0, kScanNameLimit) + " ...";
}

std::string DiscFolderFor(const std::string& folder) {
    std::string last = folder.substr(folder.find_last_of("/\\") + 1);
    for (char& c : last) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return last == "video_ts" ? "\\" : "\\VIDEO_TS\\";
}

BurningWindowModel::BurningWindowModel(const BurningSdk& sdk, DiscKind kind,
                                       std::vector<std::string> files,
                                       const std::string& exportFolder)
    : sdk_(sdk),
      kind_(kind),
      files_(std::move(files)),
      exportFolder_(exportFolder),
      imageFolder_(exportFolder),
      dvdFolder_(exportFolder + "DVD/VIDEO_TS/") {
    // A SuperVCD or VideoCD has nothing to burn before a file is accepted.
    burnNowEnabled_ = kind_ == kDvdDisc;
}

BurningWindowModel::~BurningWindowModel() {
    if (opened_ && !closed_) sdk_.DeleteProject();
}

void BurningWindowModel::SetView(BurningWindowView* view) { view_ = view ? view : &defaultView_; }

void BurningWindowModel::Changed() { view_->Changed(); }

void BurningWindowModel::Append(std::string line) {
    messages_.push_back(std::move(line));
    Changed();
}

void BurningWindowModel::ReportError(int result) {
    if (result == FOXBURNER_OK) return;
    char text[kErrorTextBytes] = {};
    sdk_.GetText(result, text, sizeof text);
    Append(std::string("error: ") + text);
}

FoxBurnerOptions BurningWindowModel::ReadOptions() {
    FoxBurnerOptions options = PresetOptions();
    ReportError(sdk_.GetOptions(&options));
    return options;
}

void BurningWindowModel::Open() {
    opened_ = true;
    StartSdk();
    ReportError(sdk_.ClearAll());
    view_->SetTimer(kFillProjectTimer, kFillProjectDelayMs);
    Changed();
}

void BurningWindowModel::StartSdk() {
    ReportError(sdk_.Initialize());
    ReportError(sdk_.SetASPI(1));
    sdk_.SetFinalizeEventCallback(FinalizeEvent, this);
    sdk_.SetBurnDoneEventCallback(BurnDoneEvent, this);
    sdk_.SetProcessEventCallback(ProcessEvent, this);
    sdk_.SetVideoScannerEventCallback(VideoScannerEvent, this);
    sdk_.SetVideoScanDoneEventCallback(VideoScanDoneEvent, this);
    ReportError(sdk_.CreateProject(ProjectTypeOf(kind_)));

    FoxBurnerOptions options = ReadOptions();
    SetText(options.volumeLabel, kDefaultVolumeLabel);
    ReportError(sdk_.SetOptions(&options));
    volumeLabel_ =
        std::string(options.volumeLabel, strnlen(options.volumeLabel, sizeof options.volumeLabel));
    eject_ = options.ejectAfterBurn == 1;
    finalize_ = options.finalize == 1;
    // The image recorder writes its images where the converted files are.
    ReportError(sdk_.SetImageFolder(imageFolder_.c_str()));

    std::vector<char> entries(static_cast<std::size_t>(kDeviceListEntries) *
                              FOXBURNER_DEVICE_ENTRY_BYTES);
    int count = kDeviceListEntries;
    ReportError(sdk_.GetDevices(entries.data(), &count, 1));
    devices_.clear();
    for (int i = 0; i < count && i < kDeviceListEntries; ++i) {
        const char* entry =
            entries.data() + static_cast<std::ptrdiff_t>(i) * FOXBURNER_DEVICE_ENTRY_BYTES;
        devices_.emplace_back(entry, strnlen(entry, FOXBURNER_DEVICE_ENTRY_BYTES));
    }
    if (!devices_.empty() && !devices_.front().empty()) {
        ReportError(sdk_.SetDevice(devices_.front().front()));
        selectedDevice_ = 0;
    }
    progress_ = 0;
}

void BurningWindowModel::OnTimer(int id) {
    if (id != kFillProjectTimer || closed_) return;
    view_->KillTimer(kFillProjectTimer);
    FillProject();
}

void BurningWindowModel::FillProject() {
    if (kind_ == kDvdDisc) {
        ReportError(
            sdk_.AddDir(dvdFolder_.c_str(), DiscFolderFor(dvdFolder_).c_str(), "*.*", 63, 1));
        return;
    }
    ScanFiles();
}

void BurningWindowModel::ScanFiles() {
    information_ = "Scan Video Now...";
    Changed();
    for (const std::string& file : files_) {
        information_ = ScanningText(file);
        Changed();
        const int added = sdk_.AddFile(file.c_str());
        ReportError(added);
        // Without a scan there is no scan done event to wait for.
        if (added != FOXBURNER_OK) break;
        scanState_ = kScanning;
        while (scanState_ == kScanning && !closed_) view_->WaitForMessages();
        if (closed_ || scanState_ == kScanRefused) break;
    }
    if (!closed_ && scanState_ == kScanRefused) Close(kBurningResultCancelled);
}

bool BurningWindowModel::BufferShown() const {
    if (selectedDevice_ < 0 || selectedDevice_ >= static_cast<int>(devices_.size())) return true;
    return !devices_[static_cast<std::size_t>(selectedDevice_)].ends_with(
        FOXBURNER_IMAGE_RECORDER_TEXT);
}

bool BurningWindowModel::IsCommandAvailable(int commandId) const {
    if (closed_) return false;
    switch (commandId) {
        case kCmdBurnNow:
            return burnNowEnabled_;
        case kCmdCancelBurn:
        case kBurnEjectBox:
        case kBurnFinalizeBox:
            return true;
        default:
            return false;
    }
}

void BurningWindowModel::OnCommand(int commandId) {
    if (!IsCommandAvailable(commandId)) return;
    switch (commandId) {
        case kCmdBurnNow:
            BurnNow();
            break;
        case kCmdCancelBurn:
            Cancel();
            break;
        case kBurnEjectBox:
            eject_ = !eject_;
            ApplyCheckBox(commandId);
            break;
        case kBurnFinalizeBox:
            finalize_ = !finalize_;
            ApplyCheckBox(commandId);
            break;
        default:
            break;
    }
}

void BurningWindowModel::ApplyCheckBox(int commandId) {
    FoxBurnerOptions options = ReadOptions();
    if (commandId == kBurnEjectBox) {
        options.ejectAfterBurn = eject_ ? 1 : 0;
    } else {
        options.finalize = finalize_ ? 1 : 0;
    }
    ReportError(sdk_.SetOptions(&options));
    Changed();
}

void BurningWindowModel::SelectDevice(int index) {
    if (closed_ || index < 0 || index >= static_cast<int>(devices_.size())) return;
    selectedDevice_ = index;
    const std::string& entry = devices_[static_cast<std::size_t>(index)];
    if (!entry.empty()) ReportError(sdk_.SetDevice(entry.front()));
    Changed();
}

void BurningWindowModel::SetVolumeLabel(std::string label) {
    volumeLabel_ = std::move(label);
    Changed();
}

void BurningWindowModel::BurnNow() {
    const int ready = sdk_.IsDeviceReady();
    ReportError(ready);
    if (ready != FOXBURNER_OK) {
        Append("The current device isn't ready.");
        return;
    }
    FoxBurnerOptions options = ReadOptions();
    SetText(options.volumeLabel, volumeLabel_);
    ReportError(sdk_.SetOptions(&options));

    // A DVD needs its folder; a SuperVCD or VideoCD an accepted file.
    const bool somethingToBurn =
        kind_ == kDvdDisc ? platform::IsFolder(dvdFolder_) : !fileTree_.empty();
    if (!somethingToBurn) {
        Append("Nothing to burn");
        return;
    }
    ReportError(sdk_.SetBurnSpeed(0));
    bufferText_ = "0";
    bytesText_ = WrittenText(0);
    progress_ = 0;
    if (selectedDevice_ >= 0) {
        const std::string& entry = devices_[static_cast<std::size_t>(selectedDevice_)];
        if (!entry.empty()) ReportError(sdk_.SetDevice(entry.front()));
    }
    Append("Prepare Collection");
    ReportError(sdk_.Prepare());
    Append("Start Burning...");
    // Even a burn that cannot start ends with the burn done event, which
    // comes when messages are next dispatched.
    ReportError(sdk_.Burn());
    burning_ = true;
    burnNowEnabled_ = false;
    Changed();
}

void BurningWindowModel::Cancel() {
    if (burning_) ReportError(sdk_.Abort());
    burning_ = false;
    Close(kBurningResultCancelled);
}

void BurningWindowModel::Close(int result) {
    if (closed_) return;
    closed_ = true;
    result_ = result;
    view_->KillTimer(kFillProjectTimer);
    if (opened_) sdk_.DeleteProject();
    Changed();
    view_->EndDialog(result);
}

void BurningWindowModel::OnFinalizeEvent() {
    if (finalize_) Append("Finalize...");
}

void BurningWindowModel::OnBurnDoneEvent(int errorCode) {
    burning_ = false;
    if (errorCode != FOXBURNER_OK) {
        burnNowEnabled_ = true;
        // The user learns why, not only that it failed.
        ReportError(errorCode);
        Append("Burn Done With Errors");
        return;
    }
    // The disc is done: burning it again needs a new one, and a new window.
    Append("Burn Done");
    // Where the image recorder put its file, whose name may have been made
    // unique ("(2)").
    char image[kImagePathBytes] = {};
    const bool named = sdk_.GetImageFile(image, sizeof image) == FOXBURNER_OK && image[0];
    if (named) imageFile_ = image;
    view_->ShowMessageBox(std::string("Success to Burn Disc!") + (named ? "\r\n" : "") + image,
                          kBurningWindowTitle, BurningWindowView::MessageIcon::kInformation);
    Close(kBurningResultBurned);
}

void BurningWindowModel::OnProcessEvent(float percent, float bufferPercent, double bytesWritten) {
    bytesText_ = WrittenText(bytesWritten);
    bufferText_ = Printed("%.1f", static_cast<double>(bufferPercent));
    progress_ = static_cast<int>(percent);
    Changed();
}

void BurningWindowModel::OnVideoScannerEvent(float percent) {
    progress_ = static_cast<int>(percent);
    Changed();
}

void BurningWindowModel::OnVideoScanDoneEvent(const std::string& file, int refused,
                                              double frameRate, int bitRate, int aspectRatio,
                                              int width, int height) {
    progress_ = 0;
    information_ = "Information";
    if (refused) {
        const char* format = kind_ == kSuperVcdDisc ? "SVCD format" : "VCD format";
        view_->ShowMessageBox("Invalid Mpeg file - " + file + "\r\nIt is not " + format, "Error",
                              BurningWindowView::MessageIcon::kStop);
        scanState_ = kScanRefused;
        Changed();
        return;
    }
    fileTree_.push_back(MakeFileTreeEntry(kind_, file, std::max(0LL, platform::FileSizeBytes(file)),
                                          frameRate, bitRate, aspectRatio, width, height));
    burnNowEnabled_ = true;
    scanState_ = kScanAccepted;
    Changed();
}
