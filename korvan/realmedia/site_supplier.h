// Answers the engine's requests for sites: each request gets a top site with
// a capture surface, added to the player's site manager, and is remembered
// by its identifier until the engine no longer needs it.
#pragma once

#include <cstdint>
#include <vector>

#include "korvan/realmedia/capture_sink.h"
#include "sdk/realengine/engine_interfaces.h"
#include "sdk/realengine/interface_ref.h"

namespace korvan::realmedia {

class CaptureSite;

class SiteSupplier final : public realengine::SiteSupplier, public KorvanRefCounted<SiteSupplier> {
public:
    SiteSupplier(realengine::Unknown* player, SharedCaptureSink sink);
    ~SiteSupplier();

    realengine::Result QueryInterface(const realengine::InterfaceId& id, void** object) override;
    uint32_t AddRef() override { return AddRefCount(); }
    uint32_t Release() override { return ReleaseCount(); }

    realengine::Result SitesNeeded(uint32_t requestId, realengine::Values* properties) override;
    realengine::Result SitesNotNeeded(uint32_t requestId) override;
    realengine::Result BeginChangeLayout() override { return realengine::kOk; }
    realengine::Result DoneChangeLayout() override { return realengine::kOk; }

    // The site of a request, or null.
    CaptureSite* SiteOf(uint32_t requestId) const;
    std::size_t SiteCount() const { return requestIds_.size(); }
    // Every site leaves the site manager; called when the playback ends.
    void RemoveAll();

private:
    // The map of request identifiers to sites, as two parallel arrays whose
    // room grows ten entries at a time.
    static constexpr std::size_t kGrowthStep = 10;
    void Remember(uint32_t requestId, realengine::Ref<CaptureSite> site);
    void Forget(std::size_t index);

    realengine::Ref<realengine::Unknown> player_;
    SharedCaptureSink sink_;
    std::vector<uint32_t> requestIds_;
    std::vector<realengine::Ref<CaptureSite>> sites_;
};

}  // namespace korvan::realmedia
