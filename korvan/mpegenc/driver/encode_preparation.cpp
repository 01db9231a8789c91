#include "korvan/mpegenc/driver/encode_preparation.h"

#include <cmath>

#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/driver/encoder_startup.h"
#include "korvan/mpegenc/driver/picture_feed.h"
#include "korvan/mpegenc/mux/program_file.h"
#include "korvan/mpegenc/settings/automatic_bitrate.h"
#include "korvan/mpegenc/settings/encode_input_check.h"
#include "platform/file_names.h"

namespace korvan {
namespace {

// The RealMedia capture delivers this many pictures a second.
constexpr double kCaptureRate = 20;
constexpr int kStereoMode = 0;
constexpr int kSingleChannelMode = 3;

bool PresetOfKind(int kind, EncoderPreset& preset) {
    switch (kind) {
        case kTargetMpeg1:
            preset = EncoderPreset::kMpeg1;
            return true;
        case kTargetMpeg2:
            preset = EncoderPreset::kMpeg2;
            return true;
        case kTargetDvd:
            preset = EncoderPreset::kDvd;
            return true;
        case kTargetVideoCd:
            preset = EncoderPreset::kVideoCd;
            return true;
        case kTargetSuperVcd:
            preset = EncoderPreset::kSuperVcd;
            return true;
        default:
            return false;
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string OutputFolder(const std::string& outputPath, const std::string& exportFolder) {
    return exportFolder.empty() ? FolderOf(outputPath) : platform::WithTrailingSlash(exportFolder);
}

std::string OutputBase(const std::string& outputPath) {
    const std::string base = platform::BaseName(outputPath);
    return base.empty() ? "temp" : base;
}

int64_t Nearest(double value) { return static_cast<int64_t>(std::floor(value + 0.5)); }

// No output may be written over a file the job reads.
bool OutputsSpareInputs(const CompileRequest& request, const EncodePlan& plan,
                        const MessageSink& messages) {
    std::vector<std::string> outputs;
    if (request.output != OutputForm::kMpeg) {
        outputs.push_back(plan.aviPath);
    } else {
        if (plan.video) outputs.push_back(plan.names.video);
        if (plan.audio) outputs.push_back(plan.names.audio);
        outputs.push_back(plan.names.program);
        outputs.push_back(mux::LowerCaseFileName(plan.names.program));
    }
    std::vector<std::string> inputs = request.inputs;
    inputs.insert(inputs.end(), request.merge.inputs.begin(), request.merge.inputs.end());
    for (const std::string& output : outputs) {
        for (const std::string& input : inputs) {
            if (output == input || platform::SameFile(output, input)) {
                ShowMessage(messages, FillMessage(kOutputIsInputMessage, output),
                            MessageIcon::kError);
                return false;
            }
        }
    }
    return true;
}

// The tests of the picture and the sound; what fails is left out.
void TestInput(const EncodeJob& job, const CompileRequest& request, const MessageSink& messages,
               EncodePlan& plan) {
    EncoderSettings& s = plan.settings;
    const bool avi = request.output != OutputForm::kMpeg;
    if (avi) {
        // An AVI takes any picture the writer takes, and 8-bit sound too.
        if (plan.video && (plan.width < 1 || plan.height < 1)) {
            ShowMessage(messages,
                        plan.width < 1 ? kHorizontalSizeRangeMessage : kVerticalSizeRangeMessage);
            plan.video = false;
        }
    } else {
        EncodeInput input;
        input.video = plan.video;
        input.audio = plan.audio;
        input.sampleRateHz = job.sampleRateHz;
        if (input.video || input.audio) {
            const InputVerdict verdict = CheckEncodeInput(s, input, messages);
            if (!verdict.videoAccepted) plan.video = false;
            if (!verdict.audioAccepted) plan.audio = false;
        }
    }
    if (plan.audio && job.bitsPerSample != kAcceptedBitsPerSample &&
        !(avi && job.bitsPerSample == 8)) {
        ShowMessage(messages, FormatText(kSampleSizeMessage, job.bitsPerSample));
        plan.audio = false;
    }
    s.userEncodeVideo = s.multiplexVideo = plan.video ? 1 : 0;
    s.userEncodeAudio = s.multiplexAudio = plan.audio ? 1 : 0;
}

}  // namespace

std::string ProgramStreamName(const std::string& outputPath, const std::string& folder) {
    return OutputFolder(outputPath, folder) + OutputBase(outputPath) + ".mpg";
}

EncodeStreamNames MergedStreamNames(const std::vector<std::string>& inputs, size_t index,
                                    const std::string& folder, const EncoderSettings& settings) {
    EncodeStreamNames names;
    if (index >= inputs.size()) return names;
    const std::string base = OutputBase(inputs[index]);
    std::string own = base;
    for (size_t earlier = 0; earlier < index; ++earlier) {
        if (platform::BaseName(inputs[earlier]) == base) {
            own += "_" + std::to_string(index);
            break;
        }
    }
    names.video = folder + own + "_new" + (settings.IsMpeg2() ? ".m2v" : ".m1v");
    names.audio = folder + own + "_new.mp2";
    names.program = folder + OutputBase(inputs.front()) + "_new.mpg";
    return names;
}

int64_t EncodePlan::SourcePicturesOf(int64_t count) const {
    return SourcePictureOf(count, sourceRate, codedRate);
}

int64_t EncodePlan::AudioSamplesOf(int64_t count) const {
    return Nearest(static_cast<double>(count) / codedRate * audioFormat.sampleRateHz);
}

void EncodePlan::CutAt(int64_t count) {
    pictures = count;
    sourcePictures = SourcePicturesOf(count);
    audioSamples = AudioSamplesOf(count);
}

Preparation PrepareEncode(EncoderState& state, const EncodeJob& job, const CompileRequest& request,
                          const MessageSink& messages, EncodePlan& plan) {
    plan = EncodePlan{};
    EncoderPreset preset = EncoderPreset::kMpeg1;
    if (!PresetOfKind(request.targetKind, preset)) {
        ShowMessage(messages, FormatText("Unknown target kind %d.", request.targetKind),
                    MessageIcon::kError);
        return Preparation::kRefused;
    }
    // The preset fills every field a settings file could set; the picture
    // size is the job's.
    ApplyEncoderPreset(state, preset, request.tvSystem);
    EncoderSettings& s = plan.settings;
    s = state.settings;
    s.autoBitrate = 0;
    if (request.durationMs <= 0) return Preparation::kNoDuration;
    plan.sourceRate = request.captureMode ? kCaptureRate : request.pictureRate;
    if (!(plan.sourceRate > 0)) {
        ShowMessage(messages, FormatText("Invalid picture rate %g.", plan.sourceRate),
                    MessageIcon::kError);
        return Preparation::kRefused;
    }

    plan.video = job.hasVideo;
    plan.firstPicture = job.firstPicture;
    if (plan.video) {
        plan.width = job.width - job.width % 2;
        plan.height = job.height - job.height % 2;
        s.horizontalSize = plan.width;
        s.verticalSize = plan.height;
    }
    plan.audio = job.hasAudio;
    plan.firstSample = job.firstSample;
    if (plan.audio) {
        plan.audioFormat = {job.sampleRateHz, job.stereo ? 2 : 1};
        plan.bitsPerSample = job.bitsPerSample;
        s.audioMode = job.stereo ? kStereoMode : kSingleChannelMode;
    }
    ApplyAutomaticBitrate(s);

    const std::string folder = OutputFolder(job.outputPath, request.exportFolder);
    plan.outputFolder = folder;
    if (request.output == OutputForm::kMpeg) {
        plan.names = StreamNamesFor(ProgramStreamName(job.outputPath, request.exportFolder), s);
        if (request.merge.Active()) {
            plan.names = MergedStreamNames(request.merge.inputs, request.merge.current, folder, s);
        }
    } else {
        plan.aviPath = folder + OutputBase(job.outputPath) +
                       (request.output == OutputForm::kAvi ? ".avi" : ".temp.avi");
    }

    TestInput(job, request, messages, plan);
    state.settings = s;
    if (!plan.video && !plan.audio) return Preparation::kRefused;
    if (!OutputsSpareInputs(request, plan, messages)) return Preparation::kRefused;

    // The input tests may have lowered the frame rate to fit the level.
    plan.codedRate = request.output == OutputForm::kMpeg ? s.frameRate : plan.sourceRate;
    plan.CutAt(Nearest(static_cast<double>(request.durationMs) * plan.codedRate * 0.001));
    if (plan.pictures < 1) {
        ShowMessage(messages, kTooShortMessage, MessageIcon::kError);
        return Preparation::kRefused;
    }
    return Preparation::kReady;
}

}  // namespace korvan
