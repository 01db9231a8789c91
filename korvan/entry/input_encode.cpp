// The converting dialog's encode of one input: the source opened through
// the reader layer, its pictures chosen by the clip file and the job's
// times, and the encode run by the encoder with the reader's fetches as its
// callbacks.
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "korvan/entry/audio_hand_off.h"
#include "korvan/entry/conversion_control.h"
#include "korvan/entry/converting_dialog.h"
#include "korvan/entry/library_messages.h"
#include "korvan/entry/output_names.h"
#include "korvan/mpegenc/driver/encode_preparation.h"
#include "korvan/mpegenc/driver/encoder_entry.h"
#include "korvan/mpegenc/driver/reader_source.h"
#include "platform/private_profile.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;

// How often an encode's progress reports read the job file's stop request.
constexpr auto kCancelPollInterval = 250ms;
constexpr int kEncoderSampleRateHz = 44100;

// Whole seconds of the source at picture `frame`.
int SecondsAt(std::uint32_t frame, double framesPerSecond) {
    return static_cast<int>(frame / framesPerSecond);
}

}  // namespace

void ConvertingDialog::PrepareAndEncode(Continuation continuation) {
    if (continuation == Continuation::kNewInput && !OpenCurrentInput()) {
        // The reader has said why; the walk goes on with the next input.
        outputFailed_ = true;
        AdvanceLater();
        return;
    }
    EncodeCurrentWindow();
    if (notificationsPosted_ == 0) AdvanceLater();
}

void ConvertingDialog::CloseInput() {
    // The sound's reader may read the source's script, which goes with it.
    media::CloseSourceReader(soundReader_);
    source_.Close(reader_);
}

bool ConvertingDialog::OpenCurrentInput() {
    CloseInput();
    NoteAudioHandOffSource(handOffPath_, currentInput_);
    if (!source_.Open(reader_, currentInput_, LibraryMessageSink()) ||
        reader_.lastFrame < reader_.firstFrame) {
        return false;
    }
    const double rate = reader_.frameRate;
    const FrameWindow input{static_cast<std::uint32_t>(reader_.firstFrame),
                            static_cast<std::uint32_t>(reader_.lastFrame)};
    const ClipMarks marks = ReadClipMarks(ClipFilePath(exportFolder_, currentInput_));
    if (dispatch_.form == OutputForm::kAviForMp3) {
        // The audio converter cuts the MP3 at the clip's marks, so the AVI
        // it gets holds the job's window only, and the marks are counted
        // from the AVI's start.
        window_ = JobFrameWindow(input, job_.startSeconds, job_.endSeconds, rate, input);
        const int offset = SecondsAt(window_.first, rate);
        NoteAudioHandOffTimes(handOffPath_, std::max(0, marks.startSeconds - offset),
                              marks.endSeconds > 0 ? std::max(0, marks.endSeconds - offset) : 0);
    } else {
        window_ = JobFrameWindow(ClipFrameWindow(marks, rate, input), job_.startSeconds,
                                 job_.endSeconds, rate, input);
    }
    inputStart_ = window_.first;
    pal_ = IsPalRate(rate, module_.encoder.palDefaults);
    // The program's planned name is the result of a job of one input.
    const std::string planned = job_.inputs.size() == 1 ? job_.plannedResult : std::string();
    currentOutput_ =
        OutputNameFor(exportFolder_, currentInput_, planned, dispatch_.form, job_.inputs);
    return true;
}

