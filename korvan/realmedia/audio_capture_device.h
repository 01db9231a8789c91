// The audio device the engine plays the presentation's sound into: every
// block of PCM it writes is queued, and one queued block is appended to the
// AVI per scheduled callback (the writer then pauses), after which the
// engine is told that the sound up to that block's time has been played.
// That report is what moves the engine's presentation on.
#pragma once

#include <cstdint>
#include <deque>

#include "korvan/media/wave_format.h"
#include "korvan/realmedia/capture_sink.h"
#include "sdk/realengine/engine_interfaces.h"
#include "sdk/realengine/interface_ref.h"

namespace korvan::realmedia {

// The PCM format of the AVI's audio stream for the engine's format.
media::WaveFormat AviAudioFormat(const realengine::AudioFormat& format);

// How long a block of the largest size plays, in ms, rounded to the nearest:
// the delay between two captures.
uint32_t GranularityMs(const realengine::AudioFormat& format);

class AudioCaptureDevice final : public realengine::AudioDevice,
                                 public realengine::Callback,
                                 public KorvanRefCounted<AudioCaptureDevice> {
public:
    AudioCaptureDevice(realengine::Unknown* player, SharedCaptureSink sink);
    ~AudioCaptureDevice();

    realengine::Result QueryInterface(const realengine::InterfaceId& id, void** object) override;
    uint32_t AddRef() override { return AddRefCount(); }
    uint32_t Release() override { return ReleaseCount(); }

    realengine::Result Open(const realengine::AudioFormat* format,
                            realengine::AudioDeviceResponse* response) override;
    realengine::Result Close(int32_t flush) override;
    realengine::Result Resume() override;
    realengine::Result Pause() override;
    realengine::Result Write(const realengine::AudioData* data) override;
    int32_t InitVolume(uint16_t minimum, uint16_t maximum) override;
    int32_t SetVolume(uint16_t volume) override;
    uint16_t GetVolume() override { return volume_; }
    realengine::Result Reset() override;
    realengine::Result Drain() override;
    realengine::Result CheckFormat(const realengine::AudioFormat* format) override;
    realengine::Result GetCurrentAudioTime(uint32_t* timeMs) override;

    // Callback: captures the first queued block.
    realengine::Result Func() override;

    uint32_t GranularityMs() const { return granularityMs_; }
    std::size_t QueuedBlocks() const { return queue_.size(); }
    bool CallbackScheduled() const { return callbackHandle_ != 0; }

private:
    struct QueuedBlock {
        realengine::Ref<realengine::Buffer> buffer;
        uint32_t audioTimeMs;
        uint32_t streamType;
    };
    // Whether a callback is (now) scheduled.
    bool ScheduleCallback();
    void RemoveCallback();

    realengine::Ref<realengine::Unknown> player_;
    SharedCaptureSink sink_;
    realengine::Ref<realengine::AudioDeviceResponse> response_;
    realengine::AudioFormat format_;
    bool opened_ = false;
    bool paused_ = false;
    uint32_t clockMs_ = 0;
    std::deque<QueuedBlock> queue_;
    realengine::CallbackHandle callbackHandle_ = 0;
    uint32_t granularityMs_ = 100;
    bool recomputeGranularity_ = false;
    uint16_t volume_ = 0;
};

}  // namespace korvan::realmedia
