#include "korvan/realmedia/client_context.h"

#include "korvan/realmedia/advise_sink.h"
#include "korvan/realmedia/site_supplier.h"

namespace korvan::realmedia {

using namespace realengine;

ClientContext::ClientContext(SharedCaptureSink sink) : sink_(std::move(sink)) {}

ClientContext::~ClientContext() { Close(); }

void ClientContext::Init(Unknown* player) {
    player_ = Ref<Unknown>::Share(player);
    siteSupplier_ = Ref<SiteSupplier>::Adopt(new SiteSupplier(player, sink_));
    adviseSink_ = Ref<AdviseSink>::Adopt(new AdviseSink(player, sink_));
}

void ClientContext::Close() {
    if (siteSupplier_) siteSupplier_->RemoveAll();
    siteSupplier_.Reset();
    adviseSink_.Reset();
    player_.Reset();
}

Result ClientContext::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (id == kUnknownId) {
        *object = static_cast<Unknown*>(this);
        AddRef();
        return kOk;
    }
    if (adviseSink_ && Succeeded(adviseSink_->QueryInterface(id, object))) return kOk;
    if (siteSupplier_ && Succeeded(siteSupplier_->QueryInterface(id, object))) return kOk;
    return kNoInterface;
}

}  // namespace korvan::realmedia
