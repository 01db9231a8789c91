#include "korvan/mpegenc/video/rate_control.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "korvan/mpegenc/common/mpeg_tables.h"

namespace korvan {
namespace {

int64_t RoundDown(double value) { return static_cast<int64_t>(std::floor(value)); }
int64_t RoundHalfUp(double value) { return RoundDown(value + 0.5); }

// The least a macroblock is assumed to cost when the picture's remaining
// room in the VBV is judged.
constexpr double kReserveBitsPerMacroblock = 32;

}  // namespace

Quantiser QuantiserOfCode(int code, bool nonLinearScale) {
    code = std::clamp(code, 1, 31);
    return {nonLinearScale ? kNonLinearQuantiserScale[code] : 2 * code, code};
}

int NonLinearCodeFor(int quantiserScale) {
    int best = 1;
    for (int code = 2; code <= 31; ++code) {
        if (std::abs(kNonLinearQuantiserScale[code] - quantiserScale) <
            std::abs(kNonLinearQuantiserScale[best] - quantiserScale)) {
            best = code;
        }
    }
    return best;
}

Quantiser RaiseQuantiser(Quantiser q, bool nonLinearScale) {
    if (!nonLinearScale) return QuantiserOfCode(q.code + 1, false);
    for (int code = q.code + 1; code <= 31; ++code) {
        if (kNonLinearQuantiserScale[code] >= q.mquant + 2) return QuantiserOfCode(code, true);
    }
    return q;
}

Tm5RateControl::Tm5RateControl(const RateParameters& rate, double frameRate, int macroblocks)
    : rate_(rate), frameRate_(frameRate), macroblocks_(std::max(1, macroblocks)) {
    const double bitRate = rate.bitRate;
    reaction_ =
        rate.reactionParameter > 0 ? rate.reactionParameter : RoundHalfUp(2 * bitRate / frameRate);
    reaction_ = std::max<int64_t>(reaction_, 1);
    averageActivity_ = rate.initialAverageActivity > 0 ? rate.initialAverageActivity : 400.0;
    static constexpr double kComplexityShare[3] = {160, 60, 42};
    static constexpr double kFullnessShare[3] = {10, 10, 14};
    for (int t = 0; t < 3; ++t) {
        complexity_[t] = rate.initialComplexity[t] > 0
                             ? rate.initialComplexity[t]
                             : RoundHalfUp(bitRate * kComplexityShare[t] / 115);
        complexity_[t] = std::max<int64_t>(complexity_[t], 1);
        fullness_[t] = rate.initialFullness[t] > 0
                           ? rate.initialFullness[t]
                           : RoundHalfUp(static_cast<double>(reaction_) * kFullnessShare[t] / 31);
    }
}

void Tm5RateControl::StartGop(int pPictures, int bPictures, int frames) {
    pLeft_ = pPictures;
    bLeft_ = bPictures;
    // An overspent budget is carried into the next GOP; savings are not.
    if (remaining_ > 0) remaining_ = 0;
    // The budget follows the time the GOP lasts: its frames.
    remaining_ += static_cast<double>(RoundHalfUp(frames * rate_.bitRate / frameRate_));
    int64_t& p = fullness_[kPictureP - 1];
    int64_t& b = fullness_[kPictureB - 1];
    p = std::max<int64_t>(p, rate_.initialFullness[0]);
    if (rate_.resetPBIVBF) {
        p = rate_.initialFullness[1];
        b = rate_.initialFullness[2];
    } else {
        p = std::max<int64_t>(p, rate_.initialFullness[1]);
        b = std::max<int64_t>(b, rate_.initialFullness[2]);
    }
}

Quantiser Tm5RateControl::FromBuffer(double q) const {
    if (nonLinear_) {
        const int index = static_cast<int>(std::clamp<int64_t>(RoundHalfUp(2 * q), 1, 112));
        return QuantiserOfCode(NonLinearCodeFor(index), true);
    }
    const int64_t mquant = 2 * RoundHalfUp(q);
    return QuantiserOfCode(static_cast<int>(std::clamp<int64_t>(mquant, 2, 62) / 2), false);
}

Quantiser Tm5RateControl::StartPicture(PictureCodingType type, bool nonLinearScale, int64_t minBits,
                                       int64_t maxBits) {
    type_ = type;
    nonLinear_ = nonLinearScale;
    const double xi = static_cast<double>(complexity_[0]);
    const double xp = static_cast<double>(complexity_[1]);
    const double xb = static_cast<double>(complexity_[2]);
    const double np = pLeft_;
    const double nb = bLeft_;
    constexpr double kB = 1.4;  // Kb / Kp
    double share = 1;
    switch (type) {
        case kPictureI:
            share = 1 + np * xp / xi + nb * xb / (kB * xi);
            break;
        case kPictureP:
            share = np + nb * xb / (kB * xp);
            break;
        case kPictureB:
            share = nb + kB * np * xp / xb;
            break;
    }
    int64_t t = RoundHalfUp(remaining_ / std::max(share, 1.0));
    t = std::min(t, maxBits);
    t = std::max(t, minBits);
    const int64_t floorBits = RoundHalfUp(rate_.bitRate / (3 * frameRate_));
    if (remaining_ <= 0 || (t > 0.9 * remaining_ && t < floorBits)) t = floorBits;
    target_ = t;
    maxBits_ = maxBits;
    mquantSum_ = 0;
    activitySum_ = 0;
    coded_ = 0;

    const double d = static_cast<double>(fullness_[type - 1]);
    const double r = static_cast<double>(reaction_);
    if (nonLinear_) {
        const int index = static_cast<int>(std::clamp<int64_t>(RoundHalfUp(d * 62 / r), 1, 112));
        previous_ = QuantiserOfCode(NonLinearCodeFor(index), true);
    } else {
        previous_ = QuantiserOfCode(
            static_cast<int>(std::clamp<int64_t>(2 * RoundHalfUp(d * 31 / r), 2, 62) / 2), false);
    }
    return previous_;
}

Quantiser Tm5RateControl::MacroblockQuantiser(int index, int64_t bitsSoFar, double activity) {
    activitySum_ += activity;
    // When the rest of the picture, even at the coarsest quantiser, would
    // not fit before the picture's decoding time, the rest is coded as
    // coarsely as possible. Bits are taken as inversely proportional to the
    // quantiser, doubled for what does not shrink with it (DC, modes,
    // vectors).
    // The same once the picture, at the rate its macroblocks have cost so
    // far, would end beyond it: the target may be that very limit.
    const Quantiser coarsest = QuantiserOfCode(31, nonLinear_);
    double reserve = kReserveBitsPerMacroblock;
    double projected = 0;
    if (coded_ > 0) {
        const double perMacroblock = static_cast<double>(bitsSoFar) / coded_;
        reserve = std::max(reserve, 2 * perMacroblock * MeanMquant() / coarsest.mquant);
        projected = static_cast<double>(bitsSoFar) + (macroblocks_ - index) * perMacroblock;
    }
    if (static_cast<double>(bitsSoFar) + (macroblocks_ - index) * reserve >
            static_cast<double>(maxBits_) ||
        projected > static_cast<double>(maxBits_)) {
        previous_ = coarsest;
        return previous_;
    }
    const double d = static_cast<double>(fullness_[type_ - 1]);
    double q =
        (d + static_cast<double>(bitsSoFar) - static_cast<double>(target_) * index / macroblocks_) *
        31 / static_cast<double>(reaction_);
    const double normalised = (2 * activity + averageActivity_) / (activity + 2 * averageActivity_);
    q *= normalised;
    Quantiser chosen = FromBuffer(q);
    // Small changes cost a quantiser code and buy little.
    if (!nonLinear_ && chosen.mquant >= 7 && std::abs(chosen.mquant - previous_.mquant) <= 4) {
        chosen = previous_;
    }
    previous_ = chosen;
    return chosen;
}

void Tm5RateControl::MacroblockDone(int mquant) {
    mquantSum_ += mquant;
    ++coded_;
}

void Tm5RateControl::EndPicture(int64_t bits) {
    remaining_ -= static_cast<double>(bits);
    const double meanScale = static_cast<double>(mquantSum_) / (2.0 * macroblocks_);
    complexity_[type_ - 1] =
        std::max<int64_t>(1, RoundHalfUp(static_cast<double>(bits) * meanScale));
    fullness_[type_ - 1] += bits - target_;
    if (type_ == kPictureP && pLeft_ > 0) --pLeft_;
    if (type_ == kPictureB && bLeft_ > 0) --bLeft_;
    averageActivity_ = activitySum_ / macroblocks_;
}

double Tm5RateControl::MeanMquant() const {
    return coded_ > 0 ? static_cast<double>(mquantSum_) / coded_ : 0;
}

}  // namespace korvan
