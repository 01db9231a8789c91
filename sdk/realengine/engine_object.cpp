#include "sdk/realengine/engine_object.h"

#include <algorithm>

#include "sdk/realengine/engine_player.h"

namespace realengine {

EngineObject::EngineObject() = default;
EngineObject::~EngineObject() = default;

Result EngineObject::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (Offer<Engine>(this, id, kUnknownId, object) || Offer<Engine>(this, id, kEngineId, object) ||
        Offer<AudioDeviceManager>(this, id, kAudioDeviceManagerId, object)) {
        return kOk;
    }
    return kNoInterface;
}

Result EngineObject::CreatePlayer(Player** player) {
    if (!player) return kInvalidArgument;
    auto made = Ref<EnginePlayer>::Adopt(new EnginePlayer(this));
    players_.push_back(made);
    *player = static_cast<Player*>(made.Detach());
    return kOk;
}

Result EngineObject::ClosePlayer(Player* player) {
    const auto found = std::find_if(players_.begin(), players_.end(), [player](const auto& p) {
        return static_cast<Player*>(p.Get()) == player;
    });
    if (found == players_.end()) return kUnexpected;
    Ref<EnginePlayer> closed = std::move(*found);
    players_.erase(found);
    closed->Close();
    return kOk;
}

Result EngineObject::Replace(AudioDevice* device) {
    if (!device) return kInvalidArgument;
    audioDevice_ = Ref<AudioDevice>::Share(device);
    return kOk;
}

Result EngineObject::Remove(AudioDevice* device) {
    if (!audioDevice_ || audioDevice_.Get() != device) return kUnexpected;
    audioDevice_.Reset();
    return kOk;
}

void EngineObject::Shut() {
    while (!players_.empty()) {
        Ref<EnginePlayer> player = std::move(players_.back());
        players_.pop_back();
        player->Close();
    }
    audioDevice_.Reset();
}

}  // namespace realengine
