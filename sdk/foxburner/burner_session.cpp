#include "sdk/foxburner/burner_session.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>

#include "platform/file_moves.h"
#include "platform/file_names.h"
#include "platform/file_status.h"

namespace foxburner {
namespace {

constexpr std::uint8_t kUndefinedFlag = 255;
constexpr int kMaxDrives = 25;
// A VideoCD sector carries 2324 bytes of a track in 2352; each track adds a
// pregap and margins, the disc its file system track.
constexpr long long kVideoCdSectorPayload = 2324;
constexpr long long kVideoCdSectorBytes = 2352;
constexpr long long kVideoCdSectorsPerTrack = 250;
constexpr long long kVideoCdSectorsPerDisc = 450;

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "\VIDEO_TS\" or "/VIDEO_TS/" as "VIDEO_TS" ("" for the root).
std::string CleanDiscPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    const std::size_t first = path.find_first_not_of('/');
    if (first == std::string::npos) return {};
    const std::size_t last = path.find_last_not_of('/');
    return path.substr(first, last - first + 1);
}

std::string JoinDiscPath(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

// The text of a fixed-size field, even when its NUL is missing.
std::string FieldText(const char (&field)[FOXBURNER_TEXT_FIELD_BYTES]) {
    return std::string(field, strnlen(field, sizeof field));
}

void CopyField(char (&field)[FOXBURNER_TEXT_FIELD_BYTES], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
}

// A missing file counts as empty.
long long FileBytes(const std::string& path) {
    return std::max(0LL, platform::FileSizeBytes(path));
}

}  // namespace

std::vector<DriveInfo> ListDrives() {
    return ParseDriveList(RunToolToEnd("xorriso -devices").output);
}

std::vector<Device> MakeDeviceList(const std::vector<DriveInfo>& drives) {
    std::vector<Device> devices;
    for (const DriveInfo& drive : drives) {
        if (static_cast<int>(devices.size()) == kMaxDrives) break;
        Device device;
        device.letter = static_cast<char>('A' + devices.size());
        device.kind = DeviceKind::kDrive;
        device.path = drive.path;
        std::string name = drive.vendor + " " + drive.model;
        name.erase(0, name.find_first_not_of(' '));
        device.text = std::string(1, device.letter) + ": " + (name.empty() ? "" : name + " ") +
                      "(" + drive.path + ")";
        devices.push_back(std::move(device));
    }
    Device recorder;
    recorder.letter = static_cast<char>('A' + devices.size());
    recorder.kind = DeviceKind::kImageRecorder;
    recorder.text = std::string(1, recorder.letter) + FOXBURNER_IMAGE_RECORDER_TEXT;
    devices.push_back(std::move(recorder));
    return devices;
}

int DriveReadiness(const std::string& drivePath, std::string* complaint) {
    const ToolEnd end = RunToolToEnd(MediaStateCommand(drivePath));
    if (complaint) *complaint = ToolFailure(Tool::kXorriso, end.output, end.exitCode);
    switch (ParseMediaState(end.output)) {
        case MediaState::kWritable:
            return FOXBURNER_OK;
        case MediaState::kNotWritable:
        case MediaState::kNoMedium:
            return FOXBURNER_ERROR_NO_WRITABLE_DISC;
        case MediaState::kUnknown:
            break;
    }
    return FOXBURNER_ERROR_DEVICE_GONE;
}

BurnerSession::~BurnerSession() {
    StopWork();
    ReleaseCallerContext(context_);
}

int BurnerSession::Initialize() {
    if (!context_) context_ = AcquireCallerContext();
    return FOXBURNER_OK;
}

void BurnerSession::SetFinalizeCallback(FinalizeEventCallback callback, void* context) {
    events_.finalize = callback;
    events_.finalizeContext = context;
}

void BurnerSession::SetBurnDoneCallback(BurnDoneEventCallback callback, void* context) {
    events_.burnDone = callback;
    events_.burnDoneContext = context;
}

void BurnerSession::SetProcessCallback(ProcessEventCallback callback, void* context) {
    events_.process = callback;
    events_.processContext = context;
}

void BurnerSession::SetVideoScannerCallback(VideoScannerEventCallback callback, void* context) {
    events_.scanner = callback;
    events_.scannerContext = context;
}

void BurnerSession::SetVideoScanDoneCallback(VideoScanDoneEventCallback callback, void* context) {
    events_.scanDone = callback;
    events_.scanDoneContext = context;
}

int BurnerSession::CreateProject(int projectType) {
    if (!context_) return FOXBURNER_ERROR_NOT_INITIALIZED;
    if (projectType != FOXBURNER_PROJECT_VIDEO_CD && projectType != FOXBURNER_PROJECT_SUPER_VCD &&
        projectType != FOXBURNER_PROJECT_DVD_VIDEO) {
        return FOXBURNER_ERROR_BAD_PROJECT_TYPE;
    }
    StopWork();
    haveProject_ = true;
    type_ = static_cast<ProjectType>(projectType);
    settings_ = BurnSettings{};
    settings_.volumeLabel = "VIDEO_DISC";
    settings_.applicationId = "FoxBurner";
    discFiles_.clear();
    tracks_.clear();
    return FOXBURNER_OK;
}

int BurnerSession::GetOptions(FoxBurnerOptions* options) const {
    if (!options) return FOXBURNER_ERROR_BAD_ARGUMENT;
    if (!haveProject_) return FOXBURNER_ERROR_NO_PROJECT;
    std::memset(options, 0, sizeof *options);
    CopyField(options->volumeLabel, settings_.volumeLabel);
    CopyField(options->publisher, settings_.publisher);
    CopyField(options->applicationId, settings_.applicationId);
    options->ejectAfterBurn = settings_.ejectAfterBurn ? 1 : 0;
    options->finalize = settings_.finalize ? 1 : 0;
    options->writeSpeed = settings_.writeSpeed;
    return FOXBURNER_OK;
}

int BurnerSession::SetOptions(const FoxBurnerOptions* options) {
    if (!options) return FOXBURNER_ERROR_BAD_ARGUMENT;
    if (!haveProject_) return FOXBURNER_ERROR_NO_PROJECT;
    if (options->writeSpeed < -1) return FOXBURNER_ERROR_BAD_ARGUMENT;
    const auto setText = [](std::string& value, const char(&field)[FOXBURNER_TEXT_FIELD_BYTES]) {
        const std::string text = FieldText(field);
        if (text != FOXBURNER_UNDEFINED_TEXT) value = text;
    };
    setText(settings_.volumeLabel, options->volumeLabel);
    setText(settings_.publisher, options->publisher);
    setText(settings_.applicationId, options->applicationId);
    if (options->ejectAfterBurn != kUndefinedFlag)
        settings_.ejectAfterBurn = options->ejectAfterBurn != 0;
    if (options->finalize != kUndefinedFlag) settings_.finalize = options->finalize != 0;
    if (options->writeSpeed != -1) settings_.writeSpeed = options->writeSpeed;
    prepared_.reset();
    return FOXBURNER_OK;
}

int BurnerSession::SetImageFolder(const char* folder) {
    if (!folder || !*folder) return FOXBURNER_ERROR_BAD_ARGUMENT;
    imageFolder_ = platform::WithTrailingSlash(folder);
    prepared_.reset();
    return FOXBURNER_OK;
}

int BurnerSession::GetDevices(char* entries, int* count) {
    if (!context_) return FOXBURNER_ERROR_NOT_INITIALIZED;
    if (!entries || !count || *count <= 0) return FOXBURNER_ERROR_BAD_ARGUMENT;
    devices_ = MakeDeviceList(ListDrives());
    const int room = *count;
    int filled = 0;
    for (const Device& device : devices_) {
        if (filled == room) break;
        char* entry = entries + static_cast<std::ptrdiff_t>(filled) * FOXBURNER_DEVICE_ENTRY_BYTES;
        std::memset(entry, 0, FOXBURNER_DEVICE_ENTRY_BYTES);
        std::memcpy(entry, device.text.data(),
                    std::min<std::size_t>(device.text.size(), FOXBURNER_DEVICE_ENTRY_BYTES - 1));
        ++filled;
    }
    *count = filled;
    return filled < static_cast<int>(devices_.size()) ? FOXBURNER_ERROR_BUFFER_TOO_SMALL
                                                      : FOXBURNER_OK;
}

int BurnerSession::SetDevice(char letter) {
    if (!context_) return FOXBURNER_ERROR_NOT_INITIALIZED;
    if (devices_.empty()) devices_ = MakeDeviceList(ListDrives());
    const char wanted = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    for (const Device& device : devices_) {
        if (device.letter != wanted) continue;
        chosenDevice_ = wanted;
        prepared_.reset();
        return FOXBURNER_OK;
    }
    return FOXBURNER_ERROR_NO_SUCH_DEVICE;
}

const Device* BurnerSession::ChosenDevice() const {
    for (const Device& device : devices_) {
        if (device.letter == chosenDevice_) return &device;
    }
    return nullptr;
}

int BurnerSession::ClearAll() {
    if (!haveProject_) return FOXBURNER_ERROR_NO_PROJECT;
    if (job_ && job_->Running()) return FOXBURNER_ERROR_BUSY;
    scan_.reset();
    prepared_.reset();
    discFiles_.clear();
    tracks_.clear();
    return FOXBURNER_OK;
}

int BurnerSession::AddDir(const char* folder, const char* discPath, const char* pattern,
                          int attributeMask, int recursive) {
    if (!haveProject_) return FOXBURNER_ERROR_NO_PROJECT;
    if (type_ != ProjectType::kDvdVideo) return FOXBURNER_ERROR_WRONG_PROJECT_TYPE;
    if (!folder || !*folder || !discPath) return FOXBURNER_ERROR_BAD_ARGUMENT;
    if (job_ && job_->Running()) return FOXBURNER_ERROR_BUSY;
    std::string source = folder;
    std::replace(source.begin(), source.end(), '\\', '/');
    if (!platform::IsFolder(source)) return FOXBURNER_ERROR_FOLDER_UNREADABLE;
    std::string target = CleanDiscPath(discPath);
    // Without a closing slash the folder itself goes in, under its name.
    if (source.back() != '/') target = JoinDiscPath(target, platform::FileName(source));
    source = platform::WithTrailingSlash(source);
    // Windows' "*.*" matches names without a dot too.
    std::string match = pattern && *pattern ? pattern : "*";
    if (match == "*.*") match = "*";
    const bool hidden = (attributeMask & 0x02) != 0;

    std::vector<DiscFile> found;
    std::vector<std::pair<std::string, std::string>> folders = {{source, target}};
    while (!folders.empty()) {
        const auto [from, to] = folders.back();
        folders.pop_back();
        DIR* dir = opendir(from.c_str());
        if (!dir) return FOXBURNER_ERROR_FOLDER_UNREADABLE;
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == ".." || (name.front() == '.' && !hidden)) continue;
            const std::string path = from + name;
            if (platform::IsFolder(path)) {
                if (recursive) folders.emplace_back(path + "/", JoinDiscPath(to, name));
            } else if (fnmatch(match.c_str(), name.c_str(), FNM_CASEFOLD) == 0) {
                found.push_back({path, JoinDiscPath(to, name)});
            }
        }
        closedir(dir);
    }
    for (DiscFile& file : found) {
        std::erase_if(discFiles_, [&](const DiscFile& f) { return f.discPath == file.discPath; });
        discFiles_.push_back(std::move(file));
    }
    prepared_.reset();
    return FOXBURNER_OK;
}

