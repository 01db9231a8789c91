// The two coding steps of an encode whose pictures and sound come through
// the job's callbacks. Step 1 reports every picture, polls the host's cancel
// flag and ends the output at its size or duration limit; step 2 pulls the
// sound up to where the pictures ended. With more than one thread, and a
// host whose audio callback can be made independent of its picture
// callback, step 2's work runs alongside step 1 on a thread of its own.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/driver/audio_thread.h"
#include "korvan/mpegenc/driver/encode_preparation.h"
#include "korvan/mpegenc/driver/encode_sequence.h"
#include "korvan/mpegenc/driver/output_limits.h"
#include "korvan/mpegenc/driver/progress_reporter.h"
#include "korvan/mpegenc/video/video_encoder.h"

namespace korvan {

// Remaining time of a step, as its progress lines show it.
struct RemainingTime {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
};

// After `done` of `total` pictures in `elapsedSeconds`: the whole step at
// that pace, to the nearest second, less what has passed.
RemainingTime EstimateRemaining(int64_t done, int64_t total, double elapsedSeconds);

// " Remain: 00:01:05"
std::string RemainText(const RemainingTime& remaining);

class CallbackSteps : public EncodeSteps {
public:
    // `threads` 0 gives the video coder every core.
    CallbackSteps(ProgressReporter& reporter, EncodePlan& plan, CpuFlags kernelFlags, int threads);

    void BeginAudioAlongside(const EncoderSettings& settings,
                             const std::string& streamPath) override;
    Status EncodeVideo(const EncoderSettings& settings, const std::string& streamPath) override;
    Status EncodeAudio(const EncoderSettings& settings, const std::string& streamPath) override;

private:
    Status CodeVideo(const EncoderSettings& settings, const std::string& streamPath);
    // Before the encoder fetches picture `picture`: it is reported, and a
    // cancel or a limit stops the pictures there.
    int BeforePicture(int64_t picture, const VideoEncoder& encoder);
    void ReportPicture(int64_t picture, uint64_t codedBits);

    ProgressReporter& reporter_;
    CompileRequest& request_;
    EncodePlan& plan_;
    CpuFlags kernelFlags_ = CpuFlags::kNone;
    int threads_ = 0;
    OutputLimits limits_;
    std::chrono::steady_clock::time_point start_;
    RemainingTime remaining_;
    bool cancelled_ = false;
    // Step 2's work while step 1 runs; gone once step 2 has its outcome.
    std::unique_ptr<AudioThread> audioThread_;
};

}  // namespace korvan
