// A windowless site the engine renders into. Sites form a tree (the engine
// may make child sites); each knows its position, size, z-order among its
// siblings and visibility, from which the part of it that shows (its region)
// is worked out from the top site down after every change. A top site
// carries the capture surface that turns pictures into AVI frames; every
// site has a video surface of its own through which the engine blits.
#pragma once

#include <vector>

#include "korvan/realmedia/capture_sink.h"
#include "korvan/realmedia/site_region.h"
#include "sdk/realengine/engine_interfaces.h"
#include "sdk/realengine/interface_ref.h"

namespace korvan::realmedia {

class CaptureSurface;
class SiteVideoSurface;

class CaptureSite final : public realengine::Site,
                          public realengine::ExtendedSite,
                          public realengine::SiteWindowless,
                          public KorvanRefCounted<CaptureSite> {
public:
    // `player` is the engine object the site serves; its class factory makes
    // the site's property set.
    CaptureSite(realengine::Unknown* player, CaptureSite* parent, SharedCaptureSink sink);
    ~CaptureSite();

    void SetCaptureSurface(realengine::Ref<CaptureSurface> surface);
    CaptureSurface* GetCaptureSurface() const { return captureSurface_.Get(); }
    CaptureSite* Parent() const { return parent_; }
    // The site's own surface (not referenced).
    SiteVideoSurface* OwnSurface() const { return ownSurface_.Get(); }
    const SiteRegion& Region() const { return region_; }
    realengine::Point AbsoluteOrigin() const;
    realengine::Values* Properties() const { return properties_.Get(); }
    // Detaches the user and the watchers and drops the children, so that
    // no reference cycle through the engine keeps the tree alive.
    void Close();

    realengine::Result QueryInterface(const realengine::InterfaceId& id, void** object) override;
    uint32_t AddRef() override { return AddRefCount(); }
    uint32_t Release() override { return ReleaseCount(); }

    // Site
    realengine::Result AttachUser(realengine::SiteUser* user) override;
    realengine::Result DetachUser() override;
    realengine::Result GetUser(realengine::SiteUser** user) override;
    realengine::Result CreateChild(realengine::Site** child) override;
    realengine::Result DestroyChild(realengine::Site* child) override;
    realengine::Result AttachWatcher(realengine::SiteWatcher* watcher) override;
    realengine::Result DetachWatcher() override;
    realengine::Result SetPosition(realengine::Point position) override;
    realengine::Result GetPosition(realengine::Point* position) override;
    realengine::Result SetSize(realengine::Size size) override;
    realengine::Result GetSize(realengine::Size* size) override;
    realengine::Result DamageRect(realengine::Rect rect) override;
    realengine::Result DamageRegion(void* region) override;
    realengine::Result ForceRedraw() override;

    // ExtendedSite
    realengine::Result UpdateSiteWindow(void* window) override;
    realengine::Result ShowSite(int32_t show) override;
    int32_t IsSiteVisible() override;
    realengine::Result SetZOrder(int32_t zOrder) override;
    int32_t GetZOrder() override { return zOrder_; }
    realengine::Result MoveSiteToTop() override;
    realengine::Result GetVideoSurface(realengine::VideoSurface** surface) override;
    uint32_t GetNumberOfChildSites() override { return static_cast<uint32_t>(children_.size()); }
    realengine::Result AddPassiveSiteWatcher(realengine::PassiveSiteWatcher* watcher) override;
    realengine::Result RemovePassiveSiteWatcher(realengine::PassiveSiteWatcher* watcher) override;
    realengine::Result SetCursor(void* cursor, void** oldCursor) override;

    // SiteWindowless: a windowless site takes no window.
    realengine::Result AttachWindow(void* window) override;
    realengine::Result DetachWindow() override;

private:
    realengine::Rect AbsoluteRect() const;
    CaptureSite* Top();
    // This site's regions from its parent's region without children, then
    // its children's; a site whose region changed is redrawn.
    void ComputeRegions(const SiteRegion* parentRegionWithoutChildren);
    void RecomputeFromTop() { Top()->ComputeRegions(nullptr); }
    // Tells the children (their passive watchers) that the parent moved.
    void TellChildren();

    realengine::Ref<realengine::Unknown> player_;
    realengine::Ref<realengine::ClassFactory> classFactory_;
    realengine::Ref<realengine::Values> properties_;
    CaptureSite* parent_;  // the parent holds this site, not the other way
    std::vector<realengine::Ref<CaptureSite>> children_;
    realengine::Ref<realengine::SiteUser> user_;
    realengine::Ref<realengine::SiteWatcher> watcher_;
    std::vector<realengine::Ref<realengine::PassiveSiteWatcher>> passiveWatchers_;
    realengine::Point position_;
    realengine::Size size_;
    int32_t zOrder_ = 0;
    bool visible_ = true;
    SiteRegion region_;
    SiteRegion regionWithoutChildren_;
    bool damaged_ = false;
    bool redrawing_ = false;
    realengine::Ref<SiteVideoSurface> ownSurface_;
    realengine::Ref<CaptureSurface> captureSurface_;
    SharedCaptureSink sink_;
};

}  // namespace korvan::realmedia
