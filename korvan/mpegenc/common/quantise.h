// Quantisation and inverse quantisation of 8x8 coefficient blocks (raster
// order) for MPEG-1 and MPEG-2. "mquant" is the quantiser_scale of the
// macroblock: twice quantiser_scale_code on the linear scale, the table value
// on the non-linear one.
#pragma once

#include <array>
#include <cstdint>

#include "korvan/mpegenc/common/mpeg_tables.h"

namespace korvan {

// floor(n / d) for 0 <= n < 2^17 by a multiplication: with l = ceil(log2 d)
// and m = floor(2^(17 + l) / d) + 1, (n * m) >> (17 + l) is exact in that
// range. A division per coefficient was the quantiser's main cost.
class ExactDivider {
public:
    ExactDivider() = default;
    explicit ExactDivider(uint32_t d) {
        int l = 0;
        while ((1u << l) < d) ++l;
        shift_ = 17 + l;
        multiplier_ = ((uint64_t{1} << shift_) / d) + 1;
    }
    uint32_t Divide(uint32_t n) const { return static_cast<uint32_t>((n * multiplier_) >> shift_); }

private:
    uint64_t multiplier_ = 1;
    int shift_ = 0;
};

// A quantiser matrix with the reciprocals 65536 / w the non-intra quantiser
// divides by.
struct QuantiserMatrix {
    Matrix64 weights{};
    std::array<uint32_t, 64> reciprocals{};
    // The same in 16 bits for the SIMD quantiser; only without weights of 1
    // (whose reciprocal 65536 does not fit).
    alignas(16) std::array<uint16_t, 64> shortReciprocals{};
    std::array<ExactDivider, 64> weightDividers{};  // the intra quantiser's division by w
    // 1 / w rounded to single precision, for the SIMD intra quantiser.
    alignas(32) std::array<float, 64> weightReciprocals{};
    bool hasUnitWeight = false;
};

QuantiserMatrix MakeQuantiserMatrix(const Matrix64& weights);

enum class MpegSyntax { kMpeg1, kMpeg2 };

// Largest quantised AC level of the syntax: 255 for MPEG-1, 2047 for MPEG-2.
inline int MaxLevel(MpegSyntax syntax) { return syntax == MpegSyntax::kMpeg1 ? 255 : 2047; }

// Quantises an intra block: the DC by the precision's step with rounding to
// the nearest, the AC coefficients with the matrix. Returns true when a level
// had to be limited to the syntax's largest value.
bool QuantiseIntraBlock(const int16_t* coefficients, int16_t* levels, const QuantiserMatrix& matrix,
                        int mquant, int intraDcPrecision, MpegSyntax syntax);

// Quantises a non-intra block toward zero. Returns true when any level is
// not zero.
bool QuantiseNonIntraBlock(const int16_t* coefficients, int16_t* levels,
                           const QuantiserMatrix& matrix, int mquant, MpegSyntax syntax);

// What a decoder makes of the levels: the coefficients for the inverse DCT,
// with the syntax's mismatch control.
void DequantiseIntraBlock(const int16_t* levels, int16_t* coefficients,
                          const QuantiserMatrix& matrix, int mquant, int intraDcPrecision,
                          MpegSyntax syntax);
void DequantiseNonIntraBlock(const int16_t* levels, int16_t* coefficients,
                             const QuantiserMatrix& matrix, int mquant, MpegSyntax syntax);

}  // namespace korvan
