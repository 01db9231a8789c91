#include "sdk/realengine/site_renderer.h"

namespace realengine {

SiteRenderer::SiteRenderer(int width, int height) {
    header_.size = 40;
    header_.width = width;
    header_.height = height;
    header_.planes = 1;
    header_.bitCount = 12;
    header_.compression = kCompressionI420;
    header_.sizeImage = static_cast<std::uint32_t>(width * height * 3 / 2);
}

Result SiteRenderer::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (Offer<SiteUser>(this, id, kUnknownId, object) ||
        Offer<SiteUser>(this, id, kSiteUserId, object)) {
        return kOk;
    }
    return kNoInterface;
}

Result SiteRenderer::AttachSite(Site* site) {
    if (site_) return kUnexpected;
    if (!site) return kInvalidArgument;
    site_ = Ref<Site>::Share(site);
    return kOk;
}

Result SiteRenderer::DetachSite() {
    if (!site_) return kUnexpected;
    site_.Reset();
    return kOk;
}

Result SiteRenderer::HandleEvent(SiteEvent* event) {
    if (!event) return kInvalidArgument;
    if (event->event == kRedrawEvent) event->handled = 1;
    return kOk;
}

bool SiteRenderer::Render(const DecodedPicture& picture) {
    auto extended = Query<ExtendedSite>(site_.Get(), kExtendedSiteId);
    if (!extended) return false;
    Ref<VideoSurface> surface;
    if (!Succeeded(extended->GetVideoSurface(surface.Put())) || !surface) return false;
    const Rect whole{0, 0, header_.width, header_.height};
    surface->Blit(picture.planes.data(), &header_, &whole, &whole);
    return true;
}

}  // namespace realengine
