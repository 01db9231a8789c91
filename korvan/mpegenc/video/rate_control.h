// Constant-bitrate rate control after MPEG-2 Test Model 5: a bit budget per
// GOP shared out to the pictures by their complexity, a virtual buffer per
// picture type that turns the drift from the target into a quantiser, and
// the macroblock's spatial activity scaling it.
#pragma once

#include <cstdint>

#include "korvan/mpegenc/common/vlc_tables.h"
#include "korvan/mpegenc/video/coding_parameters.h"

namespace korvan {

// A macroblock quantiser: quantiser_scale and the code that carries it.
struct Quantiser {
    int mquant = 2;
    int code = 1;

    bool operator==(const Quantiser&) const = default;
};

// The quantiser of quantiser_scale_code `code` (1..31) on either scale.
Quantiser QuantiserOfCode(int code, bool nonLinearScale);

// The non-linear scale's code for a wanted quantiser_scale of 1..112: the
// nearest value the scale has.
int NonLinearCodeFor(int quantiserScale);

// The next coarser quantiser (mquant raised by at least 2), or `q` itself
// when it is the coarsest.
Quantiser RaiseQuantiser(Quantiser q, bool nonLinearScale);

class Tm5RateControl {
public:
    // The sequence start: complexities, virtual buffers, reaction parameter
    // and activity from the settings or derived from the bit rate.
    Tm5RateControl(const RateParameters& rate, double frameRate, int macroblocks);

    // A new GOP of `frames` frames with `pPictures` and `bPictures` besides
    // its I picture (field pictures count each field; the second field of
    // the I frame is a P picture).
    void StartGop(int pPictures, int bPictures, int frames);

    // The target of a picture of `type` and its first quantiser. The target
    // stays within [minBits, maxBits] (the VBV's limits; pass 0 and a huge
    // value without one).
    Quantiser StartPicture(PictureCodingType type, bool nonLinearScale, int64_t minBits,
                           int64_t maxBits);

    // The quantiser of macroblock `index` after `bitsSoFar` bits of the
    // picture; `activity` is the macroblock's spatial activity.
    Quantiser MacroblockQuantiser(int index, int64_t bitsSoFar, double activity);

    // The quantiser the macroblock was finally coded with.
    void MacroblockDone(int mquant);

    // The picture took `bits` (padding included).
    void EndPicture(int64_t bits);

    int64_t Target() const { return target_; }
    double Remaining() const { return remaining_; }
    int64_t Complexity(PictureCodingType type) const { return complexity_[type - 1]; }
    int64_t Fullness(PictureCodingType type) const { return fullness_[type - 1]; }
    int64_t ReactionParameter() const { return reaction_; }
    double AverageActivity() const { return averageActivity_; }
    // The mean mquant of the last picture.
    double MeanMquant() const;

private:
    Quantiser FromBuffer(double q) const;

    RateParameters rate_;
    double frameRate_;
    int macroblocks_;
    int64_t reaction_ = 0;
    double averageActivity_ = 400;
    int64_t complexity_[3] = {};
    int64_t fullness_[3] = {};
    double remaining_ = 0;  // R
    int pLeft_ = 0;
    int bLeft_ = 0;

    // The picture being coded.
    PictureCodingType type_ = kPictureI;
    bool nonLinear_ = false;
    int64_t target_ = 0;
    int64_t maxBits_ = 0;
    int64_t mquantSum_ = 0;
    double activitySum_ = 0;
    int coded_ = 0;
    Quantiser previous_;
};

}  // namespace korvan
