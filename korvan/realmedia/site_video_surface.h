// A site's own video surface, through which the engine blits its pictures:
// the part of the picture that falls in the site's region goes, rectangle by
// rectangle, to the capture surface of the site's top site.
#pragma once

#include <optional>

#include "korvan/realmedia/capture_sink.h"
#include "sdk/realengine/engine_interfaces.h"

namespace korvan::realmedia {

class CaptureSite;

class SiteVideoSurface final : public realengine::VideoSurface,
                               public KorvanRefCounted<SiteVideoSurface> {
public:
    explicit SiteVideoSurface(CaptureSite* site) : site_(site) {}
    void ForgetSite() { site_ = nullptr; }

    realengine::Result QueryInterface(const realengine::InterfaceId& id, void** object) override;
    uint32_t AddRef() override { return AddRefCount(); }
    uint32_t Release() override { return ReleaseCount(); }

    // Begin and then the optimized blit.
    realengine::Result Blit(const uint8_t* bits, const realengine::PictureHeader* header,
                            const realengine::Rect* destination,
                            const realengine::Rect* source) override;
    // Keeps a copy of the header.
    realengine::Result BeginOptimizedBlit(const realengine::PictureHeader* header) override;
    realengine::Result OptimizedBlit(const uint8_t* bits, const realengine::Rect* destination,
                                     const realengine::Rect* source) override;
    realengine::Result EndOptimizedBlit() override;
    realengine::Result GetOptimizedFormat(uint32_t* compression) override;
    realengine::Result GetPreferredFormat(uint32_t* compression) override;

private:
    CaptureSite* site_;
    std::optional<realengine::PictureHeader> kept_;
};

// The part of the picture that lands in `clip`, for a picture drawn at
// `origin` scaled by `scale`: each coordinate rounded to the nearest pel.
realengine::Rect ClippedSource(const realengine::Rect& clip, realengine::Point origin,
                               double scale);

}  // namespace korvan::realmedia
