#include <algorithm>
#include <cstdlib>

#include "korvan/mpegenc/common/dct.h"
#include "korvan/mpegenc/common/mpeg_tables.h"
#include "korvan/mpegenc/common/plain_kernel_parts.h"
#include "korvan/mpegenc/common/video_kernels.h"

namespace korvan {

uint32_t PlainSmallLevelLengths(const uint8_t* magnitudes, uint64_t* positions,
                                const uint8_t* lengths) {
    uint32_t sum = 0;
    for (uint64_t rest = *positions; rest; rest &= rest - 1) {
        const int i = __builtin_ctzll(rest);
        if (magnitudes[i] >= 16) continue;
        sum += lengths[magnitudes[i]];
        *positions &= ~(uint64_t{1} << i);
    }
    return sum;
}

namespace {

template <int HalfX, int HalfY>
inline int SampleAt(const uint8_t* ref, int refStride, int x) {
    if constexpr (HalfX == 0 && HalfY == 0) {
        return ref[x];
    } else if constexpr (HalfY == 0) {
        return (ref[x] + ref[x + 1] + 1) >> 1;
    } else if constexpr (HalfX == 0) {
        return (ref[x] + ref[x + refStride] + 1) >> 1;
    } else {
        return (ref[x] + ref[x + 1] + ref[x + refStride] + ref[x + refStride + 1] + 2) >> 2;
    }
}

template <int HalfX, int HalfY>
int Sad16(const uint8_t* cur, int curStride, const uint8_t* ref, int refStride, int rows,
          int limit) {
    int sum = 0;
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < 16; ++x)
            sum += std::abs(cur[x] - SampleAt<HalfX, HalfY>(ref, refStride, x));
        if ((y & 1) == 1 && sum >= limit) return sum;
        cur += curStride;
        ref += refStride;
    }
    return sum;
}

int SadSearch(const uint8_t* cur, int curStride, const uint8_t* ref, int refStride, int rows,
              const ptrdiff_t* offsets, int count, int* best) {
    return SearchEachPosition(Sad16<0, 0>, cur, curStride, ref, refStride, rows, offsets, count,
                              best);
}

int Sad4x4(const uint8_t* cur, int curStride, const uint8_t* ref, int refStride) {
    int sum = 0;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) sum += std::abs(cur[x] - ref[x]);
        cur += curStride;
        ref += refStride;
    }
    return sum;
}

void CoarseWindow(const uint8_t* cur, int curStride, const uint8_t* ref, int refStride, int rows,
                  uint16_t* sads) {
    for (int j = 0; j < rows; ++j) {
        for (int h = 0; h < kCoarseWindowWidth; ++h) {
            sads[kCoarseWindowWidth * j + h] =
                static_cast<uint16_t>(Sad4x4(cur, curStride, ref + j * refStride + h, refStride));
        }
    }
}

void CoarseRingMinima(const uint16_t* sads, int rows, int centreRow, int left, int right,
                      uint16_t* minima) {
    for (int k = 0; k < 8; ++k) minima[k] = kNoSum;
    for (int j = 0; j < rows; ++j) {
        const int d = std::abs(j - centreRow);
        for (int dx = left; dx <= right; ++dx) {
            const int k = std::max(d, std::abs(dx));
            if (k < 8) minima[k] = std::min(minima[k], sads[kCoarseWindowWidth * j + 7 + dx]);
        }
    }
}

void ReduceRow(const uint8_t* luma, int stride, int count, uint8_t* out) {
    for (int x = 0; x < count; ++x) {
        int sum = 0;
        for (int j = 0; j < 4; ++j) {
            const uint8_t* in = luma + j * stride + 4 * x;
            sum += in[0] + in[1] + in[2] + in[3];
        }
        out[x] = static_cast<uint8_t>((sum + 8) >> 4);
    }
}

