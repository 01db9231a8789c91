// The client context the player is given: through it the engine finds the
// client's helpers, the advise sink and the site supplier. It offers no
// error sink and no authentication, so the engine's error reports stay with
// the engine and protected content cannot be opened.
#pragma once

#include "korvan/realmedia/capture_sink.h"
#include "sdk/realengine/engine_interfaces.h"
#include "sdk/realengine/interface_ref.h"

namespace korvan::realmedia {

class AdviseSink;
class SiteSupplier;

class ClientContext final : public realengine::Unknown, public KorvanRefCounted<ClientContext> {
public:
    explicit ClientContext(SharedCaptureSink sink);
    ~ClientContext();

    // Makes the site supplier and the advise sink (which registers itself)
    // for the player.
    void Init(realengine::Unknown* player);
    // Lets go of the helpers and the player.
    void Close();
    SiteSupplier* Sites() const { return siteSupplier_.Get(); }

    realengine::Result QueryInterface(const realengine::InterfaceId& id, void** object) override;
    uint32_t AddRef() override { return AddRefCount(); }
    uint32_t Release() override { return ReleaseCount(); }

private:
    SharedCaptureSink sink_;
    realengine::Ref<realengine::Unknown> player_;
    realengine::Ref<AdviseSink> adviseSink_;
    realengine::Ref<SiteSupplier> siteSupplier_;
};

}  // namespace korvan::realmedia
