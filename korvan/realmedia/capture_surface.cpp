#include "korvan/realmedia/capture_surface.h"

#include <cstring>

#include "korvan/realmedia/capture_site.h"
#include "korvan/realmedia/yuv_to_rgb.h"

namespace korvan::realmedia {

using namespace realengine;

CaptureSurface::CaptureSurface(CaptureSite* site, SharedCaptureSink sink)
    : site_(site), sink_(std::move(sink)) {
    output_.size = media::kBitmapHeaderBytes;
    output_.bitCount = 24;
}

Result CaptureSurface::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (id == kUnknownId || id == kVideoSurfaceId) {
        *object = static_cast<VideoSurface*>(this);
        AddRef();
        return kOk;
    }
    return kNoInterface;
}

void CaptureSurface::GrowToSite() {
    Size size;
    site_->GetSize(&size);
    if (!pixels_.empty() && size.width <= output_.width && size.height <= output_.height) return;
    if (size.width <= 0 || size.height <= 0) return;
    const auto stride = static_cast<uint32_t>((3 * size.width + 3) / 4 * 4);
    output_.width = size.width;
    output_.height = size.height;
    output_.sizeImage = stride * static_cast<uint32_t>(size.height);
    pixels_.assign(output_.sizeImage, 0);
}

void CaptureSurface::Convert(const uint8_t* bits, const PictureHeader& header) {
    if (!bits || header.width != output_.width || header.height != output_.height) return;
    if (header.compression == kCompressionRgb && header.bitCount == 24) {
        std::memcpy(pixels_.data(), bits, output_.sizeImage);
        return;
    }
    const bool planar =
        header.compression == kCompressionI420 || header.compression == kCompressionYv12;
    // Odd sizes have no whole chroma sample for their last row and column.
    if (planar && header.bitCount == 12 && header.width % 2 == 0 && header.height % 2 == 0) {
        PlanarYuvToBottomUpRgb24(bits, header.width, header.height, pixels_.data(),
                                 output_.sizeImage / static_cast<uint32_t>(output_.height));
    }
}

Result CaptureSurface::Blit(const uint8_t* bits, const PictureHeader* header, const Rect*,
                            const Rect*) {
    if (!site_ || !sink_->writer) return kFail;
    GrowToSite();
    if (pixels_.empty()) return kFail;
    if (header) Convert(bits, *header);
    media::BitmapInfoHeader frame;
    frame.width = output_.width;
    frame.height = output_.height;
    frame.bitCount = 24;
    frame.compression = media::kBitmapRgb;
    frame.sizeImage = output_.sizeImage;
    sink_->writer->WriteAviFrame(frame, pixels_.data());
    return kFail;
}

Result CaptureSurface::BeginOptimizedBlit(const PictureHeader*) { return kNotImplemented; }
Result CaptureSurface::OptimizedBlit(const uint8_t*, const Rect*, const Rect*) {
    return kNotImplemented;
}
Result CaptureSurface::EndOptimizedBlit() { return kNotImplemented; }
Result CaptureSurface::GetOptimizedFormat(uint32_t*) { return kNotImplemented; }
Result CaptureSurface::GetPreferredFormat(uint32_t*) { return kNotImplemented; }

}  // namespace korvan::realmedia
