#include "korvan/mpegenc/common/dct.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace korvan {
namespace {

using Basis = std::array<std::array<double, 8>, 8>;

// basis[u][x] = C(u) / 2 * cos((2x + 1) u pi / 16): one pass of the
// separable transform in either direction.
Basis MakeBasis() {
    Basis basis{};
    const double pi = std::acos(-1.0);
    for (int u = 0; u < 8; ++u) {
        const double scale = u == 0 ? 0.5 / std::sqrt(2.0) : 0.5;
        for (int x = 0; x < 8; ++x) basis[u][x] = scale * std::cos((2 * x + 1) * u * pi / 16);
    }
    return basis;
}

const Basis& DoubleBasis() {
    static const Basis basis = MakeBasis();
    return basis;
}

template <int Bits>
IntegerDctBasis IntegerBasis() {
    IntegerDctBasis scaled{};
    const Basis& basis = DoubleBasis();
    for (int u = 0; u < 8; ++u) {
        for (int x = 0; x < 8; ++x) {
            scaled[u][x] = static_cast<int32_t>(std::lround(basis[u][x] * (1 << Bits)));
        }
    }
    return scaled;
}

// Forward: with samples of at most 255 in magnitude every sum stays below
// 2^31. Inverse: 8 bits kept between the passes, so that rounding between
// them adds almost nothing to the error. A row result is at most 2048 * 2.64
// in magnitude: the row sums fit 32 bits, the column sums need 64.
constexpr int kForwardBits = kForwardDctBits;
constexpr int kForwardKeep = kForwardDctKeep;
constexpr int kInverseBits = kInverseDctBits;
constexpr int kInverseKeep = kInverseDctKeep;

int16_t ClampToInt16(int32_t value, int32_t low, int32_t high) {
    return static_cast<int16_t>(std::clamp(value, low, high));
}

}  // namespace

const IntegerDctBasis& ForwardDctBasis() {
    static const IntegerDctBasis basis = IntegerBasis<kForwardBits>();
    return basis;
}

const IntegerDctBasis& InverseDctBasis() {
    static const IntegerDctBasis basis = IntegerBasis<kInverseBits>();
    return basis;
}

void ForwardDctInteger(int16_t* block) {
    const IntegerDctBasis& basis = ForwardDctBasis();
    int32_t rows[64];
    constexpr int rowShift = kForwardBits - kForwardKeep;
    for (int y = 0; y < 8; ++y) {
        const int16_t* in = block + 8 * y;
        for (int u = 0; u < 8; ++u) {
            int32_t sum = 0;
            for (int x = 0; x < 8; ++x) sum += basis[u][x] * in[x];
            rows[8 * y + u] = (sum + (1 << (rowShift - 1))) >> rowShift;
        }
    }
    constexpr int columnShift = kForwardBits + kForwardKeep;
    for (int u = 0; u < 8; ++u) {
        for (int v = 0; v < 8; ++v) {
            int32_t sum = 0;
            for (int y = 0; y < 8; ++y) sum += basis[v][y] * rows[8 * y + u];
            block[8 * v + u] =
                ClampToInt16((sum + (1 << (columnShift - 1))) >> columnShift, -2048, 2047);
        }
    }
}

void InverseDctInteger(int16_t* block) {
    const IntegerDctBasis& basis = InverseDctBasis();
    int32_t rows[64];
    constexpr int rowShift = kInverseBits - kInverseKeep;
    for (int v = 0; v < 8; ++v) {
        const int16_t* in = block + 8 * v;
        for (int x = 0; x < 8; ++x) {
            int32_t sum = 0;
            for (int u = 0; u < 8; ++u) sum += basis[u][x] * in[u];
            rows[8 * v + x] = (sum + (1 << (rowShift - 1))) >> rowShift;
        }
    }
    constexpr int columnShift = kInverseBits + kInverseKeep;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            int64_t sum = 0;
            for (int v = 0; v < 8; ++v) sum += int64_t{basis[v][y]} * rows[8 * v + x];
            const int64_t value = (sum + (int64_t{1} << (columnShift - 1))) >> columnShift;
            block[8 * y + x] = static_cast<int16_t>(std::clamp<int64_t>(value, -256, 255));
        }
    }
}

void ForwardDctFloat(int16_t* block) {
    const Basis& basis = DoubleBasis();
    double rows[64];
    for (int y = 0; y < 8; ++y) {
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int x = 0; x < 8; ++x) sum += basis[u][x] * block[8 * y + x];
            rows[8 * y + u] = sum;
        }
    }
    for (int u = 0; u < 8; ++u) {
        for (int v = 0; v < 8; ++v) {
            double sum = 0;
            for (int y = 0; y < 8; ++y) sum += basis[v][y] * rows[8 * y + u];
            block[8 * v + u] = ClampToInt16(static_cast<int32_t>(std::lround(sum)), -2048, 2047);
        }
    }
}

void InverseDctFloat(int16_t* block) {
    const Basis& basis = DoubleBasis();
    double rows[64];
    for (int v = 0; v < 8; ++v) {
        for (int x = 0; x < 8; ++x) {
            double sum = 0;
            for (int u = 0; u < 8; ++u) sum += basis[u][x] * block[8 * v + u];
            rows[8 * v + x] = sum;
        }
    }
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) {
            double sum = 0;
            for (int v = 0; v < 8; ++v) sum += basis[v][y] * rows[8 * v + x];
            block[8 * y + x] = ClampToInt16(static_cast<int32_t>(std::lround(sum)), -256, 255);
        }
    }
}

}  // namespace korvan
