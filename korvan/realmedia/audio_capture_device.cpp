#include "korvan/realmedia/audio_capture_device.h"

#include <cmath>

namespace korvan::realmedia {

using namespace realengine;

media::WaveFormat AviAudioFormat(const AudioFormat& format) {
    return media::PcmFormat(format.samplesPerSec, format.channels, format.bitsPerSample);
}

uint32_t GranularityMs(const AudioFormat& format) {
    const double bitsPerSecond =
        static_cast<double>(format.bitsPerSample) * format.channels * format.samplesPerSec;
    if (bitsPerSecond <= 0) return 0;
    return static_cast<uint32_t>(std::lround(format.maxBlockSize * 8000.0 / bitsPerSecond));
}

AudioCaptureDevice::AudioCaptureDevice(Unknown* player, SharedCaptureSink sink)
    : player_(Ref<Unknown>::Share(player)), sink_(std::move(sink)) {}

AudioCaptureDevice::~AudioCaptureDevice() { Drain(); }

Result AudioCaptureDevice::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (id == kUnknownId || id == kAudioDeviceId) {
        *object = static_cast<AudioDevice*>(this);
    } else if (id == kCallbackId) {
        *object = static_cast<Callback*>(this);
    } else {
        return kNoInterface;
    }
    AddRef();
    return kOk;
}

Result AudioCaptureDevice::Open(const AudioFormat* format, AudioDeviceResponse* response) {
    if (opened_ || response_ || !player_) return kUnexpected;
    if (!format || !response) return kInvalidArgument;
    response_ = Ref<AudioDeviceResponse>::Share(response);
    format_ = *format;
    if (sink_->writer) sink_->writer->OpenAviAudioStream(AviAudioFormat(format_));
    clockMs_ = 0;
    recomputeGranularity_ = true;
    opened_ = true;
    return kOk;
}

Result AudioCaptureDevice::Close(int32_t flush) {
    if (!opened_) return kUnexpected;
    response_.Reset();
    if (flush) Drain();
    clockMs_ = 0;
    opened_ = false;
    return kOk;
}

Result AudioCaptureDevice::Resume() {
    if (!opened_ || !paused_) return kUnexpected;
    if (!ScheduleCallback()) return kFail;
    paused_ = false;
    return kOk;
}

Result AudioCaptureDevice::Pause() {
    if (!opened_ || paused_) return kUnexpected;
    RemoveCallback();
    paused_ = true;
    return kOk;
}

Result AudioCaptureDevice::Write(const AudioData* data) {
    if (!data || !data->data) return kInvalidArgument;
    if (!opened_) return kUnexpected;
    if (!response_) return kFail;
    if (recomputeGranularity_) {
        recomputeGranularity_ = false;
        granularityMs_ = realmedia::GranularityMs(format_);
    }
    queue_.push_back({Ref<Buffer>::Share(data->data), data->audioTimeMs, data->streamType});
    ScheduleCallback();
    return kOk;
}

int32_t AudioCaptureDevice::InitVolume(uint16_t, uint16_t) { return 1; }

int32_t AudioCaptureDevice::SetVolume(uint16_t volume) {
    volume_ = volume;
    return kOk;
}

Result AudioCaptureDevice::Reset() {
    paused_ = false;
    clockMs_ = 0;
    RemoveCallback();
    recomputeGranularity_ = true;
    return kOk;
}

Result AudioCaptureDevice::Drain() {
    queue_.clear();
    RemoveCallback();
    return kOk;
}

Result AudioCaptureDevice::CheckFormat(const AudioFormat*) { return kOk; }

Result AudioCaptureDevice::GetCurrentAudioTime(uint32_t* timeMs) {
    if (!timeMs) return kInvalidArgument;
    *timeMs = opened_ ? clockMs_ : 0;
    return kOk;
}

Result AudioCaptureDevice::Func() {
    callbackHandle_ = 0;
    if (queue_.empty()) return kOk;
    QueuedBlock block = std::move(queue_.front());
    queue_.pop_front();
    // The callback may end the device's last outside reference (a response
    // that closes it); it lives until the block is done.
    Ref<AudioCaptureDevice> self = Ref<AudioCaptureDevice>::Share(this);
    if (sink_->writer) {
        sink_->writer->WriteAviAudio(block.buffer->GetBuffer(), block.buffer->GetSize());
    }
    clockMs_ = block.audioTimeMs;
    if (response_) response_->OnTimeSync(clockMs_);
    block.buffer.Reset();
    ScheduleCallback();
    return kOk;
}

bool AudioCaptureDevice::ScheduleCallback() {
    if (callbackHandle_ != 0) return true;
    auto scheduler = Query<Scheduler>(player_.Get(), kSchedulerId);
    if (!scheduler) return false;
    callbackHandle_ = scheduler->RelativeEnter(static_cast<Callback*>(this), granularityMs_);
    return callbackHandle_ != 0;
}

void AudioCaptureDevice::RemoveCallback() {
    if (callbackHandle_ == 0) return;
    if (auto scheduler = Query<Scheduler>(player_.Get(), kSchedulerId)) {
        scheduler->Remove(callbackHandle_);
    }
    callbackHandle_ = 0;
}

}  // namespace korvan::realmedia
