#include "korvan/mpegenc/driver/audio_thread.h"

#include <unistd.h>

#include <system_error>

#include "korvan/mpegenc/driver/audio_step.h"

namespace korvan {

AudioThread::AudioThread(const EncoderSettings& settings, const std::string& streamPath,
                         CompileRequest& request, const EncodePlan& plan)
    : settings_(settings),
      streamPath_(streamPath),
      request_(request),
      targetKind_(request.targetKind),
      format_(plan.audioFormat),
      pull_(request, plan, frontier_) {}

std::unique_ptr<AudioThread> AudioThread::Start(const EncoderSettings& settings,
                                                const std::string& streamPath,
                                                CompileRequest& request, const EncodePlan& plan) {
    std::unique_ptr<AudioThread> audio(new AudioThread(settings, streamPath, request, plan));
    try {
        audio->thread_ = std::thread([worker = audio.get()] { worker->Run(); });
    } catch (const std::system_error&) {
        return nullptr;
    }
    return audio;
}

AudioThread::~AudioThread() {
    Stop();
    if (!finished_) ::unlink(streamPath_.c_str());
}

void AudioThread::Stop() {
    frontier_.Abandon();
    if (thread_.joinable()) thread_.join();
}

void AudioThread::Run() {
    AudioStepCalls calls;
    calls.pulled = [this](const AudioPull& pull) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            pulled_.push_back(pull.Pulled());
        }
        changed_.notify_all();
    };
    calls.cancelled = [this] { return request_.cancel.load() || frontier_.Abandoned(); };
    Status outcome = CodeAudioStep(settings_, streamPath_, targetKind_, format_, pull_, calls);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        outcome_ = std::move(outcome);
        done_ = true;
    }
    changed_.notify_all();
}

Status AudioThread::Finish(ProgressReporter& reporter, const EncodePlan& plan) {
    // Step 1 has ended, whether or not it said so on its way.
    frontier_.Ends(plan.pictures);
    const AudioPositions positions = request_.audioPositions;
    const int64_t end =
        positions == AudioPositions::kByPicture ? plan.sourcePictures : plan.audioSamples;
    size_t reported = 0;
    bool done = false;
    while (!done && !request_.cancel.load()) {
        std::vector<int64_t> lines;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return done_ || pulled_.size() > reported; });
            lines.assign(pulled_.begin() + static_cast<std::ptrdiff_t>(reported), pulled_.end());
            reported = pulled_.size();
            done = done_;
        }
        for (const int64_t pulled : lines) {
            int percent = 0;
            const std::string text = AudioProgressText(positions, pulled, end, percent);
            reporter.ReportProgress(text, percent);
            // A cancel the host asks for in a report ends the step there.
            if (request_.cancel.load()) break;
        }
    }
    if (thread_.joinable()) thread_.join();
    finished_ = true;
    if (request_.cancel.load()) {
        ::unlink(streamPath_.c_str());
        return Status::Cancelled();
    }
    return outcome_;
}

}  // namespace korvan
