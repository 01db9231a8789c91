#include "korvan/mpegenc/driver/avi_output.h"

#include <unistd.h>

#include <chrono>
#include <cmath>

#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/driver/audio_pull.h"
#include "korvan/mpegenc/driver/callback_steps.h"
#include "korvan/mpegenc/driver/output_limits.h"
#include "korvan/mpegenc/driver/picture_feed.h"

namespace korvan {
namespace {

constexpr char kWriteFailedMessage[] = "Unable to write to output file.";
constexpr int kEstimateEvery = 10;

class AviWriting {
public:
    AviWriting(ProgressReporter& reporter, EncodePlan& plan, AviSink& writer)
        : reporter_(reporter),
          request_(reporter.Request()),
          plan_(plan),
          writer_(writer),
          pull_(request_, plan) {
        limits_.targetKind = request_.targetKind;
        limits_.pictureRate = plan.codedRate;
        limits_.durationOn = request_.durationLimitOn && !request_.merge.Active();
        limits_.durationSeconds = request_.durationLimitSeconds;
    }

    Status Run() {
        if (!writer_.OpenAvi(plan_.aviPath)) {
            return Failed(FormatText("Unable to open file %s for writing.", plan_.aviPath.c_str()));
        }
        writer_.ExpectFrameRate(plan_.codedRate);
        // The audio stream goes first, before the picture that creates the
        // video stream.
        if (plan_.audio) {
            writer_.OpenAviAudioStream(
                AviAudioFormat{plan_.audioFormat.sampleRateHz, plan_.audioFormat.channels,
                               plan_.bitsPerSample, plan_.BytesPerSampleFrame()});
        }
        const auto start = std::chrono::steady_clock::now();
        RemainingTime remaining;
        for (int64_t picture = 0; picture < plan_.pictures; ++picture) {
            request_.sourcePicturesDone =
                SourcePictureOf(picture, plan_.sourceRate, plan_.codedRate);
            if (request_.cancel.load()) return Stopped(Status::Cancelled());
            if (limits_.EndsBefore(picture, 0)) {
                plan_.CutAt(picture);
                request_.split = true;
                break;
            }
            if (picture >= kEstimateEvery && picture % kEstimateEvery == 0) {
                const std::chrono::duration<double> elapsed =
                    std::chrono::steady_clock::now() - start;
                remaining = EstimateRemaining(picture, plan_.pictures, elapsed.count());
            }
            reporter_.ReportProgress(RemainText(remaining),
                                     static_cast<int>(picture * 100 / plan_.pictures));
            if (plan_.video) {
                Status written = WritePicture(picture);
                if (!written.IsOk()) return Stopped(written);
            }
            if (plan_.audio) {
                Status written = WriteSound(picture + 1);
                if (!written.IsOk()) return Stopped(written);
            }
        }
        request_.sourcePicturesDone = plan_.sourcePictures;
        const auto durationMs =
            static_cast<uint32_t>(std::floor(plan_.pictures * 1000.0 / plan_.codedRate));
        if (!writer_.CloseAvi(durationMs)) return Failed(kWriteFailedMessage);
        return {};
    }

private:
    Status Failed(std::string message) { return Stopped(Status::Failed(std::move(message))); }

    // An AVI that did not end is no result.
    Status Stopped(Status outcome) {
        writer_.CloseAvi(0);
        ::unlink(plan_.aviPath.c_str());
        return outcome;
    }

    Status WritePicture(int64_t picture) {
        const int64_t number =
            plan_.firstPicture + SourcePictureOf(picture, plan_.sourceRate, plan_.codedRate);
        FetchedPicture source;
        const uint8_t* rows = nullptr;
        std::string problem;
        if (FetchCodedRows(request_.getPicture, number, plan_.width, plan_.height, source, rows,
                           problem) != 0) {
            return Status::Failed(problem);
        }
        if (!writer_.WriteAviFrame(AviFrame{rows, plan_.width, plan_.height, source.strideBytes})) {
            return Status::Failed(kWriteFailedMessage);
        }
        return {};
    }

    // The sound up to the end of `pictures` pictures.
    Status WriteSound(int64_t pictures) {
        pull_.SetEnd(SourcePictureOf(pictures, plan_.sourceRate, plan_.codedRate),
                     static_cast<int64_t>(std::floor(
                         pictures / plan_.codedRate * plan_.audioFormat.sampleRateHz + 0.5)));
        for (;;) {
            FetchedAudio block;
            switch (pull_.Next(block)) {
                case AudioPull::Result::kEnd:
                    return {};
                case AudioPull::Result::kFailed:
                    return Status::Failed(pull_.Problem());
                case AudioPull::Result::kBlock:
                    break;
            }
            if (block.byteCount > 0 && !writer_.WriteAviAudio(block.bytes, block.byteCount)) {
                return Status::Failed(kWriteFailedMessage);
            }
        }
    }

    ProgressReporter& reporter_;
    CompileRequest& request_;
    EncodePlan& plan_;
    AviSink& writer_;
    AudioPull pull_;
    OutputLimits limits_;
};

}  // namespace

Status WriteAviOutput(ProgressReporter& reporter, EncodePlan& plan, AviSink& writer) {
    return AviWriting(reporter, plan, writer).Run();
}

}  // namespace korvan
