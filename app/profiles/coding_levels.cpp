#include "app/profiles/coding_levels.h"

#include <array>

namespace {

constexpr int kMacroblockPx = 16;
constexpr int kMpeg4VbvUnitBits = 16384;

// Table A-1 of H.264, the figures of its Baseline and Main profiles (the
// High profiles allow 25 % more bit rate). Level 1b is left out: the next
// level up holds everything it holds.
constexpr std::array<CodingLevel, 15> kH264Levels = {{
    {"1", 10, 99, true, 1485, 64, 175'000},
    {"1.1", 11, 396, true, 3000, 192, 500'000},
    {"1.2", 12, 396, true, 6000, 384, 1'000'000},
    {"1.3", 13, 396, true, 11880, 768, 2'000'000},
    {"2", 20, 396, true, 11880, 2000, 2'000'000},
    {"2.1", 21, 792, true, 19800, 4000, 4'000'000},
    {"2.2", 22, 1620, true, 20250, 4000, 4'000'000},
    {"3", 30, 1620, true, 40500, 10000, 10'000'000},
    {"3.1", 31, 3600, true, 108000, 14000, 14'000'000},
    {"3.2", 32, 5120, true, 216000, 20000, 20'000'000},
    {"4", 40, 8192, true, 245760, 20000, 25'000'000},
    {"4.1", 41, 8192, true, 245760, 50000, 62'500'000},
    {"4.2", 42, 8704, true, 522240, 50000, 62'500'000},
    {"5", 50, 22080, true, 589824, 135000, 135'000'000},
    {"5.1", 51, 36864, true, 983040, 240000, 240'000'000},
}};

// MPEG-4 Visual's Simple Profile: levels 1 to 3 as the MPEG-4 Industry Forum
// lists them (http://www.m4if.org/resources/profiles), 4a, 5 and 6 as the
// standard's later amendments added them. Level 0 is left out: it adds
// limits on the coding tools that ffmpeg's encoder does not promise to keep.
constexpr std::array<CodingLevel, 6> kMpeg4SimpleLevels = {{
    {"1", 1, 99, false, 1485, 64, 10 * kMpeg4VbvUnitBits},
    {"2", 2, 396, false, 5940, 128, 40 * kMpeg4VbvUnitBits},
    {"3", 3, 396, false, 11880, 384, 40 * kMpeg4VbvUnitBits},
    {"4a", 4, 1200, false, 36000, 4000, 80 * kMpeg4VbvUnitBits},
    {"5", 5, 1620, false, 40500, 8000, 112 * kMpeg4VbvUnitBits},
    {"6", 6, 3600, false, 108000, 12000, 248 * kMpeg4VbvUnitBits},
}};

long long MacroblocksAcross(int px) {
    return (static_cast<long long>(px) + kMacroblockPx - 1) / kMacroblockPx;
}

}  // namespace

std::span<const CodingLevel> H264Levels() { return kH264Levels; }

std::span<const CodingLevel> Mpeg4SimpleLevels() { return kMpeg4SimpleLevels; }

bool LevelHolds(const CodingLevel& level, const VideoShape& shape) {
    if (shape.bitRateKbps > level.maxBitRateKbps) return false;
    if (shape.widthPx <= 0 || shape.heightPx <= 0) return true;
    const long long across = MacroblocksAcross(shape.widthPx);
    const long long down = MacroblocksAcross(shape.heightPx);
    const long long frame = across * down;
    if (frame > level.maxFrameMacroblocks) return false;
    if (level.eachSideLimited) {
        const long long sideSquaredLimit = 8LL * level.maxFrameMacroblocks;
        if (across * across > sideSquaredLimit || down * down > sideSquaredLimit) return false;
    }
    return static_cast<double>(frame) * shape.framesPerSecond <= level.maxMacroblocksPerSecond;
}

const CodingLevel* SmallestLevelHolding(std::span<const CodingLevel> levels,
                                        const VideoShape& shape) {
    for (const CodingLevel& level : levels) {
        if (LevelHolds(level, shape)) return &level;
    }
    return nullptr;
}

const CodingLevel* LevelNumbered(std::span<const CodingLevel> levels, int number) {
    for (const CodingLevel& level : levels) {
        if (level.number == number) return &level;
    }
    return nullptr;
}
