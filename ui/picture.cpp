#include "ui/picture.h"

#include <algorithm>
#include <cmath>

Picture::Picture(int width, int height, Rgb fill) {
    if (!IsPictureSize(width, height)) return;
    width_ = width;
    height_ = height;
    bytes_.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    for (std::size_t i = 0; i < bytes_.size(); i += 3) {
        bytes_[i] = fill.red;
        bytes_[i + 1] = fill.green;
        bytes_[i + 2] = fill.blue;
    }
}

Rgb Picture::Pixel(int x, int y) const {
    const std::uint8_t* p = Row(y) + static_cast<std::size_t>(x) * 3;
    return {p[0], p[1], p[2]};
}

void Picture::SetPixel(int x, int y, Rgb colour) {
    std::uint8_t* p = Row(y) + static_cast<std::size_t>(x) * 3;
    p[0] = colour.red;
    p[1] = colour.green;
    p[2] = colour.blue;
}

bool IsPictureSize(long long width, long long height) {
    if (width <= 0 || height <= 0) return false;
    const auto w = static_cast<unsigned long long>(width);
    const auto h = static_cast<unsigned long long>(height);
    return w <= Picture::kMaxPixels && h <= Picture::kMaxPixels && w * h <= Picture::kMaxPixels;
}

namespace {

// The source samples and weights (summing to 1) of each output position
// along one axis.
struct Tap {
    int source;
    float weight;
};

std::vector<std::vector<Tap>> TapsFor(int sourceSize, int targetSize) {
    const double scale = static_cast<double>(sourceSize) / targetSize;
    const double radius = std::max(1.0, scale);
    std::vector<std::vector<Tap>> taps(static_cast<std::size_t>(targetSize));
    for (int i = 0; i < targetSize; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int first = static_cast<int>(std::ceil(centre - radius));
        const int last = static_cast<int>(std::floor(centre + radius));
        std::vector<Tap>& row = taps[static_cast<std::size_t>(i)];
        double sum = 0;
        for (int s = first; s <= last; ++s) {
            const double weight = 1.0 - std::abs(s - centre) / radius;
            if (weight <= 0) continue;
            row.push_back({std::clamp(s, 0, sourceSize - 1), static_cast<float>(weight)});
            sum += weight;
        }
        if (row.empty()) {
            row.push_back(
                {std::clamp(static_cast<int>(std::lround(centre)), 0, sourceSize - 1), 1.0f});
            sum = 1;
        }
        for (Tap& tap : row) tap.weight = static_cast<float>(tap.weight / sum);
    }
    return taps;
}

std::uint8_t ToByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

}  // namespace

Picture Scaled(const Picture& source, int width, int height) {
    Picture target(width, height);
    if (target.Empty() || source.Empty()) return target;
    const auto across = TapsFor(source.Width(), width);
    const auto down = TapsFor(source.Height(), height);

    // Rows first, into floats, then columns.
    const std::size_t rowFloats = static_cast<std::size_t>(width) * 3;
    std::vector<float> rows(static_cast<std::size_t>(source.Height()) * rowFloats);
    for (int y = 0; y < source.Height(); ++y) {
        const std::uint8_t* in = source.Row(y);
        float* out = rows.data() + static_cast<std::size_t>(y) * rowFloats;
        for (int x = 0; x < width; ++x) {
            float sum[3] = {0, 0, 0};
            for (const Tap& tap : across[static_cast<std::size_t>(x)]) {
                const std::uint8_t* p = in + static_cast<std::size_t>(tap.source) * 3;
                for (int c = 0; c < 3; ++c) sum[c] += tap.weight * p[c];
            }
            for (int c = 0; c < 3; ++c) out[static_cast<std::size_t>(x) * 3 + c] = sum[c];
        }
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = target.Row(y);
        for (std::size_t i = 0; i < rowFloats; ++i) {
            float sum = 0;
            for (const Tap& tap : down[static_cast<std::size_t>(y)]) {
                sum += tap.weight * rows[static_cast<std::size_t>(tap.source) * rowFloats + i];
            }
            out[i] = ToByte(sum);
        }
    }
    return target;
}

void Paste(const Picture& source, Picture& target, int left, int top) {
    const int firstX = std::max(0, -left);
    const int firstY = std::max(0, -top);
    const int endX = std::min(source.Width(), target.Width() - left);
    const int endY = std::min(source.Height(), target.Height() - top);
    if (firstX >= endX) return;
    const std::size_t count = static_cast<std::size_t>(endX - firstX) * 3;
    for (int y = firstY; y < endY; ++y) {
        std::copy_n(source.Row(y) + static_cast<std::size_t>(firstX) * 3, count,
                    target.Row(y + top) + static_cast<std::size_t>(left + firstX) * 3);
    }
}
