#include "sdk/foxburner/burn_plan.h"

#include <cctype>

#include "platform/command_line.h"

namespace foxburner {
namespace {

// An ISO 9660 volume id holds 32 bytes; vcdimager's label the same.
constexpr std::size_t kVolumeIdBytes = 32;

// One word of a command line: double quotes group it when it holds blanks.
// A double quote inside cannot be passed on, so it is dropped.
std::string Word(const std::string& text) {
    std::string clean;
    for (char c : text) {
        if (c != '"') clean += c;
    }
    return platform::IsOneWord(clean) ? clean : "\"" + clean + "\"";
}

// The text cut to `bytes` without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// A VideoCD label holds only the ISO 9660 d-characters (A-Z, 0-9, "_").
std::string VideoCdLabel(const std::string& label) {
    std::string result;
    for (char c : CutUtf8(label, kVolumeIdBytes)) {
        const auto u = static_cast<unsigned char>(c);
        result += std::isalnum(u) && u < 0x80 ? static_cast<char>(std::toupper(u)) : '_';
    }
    return result.empty() ? "VIDEOCD" : result;
}

std::string GenisoimageCommand(const PlanInput& input, const std::string& output) {
    const BurnSettings& s = input.settings;
    std::string command = "genisoimage -input-charset utf-8 -f -dvd-video -V " +
                          Word(CutUtf8(s.volumeLabel, kVolumeIdBytes));
    if (!s.publisher.empty()) command += " -publisher " + Word(s.publisher);
    if (!s.applicationId.empty()) command += " -A " + Word(s.applicationId);
    return command + " -o " + output + " " + input.scratchFolder + "dvd";
}

std::string VcdimagerCommand(const PlanInput& input, const std::string& cue,
                             const std::string& bin) {
    const bool superVcd = input.type == ProjectType::kSuperVcd;
    std::string command = std::string("vcdimager -t ") + (superVcd ? "svcd" : "vcd2");
    // SuperVCD players seek with the scan offsets in the video; vcdimager
    // fills them in for the disc's own positions.
    if (superVcd) command += " --update-scan-offsets";
    command += " -l " + VideoCdLabel(input.settings.volumeLabel);
    command += " --cue-file=" + cue + " --bin-file=" + bin;
    for (const std::string& track : input.tracks) command += " " + track;
    return command;
}

BurnPlan DvdPlan(const PlanInput& input) {
    BurnPlan plan;
    const std::string& scratch = input.scratchFolder;
    const long long imageBytes = input.imageSectors * 2048;
    if (input.device.kind == DeviceKind::kImageRecorder) {
        ToolStep step;
        step.tool = Tool::kGenisoimage;
        plan.imageFile = scratch + "out/image.iso";
        plan.imageName = ImageBaseName(input.settings.volumeLabel) + ".iso";
        step.commandLine = GenisoimageCommand(input, plan.imageFile);
        step.progress = ProgressSource::kFileSize;
        step.sizedFile = plan.imageFile;
        step.expectedBytes = imageBytes;
        plan.steps.push_back(step);
        return plan;
    }
    // genisoimage writes the image into a FIFO that xorriso burns from, so
    // that no image file as big as the disc is needed.
    const BurnSettings& s = input.settings;
    plan.fifo = scratch + "image.fifo";
    ToolStep step;
    step.tool = Tool::kXorriso;
    step.feederTool = Tool::kGenisoimage;
    step.feederCommandLine = GenisoimageCommand(input, plan.fifo);
    step.commandLine = "xorriso -as cdrecord -v " + Word("dev=" + input.device.path);
    if (!s.finalize) step.commandLine += " -multi";
    if (s.ejectAfterBurn) step.commandLine += " -eject";
    if (s.writeSpeed > 0) step.commandLine += " speed=" + std::to_string(s.writeSpeed);
    step.commandLine += " tsize=" + std::to_string(input.imageSectors) + "s " + plan.fifo;
    step.progress = ProgressSource::kXorrisoLines;
    plan.steps.push_back(step);
    return plan;
}

BurnPlan VideoCdPlan(const PlanInput& input) {
    BurnPlan plan;
    const std::string& scratch = input.scratchFolder;
    const std::string base = ImageBaseName(input.settings.volumeLabel);
    const std::string bin = scratch + "out/image.bin";
    const std::string cue = scratch + "out/image.cue";
    const bool recorder = input.device.kind == DeviceKind::kImageRecorder;

    ToolStep image;
    image.tool = Tool::kVcdimager;
    image.commandLine = VcdimagerCommand(input, cue, bin);
    image.progress = ProgressSource::kFileSize;
    image.sizedFile = bin;
    image.expectedBytes = input.imageBytesEstimate;
    image.percentTo = recorder ? 100 : 50;
    plan.steps.push_back(image);
    if (recorder) {
        plan.imageFile = bin;
        plan.imageName = base + ".bin";
        plan.cueFile = cue;
        plan.cueName = base + ".cue";
        return plan;
    }
    // A VideoCD is MODE2/2352 sectors, which only cdrdao writes from a cue.
    const BurnSettings& s = input.settings;
    ToolStep write;
    write.tool = Tool::kCdrdao;
    write.commandLine = "cdrdao write --device " + Word(input.device.path) + " -n";
    if (s.ejectAfterBurn) write.commandLine += " --eject";
    if (!s.finalize) write.commandLine += " --multi";
    if (s.writeSpeed > 0) write.commandLine += " --speed " + std::to_string(s.writeSpeed);
    write.commandLine += " " + cue;
    write.progress = ProgressSource::kCdrdaoLines;
    write.percentFrom = 50;
    plan.steps.push_back(write);
    return plan;
}

}  // namespace

std::string ImageBaseName(const std::string& volumeLabel) {
    std::string name;
    for (char c : volumeLabel) {
        const auto u = static_cast<unsigned char>(c);
        name += u < 0x20 || c == '/' || c == '\\' ? '_' : c;
    }
    while (!name.empty() && (name.front() == '.' || name.front() == ' ')) name.erase(0, 1);
    return name.empty() ? "disc" : CutUtf8(name, 200);
}

BurnPlan MakeBurnPlan(const PlanInput& input) {
    return input.type == ProjectType::kDvdVideo ? DvdPlan(input) : VideoCdPlan(input);
}

std::string PrintSizeCommand(const std::string& scratchFolder) {
    return "genisoimage -print-size -quiet -input-charset utf-8 -f -dvd-video " + scratchFolder +
           "dvd";
}

std::string MediaStateCommand(const std::string& drivePath) {
    return "xorriso -outdev " + Word(drivePath);
}

}  // namespace foxburner