int BurnerSession::AddFile(const char* path) {
    if (!haveProject_) return FOXBURNER_ERROR_NO_PROJECT;
    if (type_ == ProjectType::kDvdVideo) return FOXBURNER_ERROR_WRONG_PROJECT_TYPE;
    if (!path || !*path) return FOXBURNER_ERROR_BAD_ARGUMENT;
    if ((scan_ && scan_->Running()) || (job_ && job_->Running())) return FOXBURNER_ERROR_BUSY;
    if (access(path, R_OK) != 0 || platform::IsFolder(path)) return FOXBURNER_ERROR_FILE_UNREADABLE;
    const VideoDiscFormat format =
        type_ == ProjectType::kVideoCd ? VideoDiscFormat::kVideoCd : VideoDiscFormat::kSuperVcd;
    scan_ = std::make_unique<VideoScan>(
        context_, path, format,
        [this](double percent) {
            if (events_.scanner)
                events_.scanner(events_.scannerContext, static_cast<float>(percent));
        },
        [this](const ScanVerdict& verdict) { OnScanDone(verdict); });
    scan_->Start();
    return FOXBURNER_OK;
}

void BurnerSession::OnScanDone(const ScanVerdict& verdict) {
    if (verdict.refused) {
        Remember(FOXBURNER_ERROR_REFUSED_VIDEO, verdict.problem);
    } else {
        tracks_.push_back(verdict.file);
        prepared_.reset();
    }
    if (!events_.scanDone) return;
    const VideoFacts& video = verdict.video;
    const long long bitRate =
        video.variableBitRate ? 0 : std::min<long long>(video.bitRate, INT_MAX);
    events_.scanDone(events_.scanDoneContext, verdict.file.c_str(), verdict.refused ? 1 : 0,
                     video.frameRate, static_cast<int>(bitRate), video.aspectRatioCode, video.width,
                     video.height);
}

