#include "korvan/mpegenc/settings/pel_aspect.h"

#include <array>

namespace korvan {
namespace {

// MPEG-1 pel aspect ratios, a pel's height over its width, codes 1..14.
constexpr std::array<double, 15> kMpeg1PelHeights = {0,      1.0,    0.6735, 0.7031, 0.7615,
                                                     0.8055, 0.8437, 0.8935, 0.9157, 0.9815,
                                                     1.0255, 1.0695, 1.0950, 1.1575, 1.2015};

// MPEG-2 display aspect ratios, codes 2..4 (1 is square pels).
constexpr std::array<double, 5> kMpeg2DisplayAspects = {0, 0, 4.0 / 3, 16.0 / 9, 2.21};

}  // namespace

double MarkedPelAspect(const EncoderSettings& settings, int width, int height) {
    const int code = settings.aspectRatio;
    if (!settings.IsMpeg2()) {
        if (code < 1 || code >= static_cast<int>(kMpeg1PelHeights.size())) return 1;
        return 1 / kMpeg1PelHeights[static_cast<std::size_t>(code)];
    }
    if (code < 2 || code >= static_cast<int>(kMpeg2DisplayAspects.size()) || width <= 0 ||
        height <= 0) {
        return 1;
    }
    return kMpeg2DisplayAspects[static_cast<std::size_t>(code)] * height / width;
}

}  // namespace korvan
