#include "korvan/media/picture_fit.h"

#include <algorithm>
#include <cmath>

namespace korvan::media {
namespace {

// The even length nearest to `length`, within 2 .. `limit`.
int EvenWithin(double length, int limit) {
    const int even = 2 * static_cast<int>(std::lround(length / 2));
    return std::clamp(even, std::min(2, limit), limit);
}

double DisplayAspect(const PictureShape& shape) {
    const double pel = shape.pelAspect > 0 ? shape.pelAspect : 1;
    return shape.width * pel / shape.height;
}

}  // namespace

PictureRect FitPicture(const PictureShape& picture, const PictureShape& frame) {
    PictureRect rect{0, 0, frame.width, frame.height};
    if (picture.width <= 0 || picture.height <= 0 || frame.width <= 0 || frame.height <= 0) {
        return rect;
    }
    const double pictureAspect = DisplayAspect(picture);
    const double frameAspect = DisplayAspect(frame);
    if (pictureAspect > frameAspect) {
        rect.height = EvenWithin(frame.height * frameAspect / pictureAspect, frame.height);
    } else {
        rect.width = EvenWithin(frame.width * pictureAspect / frameAspect, frame.width);
    }
    // An odd frame side keeps its odd pel on the far edge.
    rect.left = (frame.width - rect.width) / 4 * 2;
    rect.top = (frame.height - rect.height) / 4 * 2;
    return rect;
}

}  // namespace korvan::media
