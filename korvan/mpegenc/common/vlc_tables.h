// The variable-length code tables of MPEG-1/MPEG-2 video that an encoder
// needs: macroblock address increment, macroblock type, coded block pattern,
// motion code, DC size and the two DCT coefficient tables.
#pragma once

#include <cstdint>

namespace korvan {

// A code of `length` bits, the first bit sent being the most significant of
// `bits`. Length 0 means that the table has no code for the value.
struct VlcCode {
    uint32_t bits = 0;
    int length = 0;
};

// Builds a code from its written form, for example "0000 0011 001".
constexpr VlcCode MakeVlc(const char* text) {
    VlcCode code;
    for (const char* p = text; *p; ++p) {
        if (*p != '0' && *p != '1') continue;
        code.bits = (code.bits << 1) | static_cast<uint32_t>(*p - '0');
        ++code.length;
    }
    return code;
}

inline constexpr VlcCode kMacroblockEscape = MakeVlc("0000 0001 000");
inline constexpr VlcCode kEndOfBlockTableZero = MakeVlc("10");
inline constexpr VlcCode kEndOfBlockTableOne = MakeVlc("0110");
inline constexpr VlcCode kDctEscape = MakeVlc("0000 01");

// macroblock_address_increment 1..33.
VlcCode AddressIncrementCode(int increment);

// Picture coding types as the picture header carries them.
enum PictureCodingType : int { kPictureI = 1, kPictureP = 2, kPictureB = 3 };

// macroblock_type flags.
enum MacroblockTypeFlag : int {
    kMbQuant = 1,
    kMbForward = 2,
    kMbBackward = 4,
    kMbPattern = 8,
    kMbIntra = 16,
};

// macroblock_type for a combination of the flags above; length 0 when the
// picture type has no such combination.
VlcCode MacroblockTypeCode(PictureCodingType type, int flags);

// coded_block_pattern_420, 0..63 (0 only outside 4:2:0).
VlcCode CodedBlockPatternCode(int pattern);

// motion_code -16..16, sign included.
VlcCode MotionCode(int motionCode);

// dct_dc_size_luminance / dct_dc_size_chrominance, 0..11.
VlcCode DcSizeLuminanceCode(int size);
VlcCode DcSizeChrominanceCode(int size);

// The code of (run, |level|) without its sign bit in DCT coefficient table
// zero or one; length 0 when the pair must be escaped. Table zero's special
// first-coefficient code for run 0, level 1 of non-intra blocks is "1"
// followed by the sign, which callers write themselves.
VlcCode DctCoefficientCode(int table, int run, int absLevel);

// The same as one table, for the block coder's inner loop: entry
// [run][absLevel] for runs up to kMaxTabledRun and levels up to
// kMaxTabledLevel (length 0 where the pair must be escaped).
inline constexpr int kMaxTabledRun = 31;
inline constexpr int kMaxTabledLevel = 40;
using CoefficientTable = VlcCode[kMaxTabledRun + 1][kMaxTabledLevel + 1];
const CoefficientTable& DctCoefficientTable(int table);

}  // namespace korvan
