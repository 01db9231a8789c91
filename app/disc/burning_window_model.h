// "Zarvo Video Disc Writer", the burning window, without any drawing: it
// starts the disc-burning SDK, fills its project (the DVD-Video folder, or
// the MPEG files one by one, each scanned and refused when it is not of the
// disc's format), and burns on "Burn Now", showing what the SDK's events
// report. The Qt window draws it; tests and the automation script drive it
// without a display.
#pragma once

#include <string>
#include <vector>

#include "app/disc/burning_sdk.h"
#include "app/disc/disc_kind.h"
#include "ui/window_rect.h"

// Controls and commands of the window.
enum BurningControl : int {
    kBurnMessageList = 1002,
    kBurnBufferValue = 1004,
    kBurnProgressBar = 1005,
    kBurnDeviceBox = 1006,
    kBurnEjectBox = 1007,
    kBurnFinalizeBox = 1009,
    kBurnBytesValue = 1010,
    kBurnFileTree = 1036,
    kBurnInformation = 1065,
    kBurnVolumeLabel = 1066,
    kCmdBurnNow = 100,
    kCmdCancelBurn = 101,
};

// Timer 0 fills the project once, half a second after the window opens.
inline constexpr int kFillProjectTimer = 0;
inline constexpr int kFillProjectDelayMs = 500;

// What the window closes with: 1 after a successful burn; 2 (the dialog
// "cancel") after Cancel or when a video file was refused.
inline constexpr int kBurningResultBurned = 1;
inline constexpr int kBurningResultCancelled = 2;

// The scan of the file being added: scanning, accepted, refused.
enum ScanState : int { kScanning = 0, kScanAccepted = 1, kScanRefused = 2 };

inline constexpr const char* kBurningWindowTitle = "Zarvo Video Disc Writer";
inline constexpr const char* kDefaultVolumeLabel = "Zarvo Video Burn";

struct BurningWindowLayout {
    static constexpr int kWidth = 480;
    int height = 0;
    Rect messageList;
    Rect information;  // the group box; its caption is the scan status line
    Rect deviceLabel;
    Rect deviceBox;
    Rect labelCaption;
    Rect volumeLabel;
    Rect ejectBox;
    Rect finalizeBox;
    Rect bufferCaption;
    Rect bufferValue;
    Rect bytesCaption;
    Rect bytesValue;
    Rect progress;
    bool fileTreeVisible = false;
    Rect fileTree;
    Rect burnNow;
    Rect cancel;
};

// SuperVCD and VideoCD windows are 100 pixels taller, for the file tree.
BurningWindowLayout LayOutBurningWindow(DiscKind kind);

// One accepted file in the file tree: its name and the lines under it.
struct FileTreeEntry {
    std::string name;
    std::vector<std::string> lines;
    bool expanded = true;
};

// `aspectRatio` is the code of the file's sequence header, read as the
// disc's MPEG version defines it (AspectRatioText).
FileTreeEntry MakeFileTreeEntry(DiscKind kind, const std::string& file, long long sizeBytes,
                                double frameRate, int bitRate, int aspectRatio, int width,
                                int height);

// The picture shape an aspect ratio code stands for: MPEG-1 (VideoCD) codes
// give the pixel shape of a 4:3 or 16:9 television picture, MPEG-2
// (SuperVCD) codes the picture's own shape. Square pixels give the shape of
// the picture size; an unknown code gives "code N".
std::string AspectRatioText(DiscKind kind, int code, int width, int height);

// The bytes written, in MB (1048576 bytes) with one decimal.
std::string WrittenText(double bytes);

// "Scanning Video - NAME", the name cut to 70 characters and " ..." when
// longer.
std::string ScanningText(const std::string& file);

// Where a DVD-Video folder goes on the disc: the root for a folder named
// "Video_Ts" (in any case), else "\VIDEO_TS\".
std::string DiscFolderFor(const std::string& folder);

// What the model asks of whoever shows it.
class BurningWindowView {
public:
    enum class MessageIcon { kInformation, kStop };

    virtual ~BurningWindowView() = default;
    virtual void SetTimer(int /*id*/, int /*delayMs*/) {}
    virtual void KillTimer(int /*id*/) {}
    // A modal message box with an OK button.
    virtual void ShowMessageBox(const std::string& /*text*/, const std::string& /*caption*/,
                                MessageIcon /*icon*/) {}
    // Dispatches the messages waiting, or waits a little for one.
    virtual void WaitForMessages() {}
    virtual void EndDialog(int /*result*/) {}
    virtual void Changed() {}
};

