#include "korvan/realmedia/site_video_surface.h"

#include <cstring>

#include "korvan/realmedia/capture_site.h"
#include "korvan/realmedia/capture_surface.h"

namespace korvan::realmedia {

using namespace realengine;

namespace {

int32_t Rounded(double value) { return static_cast<int32_t>(value + 0.5); }

}  // namespace

Rect ClippedSource(const Rect& clip, Point origin, double scale) {
    return {Rounded((clip.left - origin.x) / scale), Rounded((clip.top - origin.y) / scale),
            Rounded((clip.right - origin.x) / scale), Rounded((clip.bottom - origin.y) / scale)};
}

Result SiteVideoSurface::QueryInterface(const InterfaceId& id, void** object) {
    if (!object) return kInvalidArgument;
    *object = nullptr;
    if (id == kUnknownId || id == kVideoSurfaceId) {
        *object = static_cast<VideoSurface*>(this);
        AddRef();
        return kOk;
    }
    return kNoInterface;
}

Result SiteVideoSurface::Blit(const uint8_t* bits, const PictureHeader* header,
                              const Rect* destination, const Rect* source) {
    const Result begun = BeginOptimizedBlit(header);
    if (!Succeeded(begun)) return begun;
    return OptimizedBlit(bits, destination, source);
}

Result SiteVideoSurface::BeginOptimizedBlit(const PictureHeader* header) {
    if (!header) return kInvalidArgument;
    if (!kept_ || std::memcmp(&*kept_, header, sizeof(PictureHeader)) != 0) kept_ = *header;
    return kOk;
}

Result SiteVideoSurface::OptimizedBlit(const uint8_t* bits, const Rect* destination,
                                       const Rect* source) {
    if (!destination || !source) return kInvalidArgument;
    if (!site_ || !kept_ || site_->Region().Empty()) return kUnexpected;
    CaptureSite* top = site_;
    while (top->Parent()) top = top->Parent();
    CaptureSurface* capture = top->GetCaptureSurface();
    if (!capture) return kUnexpected;

    const Point origin = site_->AbsoluteOrigin();
    const Rect absolute{destination->left + origin.x, destination->top + origin.y,
                        destination->right + origin.x, destination->bottom + origin.y};
    const int32_t sourceWidth = source->right - source->left;
    if (sourceWidth <= 0) return kInvalidArgument;
    const double scale = static_cast<double>(destination->right - destination->left) / sourceWidth;
    if (scale <= 0) return kInvalidArgument;

    Result result = kOk;
    for (const Rect& rect : site_->Region().Rects()) {
        const Rect clip = Intersection(absolute, rect);
        const Rect clippedSource = ClippedSource(clip, origin, scale);
        result = capture->Blit(bits, &*kept_, &clip, &clippedSource);
    }
    return result;
}

Result SiteVideoSurface::EndOptimizedBlit() {
    kept_.reset();
    return kOk;
}

Result SiteVideoSurface::GetOptimizedFormat(uint32_t* compression) {
    if (!compression) return kInvalidArgument;
    if (!kept_) return kUnexpected;
    *compression = kept_->compression;
    return kOk;
}

Result SiteVideoSurface::GetPreferredFormat(uint32_t* compression) {
    if (!compression) return kInvalidArgument;
    *compression = kCompressionRgb;
    return kOk;
}

}  // namespace korvan::realmedia
