// The picture rate of a source that does not state one: the pictures that
// arrive between 1 s and 21 s of playing it, counted.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace korvan::media {

inline constexpr double kDefaultFrameRate = 25;

// Without `measure`, the default rate. Otherwise the rate the file states
// for its video, or else the rate measured from its picture times; the
// default when neither can be had.
double FrameRateProbe(const std::string& path, bool measure);

// The times of the first pictures (seconds), read until 21.3 s have passed,
// 1599 pictures have come, or the stream ends.
std::vector<double> CollectPictureTimes(const std::string& path);

// k × 0.05 for the k times within 1.0..21.0 s (20 seconds of pictures), when
// k > 2; otherwise the default rate.
double MeasuredFrameRate(std::span<const double> pictureSeconds);

}  // namespace korvan::media
