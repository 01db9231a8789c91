#include "korvan/realmedia/capture_site.h"

#include <algorithm>

#include "korvan/realmedia/capture_surface.h"
#include "korvan/realmedia/site_video_surface.h"

namespace korvan::realmedia {

using namespace realengine;

CaptureSite::CaptureSite(Unknown* player, CaptureSite* parent, SharedCaptureSink sink)
    : player_(Ref<Unknown>::Share(player)), parent_(parent), sink_(std::move(sink)) {
    classFactory_ = Query<ClassFactory>(player, kClassFactoryId);
    if (classFactory_) classFactory_->CreateInstance(kValuesId, properties_.PutVoid());
    ownSurface_ = Ref<SiteVideoSurface>::Adopt(new SiteVideoSurface(this));
}

CaptureSite::~CaptureSite() {
    Close();
    ownSurface_->ForgetSite();
}

void CaptureSite::Close() {
    if (captureSurface_) captureSurface_->ForgetSite();
    captureSurface_.Reset();
    if (user_) DetachUser();
    if (watcher_) DetachWatcher();
    passiveWatchers_.clear();
    // A child may be held by the engine beyond this: it no longer has a
    // parent to reach.
    for (Ref<CaptureSite>& child : children_) {
        child->parent_ = nullptr;
        child->Close();
    }
    children_.clear();
}

void CaptureSite::SetCaptureSurface(Ref<CaptureSurface> surface) {
    if (captureSurface_) captureSurface_->ForgetSite();
    captureSurface_ = std::move(surface);
}

Result CaptureSite::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (id == kUnknownId || id == kSiteId) {
        *object = static_cast<Site*>(this);
    } else if (id == kExtendedSiteId) {
        *object = static_cast<ExtendedSite*>(this);
    } else if (id == kSiteWindowlessId) {
        *object = static_cast<SiteWindowless*>(this);
    } else if (properties_) {
        return properties_->QueryInterface(id, object);
    } else {
        return kNoInterface;
    }
    AddRef();
    return kOk;
}

Result CaptureSite::AttachUser(SiteUser* user) {
    if (user_) return kUnexpected;
    if (!user) return kInvalidArgument;
    const Result result = user->AttachSite(this);
    if (Succeeded(result)) user_ = Ref<SiteUser>::Share(user);
    return result;
}

Result CaptureSite::DetachUser() {
    if (!user_) return kUnexpected;
    const Result result = user_->DetachSite();
    if (Succeeded(result)) user_.Reset();
    return result;
}

Result CaptureSite::GetUser(SiteUser** user) {
    if (!user) return kInvalidArgument;
    if (!user_) return kUnexpected;
    *user = Ref<SiteUser>(user_).Detach();
    return kOk;
}

Result CaptureSite::CreateChild(Site** child) {
    if (!child) return kInvalidArgument;
    auto site = Ref<CaptureSite>::Adopt(new CaptureSite(player_.Get(), this, sink_));
    children_.push_back(site);
    *child = static_cast<Site*>(site.Detach());
    RecomputeFromTop();
    return kOk;
}

Result CaptureSite::DestroyChild(Site* child) {
    const auto found = std::find_if(children_.begin(), children_.end(), [child](const auto& c) {
        return static_cast<Site*>(c.Get()) == child;
    });
    if (found == children_.end()) return kUnexpected;
    Ref<CaptureSite> site = std::move(*found);
    children_.erase(found);
    site->parent_ = nullptr;
    site->Close();
    RecomputeFromTop();
    return kOk;
}

Result CaptureSite::AttachWatcher(SiteWatcher* watcher) {
    if (watcher_) return kUnexpected;
    if (!watcher) return kInvalidArgument;
    watcher_ = Ref<SiteWatcher>::Share(watcher);
    watcher_->AttachSite(this);
    return kOk;
}

Result CaptureSite::DetachWatcher() {
    if (!watcher_) return kUnexpected;
    Ref<SiteWatcher> watcher = std::move(watcher_);
    watcher->DetachSite();
    return kOk;
}

Result CaptureSite::SetPosition(Point position) {
    if (watcher_) {
        const Result veto = watcher_->ChangingPosition(position_, &position);
        if (!Succeeded(veto)) return veto;
    }
    position_ = position;
    TellChildren();
    RecomputeFromTop();
    return kOk;
}

Result CaptureSite::GetPosition(Point* position) {
    if (!position) return kInvalidArgument;
    *position = position_;
    return kOk;
}

Result CaptureSite::SetSize(Size size) {
    if (watcher_) {
        const Result veto = watcher_->ChangingSize(size_, &size);
        if (!Succeeded(veto)) return veto;
    }
    if (size.width == 0 || size.height == 0) return kOk;
    size_ = size;
    for (auto& watcher : passiveWatchers_) watcher->SizeChanged(&size_);
    TellChildren();
    RecomputeFromTop();
    return kOk;
}

Result CaptureSite::GetSize(Size* size) {
    if (!size) return kInvalidArgument;
    *size = size_;
    return kOk;
}

