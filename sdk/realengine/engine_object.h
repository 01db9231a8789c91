// The engine: it makes and closes players and keeps the audio device the
// client registered in place of its own output (its audio device manager).
#pragma once

#include <vector>

#include "sdk/realengine/engine_objects.h"

namespace realengine {

class EnginePlayer;

class EngineObject final : public Engine,
                           public AudioDeviceManager,
                           public EngineRefCounted<EngineObject> {
public:
    EngineObject();
    ~EngineObject();

    Result QueryInterface(const InterfaceId& id, void** object) override;
    std::uint32_t AddRef() override { return AddRefCount(); }
    std::uint32_t Release() override { return ReleaseCount(); }

    Result CreatePlayer(Player** player) override;
    Result ClosePlayer(Player* player) override;

    Result Replace(AudioDevice* device) override;
    Result Remove(AudioDevice* device) override;

    Ref<AudioDevice> RegisteredAudioDevice() const { return audioDevice_; }
    // Closes every player and lets go of the device: CloseEngine.
    void Shut();

private:
    std::vector<Ref<EnginePlayer>> players_;
    Ref<AudioDevice> audioDevice_;
};

}  // namespace realengine