void ConvertingDialog::EncodeCurrentWindow() {
    const PictureSize size =
        OutputPictureSize(dispatch_, pal_, PictureSize{reader_.width, reader_.height});
    const auto frames = static_cast<long long>(window_.last) - window_.first + 1;
    reader_.firstFrame = window_.first;
    reader_.outputWidth = size.width;
    reader_.outputHeight = size.height;
    reader_.outputFrameRate = reader_.frameRate;
    const bool mpeg = dispatch_.form == OutputForm::kMpeg;
    // A saved compressor this system lacks would fail every AVI with "Please
    // setup decoder option again."; the user chooses anew first.
    if (!mpeg && media::SavedCompressorMissingHere(module_.writableFolder)) {
        media::ChooseCompressor(module_.writableFolder, LibraryCompressorDialog());
    }
    const int rateHz = mpeg ? kEncoderSampleRateHz : reader_.audioFormat.samplesPerSec;
    const int channels = mpeg ? 2 : reader_.audioFormat.channels;
    const int bits = mpeg ? 16 : reader_.audioFormat.bitsPerSample;
    const double seconds = static_cast<double>(frames) / reader_.frameRate;
    reader_.audioEndOverride = static_cast<long long>(seconds * reader_.audioFormat.samplesPerSec);

    EncodeJob job;
    job.hasVideo = true;
    job.width = size.width;
    job.height = size.height;
    job.firstPicture = window_.first;
    job.lastPicture = window_.last;
    job.hasAudio = reader_.audioEnabled;
    job.sampleRateHz = rateHz;
    job.stereo = channels == 2;
    job.bitsPerSample = bits;
    job.firstSample = 0;
    job.lastSample = static_cast<long long>(seconds * rateHz) - 1;
    job.outputPath = currentOutput_;

    CompileRequest request;
    request.targetKind = dispatch_.targetKind;
    request.tvSystem = pal_ ? TvSystem::kPal : TvSystem::kNtsc;
    request.output = dispatch_.form;
    request.exportFolder = exportFolder_;
    request.inputs = job_.inputs;
    if (job_.merge) {
        request.merge.inputs = job_.inputs;
        request.merge.current = inputIndex_;
    }
    request.pictureRate = reader_.frameRate;
    request.durationMs = static_cast<int64_t>(std::llround(seconds * 1000));
    ReaderSource source(reader_, soundReader_);
    source.ServeCallbacks(
        request, mpeg ? media::AudioFetchForm::kEncoderPcm : media::AudioFetchForm::kSourceFormat,
        window_.first);
    request.host = this;
    request.notifyMessage = kNotifyMessage;
    request.notifyWParam = kNotifyAdvance;
    // The job file gets the job's one figure from PostToHost, not each
    // step's own.
    request.jobFilePath.clear();
    request.durationLimitOn = limits_.durationSeconds > 0;
    request.durationLimitSeconds = limits_.durationSeconds;
    request.sizeLimitOn = limits_.sizeMiB > 0;
    request.sizeLimitMB = limits_.sizeMiB;

    EncoderServices services{LibraryMessageSink(), &aviWriter_};
    // The part of the input this encode covers, for the job's progress.
    const double inputFrames = static_cast<double>(window_.last) - inputStart_ + 1;
    progress_.BeginEncode(inputIndex_, (window_.first - inputStart_) / inputFrames, 1.0);
    notificationsPosted_ = 0;
    runningRequest_ = &request;
    module_.encode.Begin(request);
    RunEncodeJob(module_.encoder, services, job, request);
    module_.encode.End();
    runningRequest_ = nullptr;

    const bool lastOfMerge = !job_.merge || inputIndex_ + 1 >= job_.inputs.size();
    if (!request.status.IsOk() || lastOfMerge) DeleteElementaryStreams();
    if (!request.status.IsOk()) {
        if (!request.status.IsCancelled()) outputFailed_ = true;
        return;
    }
    if (request.split) {
        splitPending_ = true;
        framesEncoded_ = static_cast<std::uint32_t>(request.sourcePicturesDone);
    }
    if (request.resultPath.empty()) return;
    if (dispatch_.form != OutputForm::kAviForMp3) {
        result_ = request.resultPath;
        return;
    }
    const std::string mp3 = Mp3NameFor(exportFolder_, currentOutput_);
    if (ConvertAviSoundToMp3(handOffPath_, module_.hostFolder, request.resultPath, mp3)) {
        result_ = mp3;
    } else {
        outputFailed_ = true;
    }
}

void ConvertingDialog::DeleteElementaryStreams() const {
    // The elementary streams are the job's intermediate files; the program
    // stream (or the AVI) is its result.
    std::vector<EncodeStreamNames> streams;
    if (job_.merge) {
        for (std::size_t index = 0; index < job_.inputs.size(); ++index) {
            streams.push_back(
                MergedStreamNames(job_.inputs, index, exportFolder_, module_.encoder.settings));
        }
    } else {
        streams.push_back(StreamNamesFor(ProgramStreamName(currentOutput_, exportFolder_),
                                         module_.encoder.settings));
    }
    for (const EncodeStreamNames& names : streams) {
        for (const std::string& path : {names.video, names.audio}) {
            const bool isInput =
                std::any_of(job_.inputs.begin(), job_.inputs.end(),
                            [&path](const std::string& input) { return input == path; });
            if (!path.empty() && !isInput) unlink(path.c_str());
        }
    }
}

void ConvertingDialog::AdvanceLater() { Post(kNotifyMessage, kNotifyAdvance, job_file::kJobEnded); }

void ConvertingDialog::PostToHost(unsigned message, uintptr_t wParam, intptr_t lParam) {
    // The end of an encode takes the walk on.
    if (lParam < 0) {
        ++notificationsPosted_;
        Post(message, wParam, lParam);
        return;
    }
    const std::string tip = runningRequest_ ? runningRequest_->progress.Get() : std::string();
    if (tip != writtenTip_) {
        jobFile_.WriteCommonText(job_file::kTipKey, tip);
        writtenTip_ = tip;
    }
    // One message per change of the figure: one per picture would only fill
    // the queue.
    const int percent = progress_.Report(static_cast<int>(lParam));
    if (percent == writtenPercent_) return;
    writtenPercent_ = percent;
    jobFile_.WriteCommonInt(job_file::kPercentKey, percent);
    ++notificationsPosted_;
    Post(message, wParam, percent);
}

void ConvertingDialog::PollCancel() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastCancelPoll_ < kCancelPollInterval) return;
    lastCancelPoll_ = now;
    if (jobFile_.ReadCommonInt(job_file::kCancelKey, 0) != 0) CancelConversion(module_);
}

}  // namespace korvan
