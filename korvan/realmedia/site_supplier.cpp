#include "korvan/realmedia/site_supplier.h"

#include <algorithm>

#include "korvan/realmedia/capture_site.h"
#include "korvan/realmedia/capture_surface.h"

namespace korvan::realmedia {

using namespace realengine;

namespace {

constexpr char kPlayToProperty[] = "playto";
constexpr char kNameProperty[] = "name";
constexpr char kChannelProperty[] = "channel";
constexpr char kLayoutGroupProperty[] = "LayoutGroup";

}  // namespace

SiteSupplier::SiteSupplier(Unknown* player, SharedCaptureSink sink)
    : player_(Ref<Unknown>::Share(player)), sink_(std::move(sink)) {}

SiteSupplier::~SiteSupplier() { RemoveAll(); }

Result SiteSupplier::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (id == kUnknownId || id == kSiteSupplierId) {
        *object = static_cast<realengine::SiteSupplier*>(this);
        AddRef();
        return kOk;
    }
    return kNoInterface;
}

Result SiteSupplier::SitesNeeded(uint32_t requestId, Values* properties) {
    if (!properties) return kInvalidArgument;
    auto site = Ref<CaptureSite>::Adopt(new CaptureSite(player_.Get(), nullptr, sink_));
    site->SetCaptureSurface(Ref<CaptureSurface>::Adopt(new CaptureSurface(site.Get(), sink_)));

    auto siteInterface = Query<Site>(static_cast<realengine::Site*>(site.Get()), kSiteId);
    if (!siteInterface) return kNoInterface;
    Values* siteProperties = site->Properties();
    if (!siteProperties) return kNoInterface;

    const char* playTo = nullptr;
    const char* name = nullptr;
    const bool hasPlayTo =
        Succeeded(properties->GetTextProperty(kPlayToProperty, &playTo)) && playTo;
    if (hasPlayTo) {
        siteProperties->SetTextProperty(kChannelProperty, playTo);
    } else if (Succeeded(properties->GetTextProperty(kNameProperty, &name)) && name) {
        siteProperties->SetTextProperty(kLayoutGroupProperty, name);
    }

    auto manager = Query<SiteManager>(player_.Get(), kSiteManagerId);
    if (!manager) return kNoInterface;
    const Result added = manager->AddSite(siteInterface.Get());
    if (Succeeded(added)) Remember(requestId, std::move(site));
    return added;
}

Result SiteSupplier::SitesNotNeeded(uint32_t requestId) {
    const auto found = std::find(requestIds_.begin(), requestIds_.end(), requestId);
    if (found == requestIds_.end()) return kInvalidArgument;
    Forget(static_cast<std::size_t>(found - requestIds_.begin()));
    return kOk;
}

CaptureSite* SiteSupplier::SiteOf(uint32_t requestId) const {
    const auto found = std::find(requestIds_.begin(), requestIds_.end(), requestId);
    return found == requestIds_.end() ? nullptr : sites_[found - requestIds_.begin()].Get();
}

void SiteSupplier::RemoveAll() {
    while (!requestIds_.empty()) Forget(requestIds_.size() - 1);
}

void SiteSupplier::Remember(uint32_t requestId, Ref<CaptureSite> site) {
    const auto found = std::find(requestIds_.begin(), requestIds_.end(), requestId);
    if (found != requestIds_.end()) {
        // The same request again: the new site takes its place in the map;
        // the old one stays with the site manager until the engine lets go.
        sites_[found - requestIds_.begin()] = std::move(site);
        return;
    }
    if (requestIds_.size() == requestIds_.capacity()) {
        requestIds_.reserve(requestIds_.size() + kGrowthStep);
        sites_.reserve(sites_.size() + kGrowthStep);
    }
    requestIds_.push_back(requestId);
    sites_.push_back(std::move(site));
}

void SiteSupplier::Forget(std::size_t index) {
    Ref<CaptureSite> site = std::move(sites_[index]);
    requestIds_.erase(requestIds_.begin() + static_cast<std::ptrdiff_t>(index));
    sites_.erase(sites_.begin() + static_cast<std::ptrdiff_t>(index));
    if (auto manager = Query<SiteManager>(player_.Get(), kSiteManagerId)) {
        manager->RemoveSite(static_cast<realengine::Site*>(site.Get()));
    }
    site->SetCaptureSurface({});
    site->Close();
}

}  // namespace korvan::realmedia
