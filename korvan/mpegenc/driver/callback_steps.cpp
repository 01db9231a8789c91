#include "korvan/mpegenc/driver/callback_steps.h"

#include <cmath>
#include <thread>

#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/driver/audio_pull.h"
#include "korvan/mpegenc/driver/audio_step.h"
#include "korvan/mpegenc/driver/picture_feed.h"
#include "korvan/mpegenc/driver/video_stream_writer.h"

namespace korvan {
namespace {

constexpr int kEstimateEvery = 10;  // pictures between two estimates of the time left
constexpr int kCancelledStatus = -1001;
constexpr double kBitsPerMB = 1 << 23;

int Percent(int64_t done, int64_t total) {
    return total > 0 ? static_cast<int>(done * 100 / total) : 100;
}

}  // namespace

RemainingTime EstimateRemaining(int64_t done, int64_t total, double elapsedSeconds) {
    RemainingTime r;
    if (done <= 0 || elapsedSeconds <= 0) return r;
    const double left =
        std::floor(static_cast<double>(total) / (done / elapsedSeconds) + 0.5) - elapsedSeconds;
    const int seconds = left > 0 ? static_cast<int>(left) : 0;
    r.hours = seconds / 3600;
    r.minutes = seconds / 60 % 60;
    r.seconds = seconds % 60;
    return r;
}

std::string RemainText(const RemainingTime& r) {
    return FormatText(" Remain: %02d:%02d:%02d", r.hours, r.minutes, r.seconds);
}

CallbackSteps::CallbackSteps(ProgressReporter& reporter, EncodePlan& plan, CpuFlags kernelFlags,
                             int threads)
    : reporter_(reporter),
      request_(reporter.Request()),
      plan_(plan),
      kernelFlags_(kernelFlags),
      threads_(threads) {
    limits_.targetKind = request_.targetKind;
    limits_.pictureRate = plan.codedRate;
    // A merged output is one file, whatever its size.
    if (!request_.merge.Active()) {
        limits_.sizeOn = request_.sizeLimitOn;
        limits_.sizeMB = request_.sizeLimitMB;
        limits_.durationOn = request_.durationLimitOn;
        limits_.durationSeconds = request_.durationLimitSeconds;
    }
}

void CallbackSteps::ReportPicture(int64_t picture, uint64_t codedBits) {
    const int64_t total = plan_.pictures;
    const int percent = Percent(picture, total);
    if (picture >= kEstimateEvery && picture % kEstimateEvery == 0) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        remaining_ = EstimateRemaining(picture, total, elapsed.count());
    }
    const double currentMB = static_cast<double>(codedBits) / kBitsPerMB;
    const double estimatedMB =
        picture > 0 ? currentMB * static_cast<double>(total) / static_cast<double>(picture) : 0;
    reporter_.ReportProgress(RemainText(remaining_), percent);
    // The detailed line stays in the progress line after the report.
    request_.progress.Set(FormatText(
        "Step 1 of 2: Video:%d%% - frame %d of %d,\r\nNeed time:%d:%d:%d cur/est size: %.0f/%.0fMB",
        percent, static_cast<int>(picture), static_cast<int>(total), remaining_.hours,
        remaining_.minutes, remaining_.seconds, currentMB, estimatedMB));
}

int CallbackSteps::BeforePicture(int64_t picture, const VideoEncoder& encoder) {
    request_.sourcePicturesDone = SourcePictureOf(picture, plan_.sourceRate, plan_.codedRate);
    if (request_.cancel.load()) {
        cancelled_ = true;
        return kCancelledStatus;
    }
    // The pictures coded so far may trail the fetches by a few (the motion
    // search runs ahead): the size is that of the stream written so far.
    if (limits_.EndsBefore(picture, encoder.BitsCoded())) {
        plan_.CutAt(picture);
        request_.split = true;
        if (audioThread_) audioThread_->Frontier().Ends(picture);
        return PictureSource::kEndsHere;
    }
    // The pictures before this one have been fetched.
    if (audioThread_) audioThread_->Frontier().Fetched(picture);
    ReportPicture(picture, encoder.BitsCoded());
    return 0;
}

void CallbackSteps::BeginAudioAlongside(const EncoderSettings& settings,
                                        const std::string& streamPath) {
    // One thread codes everything in turn. A host's two callbacks may read
    // from one source, so they are called from two threads only once the
    // host has made them independent.
    const bool oneCore = threads_ == 0 && std::thread::hardware_concurrency() < 2;
    if (threads_ == 1 || oneCore) return;
    if (!request_.separateAudio || !request_.separateAudio()) return;
    audioThread_ = AudioThread::Start(settings, streamPath, request_, plan_);
}

Status CallbackSteps::EncodeVideo(const EncoderSettings& settings, const std::string& streamPath) {
    Status outcome = CodeVideo(settings, streamPath);
    // Without the pictures the sound is no use: its thread stops, and its
    // stream goes.
    if (!outcome.IsOk()) audioThread_.reset();
    return outcome;
}

Status CallbackSteps::CodeVideo(const EncoderSettings& settings, const std::string& streamPath) {
    VideoEncoder encoder;
    if (threads_ > 0) encoder.SetThreadCount(threads_);
    PictureFeed feed(request_.getPicture, plan_.firstPicture, plan_.sourceRate, plan_.codedRate,
                     [this, &encoder](int picture) { return BeforePicture(picture, encoder); });
    Status r = encoder.Open(settings, plan_.width, plan_.height,
                                 static_cast<int>(plan_.pictures), kernelFlags_, feed, nullptr);
    if (!r.IsOk()) return Status::Failed(r.message);
    if (!feed.Prepare(encoder.Parameters(), settings.matrixCoefficients,
                      settings.blackAndWhite != 0, kernelFlags_)) {
        return Status::Failed("Could not allocate memory for u444.");
    }

    start_ = std::chrono::steady_clock::now();
    remaining_ = {};
    cancelled_ = false;
    VideoStreamHooks hooks;
    hooks.coded = [this] {
        const unsigned total = static_cast<unsigned>(plan_.pictures);
        request_.sourcePicturesDone = plan_.sourcePictures;
        if (audioThread_) audioThread_->Frontier().Ends(plan_.pictures);
        reporter_.ReportProgress(FormatText("Video: 100%% - frame %u of %u.", total, total), 100);
    };
    hooks.maxBitrateProgress = [this](int header, int headers) {
        const int percent = Percent(header, headers);
        reporter_.ReportProgress(
            FormatText("Embedding max bitrate values: %d%% - %d of %d.", percent, header, headers),
            percent);
    };
    r = WriteVideoStream(encoder, streamPath, hooks);
    if (r.IsOk()) return {};
    if (cancelled_) return Status::Cancelled();
    return Status::Failed(feed.Problem().empty() ? r.message : feed.Problem());
}

Status CallbackSteps::EncodeAudio(const EncoderSettings& settings, const std::string& streamPath) {
    if (audioThread_) {
        const std::unique_ptr<AudioThread> thread = std::move(audioThread_);
        return thread->Finish(reporter_, plan_);
    }
    AudioPull pull(request_, plan_);
    AudioStepCalls calls;
    calls.pulled = [this](const AudioPull& pulled) {
        int percent = 0;
        const std::string text = pulled.ProgressText(percent);
        reporter_.ReportProgress(text, percent);
    };
    calls.cancelled = [this] { return request_.cancel.load(); };
    return CodeAudioStep(settings, streamPath, request_.targetKind, plan_.audioFormat, pull, calls);
}

}  // namespace korvan
