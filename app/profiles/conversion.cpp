#include "app/profiles/conversion.h"

#include <filesystem>

#include "app/profiles/encoder_options.h"
#include "app/profiles/source_fit.h"
#include "app/tools/run_context.h"
#include "app/tools/tool_runner.h"
#include "platform/command_line.h"
#include "platform/file_moves.h"

namespace {

// Where a path goes to the tool: as it is, or under `standIn` when it holds a
// blank.
class ToolPath {
public:
    ToolPath(const std::string& path, std::string standIn) : path_(path) {
        if (!platform::IsOneWord(path)) standIn_ = std::move(standIn);
    }
    const std::string& ForTool() const { return standIn_.empty() ? path_ : standIn_; }
    bool UsesStandIn() const { return !standIn_.empty(); }
    // Tells the log's reader which file the stand-in is.
    void NoteStandIn(ToolRunner& runner, std::string_view relation) const {
        if (UsesStandIn()) runner.AddLogNote(standIn_ + std::string(relation) + path_);
    }

    // An input's stand-in names the real file.
    void PlaceInputStandIn() const {
        if (UsesStandIn()) platform::PlaceStandIn(path_, standIn_);
    }
    // An output's name must be free: an old link there would lead the tool
    // into another file.
    void FreeOutputStandIn() const {
        if (UsesStandIn()) platform::RemoveName(standIn_);
    }
    void RemoveStandIn() const {
        if (UsesStandIn()) platform::RemoveName(standIn_);
    }
    // Moves what the tool wrote under the stand-in to the real path; false
    // when it was there and could not be moved.
    bool DeliverOutput() const {
        if (!UsesStandIn()) return true;
        std::error_code error;
        bool delivered = true;
        if (std::filesystem::exists(standIn_, error)) {
            delivered = platform::MoveFileReplacing(standIn_, path_);
        }
        platform::RemoveName(standIn_);
        return delivered;
    }

private:
    std::string path_;
    std::string standIn_;
};

// False when the tool could not start or failed.
bool RunFfmpeg(const ConversionSetup& setup, const ToolPath& input, const std::string& params,
               const ToolPath& output) {
    ToolRunner runner(setup.context, FfmpegOutput);
    runner.SetNotify(setup.notifyTarget, kCommandMessage, kProgressNotification);
    input.NoteStandIn(runner, " is ");
    output.NoteStandIn(runner, " becomes ");
    return runner.Run(input.ForTool(), params + output.ForTool(), "") == 0 && runner.Success();
}

// Pictures the idet filter looks at: enough to tell fields apart in a
// moving picture, few enough to cost a moment.
constexpr const char* kFieldDetectionOptions = " -vf idet -frames:v 250 -an -sn -f null -";

// The source's field order from an idet pass over its first pictures, where
// its stream does not say; kUnknown when the pass tells nothing.
FieldOrder DetectFieldOrder(RunContext& context, const ToolPath& input) {
    ToolRunner runner(context, FfmpegOutput);
    input.NoteStandIn(runner, " is ");
    runner.Run(input.ForTool(), kFieldDetectionOptions, "");
    return runner.DetectedFieldOrder();
}

enum class SourceFacts { kGiven, kProbe };

bool Convert(const ConversionSetup& setup, const EncoderProfile& profile, MediaInfo source,
             SourceFacts facts, const std::string& input, const std::string& output) {
    const ToolPath toolInput(input, setup.driveRoot + kConversionInputName);
    const ToolPath toolOutput(output, setup.driveRoot + kConversionOutputName);
    toolInput.PlaceInputStandIn();
    toolOutput.FreeOutputStandIn();

    // A stop during a pass before the conversion would be cleared by the
    // next tool run, so none is started after it.
    bool stopped = false;
    if (facts == SourceFacts::kProbe) {
        source = ToolRunner(setup.context, toolInput.ForTool(), "", nullptr).Media();
        stopped = setup.context.cancelRequested;
    }
    if (!stopped && NeedsFieldDetection(source)) {
        source.picture.fieldOrder = DetectFieldOrder(setup.context, toolInput);
        stopped = setup.context.cancelRequested;
    }
    bool ran = true;
    if (!stopped) {
        ran = RunFfmpeg(setup, toolInput, SourceOptions(profile, source), toolOutput);
    }

    toolInput.RemoveStandIn();
    const bool delivered = toolOutput.DeliverOutput();
    return ran && delivered;
}

}  // namespace

bool ConvertFile(const ConversionSetup& setup, const EncoderProfile& profile,
                 const std::string& input, const std::string& output) {
    return Convert(setup, profile, {}, SourceFacts::kProbe, input, output);
}

bool ConvertProbedFile(const ConversionSetup& setup, const EncoderProfile& profile,
                       const MediaInfo& source, const std::string& input,
                       const std::string& output) {
    return Convert(setup, profile, source, SourceFacts::kGiven, input, output);
}

void MakeThumbnail(const ConversionSetup& setup, const std::string& source,
                   const std::string& convertedOutput) {
    const std::string thumbnail = ThumbnailPath(convertedOutput);
    const ToolPath toolSource(source, setup.driveRoot + kThumbnailSourceName);
    const ToolPath toolThumbnail(thumbnail, setup.driveRoot + kThumbnailName);
    toolSource.PlaceInputStandIn();
    toolThumbnail.FreeOutputStandIn();

    RunFfmpeg(setup, toolSource, " -f image2 -ss 5 -vframes 1 -s 160x120 -an ", toolThumbnail);

    toolSource.RemoveStandIn();
    toolThumbnail.DeliverOutput();
}

std::string ThumbnailPath(const std::string& convertedOutput) {
    const std::size_t nameStart = convertedOutput.rfind('/') + 1;
    const std::size_t dot = convertedOutput.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return convertedOutput + ".THM";
    return convertedOutput.substr(0, dot + 1) + "THM";
}