Result CaptureSite::DamageRect(Rect) {
    damaged_ = true;
    return kOk;
}

Result CaptureSite::DamageRegion(void*) {
    damaged_ = true;
    return kOk;
}

Result CaptureSite::ForceRedraw() {
    if (redrawing_ || !damaged_ || !visible_ || !user_) return kOk;
    redrawing_ = true;
    SiteEvent event;
    event.event = kRedrawEvent;
    event.param1 = static_cast<VideoSurface*>(ownSurface_.Get());
    user_->HandleEvent(&event);
    damaged_ = false;
    redrawing_ = false;
    return kOk;
}

Result CaptureSite::UpdateSiteWindow(void*) { return kOk; }

Result CaptureSite::ShowSite(int32_t show) {
    visible_ = show != 0;
    RecomputeFromTop();
    return kOk;
}

int32_t CaptureSite::IsSiteVisible() {
    return visible_ && (!parent_ || parent_->IsSiteVisible()) ? 1 : 0;
}

Result CaptureSite::SetZOrder(int32_t zOrder) {
    if (!parent_) return kUnexpected;
    std::vector<Ref<CaptureSite>>& siblings = parent_->children_;
    const auto last = static_cast<int32_t>(siblings.size()) - 1;
    if (zOrder < 0 || zOrder > last) zOrder = last;
    if (zOrder == zOrder_) return kOk;
    // The others keep their order among themselves, numbered 0, 1, ...
    // around the place this site takes.
    std::vector<CaptureSite*> others;
    for (auto& sibling : siblings) {
        if (sibling.Get() != this) others.push_back(sibling.Get());
    }
    std::stable_sort(others.begin(), others.end(), [](const CaptureSite* a, const CaptureSite* b) {
        return a->zOrder_ < b->zOrder_;
    });
    zOrder_ = zOrder;
    int32_t next = 0;
    for (CaptureSite* other : others) {
        if (next == zOrder) ++next;
        other->zOrder_ = next++;
    }
    RecomputeFromTop();
    return kOk;
}

Result CaptureSite::MoveSiteToTop() { return parent_ ? kNotImplemented : kUnexpected; }

Result CaptureSite::GetVideoSurface(VideoSurface** surface) {
    if (!surface) return kInvalidArgument;
    *surface = Ref<SiteVideoSurface>(ownSurface_).Detach();
    return kOk;
}

Result CaptureSite::AddPassiveSiteWatcher(PassiveSiteWatcher* watcher) {
    if (!watcher) return kInvalidArgument;
    passiveWatchers_.push_back(Ref<PassiveSiteWatcher>::Share(watcher));
    return kOk;
}

Result CaptureSite::RemovePassiveSiteWatcher(PassiveSiteWatcher* watcher) {
    const auto found = std::find_if(passiveWatchers_.begin(), passiveWatchers_.end(),
                                    [watcher](const auto& w) { return w.Get() == watcher; });
    if (found == passiveWatchers_.end()) return kUnexpected;
    passiveWatchers_.erase(found);
    return kOk;
}

Result CaptureSite::SetCursor(void*, void**) { return kNotImplemented; }

Result CaptureSite::AttachWindow(void*) { return kNotImplemented; }
Result CaptureSite::DetachWindow() { return kOk; }

Point CaptureSite::AbsoluteOrigin() const {
    Point origin = position_;
    for (const CaptureSite* up = parent_; up; up = up->parent_) {
        origin.x += up->position_.x;
        origin.y += up->position_.y;
    }
    return origin;
}

Rect CaptureSite::AbsoluteRect() const {
    const Point origin = AbsoluteOrigin();
    return {origin.x, origin.y, origin.x + size_.width, origin.y + size_.height};
}

CaptureSite* CaptureSite::Top() {
    CaptureSite* top = this;
    while (top->parent_) top = top->parent_;
    return top;
}

void CaptureSite::TellChildren() {
    for (auto& child : children_) {
        Point position = child->position_;
        for (auto& watcher : child->passiveWatchers_) watcher->PositionChanged(&position);
    }
}

void CaptureSite::ComputeRegions(const SiteRegion* parentRegionWithoutChildren) {
    SiteRegion withoutChildren;
    SiteRegion region;
    if (visible_) {
        const Rect own = AbsoluteRect();
        withoutChildren = parentRegionWithoutChildren
                              ? parentRegionWithoutChildren->IntersectedWith(own)
                              : SiteRegion(own);
        if (parent_) {
            for (const auto& sibling : parent_->children_) {
                if (sibling.Get() != this && sibling->visible_ && sibling->zOrder_ > zOrder_) {
                    withoutChildren.Subtract(sibling->AbsoluteRect());
                }
            }
        }
        region = withoutChildren;
        for (const auto& child : children_) {
            if (child->visible_) region.Subtract(child->AbsoluteRect());
        }
    }
    regionWithoutChildren_ = withoutChildren;
    const bool changed = !(region == region_);
    region_ = std::move(region);
    if (changed) ForceRedraw();
    for (auto& child : children_) child->ComputeRegions(&regionWithoutChildren_);
}

}  // namespace korvan::realmedia
