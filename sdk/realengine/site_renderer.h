// The engine's renderer on a client site: it hands every picture to the
// site's own video surface as I420, the whole picture onto the whole site.
#pragma once

#include "sdk/realengine/engine_objects.h"
#include "sdk/realengine/presentation_decoder.h"

namespace realengine {

class SiteRenderer final : public SiteUser, public EngineRefCounted<SiteRenderer> {
public:
    SiteRenderer(int width, int height);

    Result QueryInterface(const InterfaceId& id, void** object) override;
    std::uint32_t AddRef() override { return AddRefCount(); }
    std::uint32_t Release() override { return ReleaseCount(); }

    Result AttachSite(Site* site) override;
    Result DetachSite() override;
    // A redraw request draws nothing: every picture is drawn once, when its
    // time comes, so the client sees each picture exactly once.
    Result HandleEvent(SiteEvent* event) override;
    std::int32_t NeedsWindowedSites() override { return 0; }

    Site* AttachedSite() const { return site_.Get(); }
    // Blits the picture through the site's video surface; false without a
    // site or a surface.
    bool Render(const DecodedPicture& picture);

private:
    Ref<Site> site_;
    PictureHeader header_;
};

}  // namespace realengine
