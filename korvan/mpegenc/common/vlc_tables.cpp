#include "korvan/mpegenc/common/vlc_tables.h"

#include <array>
#include <cstddef>

namespace korvan {
namespace {

constexpr std::array<VlcCode, 34> kAddressIncrement = {
    VlcCode{},
    MakeVlc("1"),
    MakeVlc("011"),
    MakeVlc("010"),
    MakeVlc("0011"),
    MakeVlc("0010"),
    MakeVlc("0001 1"),
    MakeVlc("0001 0"),
    MakeVlc("0000 111"),
    MakeVlc("0000 110"),
    MakeVlc("0000 1011"),
    MakeVlc("0000 1010"),
    MakeVlc("0000 1001"),
    MakeVlc("0000 1000"),
    MakeVlc("0000 0111"),
    MakeVlc("0000 0110"),
    MakeVlc("0000 0101 11"),
    MakeVlc("0000 0101 10"),
    MakeVlc("0000 0101 01"),
    MakeVlc("0000 0101 00"),
    MakeVlc("0000 0100 11"),
    MakeVlc("0000 0100 10"),
    MakeVlc("0000 0100 011"),
    MakeVlc("0000 0100 010"),
    MakeVlc("0000 0100 001"),
    MakeVlc("0000 0100 000"),
    MakeVlc("0000 0011 111"),
    MakeVlc("0000 0011 110"),
    MakeVlc("0000 0011 101"),
    MakeVlc("0000 0011 100"),
    MakeVlc("0000 0011 011"),
    MakeVlc("0000 0011 010"),
    MakeVlc("0000 0011 001"),
    MakeVlc("0000 0011 000"),
};

struct TypeEntry {
    int flags;
    VlcCode code;
};

constexpr TypeEntry kIntraTypes[] = {
    {kMbIntra, MakeVlc("1")},
    {kMbIntra | kMbQuant, MakeVlc("01")},
};

constexpr TypeEntry kPredictiveTypes[] = {
    {kMbForward | kMbPattern, MakeVlc("1")},
    {kMbPattern, MakeVlc("01")},
    {kMbForward, MakeVlc("001")},
    {kMbIntra, MakeVlc("0001 1")},
    {kMbQuant | kMbForward | kMbPattern, MakeVlc("0001 0")},
    {kMbQuant | kMbPattern, MakeVlc("0000 1")},
    {kMbQuant | kMbIntra, MakeVlc("0000 01")},
};

constexpr TypeEntry kBidirectionalTypes[] = {
    {kMbForward | kMbBackward, MakeVlc("10")},
    {kMbForward | kMbBackward | kMbPattern, MakeVlc("11")},
    {kMbBackward, MakeVlc("010")},
    {kMbBackward | kMbPattern, MakeVlc("011")},
    {kMbForward, MakeVlc("0010")},
    {kMbForward | kMbPattern, MakeVlc("0011")},
    {kMbIntra, MakeVlc("0001 1")},
    {kMbQuant | kMbForward | kMbBackward | kMbPattern, MakeVlc("0001 0")},
    {kMbQuant | kMbForward | kMbPattern, MakeVlc("0000 11")},
    {kMbQuant | kMbBackward | kMbPattern, MakeVlc("0000 10")},
    {kMbQuant | kMbIntra, MakeVlc("0000 01")},
};

struct PatternEntry {
    int pattern;
    VlcCode code;
};

constexpr PatternEntry kPatternEntries[] = {
    {60, MakeVlc("111")},         {4, MakeVlc("1101")},         {8, MakeVlc("1100")},
    {16, MakeVlc("1011")},        {32, MakeVlc("1010")},        {12, MakeVlc("1001 1")},
    {48, MakeVlc("1001 0")},      {20, MakeVlc("1000 1")},      {40, MakeVlc("1000 0")},
    {28, MakeVlc("0111 1")},      {44, MakeVlc("0111 0")},      {52, MakeVlc("0110 1")},
    {56, MakeVlc("0110 0")},      {1, MakeVlc("0101 1")},       {61, MakeVlc("0101 0")},
    {2, MakeVlc("0100 1")},       {62, MakeVlc("0100 0")},      {24, MakeVlc("0011 11")},
    {36, MakeVlc("0011 10")},     {3, MakeVlc("0011 01")},      {63, MakeVlc("0011 00")},
    {5, MakeVlc("0010 111")},     {9, MakeVlc("0010 110")},     {17, MakeVlc("0010 101")},
    {33, MakeVlc("0010 100")},    {6, MakeVlc("0010 011")},     {10, MakeVlc("0010 010")},
    {18, MakeVlc("0010 001")},    {34, MakeVlc("0010 000")},    {7, MakeVlc("0001 1111")},
    {11, MakeVlc("0001 1110")},   {19, MakeVlc("0001 1101")},   {35, MakeVlc("0001 1100")},
    {13, MakeVlc("0001 1011")},   {49, MakeVlc("0001 1010")},   {21, MakeVlc("0001 1001")},
    {41, MakeVlc("0001 1000")},   {14, MakeVlc("0001 0111")},   {50, MakeVlc("0001 0110")},
    {22, MakeVlc("0001 0101")},   {42, MakeVlc("0001 0100")},   {15, MakeVlc("0001 0011")},
    {51, MakeVlc("0001 0010")},   {23, MakeVlc("0001 0001")},   {43, MakeVlc("0001 0000")},
    {25, MakeVlc("0000 1111")},   {37, MakeVlc("0000 1110")},   {26, MakeVlc("0000 1101")},
    {38, MakeVlc("0000 1100")},   {29, MakeVlc("0000 1011")},   {45, MakeVlc("0000 1010")},
    {53, MakeVlc("0000 1001")},   {57, MakeVlc("0000 1000")},   {30, MakeVlc("0000 0111")},
    {46, MakeVlc("0000 0110")},   {54, MakeVlc("0000 0101")},   {58, MakeVlc("0000 0100")},
    {31, MakeVlc("0000 0011 1")}, {47, MakeVlc("0000 0011 0")}, {55, MakeVlc("0000 0010 1")},
    {59, MakeVlc("0000 0010 0")}, {27, MakeVlc("0000 0001 1")}, {39, MakeVlc("0000 0001 0")},
    {0, MakeVlc("0000 0000 1")},
};

// motion_code magnitude 0..16 without the sign bit.
constexpr std::array<VlcCode, 17> kMotionMagnitude = {
    MakeVlc("1"),
    MakeVlc("01"),
    MakeVlc("001"),
    MakeVlc("0001"),
    MakeVlc("0000 11"),
    MakeVlc("0000 101"),
    MakeVlc("0000 100"),
    MakeVlc("0000 011"),
    MakeVlc("0000 0101 1"),
    MakeVlc("0000 0101 0"),
    MakeVlc("0000 0100 1"),
    MakeVlc("0000 0100 01"),
    MakeVlc("0000 0100 00"),
    MakeVlc("0000 0011 11"),
    MakeVlc("0000 0011 10"),
    MakeVlc("0000 0011 01"),
    MakeVlc("0000 0011 00"),
};

constexpr std::array<VlcCode, 12> kDcSizeLuminance = {
    MakeVlc("100"),      MakeVlc("00"),        MakeVlc("01"),          MakeVlc("101"),
    MakeVlc("110"),      MakeVlc("1110"),      MakeVlc("1111 0"),      MakeVlc("1111 10"),
    MakeVlc("1111 110"), MakeVlc("1111 1110"), MakeVlc("1111 1111 0"), MakeVlc("1111 1111 1"),
};

constexpr std::array<VlcCode, 12> kDcSizeChrominance = {
    MakeVlc("00"),        MakeVlc("01"),          MakeVlc("10"),           MakeVlc("110"),
    MakeVlc("1110"),      MakeVlc("1111 0"),      MakeVlc("1111 10"),      MakeVlc("1111 110"),
    MakeVlc("1111 1110"), MakeVlc("1111 1111 0"), MakeVlc("1111 1111 10"), MakeVlc("1111 1111 11"),
};

struct CoefficientEntry {
    int run;
    int level;
    VlcCode code;
};

// Pairs whose codes both tables share.
constexpr CoefficientEntry kCommonCoefficients[] = {
    {3, 3, MakeVlc("0000 0001 1100")},       {4, 3, MakeVlc("0000 0001 0010")},
    {6, 2, MakeVlc("0000 0001 1110")},       {7, 2, MakeVlc("0000 0001 0101")},
    {8, 2, MakeVlc("0000 0001 0001")},       {17, 1, MakeVlc("0000 0001 1111")},
    {18, 1, MakeVlc("0000 0001 1010")},      {19, 1, MakeVlc("0000 0001 1001")},
    {20, 1, MakeVlc("0000 0001 0111")},      {21, 1, MakeVlc("0000 0001 0110")},
    {1, 6, MakeVlc("0000 0000 1011 0")},     {1, 7, MakeVlc("0000 0000 1010 1")},
    {2, 5, MakeVlc("0000 0000 1010 0")},     {3, 4, MakeVlc("0000 0000 1001 1")},
    {5, 3, MakeVlc("0000 0000 1001 0")},     {9, 2, MakeVlc("0000 0000 1000 1")},
    {10, 2, MakeVlc("0000 0000 1000 0")},    {22, 1, MakeVlc("0000 0000 1111 1")},
    {23, 1, MakeVlc("0000 0000 1111 0")},    {24, 1, MakeVlc("0000 0000 1110 1")},
    {25, 1, MakeVlc("0000 0000 1110 0")},    {26, 1, MakeVlc("0000 0000 1101 1")},
    {0, 16, MakeVlc("0000 0000 0111 11")},   {0, 17, MakeVlc("0000 0000 0111 10")},
    {0, 18, MakeVlc("0000 0000 0111 01")},   {0, 19, MakeVlc("0000 0000 0111 00")},
    {0, 20, MakeVlc("0000 0000 0110 11")},   {0, 21, MakeVlc("0000 0000 0110 10")},
    {0, 22, MakeVlc("0000 0000 0110 01")},   {0, 23, MakeVlc("0000 0000 0110 00")},
    {0, 24, MakeVlc("0000 0000 0101 11")},   {0, 25, MakeVlc("0000 0000 0101 10")},
    {0, 26, MakeVlc("0000 0000 0101 01")},   {0, 27, MakeVlc("0000 0000 0101 00")},
    {0, 28, MakeVlc("0000 0000 0100 11")},   {0, 29, MakeVlc("0000 0000 0100 10")},
    {0, 30, MakeVlc("0000 0000 0100 01")},   {0, 31, MakeVlc("0000 0000 0100 00")},
    {0, 32, MakeVlc("0000 0000 0011 000")},  {0, 33, MakeVlc("0000 0000 0010 111")},
    {0, 34, MakeVlc("0000 0000 0010 110")},  {0, 35, MakeVlc("0000 0000 0010 101")},
    {0, 36, MakeVlc("0000 0000 0010 100")},  {0, 37, MakeVlc("0000 0000 0010 011")},
    {0, 38, MakeVlc("0000 0000 0010 010")},  {0, 39, MakeVlc("0000 0000 0010 001")},
    {0, 40, MakeVlc("0000 0000 0010 000")},  {1, 8, MakeVlc("0000 0000 0011 111")},
    {1, 9, MakeVlc("0000 0000 0011 110")},   {1, 10, MakeVlc("0000 0000 0011 101")},
    {1, 11, MakeVlc("0000 0000 0011 100")},  {1, 12, MakeVlc("0000 0000 0011 011")},
    {1, 13, MakeVlc("0000 0000 0011 010")},  {1, 14, MakeVlc("0000 0000 0011 001")},
    {1, 15, MakeVlc("0000 0000 0001 0011")}, {1, 16, MakeVlc("0000 0000 0001 0010")},
    {1, 17, MakeVlc("0000 0000 0001 0001")}, {1, 18, MakeVlc("0000 0000 0001 0000")},
    {6, 3, MakeVlc("0000 0000 0001 0100")},  {11, 2, MakeVlc("0000 0000 0001 1010")},
    {12, 2, MakeVlc("0000 0000 0001 1001")}, {13, 2, MakeVlc("0000 0000 0001 1000")},
    {14, 2, MakeVlc("0000 0000 0001 0111")}, {15, 2, MakeVlc("0000 0000 0001 0110")},
    {16, 2, MakeVlc("0000 0000 0001 0101")}, {27, 1, MakeVlc("0000 0000 0001 1111")},
    {28, 1, MakeVlc("0000 0000 0001 1110")}, {29, 1, MakeVlc("0000 0000 0001 1101")},
    {30, 1, MakeVlc("0000 0000 0001 1100")}, {31, 1, MakeVlc("0000 0000 0001 1011")},
};

// Table zero's own codes (run 0, level 1 as it is coded after the first
// coefficient).
constexpr CoefficientEntry kTableZeroCoefficients[] = {
    {0, 1, MakeVlc("11")},
    {1, 1, MakeVlc("011")},
    {0, 2, MakeVlc("0100")},
    {2, 1, MakeVlc("0101")},
    {0, 3, MakeVlc("0010 1")},
    {3, 1, MakeVlc("0011 1")},
    {4, 1, MakeVlc("0011 0")},
    {1, 2, MakeVlc("0001 10")},
    {5, 1, MakeVlc("0001 11")},
    {6, 1, MakeVlc("0001 01")},
    {7, 1, MakeVlc("0001 00")},
    {0, 4, MakeVlc("0000 110")},
    {2, 2, MakeVlc("0000 100")},
    {8, 1, MakeVlc("0000 111")},
    {9, 1, MakeVlc("0000 101")},
    {0, 5, MakeVlc("0010 0110")},
    {0, 6, MakeVlc("0010 0001")},
    {1, 3, MakeVlc("0010 0101")},
    {3, 2, MakeVlc("0010 0100")},
    {10, 1, MakeVlc("0010 0111")},
    {11, 1, MakeVlc("0010 0011")},
    {12, 1, MakeVlc("0010 0010")},
    {13, 1, MakeVlc("0010 0000")},
    {0, 7, MakeVlc("0000 0010 10")},
    {1, 4, MakeVlc("0000 0011 00")},
    {2, 3, MakeVlc("0000 0010 11")},
    {4, 2, MakeVlc("0000 0011 11")},
    {5, 2, MakeVlc("0000 0010 01")},
    {14, 1, MakeVlc("0000 0011 10")},
    {15, 1, MakeVlc("0000 0011 01")},
    {16, 1, MakeVlc("0000 0010 00")},
    {0, 8, MakeVlc("0000 0001 1101")},
    {0, 9, MakeVlc("0000 0001 1000")},
    {0, 10, MakeVlc("0000 0001 0011")},
    {0, 11, MakeVlc("0000 0001 0000")},
    {1, 5, MakeVlc("0000 0001 1011")},
    {2, 4, MakeVlc("0000 0001 0100")},
    {0, 12, MakeVlc("0000 0000 1101 0")},
    {0, 13, MakeVlc("0000 0000 1100 1")},
    {0, 14, MakeVlc("0000 0000 1100 0")},
    {0, 15, MakeVlc("0000 0000 1011 1")},
};

// Table one's own codes, used for intra blocks with intra_vlc_format 1.
constexpr CoefficientEntry kTableOneCoefficients[] = {
    {0, 1, MakeVlc("10")},
    {1, 1, MakeVlc("010")},
    {0, 2, MakeVlc("110")},
    {2, 1, MakeVlc("0010 1")},
    {0, 3, MakeVlc("0111")},
    {3, 1, MakeVlc("0011 1")},
    {4, 1, MakeVlc("0001 10")},
    {1, 2, MakeVlc("0011 0")},
    {5, 1, MakeVlc("0001 11")},
    {6, 1, MakeVlc("0000 110")},
    {7, 1, MakeVlc("0000 100")},
    {0, 4, MakeVlc("1110 0")},
    {2, 2, MakeVlc("0000 111")},
    {8, 1, MakeVlc("0000 101")},
    {9, 1, MakeVlc("1111 000")},
    {0, 5, MakeVlc("1110 1")},
    {0, 6, MakeVlc("0001 01")},
    {1, 3, MakeVlc("1111 001")},
    {3, 2, MakeVlc("0010 0110")},
    {10, 1, MakeVlc("1111 010")},
    {11, 1, MakeVlc("0010 0001")},
    {12, 1, MakeVlc("0010 0101")},
    {13, 1, MakeVlc("0010 0100")},
    {0, 7, MakeVlc("0001 00")},
    {1, 4, MakeVlc("0010 0111")},
    {2, 3, MakeVlc("1111 1100")},
    {4, 2, MakeVlc("1111 1101")},
    {5, 2, MakeVlc("0000 0010 0")},
    {14, 1, MakeVlc("0000 0010 1")},
    {15, 1, MakeVlc("0000 0011 1")},
    {16, 1, MakeVlc("0000 0011 01")},
    {0, 8, MakeVlc("1111 011")},
    {0, 9, MakeVlc("1111 100")},
    {0, 10, MakeVlc("0010 0011")},
    {0, 11, MakeVlc("0010 0010")},
    {1, 5, MakeVlc("0010 0000")},
    {2, 4, MakeVlc("0000 0011 00")},
    {0, 12, MakeVlc("1111 1010")},
    {0, 13, MakeVlc("1111 1011")},
    {0, 14, MakeVlc("1111 1110")},
    {0, 15, MakeVlc("1111 1111")},
};

struct CoefficientLookup {
    CoefficientTable codes{};
};

constexpr CoefficientLookup BuildCoefficientLookup(int table) {
    CoefficientLookup lookup{};
    for (const CoefficientEntry& e : kCommonCoefficients) lookup.codes[e.run][e.level] = e.code;
    if (table == 0) {
        for (const CoefficientEntry& e : kTableZeroCoefficients)
            lookup.codes[e.run][e.level] = e.code;
    } else {
        for (const CoefficientEntry& e : kTableOneCoefficients)
            lookup.codes[e.run][e.level] = e.code;
    }
    return lookup;
}

constexpr CoefficientLookup kCoefficientLookup[2] = {BuildCoefficientLookup(0),
                                                     BuildCoefficientLookup(1)};

constexpr std::array<VlcCode, 64> BuildPatternLookup() {
    std::array<VlcCode, 64> lookup{};
    for (const PatternEntry& e : kPatternEntries) lookup[e.pattern] = e.code;
    return lookup;
}

constexpr std::array<VlcCode, 64> kPatternLookup = BuildPatternLookup();

template <size_t Count>
VlcCode FindType(const TypeEntry (&entries)[Count], int flags) {
    for (const TypeEntry& e : entries) {
        if (e.flags == flags) return e.code;
    }
    return {};
}

}  // namespace

VlcCode AddressIncrementCode(int increment) {
    if (increment < 1 || increment > 33) return {};
    return kAddressIncrement[increment];
}

VlcCode MacroblockTypeCode(PictureCodingType type, int flags) {
    switch (type) {
        case kPictureI:
            return FindType(kIntraTypes, flags);
        case kPictureP:
            return FindType(kPredictiveTypes, flags);
        case kPictureB:
            return FindType(kBidirectionalTypes, flags);
    }
    return {};
}

VlcCode CodedBlockPatternCode(int pattern) {
    if (pattern < 0 || pattern > 63) return {};
    return kPatternLookup[pattern];
}

VlcCode MotionCode(int motionCode) {
    if (motionCode < -16 || motionCode > 16) return {};
    if (motionCode == 0) return kMotionMagnitude[0];
    const VlcCode magnitude = kMotionMagnitude[motionCode < 0 ? -motionCode : motionCode];
    return {(magnitude.bits << 1) | (motionCode < 0 ? 1u : 0u), magnitude.length + 1};
}

VlcCode DcSizeLuminanceCode(int size) {
    if (size < 0 || size > 11) return {};
    return kDcSizeLuminance[size];
}

VlcCode DcSizeChrominanceCode(int size) {
    if (size < 0 || size > 11) return {};
    return kDcSizeChrominance[size];
}

VlcCode DctCoefficientCode(int table, int run, int absLevel) {
    if (run < 0 || run > kMaxTabledRun || absLevel < 1 || absLevel > kMaxTabledLevel) return {};
    return DctCoefficientTable(table)[run][absLevel];
}

const CoefficientTable& DctCoefficientTable(int table) {
    return kCoefficientLookup[table != 0 ? 1 : 0].codes;
}

}  // namespace korvan
