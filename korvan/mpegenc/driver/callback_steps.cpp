#include "korvan/mpegenc/driver/callback_steps.h"

#include <unistd.h>

#include <cmath>

#include "korvan/mpegenc/audio/audio_encoder.h"
#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/driver/audio_pull.h"
#include "korvan/mpegenc/driver/picture_feed.h"
#include "korvan/mpegenc/driver/sound_resampler.h"
#include "korvan/mpegenc/driver/video_stream_writer.h"

namespace korvan {
namespace {

constexpr int kEstimateEvery = 10;  // pictures between two estimates of the time left
constexpr int kCancelledStatus = -1001;
constexpr double kBitsPerMB = 1 << 23;
constexpr char kResampleMessage[] = "Unable to convert the sound to the rate of the target.";

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

CallbackSteps::CallbackSteps(ProgressReporter& reporter, EncodePlan& plan, int processorMode)
    : reporter_(reporter),
      request_(reporter.Request()),
      plan_(plan),
      processorMode_(processorMode) {
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
        return PictureSource::kEndsHere;
    }
    ReportPicture(picture, encoder.BitsCoded());
    return 0;
}

StepOutcome CallbackSteps::EncodeVideo(const EncoderSettings& settings,
                                       const std::string& streamPath) {
    VideoEncoder encoder;
    PictureFeed feed(request_.getPicture, plan_.firstPicture, plan_.sourceRate, plan_.codedRate,
                     [this, &encoder](int picture) { return BeforePicture(picture, encoder); });
    VideoResult r = encoder.Open(settings, plan_.width, plan_.height,
                                 static_cast<int>(plan_.pictures), processorMode_, feed, nullptr);
    if (!r.Ok()) return {EncodeStatus::kFailed, r.message};
    if (!feed.Prepare(encoder.Parameters(), settings.matrixCoefficients,
                      settings.blackAndWhite != 0)) {
        return {EncodeStatus::kFailed, "Could not allocate memory for u444."};
    }

    start_ = std::chrono::steady_clock::now();
    remaining_ = {};
    cancelled_ = false;
    VideoStreamHooks hooks;
    hooks.coded = [this] {
        const unsigned total = static_cast<unsigned>(plan_.pictures);
        request_.sourcePicturesDone = plan_.sourcePictures;
        reporter_.ReportProgress(FormatText("Video: 100%% - frame %u of %u.", total, total), 100);
    };
    hooks.maxBitrateProgress = [this](int header, int headers) {
        const int percent = Percent(header, headers);
        reporter_.ReportProgress(
            FormatText("Embedding max bitrate values: %d%% - %d of %d.", percent, header, headers),
            percent);
    };
    r = WriteVideoStream(encoder, streamPath, hooks);
    if (r.Ok()) return {};
    if (cancelled_) return {EncodeStatus::kCancelled, {}};
    return {EncodeStatus::kFailed, feed.Problem().empty() ? r.message : feed.Problem()};
}

StepOutcome CallbackSteps::EncodeAudio(const EncoderSettings& settings,
                                       const std::string& streamPath) {
    AudioPull pull(request_, plan_);
    audio::AudioFormat coded = plan_.audioFormat;
    coded.sampleRateHz = CodedSampleRateHz(request_.targetKind, plan_.audioFormat.sampleRateHz);
    SoundResampler resampler;
    const bool resample = coded.sampleRateHz != plan_.audioFormat.sampleRateHz;
    if (resample &&
        !resampler.Open(plan_.audioFormat.sampleRateHz, coded.sampleRateHz, coded.channels)) {
        return {EncodeStatus::kFailed, kResampleMessage};
    }
    bool flushed = false;
    bool resampleFailed = false;
    audio::AudioCallbacks callbacks;
    callbacks.fetch = [&](audio::PcmBlock& pcm) {
        for (;;) {
            FetchedAudio block;
            const AudioPull::Result result = flushed ? AudioPull::Result::kEnd : pull.Next(block);
            if (result == AudioPull::Result::kFailed) return audio::FetchResult::kFailed;
            if (result == AudioPull::Result::kEnd) {
                if (!resample || flushed) return audio::FetchResult::kEnd;
                flushed = true;
                if (!resampler.Flush(pcm.bytes, pcm.byteCount)) break;
                if (pcm.byteCount == 0) return audio::FetchResult::kEnd;
                return audio::FetchResult::kBlock;
            }
            int percent = 0;
            const std::string text = pull.ProgressText(percent);
            reporter_.ReportProgress(text, percent);
            if (!resample) {
                pcm.bytes = block.bytes;
                pcm.byteCount = block.byteCount;
                return audio::FetchResult::kBlock;
            }
            if (!resampler.Convert(block.bytes, block.byteCount, pcm.bytes, pcm.byteCount)) break;
            // The filter may hold a short block back whole.
            if (pcm.byteCount > 0) return audio::FetchResult::kBlock;
        }
        resampleFailed = true;
        return audio::FetchResult::kFailed;
    };
    callbacks.cancelRequested = [this] { return request_.cancel.load(); };

    const audio::AudioEncodeResult result =
        audio::EncodeAudioStream(settings, coded, streamPath, callbacks);
    if (result.status == audio::AudioEncodeStatus::kDone) return {};
    // A stream that did not end is no result.
    ::unlink(streamPath.c_str());
    switch (result.status) {
        case audio::AudioEncodeStatus::kCancelled:
            return {EncodeStatus::kCancelled, {}};
        case audio::AudioEncodeStatus::kSourceFailed:
            return {EncodeStatus::kFailed, resampleFailed ? kResampleMessage : pull.Problem()};
        default:
            return {EncodeStatus::kFailed, result.message};
    }
}

}  // namespace korvan