long long BurnerSession::ProjectBytes() const {
    long long bytes = 0;
    for (const DiscFile& file : discFiles_) bytes += FileBytes(file.source);
    for (const std::string& track : tracks_) bytes += FileBytes(track);
    return bytes;
}

int BurnerSession::CheckProject() const {
    if (type_ == ProjectType::kDvdVideo) {
        if (discFiles_.empty()) return FOXBURNER_ERROR_NOTHING_TO_BURN;
        const bool hasIfo = std::any_of(
            discFiles_.begin(), discFiles_.end(),
            [](const DiscFile& f) { return LowerCase(f.discPath) == "video_ts/video_ts.ifo"; });
        return hasIfo ? FOXBURNER_OK : FOXBURNER_ERROR_NO_DVD_VIDEO;
    }
    return tracks_.empty() ? FOXBURNER_ERROR_NOTHING_TO_BURN : FOXBURNER_OK;
}

int BurnerSession::IsDeviceReady() {
    if (!haveProject_) return FOXBURNER_ERROR_NO_PROJECT;
    const Device* device = ChosenDevice();
    if (!device) return FOXBURNER_ERROR_NO_SUCH_DEVICE;
    if (device->kind == DeviceKind::kDrive) {
        std::string complaint;
        const int readiness = DriveReadiness(device->path, &complaint);
        return Remember(readiness, complaint);
    }
    if (imageFolder_.empty()) return FOXBURNER_ERROR_NO_IMAGE_FOLDER;
    if (!platform::IsFolder(imageFolder_) || access(imageFolder_.c_str(), W_OK) != 0) {
        return Remember(FOXBURNER_ERROR_IMAGE_FOLDER_NOT_WRITABLE, imageFolder_);
    }
    struct statvfs space {};
    if (statvfs(imageFolder_.c_str(), &space) != 0) {
        return Remember(FOXBURNER_ERROR_IMAGE_FOLDER_NOT_WRITABLE, imageFolder_);
    }
    const long long freeBytes =
        static_cast<long long>(space.f_bavail) * static_cast<long long>(space.f_frsize);
    const long long needed = ProjectBytes();
    if (freeBytes < needed) {
        constexpr double kMiB = 1048576.0;
        char detail[160];
        std::snprintf(detail, sizeof detail, "%.1f MB needed, %.1f MB free", needed / kMiB,
                      freeBytes / kMiB);
        return Remember(FOXBURNER_ERROR_NO_ROOM, detail);
    }
    return FOXBURNER_OK;
}

