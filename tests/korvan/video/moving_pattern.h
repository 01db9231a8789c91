// A generated source for encoder tests that need no outside tool.
#pragma once

#include <algorithm>
#include <random>
#include <vector>

#include "korvan/mpegenc/video/video_encoder.h"

namespace test {

// Smoothed noise (detailed, without repeats) moved `stepX`, `stepY` pels per
// picture. Its first 40 columns are flat grey, so the content that moves in
// at the left edge matches the zero vector instead of some far vector.
class MovingPattern : public korvan::PictureSource {
public:
    MovingPattern(int width, int height, int stepX, int stepY)
        : width_(width), height_(height), stepX_(stepX), stepY_(stepY) {
        std::mt19937 random(4);
        std::uniform_int_distribution<int> noise(0, 255);
        std::vector<int> raw(kField * kField);
        for (int& v : raw) v = noise(random);
        field_.assign(kField * kField, 0);
        for (int y = 0; y < kField; ++y) {
            for (int x = 0; x < kField; ++x) {
                int sum = 0;
                for (int j = -3; j <= 3; ++j) {
                    for (int i = -3; i <= 3; ++i) {
                        sum += raw[std::clamp(y + j, 0, kField - 1) * kField +
                                   std::clamp(x + i, 0, kField - 1)];
                    }
                }
                field_[y * kField + x] =
                    static_cast<uint8_t>(std::clamp(128 + (sum / 49 - 128) * 6, 0, 255));
            }
        }
    }

    int FetchPicture(int index, korvan::YuvFrame& frame) override {
        fetched.push_back(index);
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                const int u = x - index * stepX_ + 64;
                const int v = y - index * stepY_ + 64;
                frame.luma().Row(y)[x] = u < 40 + 64 ? 128 : field_[v * kField + u];
            }
        }
        for (int c = 1; c < 3; ++c) {
            for (int y = 0; y < (height_ + 1) / 2; ++y) {
                for (int x = 0; x < (width_ + 1) / 2; ++x) frame.plane(c).Row(y)[x] = 128;
            }
        }
        return 0;
    }

    std::vector<int> fetched;

private:
    static constexpr int kField = 512;
    int width_, height_, stepX_, stepY_;
    std::vector<uint8_t> field_;
};

}  // namespace test
