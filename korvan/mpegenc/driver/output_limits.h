// The size and duration limits of one output file. Before picture i the
// encode asks whether the output ends there; the next file of the job then
// goes on from that picture.
#pragma once

#include <cstdint>

namespace korvan {

// MB (2^20 bytes) per second set aside for the sound, which is coded after
// the pictures.
inline constexpr double kAudioAllowanceMBPerSecond = 0.02736;

// The program stream's size over the elementary streams' for a target kind
// (1..5): pack and packet headers, padding and navigation packs.
double MultiplexOverhead(int targetKind);

struct OutputLimits {
    int targetKind = 1;
    double pictureRate = 25;  // coded pictures per second
    bool sizeOn = false;
    double sizeMB = 0;
    bool durationOn = false;
    double durationSeconds = 0;

    // True when the output ends before picture `picture` (counted from 0),
    // with `codedBits` of video written so far. The first picture always
    // goes into the file, so that every file of a split job holds one.
    bool EndsBefore(int64_t picture, uint64_t codedBits) const;
};

}  // namespace korvan
