#include "korvan/mpegenc/driver/encode_sequence.h"

#include <unistd.h>

#include "korvan/mpegenc/mux/multiplexer.h"
#include "korvan/mpegenc/mux/program_file.h"
#include "korvan/mpegenc/settings/settings_validation.h"
#include "platform/temp_folder.h"

namespace korvan {
namespace {

std::string WithExtension(const std::string& path, const char* extension) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + extension;
}

struct Plan {
    bool encodeVideo = false;
    bool encodeAudio = false;
    bool multiplexVideo = false;
    bool multiplexAudio = false;

    bool Multiplexes() const { return multiplexVideo || multiplexAudio; }
};

Plan PlanOf(const EncoderSettings& settings) {
    return {settings.userEncodeVideo != 0, settings.userEncodeAudio != 0,
            settings.multiplexVideo != 0, settings.multiplexAudio != 0};
}

// The program stream is created under its lower-cased name, so both spellings
// are compared with the elementary streams it is made from.
bool ProgramOverwrites(const std::string& program, const std::string& stream) {
    return !stream.empty() && (stream == program || stream == mux::LowerCaseFileName(program));
}

// The tests before anything is written; the first that fails is shown.
bool NamesAndSettingsPass(const EncoderSettings& settings, const EncodeStreamNames& names,
                          const Plan& plan, const MessageSink& messages) {
    const char* refusal = nullptr;
    const bool usesVideo = plan.encodeVideo || plan.multiplexVideo;
    const bool usesAudio = plan.encodeAudio || plan.multiplexAudio;
    if (usesVideo && names.video.empty()) {
        refusal = kVideoNameMissingMessage;
    } else if (plan.Multiplexes() && names.program.empty()) {
        refusal = kProgramNameMissingMessage;
    } else if (!ValidateVideoSettings(settings)) {
        refusal = kInvalidSettingsMessage;
    } else if (usesAudio && names.audio.empty()) {
        refusal = kAudioNameMissingMessage;
    } else if (!ValidateAudioSettings(settings)) {
        refusal = kInvalidSettingsMessage;
    }
    if (refusal) {
        ShowMessage(messages, refusal, MessageIcon::kError);
        return false;
    }
    if (plan.Multiplexes() && ((usesVideo && ProgramOverwrites(names.program, names.video)) ||
                               (usesAudio && ProgramOverwrites(names.program, names.audio)) ||
                               ProgramOverwrites(names.program, names.secondAudio))) {
        ShowMessage(messages, FillMessage(kSameStreamNamesMessage, names.program),
                    MessageIcon::kError);
        return false;
    }
    return true;
}

// A step that did not finish ends the encode.
bool Finished(const Status& step, EncodeOutcome& outcome, const MessageSink& messages) {
    if (step.IsOk()) return true;
    ShowFailure(messages, step);
    outcome.status = step.IsCancelled() ? Status::Cancelled() : Status::Failed(step.message);
    return false;
}

}  // namespace

EncodeStreamNames StreamNamesFor(const std::string& programPath, const EncoderSettings& settings) {
    EncodeStreamNames names;
    names.video = WithExtension(programPath, settings.IsMpeg2() ? ".m2v" : ".m1v");
    names.audio = WithExtension(programPath, ".mp2");
    names.program = programPath;
    return names;
}

EncodeOutcome RunEncodeSequence(const EncoderSettings& settings, const EncodeStreamNames& names,
                                EncodeSteps& steps, mux::MuxHost& host,
                                const MessageSink& messages) {
    EncodeOutcome outcome;
    const Plan plan = PlanOf(settings);
    if (!NamesAndSettingsPass(settings, names, plan, messages)) {
        outcome.status = {StatusCode::kRefused, {}};
        return outcome;
    }

    if (plan.encodeVideo && plan.encodeAudio) steps.BeginAudioAlongside(settings, names.audio);
    if (plan.encodeVideo && !Finished(steps.EncodeVideo(settings, names.video), outcome, messages))
        return outcome;
    if (plan.encodeAudio) {
        if (host.IsCancelled()) {
            outcome.status = Status::Cancelled();
            return outcome;
        }
        if (!Finished(steps.EncodeAudio(settings, names.audio), outcome, messages)) return outcome;
    }
    if (!plan.Multiplexes()) return outcome;
    if (host.IsCancelled()) {
        outcome.status = Status::Cancelled();
        return outcome;
    }

    const platform::ScratchFolder unitFolder;
    if (unitFolder.Path().empty()) {
        outcome.status = Status::Failed(kNoUnitFolderMessage);
        ShowFailure(messages, outcome.status);
        return outcome;
    }
    mux::MuxRequest request;
    request.programPath = names.program;
    request.unitFolder = unitFolder.Path();
    if (plan.multiplexVideo) {
        request.videoPath = names.video;
        request.flags |= mux::kMuxVideo;
    }
    if (plan.multiplexAudio) {
        request.audioPath = names.audio;
        request.flags |= mux::kMuxAudio;
    }
    if (!names.secondAudio.empty()) {
        request.secondAudioPath = names.secondAudio;
        request.flags |= mux::kMuxSecondAudio;
    }
    const mux::MuxReport report = mux::Multiplex(settings, request, host);
    if (!report.status.IsOk()) {
        // A program stream the multiplexer did not finish would pass for a
        // result.
        for (const std::string& file : report.programFiles) ::unlink(file.c_str());
        if (report.status.IsCancelled()) {
            outcome.status = Status::Cancelled();
            return outcome;
        }
        outcome.status = Status::Failed(report.status.message);
        ShowFailure(messages, outcome.status);
        return outcome;
    }
    outcome.programFiles = report.programFiles;

    if (plan.encodeVideo && !settings.saveTempVideo) ::unlink(names.video.c_str());
    if (plan.encodeAudio && !settings.saveTempAudio) ::unlink(names.audio.c_str());
    return outcome;
}

}  // namespace korvan
