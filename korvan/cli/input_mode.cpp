// --input: a file the library's readers decode (an AVI, a file list, or any
// other media file), encoded by the library's encode driver exactly as the
// job driver runs it, with the progress printed as it goes.

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include "korvan/cli/cli_modes.h"
#include "korvan/entry/media_dispatch.h"
#include "korvan/media/source_reader.h"
#include "korvan/mpegenc/driver/encode_preparation.h"
#include "korvan/mpegenc/driver/encode_sequence.h"
#include "korvan/mpegenc/driver/encode_source.h"
#include "korvan/mpegenc/driver/encoder_entry.h"
#include "korvan/mpegenc/driver/encoder_startup.h"
#include "korvan/mpegenc/driver/media_avi_sink.h"
#include "korvan/mpegenc/driver/reader_source.h"
#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/settings/pel_aspect.h"
#include "platform/program_folder.h"

namespace korvan::cli {
namespace {

TargetKind TargetKindOf(EncoderPreset preset) {
    switch (preset) {
        case EncoderPreset::kMpeg2:
            return kTargetMpeg2;
        case EncoderPreset::kDvd:
            return kTargetDvd;
        case EncoderPreset::kVideoCd:
            return kTargetVideoCd;
        case EncoderPreset::kSuperVcd:
            return kTargetSuperVcd;
        default:
            return kTargetMpeg1;
    }
}

// Prints the progress as the job's progress window would show it, one line
// for each tenth of every stage (a stage is what its text names before the
// first ":"), and the end of the encode (-1).
class PrintingHost : public EncodeHost {
public:
    explicit PrintingHost(const CompileRequest& request) : request_(request) {}

    void PostToHost(unsigned, uintptr_t, intptr_t percent) override {
        const std::string line = request_.progress.Get();
        const std::string stage = line.substr(0, line.find(':'));
        const intptr_t tenth = percent < 0 ? -1 : percent / 10;
        if (stage == lastStage_ && tenth == lastTenth_) return;
        lastStage_ = stage;
        lastTenth_ = tenth;
        std::printf("%3ld%% %s\n", static_cast<long>(percent), line.c_str());
        std::fflush(stdout);
    }
    void PollCancel() override {}

private:
    const CompileRequest& request_;
    std::string lastStage_;
    intptr_t lastTenth_ = -2;
};

// Asks the reader for the pictures of the encode: at the target's frame
// size when it has one (for the TV system the encode runs in), the source
// fitted into it at its display shape with black around it; otherwise at
// the source's own size, as the job driver asks its readers.
void AskForOutputPictures(media::SourceReader& reader, EncoderPreset preset, TvSystem system,
                          OutputForm form) {
    const std::optional<MediaDispatch> dispatch = DispatchTarget(TargetKindOf(preset), form);
    if (!dispatch) return;
    const bool pal = system == TvSystem::kPal;
    const PictureSize size =
        OutputPictureSize(*dispatch, pal, PictureSize{reader.width, reader.height});
    reader.outputWidth = size.width;
    reader.outputHeight = size.height;
    if (dispatch->SizeFor(pal)) {
        reader.outputPelAspect =
            MarkedPelAspect(PresetSettings(preset, system), size.width, size.height);
    }
}

}  // namespace

int RunInputMode(ModeContext& context) {
    const CliOptions& o = context.options;
    media::SourceReader reader;
    EncodeSource input;
    if (!input.Open(reader, o.sourceInput, context.messages)) return kExitFailure;
    // --threads counts the input's decoder's threads as well as the coder's.
    reader.decodeThreads = o.threadCount;

    const bool avi = !o.aviOutput.empty();
    const std::string& output = avi ? o.aviOutput : o.programOutput;
    // The sound's own reader, should it be read on a thread of its own.
    media::SourceReader soundReader;
    ReaderSource source(reader, soundReader);
    // --ntsc decides only for a source whose rate is of neither system.
    const TvSystem system =
        IsPalRate(reader.frameRate, o.system == TvSystem::kPal) ? TvSystem::kPal : TvSystem::kNtsc;
    CompileRequest request;
    request.targetKind = TargetKindOf(o.preset);
    request.tvSystem = system;
    request.output = avi ? OutputForm::kAvi : OutputForm::kMpeg;
    AskForOutputPictures(reader, o.preset, system, request.output);
    const EncodeJob job = source.JobFor(output);
    // Without an export folder the outputs go beside the output path.
    request.inputs = {o.sourceInput};
    request.sizeLimitOn = o.sizeLimitMB > 0;
    request.sizeLimitMB = o.sizeLimitMB;
    request.durationLimitOn = o.durationLimitSeconds > 0;
    request.durationLimitSeconds = o.durationLimitSeconds;
    source.Serve(request);
    PrintingHost host(request);
    request.host = &host;

    // The settings file's values stand where the target's preset leaves them.
    EncoderState state;
    state.settings = context.settings;
    state.kernelFlags = ChosenCpuFlags();
    state.threadCount = o.threadCount;
    media::AviWriterHooks hooks;
    hooks.hostFolder = platform::ProgramFolder();
    hooks.messages = context.messages;
    MediaAviSink aviSink(hooks);
    const EncoderServices services{context.messages, &aviSink};

    const int result = RunEncodeJob(state, services, job, request);
    media::CloseSourceReader(soundReader);
    input.Close(reader);
    if (result == kJobNoSourceDuration) {
        std::fprintf(stderr, "%s: the source has no duration\n", kProgramName);
        return kExitFailure;
    }
    if (!request.status.IsOk() && !avi) {
        // The elementary streams of an encode that failed are no result,
        // and on a full disk they hold the space the next try needs.
        const EncodeStreamNames names =
            StreamNamesFor(ProgramStreamName(output, request.exportFolder), state.settings);
        for (const std::string& path : {names.video, names.audio}) {
            if (path != o.sourceInput) unlink(path.c_str());
        }
    }
    if (!request.status.IsOk()) return FailureExitCode(request.status);
    if (request.split) {
        std::printf("limit reached after %lld source pictures\n",
                    static_cast<long long>(request.sourcePicturesDone));
    }
    std::printf("%s\n", request.resultPath.c_str());
    return kExitSuccess;
}

}  // namespace korvan::cli
