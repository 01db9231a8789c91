// The SDK's state behind its C functions: the caller's loop, the event
// callbacks, the project (its type, folders or scanned tracks, options,
// device) and the scan or burn running for it. The C functions keep one
// session for the process, as the SDK's interface implies.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sdk/foxburner/burn_job.h"
#include "sdk/foxburner/burn_plan.h"
#include "sdk/foxburner/fox_burner.h"
#include "sdk/foxburner/video_scan.h"

namespace foxburner {

// The drives Linux sees, asked of xorriso each time.
std::vector<DriveInfo> ListDrives();

// The device list: the drives, lettered from "A", then the image recorder.
std::vector<Device> MakeDeviceList(const std::vector<DriveInfo>& drives);

// Whether the drive holds a disc that can be written now: 0, or the reason;
// `complaint` gets xorriso's own words when it had any.
int DriveReadiness(const std::string& drivePath, std::string* complaint);

// The English text of an error code.
const char* ErrorText(int errorCode);

class BurnerSession {
public:
    BurnerSession() = default;
    ~BurnerSession();
    BurnerSession(const BurnerSession&) = delete;
    BurnerSession& operator=(const BurnerSession&) = delete;

    int Initialize();
    void SetFinalizeCallback(FinalizeEventCallback callback, void* context);
    void SetBurnDoneCallback(BurnDoneEventCallback callback, void* context);
    void SetProcessCallback(ProcessEventCallback callback, void* context);
    void SetVideoScannerCallback(VideoScannerEventCallback callback, void* context);
    void SetVideoScanDoneCallback(VideoScanDoneEventCallback callback, void* context);

    int CreateProject(int projectType);
    int GetOptions(FoxBurnerOptions* options) const;
    int SetOptions(const FoxBurnerOptions* options);
    int SetImageFolder(const char* folder);
    int GetDevices(char* entries, int* count);
    int SetDevice(char letter);
    int ClearAll();
    int AddDir(const char* folder, const char* discPath, const char* pattern, int attributeMask,
               int recursive);
    int AddFile(const char* path);
    int IsDeviceReady();
    int SetBurnSpeed(int speed);
    int Prepare();
    int Burn();
    int Abort();
    int GetText(int errorCode, char* text, int size) const;
    int GetImageFile(char* path, int size) const;
    int DeleteProject();

private:
    // A file of a DVD-Video project: where it is and where it goes on the disc.
    struct DiscFile {
        std::string source;
        std::string discPath;  // "VIDEO_TS/VIDEO_TS.IFO"
    };

    int CheckProject() const;
    long long ProjectBytes() const;
    const Device* ChosenDevice() const;
    int PrepareDvd(PlanInput& input, PreparedBurn& burn);
    int PrepareTracks(PlanInput& input);
    void OnScanDone(const ScanVerdict& verdict);
    void OnBurnDone(int errorCode, const std::string& detail);
    // Keeps the tool's complaint for GetText, and returns the code.
    int Remember(int errorCode, const std::string& detail);
    void StopWork();

    GMainContext* context_ = nullptr;
    struct {
        FinalizeEventCallback finalize = nullptr;
        void* finalizeContext = nullptr;
        BurnDoneEventCallback burnDone = nullptr;
        void* burnDoneContext = nullptr;
        ProcessEventCallback process = nullptr;
        void* processContext = nullptr;
        VideoScannerEventCallback scanner = nullptr;
        void* scannerContext = nullptr;
        VideoScanDoneEventCallback scanDone = nullptr;
        void* scanDoneContext = nullptr;
    } events_;

    bool haveProject_ = false;
    ProjectType type_ = ProjectType::kDvdVideo;
    BurnSettings settings_;
    std::string imageFolder_;
    std::vector<Device> devices_;
    char chosenDevice_ = 0;
    std::vector<DiscFile> discFiles_;
    std::vector<std::string> tracks_;  // accepted, in order
    std::unique_ptr<VideoScan> scan_;
    std::unique_ptr<PreparedBurn> prepared_;
    std::unique_ptr<BurnJob> job_;
    // A burn that failed to start reports its end at the next turn.
    LoopSource failedStart_;
    int lastErrorCode_ = FOXBURNER_OK;
    std::string lastErrorDetail_;
    std::string lastImageFile_;
};

}  // namespace foxburner