int BurnerSession::SetBurnSpeed(int speed) {
    if (!haveProject_) return FOXBURNER_ERROR_NO_PROJECT;
    if (speed < 0) return FOXBURNER_ERROR_BAD_ARGUMENT;
    settings_.writeSpeed = speed;
    prepared_.reset();
    return FOXBURNER_OK;
}

int BurnerSession::PrepareDvd(PlanInput& input, PreparedBurn& burn) {
    // The disc's tree as links: genisoimage reads a DVD-Video folder only
    // from a tree whose "VIDEO_TS" lies at its top.
    namespace fs = std::filesystem;
    const std::string tree = burn.scratch->Path() + "dvd/";
    for (const DiscFile& file : discFiles_) {
        const fs::path link = tree + file.discPath;
        std::error_code error;
        fs::create_directories(link.parent_path(), error);
        if (error || !platform::PlaceStandIn(file.source, link.string())) {
            return Remember(FOXBURNER_ERROR_WRITE_FAILED, "cannot link " + file.source);
        }
    }
    const ToolEnd size = RunToolToEnd(PrintSizeCommand(burn.scratch->Path()));
    input.imageSectors = ParsePrintSize(size.output);
    if (size.exitCode != 0 || input.imageSectors <= 0) {
        const std::string failure = ToolFailure(Tool::kGenisoimage, size.output, size.exitCode);
        return Remember(FOXBURNER_ERROR_NO_DVD_VIDEO, "genisoimage: " + failure);
    }
    return FOXBURNER_OK;
}

