// Hears the player's reports: each one is a trace line, and the position
// reports become the job's percent, its remaining-time tip and the AVI's
// duration.
#pragma once

#include "korvan/realmedia/capture_sink.h"
#include "sdk/realengine/engine_interfaces.h"
#include "sdk/realengine/interface_ref.h"

namespace korvan::realmedia {

class AdviseSink final : public realengine::ClientAdviseSink, public KorvanRefCounted<AdviseSink> {
public:
    // Registers itself with the player; it stays registered while the player
    // lives.
    AdviseSink(realengine::Unknown* player, SharedCaptureSink sink);

    realengine::Result QueryInterface(const realengine::InterfaceId& id, void** object) override;
    uint32_t AddRef() override { return AddRefCount(); }
    uint32_t Release() override { return ReleaseCount(); }

    realengine::Result OnPosLength(uint32_t positionMs, uint32_t lengthMs) override;
    realengine::Result OnPresentationOpened() override;
    realengine::Result OnPresentationClosed() override;
    realengine::Result OnStatisticsChanged() override;
    realengine::Result OnPreSeek(uint32_t oldTimeMs, uint32_t newTimeMs) override;
    realengine::Result OnPostSeek(uint32_t oldTimeMs, uint32_t newTimeMs) override;
    realengine::Result OnStop() override;
    realengine::Result OnPause(uint32_t timeMs) override;
    realengine::Result OnBegin(uint32_t timeMs) override;
    realengine::Result OnBuffering(uint32_t flags, uint16_t percent) override;
    realengine::Result OnContacting(const char* hostName) override;

private:
    template <class... Args>
    void Trace(const char* format, Args... args);

    realengine::Ref<realengine::Unknown> player_;
    realengine::Ref<realengine::StatisticsRegistry> statistics_;
    SharedCaptureSink sink_;
};

}  // namespace korvan::realmedia
