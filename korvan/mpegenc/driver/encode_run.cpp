#include "korvan/mpegenc/driver/encode_run.h"

#include <unistd.h>

#include "korvan/mpegenc/driver/avi_output.h"
#include "korvan/mpegenc/driver/callback_steps.h"
#include "korvan/mpegenc/driver/encode_preparation.h"
#include "korvan/mpegenc/driver/progress_reporter.h"
#include "korvan/mpegenc/driver/stream_append.h"
#include "platform/file_names.h"

namespace korvan {
namespace {

void ClearOutcome(CompileRequest& request) {
    request.status = Status::Ok();
    request.split = false;
    request.sourcePicturesDone = 0;
    request.resultPath.clear();
    request.programFiles.clear();
}

EncoderSettings CodingOnly(EncoderSettings settings) {
    settings.multiplexVideo = 0;
    settings.multiplexAudio = 0;
    return settings;
}

EncoderSettings MultiplexOnly(EncoderSettings settings) {
    settings.multiplexVideo = settings.userEncodeVideo;
    settings.multiplexAudio = settings.userEncodeAudio;
    settings.userEncodeVideo = 0;
    settings.userEncodeAudio = 0;
    return settings;
}

// Appends the streams of merged inputs 2..n to the first one's.
bool JoinMergedStreams(const EncodePlan& plan, const MergeInputs& merge,
                       const EncodeStreamNames& joined, const MessageSink& messages) {
    for (size_t index = 1; index < merge.inputs.size(); ++index) {
        const EncodeStreamNames own =
            MergedStreamNames(merge.inputs, index, plan.outputFolder, plan.settings);
        const std::pair<bool, std::pair<std::string, std::string>> streams[] = {
            {plan.video, {joined.video, own.video}}, {plan.audio, {joined.audio, own.audio}}};
        for (const auto& [used, files] : streams) {
            if (!used) continue;
            const std::string problem = platform::SameFile(files.first, files.second)
                                            ? "Unable to write to output file."
                                            : AppendStream(files.first, files.second);
            if (!problem.empty()) {
                ShowMessage(messages, problem, MessageIcon::kError);
                return false;
            }
        }
    }
    return true;
}

// Each merged input is coded on its own; the last one's call joins all the
// streams and multiplexes them. The joined streams are intermediate files:
// they go after the multiplex (however it went) unless the settings keep them.
EncodeOutcome RunMergedEncode(EncodePlan& plan, const MergeInputs& merge, CallbackSteps& steps,
                              ProgressReporter& reporter, const MessageSink& messages) {
    EncodeOutcome outcome =
        RunEncodeSequence(CodingOnly(plan.settings), plan.names, steps, reporter, messages);
    if (!outcome.status.IsOk() || !merge.AtLast()) return outcome;
    if (reporter.IsCancelled()) return {Status::Cancelled(), {}};
    EncodeStreamNames joined = MergedStreamNames(merge.inputs, 0, plan.outputFolder, plan.settings);
    if (!plan.video) joined.video.clear();
    if (!plan.audio) joined.audio.clear();
    if (!JoinMergedStreams(plan, merge, joined, messages)) return {Status::Failed({}), {}};
    outcome = RunEncodeSequence(MultiplexOnly(plan.settings), joined, steps, reporter, messages);
    if (plan.video && !plan.settings.saveTempVideo) ::unlink(joined.video.c_str());
    if (plan.audio && !plan.settings.saveTempAudio) ::unlink(joined.audio.c_str());
    return outcome;
}

EncodeOutcome RunMpegEncode(EncoderState& state, EncodePlan& plan, CompileRequest& request,
                            ProgressReporter& reporter, const MessageSink& messages) {
    CallbackSteps steps(reporter, plan, state.kernelFlags, state.threadCount);
    if (request.merge.Active()) {
        return RunMergedEncode(plan, request.merge, steps, reporter, messages);
    }
    return RunEncodeSequence(plan.settings, plan.names, steps, reporter, messages);
}

}  // namespace

int RunEncode(EncoderState& state, const MessageSink& messages, const EncodeJob& job,
              CompileRequest* request, AviSink* avi) {
    if (!request) return kNoRequest;
    ClearOutcome(*request);
    EncodePlan plan;
    const Preparation prepared = PrepareEncode(state, job, *request, messages, plan);
    if (prepared == Preparation::kNoDuration) return kNoSourceDuration;
    ProgressReporter reporter(*request);
    if (prepared == Preparation::kRefused) {
        request->status = {StatusCode::kRefused, {}};
    } else if (request->output != OutputForm::kMpeg) {
        request->status =
            avi ? WriteAviOutput(reporter, plan, *avi) : Status::Failed(kNoAviWriterMessage);
        ShowFailure(messages, request->status);
        if (request->status.IsOk()) request->resultPath = plan.aviPath;
    } else {
        const EncodeOutcome outcome = RunMpegEncode(state, plan, *request, reporter, messages);
        request->status = outcome.status;
        request->programFiles = outcome.programFiles;
        if (!outcome.programFiles.empty()) request->resultPath = outcome.programFiles.front();
    }
    reporter.ReportFinished();
    return kEncodeRan;
}

}  // namespace korvan