int BurnerSession::PrepareTracks(PlanInput& input) {
    long long sectors = kVideoCdSectorsPerDisc;
    for (std::size_t i = 0; i < tracks_.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "track%02zu.mpg", i + 1);
        const std::string link = input.scratchFolder + name;
        if (!platform::PlaceStandIn(tracks_[i], link)) {
            return Remember(FOXBURNER_ERROR_WRITE_FAILED, "cannot link " + tracks_[i]);
        }
        input.tracks.push_back(link);
        sectors += (FileBytes(tracks_[i]) + kVideoCdSectorPayload - 1) / kVideoCdSectorPayload +
                   kVideoCdSectorsPerTrack;
    }
    input.imageBytesEstimate = sectors * kVideoCdSectorBytes;
    return FOXBURNER_OK;
}

int BurnerSession::Prepare() {
    if (!haveProject_) return FOXBURNER_ERROR_NO_PROJECT;
    if ((job_ && job_->Running()) || (scan_ && scan_->Running())) return FOXBURNER_ERROR_BUSY;
    prepared_.reset();
    if (const int problem = CheckProject(); problem != FOXBURNER_OK) return problem;
    const Device* device = ChosenDevice();
    if (!device) return FOXBURNER_ERROR_NO_SUCH_DEVICE;

    auto burn = std::make_unique<PreparedBurn>();
    burn->scratch = std::make_unique<platform::ScratchFolder>();
    if (burn->scratch->Path().empty())
        return Remember(FOXBURNER_ERROR_WRITE_FAILED, "no scratch folder");
    PlanInput input;
    input.type = type_;
    input.device = *device;
    input.settings = settings_;
    input.scratchFolder = burn->scratch->Path();

    // Image files (and a VideoCD's image on its way to a drive) are written
    // in a work folder beside their final place, and only named when whole.
    const bool needsWorkFolder =
        device->kind == DeviceKind::kImageRecorder || type_ != ProjectType::kDvdVideo;
    if (needsWorkFolder) {
        if (imageFolder_.empty()) return FOXBURNER_ERROR_NO_IMAGE_FOLDER;
        std::string pattern = imageFolder_ + ".foxburner-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            return Remember(FOXBURNER_ERROR_IMAGE_FOLDER_NOT_WRITABLE, imageFolder_);
        }
        burn->workFolder = pattern + "/";
        if (symlink(burn->workFolder.c_str(), (input.scratchFolder + "out").c_str()) != 0) {
            std::filesystem::remove(pattern);
            return Remember(FOXBURNER_ERROR_WRITE_FAILED, "cannot link the work folder");
        }
    }
    burn->imageFolder = imageFolder_;
    const int made =
        type_ == ProjectType::kDvdVideo ? PrepareDvd(input, *burn) : PrepareTracks(input);
    if (made != FOXBURNER_OK) {
        std::error_code ignored;
        if (!burn->workFolder.empty()) std::filesystem::remove_all(burn->workFolder, ignored);
        return made;
    }
    burn->plan = MakeBurnPlan(input);
    prepared_ = std::move(burn);
    return FOXBURNER_OK;
}