int Variance16x16(const uint8_t* block, int stride) {
    int sum = 0;
    int squares = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            sum += block[x];
            squares += block[x] * block[x];
        }
        block += stride;
    }
    // The squared sum reaches 65280^2, beyond 32 bits.
    return squares - static_cast<int>((int64_t{sum} * sum) >> 8);
}

int PredictionError16x16(const uint8_t* cur, int curStride, const uint8_t* pred, int predStride) {
    int sum = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const int d = cur[x] - pred[x];
            sum += d * d;
        }
        cur += curStride;
        pred += predStride;
    }
    return sum;
}

template <int HalfX, int HalfY>
void Predict(uint8_t* dst, int dstStride, const uint8_t* ref, int refStride, int width, int rows) {
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
            dst[x] = static_cast<uint8_t>(SampleAt<HalfX, HalfY>(ref, refStride, x));
        }
        dst += dstStride;
        ref += refStride;
    }
}

void Average(uint8_t* dst, int dstStride, const uint8_t* other, int otherStride, int width,
             int rows) {
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) dst[x] = static_cast<uint8_t>((dst[x] + other[x] + 1) >> 1);
        dst += dstStride;
        other += otherStride;
    }
}

void BlockDifference(const uint8_t* in, int inStride, const uint8_t* pred, int predStride,
                     int16_t* block) {
    for (int j = 0; j < 8; ++j) {
        for (int i = 0; i < 8; ++i) block[8 * j + i] = static_cast<int16_t>(in[i] - pred[i]);
        in += inStride;
        pred += predStride;
    }
}

void BlockAdd(const int16_t* block, const uint8_t* pred, int predStride, uint8_t* out,
              int outStride) {
    for (int j = 0; j < 8; ++j) {
        for (int i = 0; i < 8; ++i)
            out[i] = static_cast<uint8_t>(std::clamp(pred[i] + block[8 * j + i], 0, 255));
        pred += predStride;
        out += outStride;
    }
}

uint64_t ScanMask(const int16_t* levels, bool alternateScan) {
    const auto& scan = kScanOrder[alternateScan ? 1 : 0];
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) mask |= static_cast<uint64_t>(levels[scan[i]] != 0) << i;
    return mask;
}

int ScanMagnitudes(const int16_t* levels, bool alternateScan, uint8_t* magnitudes) {
    const auto& scan = kScanOrder[alternateScan ? 1 : 0];
    int largest = 0;
    for (int i = 0; i < 64; ++i) {
        const int magnitude = std::min(std::abs(static_cast<int>(levels[scan[i]])), 32767);
        magnitudes[i] = static_cast<uint8_t>(std::min(magnitude, 255));
        largest = std::max(largest, magnitude);
    }
    return largest;
}

constexpr VideoKernels MakePlain(DctKernel forward, DctKernel inverse) {
    return VideoKernels{
        {Sad16<0, 0>, Sad16<1, 0>, Sad16<0, 1>, Sad16<1, 1>},
        SadSearch,
        Sad4x4,
        CoarseWindow,
        CoarseRingMinima,
        ReduceRow,
        Variance16x16,
        PredictionError16x16,
        {Predict<0, 0>, Predict<1, 0>, Predict<0, 1>, Predict<1, 1>},
        Average,
        BlockDifference,
        BlockAdd,
        forward,
        inverse,
        QuantiseNonIntraBlock,
        QuantiseIntraBlock,
        DequantiseIntraBlock,
        DequantiseNonIntraBlock,
        ScanMask,
        ScanMagnitudes,
        PlainSmallLevelLengths,
    };
}

constexpr VideoKernels kPlainInteger = MakePlain(ForwardDctInteger, InverseDctInteger);
constexpr VideoKernels kPlainFloat = MakePlain(ForwardDctFloat, InverseDctFloat);

}  // namespace

const VideoKernels& PlainVideoKernels(DctArithmetic arithmetic) {
    return arithmetic == DctArithmetic::kFloatingPoint ? kPlainFloat : kPlainInteger;
}

}  // namespace korvan
