// Step 2's work on a thread of its own, while step 1 codes the pictures.
// The thread pulls the sound of the pictures step 1 has fetched, no
// further, so the stream ends where the pictures end, as the serial one
// would. Step 2 itself stays where it was: its progress lines are reported
// from the calling thread after step 1's, one for each block the thread
// pulled, as the thread's progress allows.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "korvan/mpegenc/driver/audio_pull.h"
#include "korvan/mpegenc/driver/encode_preparation.h"
#include "korvan/mpegenc/driver/picture_frontier.h"
#include "korvan/mpegenc/driver/progress_reporter.h"

namespace korvan {

class AudioThread {
public:
    // Starts coding the sound of `request`'s audio callback, which must be
    // safe to call alongside its picture callback, into `streamPath`.
    // `plan` is the encode's before step 1. Null when no thread could be
    // started.
    static std::unique_ptr<AudioThread> Start(const EncoderSettings& settings,
                                              const std::string& streamPath,
                                              CompileRequest& request, const EncodePlan& plan);
    // Unless Finish ran (step 1 failed, or the encode was cancelled before
    // step 2): stops the thread, waits for it and removes its stream.
    ~AudioThread();
    AudioThread(const AudioThread&) = delete;
    AudioThread& operator=(const AudioThread&) = delete;

    // Step 1 tells it how far the pictures have got.
    PictureFrontier& Frontier() { return frontier_; }

    // Step 2, on the calling thread once step 1 has ended: the progress
    // line of each block pulled, waits for the thread, and its outcome.
    // `plan` is the encode's after step 1.
    Status Finish(ProgressReporter& reporter, const EncodePlan& plan);

private:
    AudioThread(const EncoderSettings& settings, const std::string& streamPath,
                CompileRequest& request, const EncodePlan& plan);
    void Run();
    void Stop();

    EncoderSettings settings_;
    std::string streamPath_;
    CompileRequest& request_;
    int targetKind_;
    audio::AudioFormat format_;
    PictureFrontier frontier_;
    AudioPull pull_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int64_t> pulled_;  // after each block: what had been pulled
    bool done_ = false;
    Status outcome_;

    std::thread thread_;
    bool finished_ = false;
};

}  // namespace korvan
