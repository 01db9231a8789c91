#include "korvan/mpegenc/video/vbv_model.h"

#include <algorithm>
#include <cmath>

namespace korvan {

double DisplayTicks(const DisplayPeriod& p) {
    const double frame = 90000.0 / p.frameRate;
    if (p.fieldPicture) return frame / 2;
    if (!p.repeatFirstField) return frame;
    // A progressive sequence repeats whole frames, an interlaced one a field.
    if (p.progressiveSequence) return p.topFieldFirst ? 3 * frame : 2 * frame;
    return 1.5 * frame;
}

VbvModel::VbvModel(double bitRate, int bufferSize, double frameRate)
    : bitRate_(bitRate),
      frameRate_(frameRate),
      // vbv_delay has 16 bits: a buffer that takes longer to fill than
      // 65 535 ticks is used only that far, or the delays could not be
      // written (and 0xFFFF may not mix with real delays).
      bufferTicks_(std::min(bufferSize * 16384.0 * 90000.0 / bitRate, 65535.0)),
      decodingTicks_(bufferTicks_ * 7 / 8) {}

VbvLimits VbvModel::StartPicture(uint64_t startBits, PictureCodingType type, double displayTicks) {
    const double arrival = static_cast<double>(startBits) * 90000.0 / bitRate_;
    // The previous picture did not arrive whole before its own decoding
    // time, so this one starts too late as well.
    if (arrival > decodingTicks_) ++underflows_;

    VbvLimits limits;
    const double delay = std::floor(decodingTicks_ - arrival);
    if (delay > bufferTicks_) ++overflows_;
    if (delay < 0) {
        limits.vbvDelay = 0;
    } else if (delay > 65535) {
        limits.vbvDelay = 0xFFFF;
    } else {
        limits.vbvDelay = static_cast<int>(delay);
    }
    const double minBits = std::floor(
        ((delay - bufferTicks_) * bitRate_ / 90000.0 + 2 * bitRate_ / frameRate_ + 7) * 0.125);
    limits.minBits = std::max<int64_t>(0, 8 * static_cast<int64_t>(minBits));
    limits.maxBits =
        8 * static_cast<int64_t>(std::floor(
                (bitRate_ * decodingTicks_ / 90000.0 - static_cast<double>(startBits)) * 0.125)) -
        100;

    // Pictures are decoded in stream order but shown in display order: after
    // a B picture the next decoding follows its own display period, after an
    // I or P picture that of the reference shown in its place.
    double advance = displayTicks;
    if (type != kPictureB) {
        if (referenceTicks_ >= 0) advance = referenceTicks_;
        referenceTicks_ = displayTicks;
    }
    decodingTicks_ += advance;
    return limits;
}

}  // namespace korvan
