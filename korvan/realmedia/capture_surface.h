// The video surface of a top site that turns every picture the engine
// renders into the next frame of the AVI: 24-bit bottom-up rows at the
// site's size. A picture that does not fit (another size, a format it does
// not know) repeats the frame before, so the AVI keeps one frame per
// picture.
#pragma once

#include <cstdint>
#include <vector>

#include "korvan/realmedia/capture_sink.h"
#include "sdk/realengine/engine_interfaces.h"

namespace korvan::realmedia {

class CaptureSite;

class CaptureSurface final : public realengine::VideoSurface,
                             public KorvanRefCounted<CaptureSurface> {
public:
    CaptureSurface(CaptureSite* site, SharedCaptureSink sink);

    // The site is going; the surface captures nothing more.
    void ForgetSite() { site_ = nullptr; }
    // The output frame's header (width, height, stride × height) and pixels.
    const realengine::PictureHeader& OutputHeader() const { return output_; }
    const std::vector<uint8_t>& OutputPixels() const { return pixels_; }

    realengine::Result QueryInterface(const realengine::InterfaceId& id, void** object) override;
    uint32_t AddRef() override { return AddRefCount(); }
    uint32_t Release() override { return ReleaseCount(); }

    // The rectangles are not used: the whole picture becomes the frame.
    // Always 0x80004005: nothing was drawn anywhere.
    realengine::Result Blit(const uint8_t* bits, const realengine::PictureHeader* header,
                            const realengine::Rect* destination,
                            const realengine::Rect* source) override;
    realengine::Result BeginOptimizedBlit(const realengine::PictureHeader*) override;
    realengine::Result OptimizedBlit(const uint8_t*, const realengine::Rect*,
                                     const realengine::Rect*) override;
    realengine::Result EndOptimizedBlit() override;
    realengine::Result GetOptimizedFormat(uint32_t*) override;
    realengine::Result GetPreferredFormat(uint32_t*) override;

private:
    // Makes the output as large as the site when the site has grown since;
    // it never shrinks.
    void GrowToSite();
    void Convert(const uint8_t* bits, const realengine::PictureHeader& header);

    CaptureSite* site_;
    SharedCaptureSink sink_;
    realengine::PictureHeader output_;
    std::vector<uint8_t> pixels_;
};

}  // namespace korvan::realmedia
