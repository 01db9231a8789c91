// A 24-bit RGB picture in memory, the one picture type of the image helpers
// that both deliverables share (no Qt here: the conversion library must not
// link it). Rows run from top to bottom, three bytes per pixel in the order
// red, green, blue, with no padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

inline constexpr Rgb kWhite{255, 255, 255};

class Picture {
public:
    // Pictures larger than this are refused by every reader, so that a
    // forged header cannot make one allocate gigabytes.
    static constexpr std::size_t kMaxPixels = std::size_t{100} << 20;

    Picture() = default;
    // A picture of one colour; an empty one when a side is not positive or
    // the size is past kMaxPixels.
    Picture(int width, int height, Rgb fill = kWhite);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return width_ == 0; }

    Rgb Pixel(int x, int y) const;
    void SetPixel(int x, int y, Rgb colour);
    std::uint8_t* Row(int y) { return bytes_.data() + RowOffset(y); }
    const std::uint8_t* Row(int y) const { return bytes_.data() + RowOffset(y); }

private:
    std::size_t RowOffset(int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * 3;
    }

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> bytes_;
};

// True when a picture of this size may be made.
bool IsPictureSize(long long width, long long height);

// The picture resampled to the new size: each output pixel is a weighted
// mean of the source pixels under it (a tent filter as wide as the
// reduction), so shrinking does not alias and enlarging is bilinear.
Picture Scaled(const Picture& source, int width, int height);

// Copies `source` into `target` with its top-left corner at (left, top);
// what falls outside the target is cut off.
void Paste(const Picture& source, Picture& target, int left, int top);
