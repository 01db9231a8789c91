// Sets of rectangles in absolute coordinates: what part of a site shows,
// once its parent's bounds and the sites above it are taken away.
#pragma once

#include <vector>

#include "sdk/realengine/engine_interfaces.h"

namespace korvan::realmedia {

using realengine::Rect;

bool IsEmpty(const Rect& rect);
Rect Intersection(const Rect& a, const Rect& b);

// Non-overlapping rectangles; the same operations on the same input give the
// same rectangles in the same order, so regions can be compared.
class SiteRegion {
public:
    SiteRegion() = default;
    explicit SiteRegion(const Rect& rect);

    // The part of the region inside `rect`.
    SiteRegion IntersectedWith(const Rect& rect) const;
    void Subtract(const Rect& rect);

    bool Empty() const { return rects_.empty(); }
    const std::vector<Rect>& Rects() const { return rects_; }
    bool operator==(const SiteRegion& other) const;

private:
    std::vector<Rect> rects_;
};

}  // namespace korvan::realmedia
