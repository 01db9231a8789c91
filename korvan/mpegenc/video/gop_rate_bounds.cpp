#include "korvan/mpegenc/video/gop_rate_bounds.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace korvan {

GopRateBounds::GopRateBounds(const RateParameters& rate, int gopSize, double frameRate,
                             int picturesPerSecond)
    : rate_(rate),
      picturesPerSecond_(std::max(1, picturesPerSecond)),
      code_(std::clamp(rate.mquantValue, 1, 31)) {
    if (rate.maxBitrate > 0) upper_ = std::floor(rate.maxBitrate * gopSize / frameRate);
    if (rate.minBitrate > 0) lower_ = std::floor(rate.minBitrate * gopSize / frameRate);
    if (rate.avgBitrate > 0) {
        average_ = std::floor(gopSize * rate.avgBitrate / frameRate);
        bank_ = 40000000;
    }
    gopsPerTenSeconds_ = 10 * frameRate / gopSize;
}

uint64_t GopRateBounds::BusiestSecond(const std::vector<uint64_t>& pictureBits) const {
    std::vector<uint64_t> all(history_.begin(), history_.end());
    const size_t first = all.size();
    all.insert(all.end(), pictureBits.begin(), pictureBits.end());
    uint64_t busiest = 0;
    uint64_t window = 0;
    const size_t span = static_cast<size_t>(picturesPerSecond_);
    for (size_t i = 0; i < all.size(); ++i) {
        window += all[i];
        if (i >= span) window -= all[i - span];
        // Only the windows that hold pictures of this GOP are its business.
        if (i >= first) busiest = std::max(busiest, window);
    }
    return busiest;
}

GopRateBounds::Measure GopRateBounds::MeasureGop(const std::vector<uint64_t>& pictureBits) const {
    Measure m;
    for (uint64_t bits : pictureBits) m.coded += static_cast<double>(bits);
    constexpr double kUnbounded = std::numeric_limits<double>::infinity();
    const double upper = upper_ > 0 ? upper_ : kUnbounded;
    m.usable = average_ > 0 ? std::floor(bank_ / gopsPerTenSeconds_ + average_) : kUnbounded;
    // A GOP within its own bound can still crowd a second together with
    // the pictures before it (an I picture at each end of the window).
    if (rate_.maxBitrate > 0) {
        m.secondExcess = static_cast<double>(BusiestSecond(pictureBits)) / rate_.maxBitrate;
    }
    m.over = m.coded > upper || m.coded > m.usable || m.secondExcess > 1;
    return m;
}

bool GopRateBounds::CodedAgainWhatever(const std::vector<uint64_t>& firstPictures) const {
    return code_ < 31 && MeasureGop(firstPictures).over;
}

int GopRateBounds::NextCode(const Measure& m) const {
    const double upper = upper_ > 0 ? upper_ : std::numeric_limits<double>::infinity();
    if (m.over && code_ < 31) {
        const double allowed = std::min(m.usable, upper);
        // An exhausted bank leaves nothing to spend: the coarsest quantiser.
        double ratio = allowed > 0 ? m.coded / allowed : 31;
        ratio = std::min(std::max(ratio, m.secondExcess), 31.0);
        const int next = std::max(static_cast<int>(std::floor(ratio * code_ + 0.5)), code_ + 1);
        return std::clamp(next, 1, 31);
    }
    if (lower_ > 0 && m.coded < lower_ && !raised_ && code_ > 1) {
        const double allowed = std::min(m.usable, lower_);
        const double ratio = allowed > 0 ? m.coded / allowed : 1;
        const int next = std::min(static_cast<int>(std::floor(ratio * code_ + 0.5)) + 1, code_ - 1);
        return std::clamp(next, 1, 31);
    }
    return 0;
}

GopRateBounds::Verdict GopRateBounds::Judge(const std::vector<uint64_t>& pictureBits) {
    const Measure m = MeasureGop(pictureBits);
    if (const int next = NextCode(m)) {
        // Only a GOP that was too large marks the quantiser raised.
        if (next > code_) raised_ = true;
        code_ = next;
        return Verdict::kCodeAgain;
    }

    if (average_ > 0) bank_ += average_ - m.coded;
    for (uint64_t bits : pictureBits) {
        history_.push_back(bits);
        if (static_cast<int>(history_.size()) >= picturesPerSecond_) history_.pop_front();
    }
    code_ = std::clamp(rate_.mquantValue, 1, 31);
    raised_ = false;
    return Verdict::kAccept;
}

}  // namespace korvan