int BurnerSession::Burn() {
    int error = FOXBURNER_OK;
    if (!haveProject_) {
        error = FOXBURNER_ERROR_NO_PROJECT;
    } else if (job_ && job_->Running()) {
        return FOXBURNER_ERROR_BUSY;
    } else if (!prepared_) {
        error = FOXBURNER_ERROR_NOT_PREPARED;
    }
    if (error != FOXBURNER_OK) {
        // The client waits for a burn done event whatever Burn returned.
        failedStart_ = LoopSource::Idle(context_, [this, error] { OnBurnDone(error, {}); });
        return error;
    }
    BurnEvents events;
    events.progress = [this](double percent, double buffer, double bytes) {
        if (events_.process) {
            events_.process(events_.processContext, static_cast<float>(percent),
                            static_cast<float>(buffer), bytes);
        }
    };
    events.finalize = [this] {
        if (events_.finalize) events_.finalize(events_.finalizeContext);
    };
    events.done = [this](int code, const std::string& detail) { OnBurnDone(code, detail); };
    job_.reset();
    job_ = std::make_unique<BurnJob>(context_, std::move(*prepared_), std::move(events));
    prepared_.reset();
    job_->Start();
    return FOXBURNER_OK;
}

void BurnerSession::OnBurnDone(int errorCode, const std::string& detail) {
    // A successful burn's detail is the image it wrote.
    lastImageFile_ = errorCode == FOXBURNER_OK ? detail : std::string();
    if (errorCode != FOXBURNER_OK) Remember(errorCode, detail);
    if (events_.burnDone) events_.burnDone(events_.burnDoneContext, errorCode);
}

int BurnerSession::Abort() {
    const bool burning = (job_ && job_->Running()) || failedStart_.Active();
    failedStart_.Reset();
    if (job_) job_->Abort();
    if (burning) return FOXBURNER_OK;
    if (scan_ && scan_->Running()) {
        scan_.reset();
        return FOXBURNER_OK;
    }
    return FOXBURNER_ERROR_NOT_BURNING;
}

int BurnerSession::Remember(int errorCode, const std::string& detail) {
    if (errorCode != FOXBURNER_OK) {
        lastErrorCode_ = errorCode;
        lastErrorDetail_ = detail;
    }
    return errorCode;
}

int BurnerSession::GetText(int errorCode, char* text, int size) const {
    if (!text || size <= 0) return FOXBURNER_ERROR_BAD_ARGUMENT;
    std::string message = ErrorText(errorCode);
    if (errorCode == lastErrorCode_ && !lastErrorDetail_.empty()) {
        message += " (" + lastErrorDetail_ + ")";
    }
    std::size_t length = std::min(message.size(), static_cast<std::size_t>(size - 1));
    // Never half a UTF-8 sequence.
    while (length > 0 && length < message.size() &&
           (static_cast<unsigned char>(message[length]) & 0xC0) == 0x80) {
        --length;
    }
    std::memcpy(text, message.data(), length);
    text[length] = '\0';
    return FOXBURNER_OK;
}