class BurningWindowModel {
public:
    // `files` are the MPEG files of a SuperVCD or VideoCD; a DVD burns the
    // export folder's "DVD/VIDEO_TS/". The SDK must outlive the model.
    BurningWindowModel(const BurningSdk& sdk, DiscKind kind, std::vector<std::string> files,
                       const std::string& exportFolder);
    // Ends the SDK project if the window did not close by itself.
    ~BurningWindowModel();
    BurningWindowModel(const BurningWindowModel&) = delete;
    BurningWindowModel& operator=(const BurningWindowModel&) = delete;

    // Not owned; null for none.
    void SetView(BurningWindowView* view);
    // Where the image recorder writes, when not into the export folder; set
    // before Open.
    void SetImageFolder(std::string folder) { imageFolder_ = std::move(folder); }

    // What the window does when it opens: the SDK start, an empty project,
    // and timer 0.
    void Open();
    void OnTimer(int id);
    // "Burn Now", "Cancel", and clicks on the two check boxes.
    void OnCommand(int commandId);
    bool IsCommandAvailable(int commandId) const;
    // A choice in the device box.
    void SelectDevice(int index);
    // Typing in the volume label field.
    void SetVolumeLabel(std::string label);

    // The SDK's events.
    void OnFinalizeEvent();
    void OnBurnDoneEvent(int errorCode);
    void OnProcessEvent(float percent, float bufferPercent, double bytesWritten);
    void OnVideoScannerEvent(float percent);
    void OnVideoScanDoneEvent(const std::string& file, int refused, double frameRate, int bitRate,
                              int aspectRatio, int width, int height);

    DiscKind Kind() const { return kind_; }
    const std::vector<std::string>& Files() const { return files_; }
    const std::string& DvdFolder() const { return dvdFolder_; }
    BurningWindowLayout Layout() const { return LayOutBurningWindow(kind_); }
    const std::vector<std::string>& Messages() const { return messages_; }
    const std::string& InformationText() const { return information_; }
    const std::string& BufferText() const { return bufferText_; }
    // The drive's buffer means nothing when an image file is written.
    bool BufferShown() const;
    const std::string& BytesWrittenText() const { return bytesText_; }
    int Progress() const { return progress_; }
    const std::vector<std::string>& Devices() const { return devices_; }
    int SelectedDevice() const { return selectedDevice_; }
    bool EjectAfterBurn() const { return eject_; }
    bool Finalize() const { return finalize_; }
    const std::string& VolumeLabel() const { return volumeLabel_; }
    const std::vector<FileTreeEntry>& FileTree() const { return fileTree_; }
    int ScanStateValue() const { return scanState_; }
    bool Burning() const { return burning_; }
    bool BurnNowEnabled() const { return burnNowEnabled_; }
    bool Closed() const { return closed_; }
    // 1 or 2 once closed; 0 before.
    int Result() const { return result_; }
    // The image file the image recorder wrote, "" until it has.
    const std::string& ImageFile() const { return imageFile_; }

private:
    void ReportError(int result);
    void Append(std::string line);
    void StartSdk();
    void FillProject();
    void ScanFiles();
    void BurnNow();
    void Cancel();
    // Writes one flag of the option record from its check box.
    void ApplyCheckBox(int commandId);
    FoxBurnerOptions ReadOptions();
    void Close(int result);
    void Changed();

    const BurningSdk& sdk_;
    DiscKind kind_;
    std::vector<std::string> files_;
    std::string exportFolder_;
    std::string imageFolder_;
    std::string dvdFolder_;
    BurningWindowView defaultView_;
    BurningWindowView* view_ = &defaultView_;

    bool opened_ = false;
    bool closed_ = false;
    int result_ = 0;
    std::string imageFile_;
    std::vector<std::string> messages_;
    std::string information_ = "Information";
    std::string bufferText_;
    std::string bytesText_;
    int progress_ = 0;
    std::vector<std::string> devices_;
    int selectedDevice_ = -1;
    bool eject_ = false;
    bool finalize_ = false;
    std::string volumeLabel_;
    std::vector<FileTreeEntry> fileTree_;
    int scanState_ = kScanAccepted;
    bool burning_ = false;
    bool burnNowEnabled_ = true;
};
