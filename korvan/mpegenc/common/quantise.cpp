#include "korvan/mpegenc/common/quantise.h"

#include <algorithm>
#include <cstdlib>

namespace korvan {
namespace {

int16_t Saturate(int value) { return static_cast<int16_t>(std::clamp(value, -2048, 2047)); }

// MPEG-1 keeps every reconstructed coefficient odd to limit IDCT mismatch.
int Oddify(int value) {
    if ((value & 1) == 0 && value != 0) value += value > 0 ? -1 : 1;
    return value;
}

// MPEG-2 makes the sum of all coefficients odd by toggling the last one.
void ControlMismatch(int16_t* coefficients) {
    int sum = 0;
    for (int i = 0; i < 64; ++i) sum += coefficients[i];
    if ((sum & 1) == 0) coefficients[63] ^= 1;
}

}  // namespace

QuantiserMatrix MakeQuantiserMatrix(const Matrix64& weights) {
    QuantiserMatrix matrix;
    matrix.weights = weights;
    for (int i = 0; i < 64; ++i) {
        matrix.reciprocals[i] = 65536u / std::max<unsigned>(weights[i], 1);
        matrix.weightDividers[i] = ExactDivider(std::max<unsigned>(weights[i], 1));
        matrix.weightReciprocals[i] = 1.0f / static_cast<float>(std::max<unsigned>(weights[i], 1));
        matrix.hasUnitWeight |= weights[i] < 2;
        matrix.shortReciprocals[i] = static_cast<uint16_t>(std::min(matrix.reciprocals[i], 65535u));
    }
    return matrix;
}

bool QuantiseIntraBlock(const int16_t* coefficients, int16_t* levels, const QuantiserMatrix& matrix,
                        int mquant, int intraDcPrecision, MpegSyntax syntax) {
    const int dcStep = 8 >> intraDcPrecision;
    const int dc = coefficients[0];
    levels[0] =
        static_cast<int16_t>(dc >= 0 ? (dc + dcStep / 2) / dcStep : -((-dc + dcStep / 2) / dcStep));
    const int maxLevel = MaxLevel(syntax);
    const int rounding = (3 * mquant + 2) / 4;
    const ExactDivider divisor(static_cast<uint32_t>(2 * std::max(mquant, 1)));
    bool saturated = false;
    for (int i = 1; i < 64; ++i) {
        const int c = coefficients[i];
        const int w = matrix.weights[i];
        // Both numerators stay below 2^17 for coefficients of at most 2048.
        const uint32_t magnitude = static_cast<uint32_t>(std::min(std::abs(c), 2048));
        const uint32_t scaled = matrix.weightDividers[i].Divide(32 * magnitude + w / 2);
        int level = static_cast<int>(divisor.Divide(scaled + static_cast<uint32_t>(rounding)));
        if (level > maxLevel) {
            level = maxLevel;
            saturated = true;
        }
        levels[i] = static_cast<int16_t>(c < 0 ? -level : level);
    }
    return saturated;
}

bool QuantiseNonIntraBlock(const int16_t* coefficients, int16_t* levels,
                           const QuantiserMatrix& matrix, int mquant, MpegSyntax syntax) {
    const int maxLevel = MaxLevel(syntax);
    const ExactDivider divisor(static_cast<uint32_t>(2 * std::max(mquant, 1)));
    bool any = false;
    for (int i = 0; i < 64; ++i) {
        const int c = coefficients[i];
        // Coefficients are at most 2048 in magnitude: scaled < 2^17.
        const uint32_t scaled =
            (32u * static_cast<uint32_t>(std::min(std::abs(c), 2048)) * matrix.reciprocals[i]) >>
            16;
        const int level = std::min(static_cast<int>(divisor.Divide(scaled)), maxLevel);
        levels[i] = static_cast<int16_t>(c < 0 ? -level : level);
        any |= level != 0;
    }
    return any;
}

void DequantiseIntraBlock(const int16_t* levels, int16_t* coefficients,
                          const QuantiserMatrix& matrix, int mquant, int intraDcPrecision,
                          MpegSyntax syntax) {
    coefficients[0] = Saturate(levels[0] * (8 >> intraDcPrecision));
    for (int i = 1; i < 64; ++i) {
        const int level = levels[i];
        if (level == 0) {
            coefficients[i] = 0;
            continue;
        }
        const int value = level * matrix.weights[i] * mquant / 16;
        coefficients[i] = Saturate(syntax == MpegSyntax::kMpeg1 ? Oddify(value) : value);
    }
    if (syntax == MpegSyntax::kMpeg2) ControlMismatch(coefficients);
}

void DequantiseNonIntraBlock(const int16_t* levels, int16_t* coefficients,
                             const QuantiserMatrix& matrix, int mquant, MpegSyntax syntax) {
    for (int i = 0; i < 64; ++i) {
        const int level = levels[i];
        if (level == 0) {
            coefficients[i] = 0;
            continue;
        }
        const int sign = level > 0 ? 1 : -1;
        const int value = (2 * level + sign) * matrix.weights[i] * mquant / 32;
        coefficients[i] = Saturate(syntax == MpegSyntax::kMpeg1 ? Oddify(value) : value);
    }
    if (syntax == MpegSyntax::kMpeg2) ControlMismatch(coefficients);
}

}  // namespace korvan
