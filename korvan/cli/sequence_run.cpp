#include "korvan/cli/sequence_run.h"

#include <cstdio>
#include <string>
#include <vector>

#include "korvan/cli/cli_errors.h"
#include "korvan/mpegenc/mux/program_file.h"
#include "platform/file_names.h"

namespace korvan::cli {

namespace {

// An output named like an input (or reached through another spelling of its
// path) would be truncated before the input is read.
std::string OverwrittenInput(const CliOptions& options, const EncoderSettings& settings,
                             const EncodeStreamNames& names) {
    std::vector<std::string> outputs = {options.reconOutput};
    if (settings.userEncodeVideo) outputs.push_back(names.video);
    if (settings.userEncodeAudio) outputs.push_back(names.audio);
    if (settings.multiplexVideo || settings.multiplexAudio) {
        outputs.push_back(names.program);
        outputs.push_back(mux::LowerCaseFileName(names.program));
    }
    const std::string* inputs[] = {&options.settingsPath,  &options.videoInput,
                                   &options.audioInput,    &options.muxVideoInput,
                                   &options.muxAudioInput, &options.muxAudio1Input};
    for (const std::string& output : outputs) {
        if (output.empty()) continue;
        for (const std::string* input : inputs) {
            if (!input->empty() && platform::SameFile(output, *input)) return output;
        }
    }
    return {};
}

}  // namespace

int RunFileEncode(ModeContext& context, FileEncodeSteps& steps) {
    const CliOptions& o = context.options;
    EncoderSettings& settings = context.settings;
    const bool multiplex = !o.programOutput.empty();
    EncodeStreamNames names;
    if (multiplex) names = StreamNamesFor(o.programOutput, settings);
    if (!steps.HasVideo()) names.video.clear();
    if (!o.videoStreamOutput.empty()) names.video = o.videoStreamOutput;
    if (!o.audioStreamOutput.empty()) {
        names.audio = o.audioStreamOutput;
    } else if (!steps.HasAudio()) {
        names.audio.clear();
    } else if (!multiplex) {
        names.audio = AudioStreamBeside(o.audioInput);
    }
    settings.userEncodeVideo = steps.HasVideo();
    settings.multiplexVideo = multiplex && steps.HasVideo();
    settings.userEncodeAudio = steps.HasAudio();
    settings.multiplexAudio = multiplex && steps.HasAudio();
    return RunSequence(context, names, steps);
}

int RunSequence(ModeContext& context, const EncodeStreamNames& names, EncodeSteps& steps) {
    if (const std::string output = OverwrittenInput(context.options, context.settings, names);
        !output.empty()) {
        return RefuseUsage("'" + output + "' is an input and cannot be written");
    }
    mux::QuietMuxHost host;
    const EncodeOutcome outcome =
        RunEncodeSequence(context.settings, names, steps, host, context.messages);
    if (!outcome.status.IsOk()) return FailureExitCode(outcome.status);
    for (const std::string& file : outcome.programFiles) std::printf("%s\n", file.c_str());
    return kExitSuccess;
}

}  // namespace korvan::cli
