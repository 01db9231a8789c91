// Variable bitrate with bounds: one quantiser for a whole GOP, and a GOP
// whose size misses the bounds is coded again with a quantiser scaled by
// how far it missed. An average rate is kept through a bit bank that the
// GOPs below the average fill and those above it draw on.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "korvan/mpegenc/video/coding_parameters.h"

namespace korvan {

class GopRateBounds {
public:
    // `gopSize` N pictures at `frameRate`; `picturesPerSecond` whole pictures
    // make the one-second window that "maxBitrate" also bounds.
    GopRateBounds(const RateParameters& rate, int gopSize, double frameRate, int picturesPerSecond);

    // quantiser_scale_code of the GOP being coded.
    int QuantiserCode() const { return code_; }

    enum class Verdict { kAccept, kCodeAgain };
    // Judges the GOP just coded from the sizes of its pictures in stream
    // order. On kCodeAgain QuantiserCode() holds the new quantiser.
    Verdict Judge(const std::vector<uint64_t>& pictureBits);
    // The verdict Judge would give, changing nothing.
    Verdict Foresee(const std::vector<uint64_t>& pictureBits) const {
        return NextCode(MeasureGop(pictureBits)) ? Verdict::kCodeAgain : Verdict::kAccept;
    }

    // True when a GOP whose first pictures have these sizes will be coded
    // again whatever the rest of it costs: its size and its busiest second
    // only grow with more pictures.
    bool CodedAgainWhatever(const std::vector<uint64_t>& firstPictures) const;

    double Bank() const { return bank_; }

private:
    // How the pictures of a GOP (or its first ones) measure against the bounds.
    struct Measure {
        double coded = 0;
        double usable = 0;        // the bank's share and the average
        double secondExcess = 0;  // the busiest second / maxBitrate
        bool over = false;        // above a bound
    };
    Measure MeasureGop(const std::vector<uint64_t>& pictureBits) const;
    // The quantiser to code the GOP measured as `m` again with; 0 when it
    // is accepted.
    int NextCode(const Measure& m) const;

    uint64_t BusiestSecond(const std::vector<uint64_t>& pictureBits) const;

    RateParameters rate_;
    int picturesPerSecond_;
    double upper_ = 0;    // 0: unbounded
    double lower_ = 0;    // 0: unbounded
    double average_ = 0;  // 0: unbounded
    double bank_ = 0;
    double gopsPerTenSeconds_ = 1;
    int code_ = 4;
    bool raised_ = false;
    // The last accepted pictures, enough to complete a second with the next GOP.
    std::deque<uint64_t> history_;
};

}  // namespace korvan
