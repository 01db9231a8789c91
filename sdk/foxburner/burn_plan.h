// What a burn runs, worked out before it starts: the tool command lines for
// the project type and the device, how each reports its progress, and what
// happens to the files written. A pure function of its inputs, so that the
// command lines for real drives can be checked without one.
#pragma once

#include <string>
#include <vector>

#include "sdk/foxburner/tool_output.h"

namespace foxburner {

enum class DeviceKind { kDrive, kImageRecorder };

struct Device {
    char letter = 0;
    DeviceKind kind = DeviceKind::kImageRecorder;
    std::string path;  // the drive's address for xorriso and cdrdao ("/dev/sr0")
    std::string text;  // the device list entry
};

enum class ProjectType { kVideoCd = 3, kSuperVcd = 4, kDvdVideo = 5 };

struct BurnSettings {
    std::string volumeLabel;
    std::string publisher;
    std::string applicationId;
    bool ejectAfterBurn = false;
    bool finalize = true;
    int writeSpeed = 0;
};

struct PlanInput {
    ProjectType type = ProjectType::kDvdVideo;
    Device device;
    BurnSettings settings;
    // A private folder without blanks, holding what the tools read: the
    // disc's tree as links ("dvd/VIDEO_TS/..."), the tracks as links
    // ("track01.mpg", ...), and "out", a link to the work folder.
    std::string scratchFolder;
    std::vector<std::string> tracks;   // the tracks' links, in order
    long long imageSectors = 0;        // DVD-Video: genisoimage's -print-size
    long long imageBytesEstimate = 0;  // VideoCD/SuperVCD: the BIN file's size, about
};

enum class ProgressSource {
    kFileSize,      // the size of `sizedFile` against `expectedBytes`
    kXorrisoLines,  // xorriso's UPDATE lines
    kCdrdaoLines    // cdrdao's "Wrote" lines
};

struct ToolStep {
    Tool tool = Tool::kGenisoimage;
    std::string commandLine;
    // A tool run alongside that writes what the step's tool reads (through a
    // FIFO), or an empty command line.
    Tool feederTool = Tool::kGenisoimage;
    std::string feederCommandLine;
    ProgressSource progress = ProgressSource::kFileSize;
    std::string sizedFile;
    long long expectedBytes = 0;
    // The share of the whole burn this step stands for, in percent.
    double percentFrom = 0;
    double percentTo = 100;
};

struct BurnPlan {
    std::vector<ToolStep> steps;
    std::string fifo;  // to be made before the first step, or empty
    // The image recorder's results, in the work folder ("out"), and the
    // names they take in the image folder (made unique if taken). A cue
    // sheet is rewritten to name its BIN file's final name.
    std::string imageFile;
    std::string imageName;
    std::string cueFile;
    std::string cueName;
};

// The names of the image files for a volume label: the label itself, with
// what cannot be in a file name replaced ("disc" for an empty one).
std::string ImageBaseName(const std::string& volumeLabel);

BurnPlan MakeBurnPlan(const PlanInput& input);

// The command that asks genisoimage for the size of a DVD-Video image of
// the scratch folder's "dvd" tree.
std::string PrintSizeCommand(const std::string& scratchFolder);

// The command that asks xorriso about a drive and its medium.
std::string MediaStateCommand(const std::string& drivePath);

}  // namespace foxburner
