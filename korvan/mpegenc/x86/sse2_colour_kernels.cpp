#include <emmintrin.h>

#include "korvan/mpegenc/x86/simd_kernels.h"

namespace korvan {
namespace {

// B, G, R and 0 for the x byte, twice: one pair of pels per madd.
__m128i Coefficients(const ColourRow& k) {
    return _mm_setr_epi16(static_cast<int16_t>(k.b), static_cast<int16_t>(k.g),
                          static_cast<int16_t>(k.r), 0, static_cast<int16_t>(k.b),
                          static_cast<int16_t>(k.g), static_cast<int16_t>(k.r), 0);
}

// The weighted sums of four pels, whose bytes `low` and `high` hold as
// 16-bit words (two pels each).
__m128i WeightedSums(__m128i low, __m128i high, __m128i coefficients) {
    const __m128 a = _mm_castsi128_ps(_mm_madd_epi16(low, coefficients));
    const __m128 b = _mm_castsi128_ps(_mm_madd_epi16(high, coefficients));
    // Each madd gives B·kb + G·kg and R·kr for its two pels.
    const __m128i even = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i odd = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    return _mm_add_epi32(even, odd);
}

// sum · 219 as shifts and adds (128 + 64 + 16 + 8 + 2 + 1): SSE2 has no
// 32-bit multiply, and the product fits 32 bits.
__m128i Times219(__m128i s) {
    const __m128i a = _mm_add_epi32(_mm_slli_epi32(s, 7), _mm_slli_epi32(s, 6));
    const __m128i b = _mm_add_epi32(_mm_slli_epi32(s, 4), _mm_slli_epi32(s, 3));
    const __m128i c = _mm_add_epi32(_mm_slli_epi32(s, 1), s);
    return _mm_add_epi32(_mm_add_epi32(a, b), c);
}

// sum · 224 (128 + 64 + 32).
__m128i Times224(__m128i s) {
    return _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(s, 7), _mm_slli_epi32(s, 6)),
                         _mm_slli_epi32(s, 5));
}

__m128i Scaled(__m128i product, __m128i offset) {
    const __m128i rounded = _mm_add_epi32(_mm_srai_epi32(product, 8), _mm_set1_epi32(0x4000));
    return _mm_add_epi32(_mm_srai_epi32(rounded, 15), offset);
}

// Eight 32-bit values in two registers to eight clipped bytes.
void StoreBytes(__m128i low, __m128i high, uint8_t* out) {
    const __m128i words = _mm_packs_epi32(low, high);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
}

void ConvertRow(const uint8_t* bgrx, int width, const ColourMatrix& m, uint8_t* y, uint8_t* cb,
                uint8_t* cr) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ky = Coefficients(m.y);
    const __m128i kcb = Coefficients(m.cb);
    const __m128i kcr = Coefficients(m.cr);
    const __m128i lumaOffset = _mm_set1_epi32(16);
    const __m128i chromaOffset = _mm_set1_epi32(128);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgrx + 4 * x));
        const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgrx + 4 * x + 16));
        const __m128i p01 = _mm_unpacklo_epi8(first, zero);
        const __m128i p23 = _mm_unpackhi_epi8(first, zero);
        const __m128i p45 = _mm_unpacklo_epi8(second, zero);
        const __m128i p67 = _mm_unpackhi_epi8(second, zero);
        StoreBytes(Scaled(Times219(WeightedSums(p01, p23, ky)), lumaOffset),
                   Scaled(Times219(WeightedSums(p45, p67, ky)), lumaOffset), y + x);
        if (!cb) continue;
        StoreBytes(Scaled(Times224(WeightedSums(p01, p23, kcb)), chromaOffset),
                   Scaled(Times224(WeightedSums(p45, p67, kcb)), chromaOffset), cb + x);
        StoreBytes(Scaled(Times224(WeightedSums(p01, p23, kcr)), chromaOffset),
                   Scaled(Times224(WeightedSums(p45, p67, kcr)), chromaOffset), cr + x);
    }
    if (x < width) {
        PlainColourKernels().convertRow(bgrx + 4 * x, width - x, m, y + x, cb ? cb + x : nullptr,
                                        cr ? cr + x : nullptr);
    }
}

// Taps k and k + 1 in every pair of words.
__m128i TapPair(const ChromaTaps& taps, int k) {
    return _mm_set1_epi32(
        static_cast<int>(static_cast<uint16_t>(taps[k])) |
        static_cast<int>(static_cast<uint32_t>(static_cast<uint16_t>(taps[k + 1])) << 16));
}

__m128i Filtered(__m128i sum) { return _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(256)), 9); }

void HalveRow(const int16_t* padded, int outWidth, const ChromaTaps& taps, uint8_t* out) {
    __m128i pairs[kChromaTaps / 2];
    for (int m = 0; m < kChromaTaps / 2; ++m) pairs[m] = TapPair(taps, 2 * m);
    int i = 0;
    for (; i + 8 <= outWidth; i += 8) {
        // Outputs i..i+3 read samples 2i + 2m and 2i + 2m + 1 as one pair each.
        __m128i low = _mm_setzero_si128();
        __m128i high = _mm_setzero_si128();
        for (int m = 0; m < kChromaTaps / 2; ++m) {
            const int16_t* at = padded + 2 * i + 2 * m;
            low = _mm_add_epi32(
                low,
                _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), pairs[m]));
            high = _mm_add_epi32(
                high, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 8)),
                                     pairs[m]));
        }
        StoreBytes(Filtered(low), Filtered(high), out + i);
    }
    if (i < outWidth) PlainColourKernels().halveRow(padded + 2 * i, outWidth - i, taps, out + i);
}

void FilterColumns(const uint8_t* const (&lines)[kChromaTaps], int width, const ChromaTaps& taps,
                   uint8_t* out) {
    const __m128i zero = _mm_setzero_si128();
    __m128i pairs[kChromaTaps / 2];
    for (int m = 0; m < kChromaTaps / 2; ++m) pairs[m] = TapPair(taps, 2 * m);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        __m128i low = _mm_setzero_si128();
        __m128i high = _mm_setzero_si128();
        for (int m = 0; m < kChromaTaps / 2; ++m) {
            const __m128i a = _mm_unpacklo_epi8(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lines[2 * m] + x)), zero);
            const __m128i b = _mm_unpacklo_epi8(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(lines[2 * m + 1] + x)), zero);
            low = _mm_add_epi32(low, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), pairs[m]));
            high = _mm_add_epi32(high, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), pairs[m]));
        }
        StoreBytes(Filtered(low), Filtered(high), out + x);
    }
    if (x < width) {
        const uint8_t* rest[kChromaTaps];
        for (int k = 0; k < kChromaTaps; ++k) rest[k] = lines[k] + x;
        PlainColourKernels().filterColumns(rest, width - x, taps, out + x);
    }
}

constexpr ColourKernels kSse2 = {ConvertRow, HalveRow, FilterColumns};

}  // namespace

const ColourKernels& Sse2ColourKernels() { return kSse2; }

}  // namespace korvan
