// The levels of the two video standards the device targets write: H.264
// (its Baseline and Main profiles) and MPEG-4 Visual's Simple Profile. A
// level bounds the picture size, the macroblock rate, the bit rate and the
// decoder's buffer; a player that decodes a level decodes every stream that
// stays inside it.
#pragma once

#include <span>
#include <string_view>

struct CodingLevel {
    std::string_view name;  // as people write it: "1.3", "4a"
    // The number the stream carries and ffmpeg's "-level" takes: H.264's
    // level_idc (13 for level 1.3), the Simple Profile's level (4 for 4a).
    int number;
    int maxFrameMacroblocks;
    // H.264 also bounds each side: at most the root of 8 x maxFrameMacroblocks.
    bool eachSideLimited;
    int maxMacroblocksPerSecond;
    int maxBitRateKbps;
    int bufferBits;  // the decoder's buffer (CPB or VBV)
};

// What a profile asks of the video; 0 where the profile leaves it open
// (the "Original" frame size, no bit rate).
struct VideoShape {
    int widthPx = 0;
    int heightPx = 0;
    double framesPerSecond = 0;
    int bitRateKbps = 0;
};

// Smallest first.
std::span<const CodingLevel> H264Levels();
std::span<const CodingLevel> Mpeg4SimpleLevels();

// True when the level holds the shape; what the shape leaves open holds.
bool LevelHolds(const CodingLevel& level, const VideoShape& shape);

// The smallest level of the list that holds the shape, or null when none does.
const CodingLevel* SmallestLevelHolding(std::span<const CodingLevel> levels,
                                        const VideoShape& shape);

// The level of the list with this number, or null.
const CodingLevel* LevelNumbered(std::span<const CodingLevel> levels, int number);