int BurnerSession::GetImageFile(char* path, int size) const {
    if (!path || size <= 0) return FOXBURNER_ERROR_BAD_ARGUMENT;
    path[0] = '\0';
    if (lastImageFile_.size() >= static_cast<std::size_t>(size)) {
        return FOXBURNER_ERROR_BUFFER_TOO_SMALL;
    }
    std::memcpy(path, lastImageFile_.c_str(), lastImageFile_.size() + 1);
    return FOXBURNER_OK;
}

int BurnerSession::DeleteProject() {
    StopWork();
    haveProject_ = false;
    discFiles_.clear();
    tracks_.clear();
    return FOXBURNER_OK;
}

void BurnerSession::StopWork() {
    failedStart_.Reset();
    job_.reset();
    scan_.reset();
    prepared_.reset();
}

const char* ErrorText(int errorCode) {
    switch (errorCode) {
        case FOXBURNER_OK:
            return "No error.";
        case FOXBURNER_ERROR_NOT_INITIALIZED:
            return "The burning library has not been initialised.";
        case FOXBURNER_ERROR_NO_PROJECT:
            return "There is no project: create one first.";
        case FOXBURNER_ERROR_BAD_PROJECT_TYPE:
            return "Unknown project type: only VideoCD, SuperVCD and DVD-Video projects are made.";
        case FOXBURNER_ERROR_BAD_ARGUMENT:
            return "A value handed to the burning library is missing or out of range.";
        case FOXBURNER_ERROR_NO_SUCH_DEVICE:
            return "No such device: choose one of the device list.";
        case FOXBURNER_ERROR_DEVICE_GONE:
            return "The drive does not answer: it may have been disconnected.";
        case FOXBURNER_ERROR_NO_WRITABLE_DISC:
            return "There is no writable disc in the drive.";
        case FOXBURNER_ERROR_FOLDER_UNREADABLE:
            return "The folder cannot be read.";
        case FOXBURNER_ERROR_FILE_UNREADABLE:
            return "The file cannot be read.";
        case FOXBURNER_ERROR_WRONG_PROJECT_TYPE:
            return "This kind of item does not belong in a project of this type.";
        case FOXBURNER_ERROR_NOTHING_TO_BURN:
            return "The project is empty: there is nothing to burn.";
        case FOXBURNER_ERROR_NO_DVD_VIDEO:
            return "The project holds no usable DVD-Video folder (VIDEO_TS with VIDEO_TS.IFO).";
        case FOXBURNER_ERROR_BUSY:
            return "A burn or a video scan is still running.";
        case FOXBURNER_ERROR_NOT_PREPARED:
            return "The burn has not been prepared since the project last changed.";
        case FOXBURNER_ERROR_NOT_BURNING:
            return "Nothing is being burned.";
        case FOXBURNER_ERROR_NO_IMAGE_FOLDER:
            return "The image recorder has no folder to write to.";
        case FOXBURNER_ERROR_IMAGE_FOLDER_NOT_WRITABLE:
            return "The image recorder cannot write to its folder.";
        case FOXBURNER_ERROR_NO_ROOM:
            return "There is not enough free space for the disc image.";
        case FOXBURNER_ERROR_TOOL_MISSING:
            return "A program the burn needs is not installed.";
        case FOXBURNER_ERROR_TOOL_FAILED:
            return "Writing the disc failed.";
        case FOXBURNER_ERROR_WRITE_FAILED:
            return "Writing the disc image failed; no image was kept.";
        case FOXBURNER_ERROR_REFUSED_VIDEO:
            return "The video file is not of the disc's format.";
        case FOXBURNER_ERROR_BUFFER_TOO_SMALL:
            return "The list handed to the burning library is too short.";
        default:
            return "Unknown error.";
    }
}

}  // namespace foxburner
