#include "korvan/realmedia/site_region.h"

#include <algorithm>

namespace korvan::realmedia {

bool IsEmpty(const Rect& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

Rect Intersection(const Rect& a, const Rect& b) {
    const Rect cut{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
    return IsEmpty(cut) ? Rect{} : cut;
}

SiteRegion::SiteRegion(const Rect& rect) {
    if (!IsEmpty(rect)) rects_.push_back(rect);
}

SiteRegion SiteRegion::IntersectedWith(const Rect& rect) const {
    SiteRegion result;
    for (const Rect& own : rects_) {
        const Rect cut = Intersection(own, rect);
        if (!IsEmpty(cut)) result.rects_.push_back(cut);
    }
    return result;
}

void SiteRegion::Subtract(const Rect& hole) {
    std::vector<Rect> left;
    for (const Rect& own : rects_) {
        const Rect cut = Intersection(own, hole);
        if (IsEmpty(cut)) {
            left.push_back(own);
            continue;
        }
        // What stays of `own` around the hole: the bands above and below
        // it, then the pieces left and right of it between them.
        const Rect pieces[] = {{own.left, own.top, own.right, cut.top},
                               {own.left, cut.bottom, own.right, own.bottom},
                               {own.left, cut.top, cut.left, cut.bottom},
                               {cut.right, cut.top, own.right, cut.bottom}};
        for (const Rect& piece : pieces) {
            if (!IsEmpty(piece)) left.push_back(piece);
        }
    }
    rects_ = std::move(left);
}

bool SiteRegion::operator==(const SiteRegion& other) const {
    return std::equal(rects_.begin(), rects_.end(), other.rects_.begin(), other.rects_.end(),
                      [](const Rect& a, const Rect& b) {
                          return a.left == b.left && a.top == b.top && a.right == b.right &&
                                 a.bottom == b.bottom;
                      });
}

}  // namespace korvan::realmedia
